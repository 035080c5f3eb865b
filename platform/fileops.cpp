#include "fileops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Files {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

RunError fromErrno(int e, int fallback)
{
    const QString detail = QString::fromLocal8Bit(std::strerror(e));
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return RunError::make(RunError::PathNotFound, detail);
    case EACCES:
    case EPERM:
    case EROFS:
        return RunError::make(RunError::PermissionDenied, detail);
    default:
        return RunError::make(fallback, detail);
    }
}

bool isDirectory(const QString& path)
{
    struct stat st {};
    return ::stat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

QString FatRefusedCharacters(const QString& name)
{
    QStringList refused;
    for (const QChar c : name) {
        const QString quoted = u'"' + QString(c) + u'"';
        if ((c.unicode() < 0x20 || QStringLiteral("\"*/:<>?\\|").contains(c)) && !refused.contains(quoted))
            refused << quoted;
    }
    return refused.join(u' ');
}

RunError MkDir(const QString& path, unsigned mode)
{
    if (path.isEmpty())
        return RunError::make(RunError::PathNotFound);
    if (::mkdir(native(path).constData(), mode_t(mode)) == 0)
        return {};
    const int e = errno;
    // FAT refuses these characters (EINVAL, or EPERM through FUSE); elsewhere
    // they are plain characters and the folder is made.
    if (e == EINVAL || e == EPERM) {
        if (const QString refused = FatRefusedCharacters(QFileInfo(path).fileName()); !refused.isEmpty())
            return RunError{BadFileName,
                            QStringLiteral("The file system there does not take the characters %1 in a name.").arg(refused)};
    }
    if (e == EEXIST) {
        // Only an existing folder is the access error that means "already there";
        // a file of that name must not pass for the folder.
        return isDirectory(path) ? RunError::make(RunError::PathFileAccess)
                                 : RunError::make(RunError::FileAlreadyExists);
    }
    return fromErrno(e, RunError::DeviceIO);
}

RunError RmDir(const QString& path)
{
    if (::rmdir(native(path).constData()) == 0)
        return {};
    const int e = errno;
    if (e == ENOTEMPTY || e == EEXIST || e == ENOTDIR || e == EBUSY)
        return RunError::make(RunError::PathFileAccess, QString::fromLocal8Bit(std::strerror(e)));
    return fromErrno(e, RunError::PathFileAccess);
}

RunError FileCopy(const QString& src, const QString& dst)
{
    QFileInfo source(src);
    if (!source.exists() || source.isDir())
        return RunError::make(RunError::FileNotFound, src);
    if (!source.isFile()) // a pipe or a device: reading it could wait for good
        return RunError::make(RunError::PathFileAccess, src);
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly))
        return RunError::make(RunError::PermissionDenied, in.errorString());
    if (isDirectory(dst))
        return RunError::make(RunError::PathFileAccess, dst);
    if (!isDirectory(QFileInfo(dst).absolutePath()))
        return RunError::make(RunError::PathNotFound, dst);

    QSaveFile out(dst);
    if (!out.open(QIODevice::WriteOnly))
        return RunError::make(RunError::PathFileAccess, out.errorString());
    // Where the file system shares blocks between files (a reflink), the copy takes no room;
    // elsewhere the clone is refused and the bytes are copied.
    if (::ioctl(out.handle(), FICLONE, in.handle()) == 0) {
        if (!out.commit())
            return RunError::make(RunError::PathFileAccess, out.errorString());
        return {};
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            out.cancelWriting();
            return RunError::make(RunError::DeviceIO, in.errorString());
        }
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n) {
            out.cancelWriting();
            return RunError::make(RunError::DeviceIO, out.errorString());
        }
    }
    if (!out.commit())
        return RunError::make(RunError::PathFileAccess, out.errorString());
    return {};
}

