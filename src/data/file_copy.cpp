#include "data/file_copy.h"

#include "data/failure.h"
#include "data/private_files.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace {

// The system's words for the last failure of `file`, which Qt may leave as "Unknown error".
QString causeOf(const QFile& file) {
    const QString cause = file.errorString();
    if (cause.isEmpty() || cause == QLatin1String("Unknown error"))
        return QString::fromLocal8Bit(strerror(errno));
    return cause;
}

} // namespace

void CopyWholeFile(const QString& source, const QString& destination) {
    const QString what = QStringLiteral("'%1' cannot be copied to '%2'").arg(source, destination);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw Failure(SentenceWithCause(what, causeOf(in)));
    const QString temporary = destination + QStringLiteral(".part");
    // The copy is readable by its owner only from its first byte on.
    try {
        PrivateFiles::createEmpty(temporary);
    } catch (const Failure& failure) {
        throw Failure(SentenceWithCause(what, failure.description()));
    }
    QFile out(temporary);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Failure(SentenceWithCause(what, causeOf(out)));
    QString failure;
    while (failure.isEmpty() && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            failure = causeOf(in);
        else if (out.write(chunk) != chunk.size())
            failure = causeOf(out);
    }
    if (failure.isEmpty() && !out.flush())
        failure = causeOf(out);
    out.close();
    if (failure.isEmpty() && out.error() != QFileDevice::NoError)
        failure = causeOf(out);
    if (failure.isEmpty()) {
        QFile::remove(destination);
        if (out.rename(destination))
            return;
        failure = causeOf(out);
    }
    QFile::remove(temporary);
    throw Failure(SentenceWithCause(what, failure));
}
