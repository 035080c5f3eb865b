#include "keptfile.h"

#include "fileops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex folderMutex;
QString chosenFolder;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A new file with no name in `folder`, open for reading and writing.
int anonymousFile(const QString& folder)
{
    const QByteArray dir = QFile::encodeName(folder);
    int fd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    // A file system without nameless files: a named one, unlinked at once.
    QByteArray name = dir + "/kept-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.constData());
    return fd;
}

// Copies all of `in` into `out`: a reflink, else in the kernel, else read and write.
bool copyAll(int in, int out)
{
    if (::ioctl(out, FICLONE, in) == 0)
        return true;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n == 0)
            return true;
        if (n > 0)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
        break;
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t r = ::read(in, buffer.data(), size_t(buffer.size()));
        if (r == 0)
            return true;
        if (r < 0 || ::write(out, buffer.constData(), size_t(r)) != r)
            return false;
    }
}

RunError copyFailure(const QString& why)
{
    return RunError{RunError::PathFileAccess,
                    QStringLiteral("No private copy could be kept in \"%1\": %2").arg(KeptFile::Folder(), why)};
}

int newKeptFile(RunError* error)
{
    const QString folder = KeptFile::Folder();
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    const int fd = anonymousFile(folder);
    if (fd < 0)
        *error = copyFailure(errnoText());
    return fd;
}

} // namespace

KeptFile::~KeptFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString KeptFile::Folder()
{
    const std::lock_guard<std::mutex> lock(folderMutex);
    if (!chosenFolder.isEmpty())
        return chosenFolder;
    // On disk, not in memory: twelve large pictures must not fill a RAM-backed /tmp.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return (cache.isEmpty() ? QDir::tempPath() : cache) + QStringLiteral("/quillbook-kept");
}

void KeptFile::SetFolder(const QString& folder)
{
    const std::lock_guard<std::mutex> lock(folderMutex);
    chosenFolder = folder;
}

QString KeptFile::Path() const
{
    return QStringLiteral("/proc/self/fd/%1").arg(m_fd);
}

RunError KeptFile::KeepAs(const QString& path) const
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray self = QFile::encodeName(Path());
    auto failed = [&path](int e) {
        return RunError{RunError::PathFileAccess,
                        QStringLiteral("\"%1\" could not be kept: %2").arg(path, QString::fromLocal8Bit(std::strerror(e)))};
    };
    // A nameless file made with O_TMPFILE can be linked once; one unlinked after making cannot.
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) != 0) {
        if (errno == EEXIST)
            return failed(errno);
        const QByteArray temp = target + ".part-" + QByteArray::number(::getpid());
        const int in = ::open(self.constData(), O_RDONLY | O_CLOEXEC); // its own offset, from the start
        const int out = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const bool copied = in >= 0 && out >= 0 && copyAll(in, out) && ::fsync(out) == 0;
        const int e = errno;
        if (in >= 0)
            ::close(in);
        if (out >= 0)
            ::close(out);
        if (!copied || ::rename(temp.constData(), target.constData()) != 0) {
            const int why = copied ? errno : e;
            ::unlink(temp.constData());
            return failed(why);
        }
    } else {
        ::fsync(m_fd);
    }
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

std::shared_ptr<const KeptFile> KeptFile::Copy(const QString& path, RunError* error)
{
    RunError ignored;
    error = error ? error : &ignored;
    const int in = Files::OpenRegular(path);
    if (in < 0) {
        *error = RunError::make(errno == ENOENT ? RunError::FileNotFound : RunError::InvalidPicture, path);
        return {};
    }
    const int out = newKeptFile(error);
    if (out < 0) {
        ::close(in);
        return {};
    }
    const bool copied = copyAll(in, out);
    const QString why = errnoText();
    ::close(in);
    if (!copied) {
        ::close(out);
        *error = copyFailure(why);
        return {};
    }
    return std::shared_ptr<const KeptFile>(new KeptFile(out, QFileInfo(path).fileName()));
}

std::shared_ptr<const KeptFile> KeptFile::FromBytes(const QByteArray& bytes, const QString& name, RunError* error)
{
    RunError ignored;
    error = error ? error : &ignored;
    const int out = newKeptFile(error);
    if (out < 0)
        return {};
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(out, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) {
            *error = copyFailure(errnoText());
            ::close(out);
            return {};
        }
        done += n;
    }
    return std::shared_ptr<const KeptFile>(new KeptFile(out, name));
}

namespace Pictures {
namespace {

LoadResult loadFrom(std::shared_ptr<const KeptFile> kept, const RunError& error, QSize box, qreal dpr)
{
    if (!kept)
        return {{}, error};
    LoadResult r = LoadPicture(kept->Path(), box, dpr);
    if (r.error.failed())
        return r;
    r.picture.originalName = kept->OriginalName();
    r.picture.kept = std::move(kept);
    return r;
}

} // namespace

LoadResult LoadKeptPicture(const QString& path, QSize box, qreal dpr)
{
    RunError error;
    auto kept = KeptFile::Copy(path, &error);
    return loadFrom(std::move(kept), error, box, dpr);
}

LoadResult LoadKeptBytes(const QByteArray& bytes, QSize box, qreal dpr)
{
    RunError error;
    auto kept = KeptFile::FromBytes(bytes, {}, &error);
    return loadFrom(std::move(kept), error, box, dpr);
}

} // namespace Pictures
