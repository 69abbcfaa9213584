// The backups folder: names, listing, the daily backup, pruning and leftovers.
#include "data/backup.h"

#include "data/database_lock.h"
#include "data/failure.h"
#include "data/file_copy.h"
#include "data/private_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Backups {
namespace {

// The backups folder taken by one process at a time, while it writes or prunes there.
class FolderLock {
public:
    FolderLock(const QString& folder, bool wait) {
        m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~FolderLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

QString baseName(const QString& databasePath) {
    return QFileInfo(databasePath).completeBaseName();
}

std::optional<Entry> entryOf(const QString& base, const QFileInfo& file) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(.*)-(\d{4}-\d{2}-\d{2})(?:(-damaged)|-\d{6}(-replaced))?\.mdbz?$)"));
    const QRegularExpressionMatch m = pattern.match(file.fileName());
    if (!m.hasMatch() || m.captured(1) != base)
        return std::nullopt;
    Entry entry;
    entry.date = QDate::fromString(m.captured(2), QStringLiteral("yyyy-MM-dd"));
    if (!entry.date.isValid())
        return std::nullopt;
    entry.path = file.absoluteFilePath();
    entry.size = file.size();
    entry.restoredSize = file.fileName().endsWith(QLatin1String(kCompactSuffix)) && file.isFile() &&
                                 isCompact(entry.path)
                             ? restoredSize(entry.path)
                             : entry.size;
    entry.kind = m.hasCaptured(3) ? Kind::Damaged : m.hasCaptured(4) ? Kind::Replaced : Kind::Good;
    return entry;
}

} // namespace

QString folderFor(const QString& databasePath) {
    return QFileInfo(databasePath).absolutePath() + QStringLiteral("/backups");
}

QString dailyPath(const QString& databasePath, const QDate& day, Format format) {
    return folderFor(databasePath) + QLatin1Char('/') + baseName(databasePath) + QLatin1Char('-') +
           day.toString(QStringLiteral("yyyy-MM-dd")) +
           (format == Format::Compact ? QLatin1String(kCompactSuffix) : QLatin1String(".mdb"));
}

QString damagedPath(const QString& databasePath, const QDate& day, Format format) {
    return folderFor(databasePath) + QLatin1Char('/') + baseName(databasePath) + QLatin1Char('-') +
           day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral("-damaged") +
           (format == Format::Compact ? QLatin1String(kCompactSuffix) : QLatin1String(".mdb"));
}

QVector<Entry> list(const QString& databasePath) {
    QVector<Entry> entries;
    const QString base = baseName(databasePath);
    const QFileInfoList files =
        QDir(folderFor(databasePath)).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& file : files) {
        if (auto entry = entryOf(base, file))
            entries.append(*entry);
    }
    // Newest first; on one day the names tell the order.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.date != b.date ? a.date > b.date : a.path > b.path;
    });
    return entries;
}

std::optional<Entry> newestGood(const QString& databasePath) {
    for (const Entry& entry : list(databasePath)) {
        if (entry.kind == Kind::Good)
            return entry;
    }
    return std::nullopt;
}

QString restoreAdvice(const QString& databasePath) {
    const std::optional<Entry> good = newestGood(databasePath);
    if (!good)
        return QStringLiteral("There is no sound backup of it in '%1'; keep a copy of '%2' "
                              "before anything else.")
            .arg(folderFor(databasePath), databasePath);
    return QStringLiteral("The newest sound backup is of %1. Close the program and restore it "
                          "with: quorvane --restore '%2'")
        .arg(QLocale().toString(good->date, QLocale::LongFormat), good->path);
}

