#include "data/private_files.h"

#include "data/failure.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace PrivateFiles {
namespace {

// Takes every permission of the group and of others away; the owner's stay as they are (a file
// its owner made read-only stays so).
void keepToOwner(const QString& path) {
    // Never through a symbolic link: it may lead anywhere.
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) != 0 || S_ISLNK(info.st_mode))
        return;
    if ((info.st_mode & 07077) != 0)
        ::chmod(name.constData(), info.st_mode & S_IRWXU);
}

} // namespace

void makeFolder(const QString& path) {
    if (!QFileInfo(path).isDir() && !QDir().mkpath(path))
        throw Failure(QStringLiteral("The folder '%1' cannot be created.").arg(path));
    restrictFolder(path);
}

void restrictFile(const QString& path) {
    keepToOwner(path);
}

void restrictFolder(const QString& path) {
    keepToOwner(path);
}

void restrictTree(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return;
    restrictFolder(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        if (entry.isSymLink())
            continue;
        if (entry.isDir())
            restrictFolder(entry.filePath());
        else
            restrictFile(entry.filePath());
    }
}

void createEmpty(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw Failure(SentenceWithCause(
            QStringLiteral("The file '%1' cannot be opened for writing").arg(path), systemCause()));
    // The umask may take away but never add: the mode is set once more to be sure.
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    ::close(fd);
}

namespace {
// The magic numbers of the proc and sysfs filesystems (linux/magic.h).
constexpr long kProcFilesystem = 0x9fa0;
constexpr long kSysFilesystem = 0x62656572;
} // namespace

QString notAFile(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QString();
    if (S_ISREG(info.st_mode)) {
        // The files of /proc and /sys look ordinary but are the kernel's view of the system:
        // nothing can be written beside them, and what they hold is made as they are read.
        struct statfs where {};
        if (::statfs(QFile::encodeName(path).constData(), &where) == 0 &&
            (where.f_type == kProcFilesystem || where.f_type == kSysFilesystem))
            return QStringLiteral("'%1' is a file of the system's kernel, not a file.").arg(path);
        return QString();
    }
    const char* kind = S_ISDIR(info.st_mode)                            ? "a folder"
                       : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? "a device"
                       : S_ISFIFO(info.st_mode)                         ? "a pipe"
                       : S_ISSOCK(info.st_mode)                         ? "a socket"
                                                                        : "no ordinary file";
    return QStringLiteral("'%1' is %2, not a file.").arg(path, QLatin1String(kind));
}

QString systemCause() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace PrivateFiles
