#include "pagewriter.h"

#include "albumpaths.h"
#include "fileops.h"
#include "pictureloader.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PageWriter {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

bool sameFile(const QString& a, const QString& b)
{
    struct stat sa {}, sb {};
    return ::stat(native(a).constData(), &sa) == 0 && ::stat(native(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool isBitmapFile(const QString& path)
{
    const int fd = Files::OpenRegular(path);
    char head[2] = {};
    const bool bitmap = fd >= 0 && ::read(fd, head, 2) == 2 && head[0] == 'B' && head[1] == 'M';
    if (fd >= 0)
        ::close(fd);
    return bitmap;
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Copies the bytes of `source` into the new file `fd`.
bool copyInto(const QString& source, int fd, QString* problem)
{
    const int in = Files::OpenRegular(source);
    if (in < 0) {
        *problem = errnoText();
        return false;
    }
    bool ok = true;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, fd, nullptr, 1 << 30, 0);
        if (n == 0)
            break;
        if (n > 0)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            ok = false;
            *problem = errnoText();
            break;
        }
        // Across file systems that cannot copy in the kernel: read and write.
        static thread_local QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (;;) {
            const ssize_t r = ::read(in, buffer.data(), size_t(buffer.size()));
            if (r == 0)
                break;
            if (r < 0 || ::write(fd, buffer.constData(), size_t(r)) != r) {
                ok = false;
                *problem = errnoText();
                break;
            }
        }
        break;
    }
    ::close(in);
    return ok;
}

// The whole picture for saving: from its file (orientation applied) or its full image.
QImage wholePicture(const Picture& picture)
{
    if (!picture.sourcePath.isEmpty()) {
        Pictures::LoadResult loaded = Pictures::LoadPicture(picture.sourcePath);
        return loaded.error.failed() ? QImage() : loaded.picture.shown;
    }
    return picture.full;
}

struct Pending {
    QString temp;
    QString target;
};

RunError failure(const QString& target, const QString& why)
{
    return RunError{RunError::PathFileAccess, QStringLiteral("\"%1\" could not be written: %2").arg(target, why)};
}

// Writes one slot's picture into a new file beside its target.
RunError writeOne(const Picture& picture, const QString& temp, const QString& target)
{
    const int fd = ::open(native(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); // as the umask says
    if (fd < 0)
        return failure(target, errnoText());
    QString problem;
    bool ok = false;
    if (!picture.sourcePath.isEmpty() && isBitmapFile(picture.sourcePath)) {
        ok = copyInto(picture.sourcePath, fd, &problem);
    } else {
        const QImage whole = wholePicture(picture);
        if (whole.isNull()) {
            problem = picture.sourcePath.isEmpty() ? QStringLiteral("the slot holds no picture")
                                                   : QStringLiteral("\"%1\" can no longer be read").arg(picture.sourcePath);
        } else {
            QFile out;
            ok = out.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) && whole.save(&out, "BMP") &&
                 out.flush();
            if (!ok)
                problem = out.error() != QFileDevice::NoError ? out.errorString() : QStringLiteral("the picture could not be encoded");
        }
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        problem = errnoText();
    }
    if (!ok) {
        ::unlink(native(temp).constData());
        return failure(target, problem);
    }
    return {};
}

} // namespace

RunError WritePage(const QString& folder, int page, const std::vector<Slot>& pictures,
                   const std::function<void(int slot)>& progress)
{
    std::vector<Pending> written;
    auto discard = [&written] {
        for (const Pending& p : written)
            ::unlink(native(p.temp).constData());
    };
    for (int s = 0; s <= 11; ++s) {
        for (const Slot& slot : pictures) {
            if (slot.slot != s)
                continue;
            const QString target = folder + u'/' + AlbumPaths::SlotFileName(page, s);
            if (!slot.picture.sourcePath.isEmpty() && sameFile(slot.picture.sourcePath, target))
                continue; // unchanged in its own file
            const QString temp = folder + QStringLiteral("/.%1.saving-%2").arg(AlbumPaths::SlotFileName(page, s)).arg(::getpid());
            ::unlink(native(temp).constData());
            if (const RunError e = writeOne(slot.picture, temp, target); e.failed()) {
                discard();
                return e;
            }
            written.push_back({temp, target});
        }
        if (progress)
            progress(s);
    }
    // Every new file goes to disk in one flush of the file system (far quicker
    // than one sync per file); only then do they take their places.
    const int dir = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!written.empty() && (dir < 0 || ::syncfs(dir) != 0)) {
        const RunError e = failure(written.front().target, errnoText());
        if (dir >= 0)
            ::close(dir);
        discard();
        return e;
    }
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (::rename(native(written[i].temp).constData(), native(written[i].target).constData()) != 0) {
            const RunError e = failure(written[i].target, errnoText());
            for (std::size_t j = i; j < written.size(); ++j)
                ::unlink(native(written[j].temp).constData());
            if (dir >= 0)
                ::close(dir);
            return e;
        }
    }
    // The renames themselves reach the disk with the folder.
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

} // namespace PageWriter