bool WildcardMatch(const QString& pattern, const QString& name)
{
    // Iterative * and ? matching; letter case ignored.
    qsizetype p = 0, n = 0, star = -1, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

RunError Kill(const QString& pattern)
{
    const QFileInfo info(pattern);
    const QDir dir = info.dir();
    const QString mask = info.fileName();
    if (!dir.exists())
        return RunError::make(RunError::PathNotFound, dir.path());
    bool matched = false;
    RunError firstFailure;
    const auto entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (!WildcardMatch(mask, entry.fileName()))
            continue;
        matched = true;
        if (::unlink(native(entry.filePath()).constData()) != 0 && !firstFailure.failed())
            firstFailure = fromErrno(errno, RunError::PathFileAccess);
    }
    if (!matched)
        return RunError::make(RunError::FileNotFound, pattern);
    return firstFailure;
}

RunError KillAllFiles(const QString& folder)
{
    if (!IsRealFolder(folder))
        return RunError::make(RunError::PathNotFound, folder);
    bool matched = false;
    RunError firstFailure;
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString path = folder + u'/' + name;
        if (IsRealFolder(path))
            continue;
        matched = true;
        if (::unlink(native(path).constData()) != 0 && !firstFailure.failed())
            firstFailure = fromErrno(errno, RunError::PathFileAccess);
    }
    if (!matched)
        return RunError::make(RunError::FileNotFound, folder);
    return firstFailure;
}

bool IsRealFolder(const QString& path)
{
    struct stat st {};
    return !path.isEmpty() && ::lstat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

int OpenRegular(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

Attributes GetAttr(const QString& path)
{
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0)
        return {0, RunError::make(RunError::FileNotFound, path)};
    int value = 0;
    if (S_ISDIR(st.st_mode))
        value |= Directory;
    if ((st.st_mode & S_IWUSR) == 0)
        value |= ReadOnly;
    return {value, {}};
}

RunError SetAttr(const QString& path, int attributes)
{
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0)
        return RunError::make(RunError::FileNotFound, path);
    mode_t mode = st.st_mode & 07777;
    if (attributes & ReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (::chmod(native(path).constData(), mode) != 0)
        return fromErrno(errno, RunError::PathFileAccess);
    return {};
}

RunError PlaceNew(const QString& building, const QString& target)
{
    const QByteArray from = native(building), to = native(target);
    int e = ::link(from.constData(), to.constData()) == 0 ? 0 : errno;
    if (e == EPERM || e == EOPNOTSUPP || e == ENOSYS) {
        // No hard links here. The name is looked at just before the rename:
        // only a program laying out the same folder at that instant could come between.
        struct stat st {};
        e = ::lstat(to.constData(), &st) == 0 ? EEXIST : (std::rename(from.constData(), to.constData()) == 0 ? 0 : errno);
    }
    ::unlink(from.constData());
    if (e == 0)
        return {};
    return e == EEXIST ? RunError::make(RunError::FileAlreadyExists, target) : fromErrno(e, RunError::PathFileAccess);
}

RunError SetPrivateMode(const QString& path, unsigned mode, bool* skipped)
{
    if (skipped)
        *skipped = false;
    if (::chmod(native(path).constData(), mode_t(mode)) == 0)
        return {};
    const int e = errno;
    // Not implemented, or refused to the owner himself (who may always change
    // the modes of his files where the file system keeps them): a file
    // system without owner permissions, such as FAT.
    struct stat st {};
    const bool noModes = e == ENOSYS || e == EOPNOTSUPP ||
                         (e == EPERM && ::stat(native(path).constData(), &st) == 0 &&
                          (st.st_uid == ::geteuid() || ::geteuid() == 0));
    if (noModes) {
        if (skipped)
            *skipped = true;
        return {};
    }
    return fromErrno(e, RunError::PathFileAccess);
}

RunError ChDir(const QString& path)
{
    if (path.isEmpty() || !isDirectory(path))
        return RunError::make(RunError::PathNotFound, path);
    if (!QDir::setCurrent(path))
        return RunError::make(RunError::PathFileAccess, path);
    return {};
}

QString CurDir()
{
    // A current folder that has been removed has no path; "." then keeps every
    // path built from it inside that (unwritable) folder instead of the root.
    const QString current = QDir::currentPath();
    return current.isEmpty() ? QStringLiteral(".") : current;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace Files
