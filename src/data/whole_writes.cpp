#include "data/whole_writes.h"

#include "data/private_files.h"

#include <QFileDevice>

namespace {
constexpr qint64 kPiece = 1 << 20;
}

WholeWrites::WholeWrites(QFileDevice& file) : m_file(file) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool WholeWrites::finish() {
    return handOn() && m_cause.isEmpty();
}

qint64 WholeWrites::readData(char*, qint64) {
    return -1;
}

qint64 WholeWrites::writeData(const char* data, qint64 size) {
    if (!m_cause.isEmpty())
        return -1;
    m_pending.append(data, size);
    if (m_pending.size() >= kPiece && !handOn())
        return -1;
    return size;
}

bool WholeWrites::handOn() {
    qint64 done = 0;
    while (m_cause.isEmpty() && done < m_pending.size()) {
        const qint64 written = m_file.write(m_pending.constData() + done, m_pending.size() - done);
        if (written <= 0) {
            // A write that stopped short leaves the system's cause in errno.
            m_cause = m_file.errorString();
            if (m_cause.isEmpty() || m_cause == QLatin1String("Unknown error"))
                m_cause = PrivateFiles::systemCause();
        }
        done += std::max<qint64>(written, 0);
    }
    m_pending.clear();
    return m_cause.isEmpty();
}