void removeLeftovers(const QString& folder) {
    const QStringList names = QDir(folder).entryList(
        {QStringLiteral("*.part"), QStringLiteral("*.part-journal")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names)
        QFile::remove(folder + QLatin1Char('/') + name);
}

QString makeDaily(const QString& databasePath, const QDate& today, QString* damage, Format format) {
    const QString folder = folderFor(databasePath);
    PrivateFiles::makeFolder(folder);
    // Another window making today's backup has it in hand.
    const FolderLock lock(folder, false);
    if (!lock.held())
        return QString();
    removeLeftovers(folder);
    PrivateFiles::restrictTree(folder);
    const QString good = dailyPath(databasePath, today, format);
    const QString damaged = damagedPath(databasePath, today, format);
    // A backup of either kind made today, good or damaged, is today's backup.
    for (const Format kind : {Format::Plain, Format::Compact}) {
        if (QFileInfo::exists(dailyPath(databasePath, today, kind)) ||
            QFileInfo::exists(damagedPath(databasePath, today, kind))) {
            prune(databasePath, today);
            return QString();
        }
    }
    QString problem;
    QString part;
    try {
        if (format == Format::Compact) {
            part = compactToPart(databasePath, good, &problem);
        } else {
            copyDatabase(databasePath, good);
            part = good;
        }
    } catch (const Failure&) {
        // A file too damaged for the engine to read is kept aside byte for byte.
        try {
            problem = integrityProblem(databasePath);
        } catch (const Failure& unreadable) {
            problem = unreadable.description();
        }
        if (problem.isEmpty())
            throw;
        const QString byteCopy = damagedPath(databasePath, today, Format::Plain);
        CopyWholeFile(databasePath, byteCopy);
        if (damage)
            *damage = problem;
        prune(databasePath, today);
        return byteCopy;
    }
    // A copy counts as a backup only once it is found sound: a plain copy by the engine's
    // integrity check, a compact one read back through (the check of the rows ran as they
    // were read).
    if (problem.isEmpty()) {
        try {
            if (format == Format::Compact)
                checkCompact(part);
            else
                problem = integrityProblem(part);
        } catch (const Failure& failure) {
            problem = failure.description();
        }
    }
    QString written = good;
    if (!problem.isEmpty()) {
        written = damaged;
        if (damage)
            *damage = problem;
    }
    if (part != written && !QFile::rename(part, written)) {
        QFile::remove(part);
        if (written == good)
            throw Failure(
                SentenceWithCause(QStringLiteral("The file '%1' cannot be replaced").arg(good),
                                  PrivateFiles::systemCause()));
    }
    prune(databasePath, today);
    return written;
}

void prune(const QString& databasePath, const QDate& today) {
    const QVector<Entry> entries = list(databasePath);
    QSet<QString> kept;
    int good = 0;
    QSet<int> monthsCovered;
    bool damagedKept = false;
    bool replacedKept = false;
    const QDate firstMonth = QDate(today.year(), today.month(), 1).addMonths(-(kMonths - 1));
    for (const Entry& entry : entries) {
        bool keep = false;
        if (entry.kind == Kind::Good) {
            keep = good++ < kKeep;
            const int month = entry.date.year() * 12 + entry.date.month();
            if (entry.date >= firstMonth && !monthsCovered.contains(month)) {
                monthsCovered.insert(month);
                keep = true;
            }
        } else {
            bool& newestKept = entry.kind == Kind::Damaged ? damagedKept : replacedKept;
            keep = !newestKept || entry.date.daysTo(today) <= kKeepAsideDays;
            newestKept = true;
        }
        if (keep)
            kept.insert(entry.path);
    }
    for (const Entry& entry : entries) {
        if (!kept.contains(entry.path))
            QFile::remove(entry.path);
    }
}

QString restoreNewest(const QString& databasePath, QString* restoredFrom, QStringList* setAside) {
    // Refused at once while a window has the file open, before any backup is checked.
    { const auto lock = DatabaseLock::exclusive(databasePath); }
    for (const Entry& entry : list(databasePath)) {
        if (entry.kind != Kind::Good)
            continue;
        QString problem;
        try {
            checkDatabaseFile(entry.path);
        } catch (const Failure& failure) {
            problem = failure.description();
        }
        if (problem.isEmpty()) {
            if (restoredFrom)
                *restoredFrom = entry.path;
            return restore(entry.path, databasePath);
        }
        const QString aside = damagedPath(
            databasePath, entry.date,
            entry.path.endsWith(QLatin1String(kCompactSuffix)) ? Format::Compact : Format::Plain);
        if (!QFileInfo::exists(aside) && QFile::rename(entry.path, aside) && setAside)
            *setAside << QStringLiteral("%1 (%2)").arg(aside, problem);
    }
    throw Failure(QStringLiteral("There is no sound backup of '%1' in '%2' to restore.")
                      .arg(databasePath, folderFor(databasePath)));
}

} // namespace Backups
