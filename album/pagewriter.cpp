#include "pagewriter.h"

#include "albumpaths.h"
#include "fileops.h"
#include "keptfile.h"
#include "keptslotfile.h"
#include "killpoint.h"
#include "pagesaveintent.h"
#include "pictureloader.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PageWriter {
namespace {

PlaceWay firstWay = PlaceWay::Swap;

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

bool fileIsThere(const QString& path)
{
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0 || errno != ENOENT;
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

QString errnoText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

// The bitmap encoder's output, straight into the new file; keeps the reason of a failed write.
class DescriptorDevice final : public QIODevice {
public:
    explicit DescriptorDevice(int fd) : m_fd(fd) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    int failure() const { return m_failure; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_failure != 0)
            return -1;
        if (!Files::WriteAll(m_fd, data, std::size_t(size))) {
            m_failure = errno;
            return -1;
        }
        return size;
    }

private:
    int m_fd;
    int m_failure = 0;
};

// Copies the bytes of `source` into the new file `fd`; on failure, `problem` says why.
bool copyInto(const QString& source, int fd, QString* problem)
{
    const int in = Files::OpenRegular(source);
    if (in < 0) {
        *problem = errnoText(errno);
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
            *problem = errnoText(errno);
            break;
        }
        // Across file systems that cannot copy in the kernel: read and write.
        static thread_local QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (;;) {
            const ssize_t r = ::read(in, buffer.data(), std::size_t(buffer.size()));
            if (r == 0)
                break;
            if (r < 0 || !Files::WriteAll(fd, buffer.constData(), std::size_t(r))) {
                ok = false;
                *problem = errnoText(errno);
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

const QString Unchanged = QStringLiteral("No picture file of this page was changed.");

RunError failure(const QString& target, const QString& why, const QString& outcome = Unchanged)
{
    return RunError{RunError::PathFileAccess,
                    QStringLiteral("\"%1\" could not be written: %2\r\n%3").arg(target, why, outcome)};
}

// Writes one slot's picture into a new file beside its target; on failure, `problem` says why.
bool writeOne(const Picture& picture, int dir, const QByteArray& temp, QString* problem)
{
    // A picture added from a file keeps that file's own bytes: its private copy
    // becomes the new file where it can (nothing copied), else it is copied.
    const QString asItIs = KeptSlotFile::SavedAsItIs(picture);
    if (!asItIs.isEmpty() && picture.kept && KeptSlotFile::Link(*picture.kept, dir, temp))
        return true;
    const int fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); // as the umask says
    if (fd < 0) {
        *problem = errnoText(errno);
        return false;
    }
    bool ok = false;
    if (!asItIs.isEmpty()) {
        ok = copyInto(asItIs, fd, problem);
    } else if (!picture.sourcePath.isEmpty() && isBitmapFile(picture.sourcePath)) {
        ok = copyInto(picture.sourcePath, fd, problem);
    } else {
        const QImage whole = wholePicture(picture);
        if (whole.isNull()) {
            *problem = picture.sourcePath.isEmpty()
                           ? QStringLiteral("the slot holds no picture")
                           : QStringLiteral("\"%1\" can no longer be read").arg(picture.sourcePath);
        } else {
            DescriptorDevice out(fd);
            ok = whole.save(&out, "BMP");
            if (!ok)
                *problem = out.failure() != 0 ? errnoText(out.failure())
                                              : QStringLiteral("the picture could not be encoded");
        }
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        *problem = errnoText(errno);
    }
    if (!ok)
        ::unlinkat(dir, temp.constData(), 0);
    return ok;
}

// One file of the page on its way into place.
struct Pending {
    QString target;      // full path, for messages
    QByteArray name;     // P<page>I<slot>.bmp
    QByteArray temp;     // the new file, then (swapped) the old one
    QByteArray kept;     // the old file under a hard link
    ino_t newFile = 0;   // the identities the intent records: which file is which after a kill
    ino_t oldFile = 0;   // 0: there was none
    enum class State { Written, Swapped, Kept, Added, Replaced } state = State::Written;
};

// True when the file system does not offer the operation at all.
bool notOffered(int e)
{
    return e == EINVAL || e == ENOSYS || e == EOPNOTSUPP;
}

// Puts one new file in place, keeping the old one so it can be put back;
// returns 0 or the system's error number.
int place(int dir, Pending& p, PlaceWay& way)
{
    struct stat st {};
    if (::fstatat(dir, p.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            return errno;
        if (::renameat2(dir, p.temp.constData(), dir, p.name.constData(), RENAME_NOREPLACE) == 0) {
            p.state = Pending::State::Added;
            return 0;
        }
        if (!notOffered(errno))
            return errno;
        if (::renameat(dir, p.temp.constData(), dir, p.name.constData()) != 0)
            return errno;
        p.state = Pending::State::Added;
        return 0;
    }
    if (S_ISDIR(st.st_mode))
        return EISDIR; // a folder of that name is never replaced by a picture
    if (way == PlaceWay::Swap) {
        if (::renameat2(dir, p.temp.constData(), dir, p.name.constData(), RENAME_EXCHANGE) == 0) {
            p.state = Pending::State::Swapped;
            return 0;
        }
        if (!notOffered(errno))
            return errno;
        way = PlaceWay::Link;
    }
    if (way == PlaceWay::Link) {
        ::unlinkat(dir, p.kept.constData(), 0);
        if (::linkat(dir, p.name.constData(), dir, p.kept.constData(), 0) == 0) {
            if (::renameat(dir, p.temp.constData(), dir, p.name.constData()) == 0) {
                p.state = Pending::State::Kept;
                return 0;
            }
            const int e = errno;
            ::unlinkat(dir, p.kept.constData(), 0);
            return e;
        }
        if (errno != EPERM && !notOffered(errno))
            return errno;
        way = PlaceWay::Rename; // no hard links here: the old file cannot be kept
    }
    if (::renameat(dir, p.temp.constData(), dir, p.name.constData()) != 0)
        return errno;
    p.state = Pending::State::Replaced;
    return 0;
}

// Puts the old file back in place of the new one; false when it cannot be.
bool putBack(int dir, const Pending& p)
{
    switch (p.state) {
    case Pending::State::Swapped:
        if (::renameat2(dir, p.temp.constData(), dir, p.name.constData(), RENAME_EXCHANGE) != 0)
            return false;
        ::unlinkat(dir, p.temp.constData(), 0);
        return true;
    case Pending::State::Kept:
        return ::renameat(dir, p.kept.constData(), dir, p.name.constData()) == 0;
    case Pending::State::Added:
        return ::unlinkat(dir, p.name.constData(), 0) == 0;
    case Pending::State::Written:
        return true;
    case Pending::State::Replaced:
        return false;
    }
    return false;
}

// Removes the old file kept for putting back.
void dropOld(int dir, const Pending& p)
{
    if (p.state == Pending::State::Swapped)
        ::unlinkat(dir, p.temp.constData(), 0);
    else if (p.state == Pending::State::Kept)
        ::unlinkat(dir, p.kept.constData(), 0);
}

const QRegularExpression& leftoverName()
{
    static const QRegularExpression name(
        QStringLiteral("^\\.P([1-9]|10)I([0-9]|1[01])\\.bmp\\.(saving|kept)-([1-9][0-9]{0,8})$"));
    return name;
}

} // namespace

void StartWith(PlaceWay way)
{
    firstWay = way;
}

int RemoveLeftovers(const QString& folder)
{
    const int dir = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return 0;
    // The saves killed part-way are finished or undone first: the sweep below
    // would take away the files they need.
    SaveIntent::FinishInterrupted(dir);
    DIR* entries = ::fdopendir(::dup(dir));
    if (!entries) {
        ::close(dir);
        return 0;
    }
    ::rewinddir(entries); // the copy shares the reading position of the folder just read
    QList<QByteArray> gone;
    while (const dirent* entry = ::readdir(entries)) {
        const QRegularExpressionMatch m = leftoverName().match(QFile::decodeName(entry->d_name));
        if (!m.hasMatch())
            continue;
        const pid_t pid = pid_t(m.captured(4).toLong());
        struct stat st {};
        if (::fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (!SaveIntent::ProcessGone(pid))
            continue; // its process is still there (or another user's): it may be saving now
        gone << QByteArray(entry->d_name);
    }
    ::closedir(entries);
    int removed = 0;
    for (const QByteArray& name : gone)
        removed += ::unlinkat(dir, name.constData(), 0) == 0 ? 1 : 0;
    ::close(dir);
    return removed;
}

RunError WritePage(const QString& folder, int page, const std::vector<Slot>& pictures,
                   const std::function<void(int slot)>& progress, QStringList* goneUnchanged)
{
    const int dir = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int dirError = errno;
    if (dir >= 0)
        RemoveLeftovers(folder);
    std::vector<Pending> pending;
    auto discard = [&] {
        for (const Pending& p : pending)
            ::unlinkat(dir, p.temp.constData(), 0);
        if (dir >= 0)
            ::close(dir);
    };
    for (int s = 0; s <= 11; ++s) {
        for (const Slot& slot : pictures) {
            if (slot.slot != s)
                continue;
            const QString fileName = AlbumPaths::SlotFileName(page, s);
            const QString target = folder + u'/' + fileName;
            if (!slot.picture.sourcePath.isEmpty() && sameFile(slot.picture.sourcePath, target))
                continue; // unchanged in its own file
            if (!slot.picture.kept && !slot.picture.sourcePath.isEmpty() && !fileIsThere(slot.picture.sourcePath)) {
                // Unchanged, and its file went away meanwhile (another program
                // deleted it): the slot only holds its shown pixels, nothing to save.
                if (goneUnchanged)
                    goneUnchanged->append(fileName);
                continue;
            }
            if (dir < 0) {
                discard();
                return failure(folder, errnoText(dirError)); // the folder failed, not this slot's file
            }
            Pending p;
            p.target = target;
            p.name = native(fileName);
            p.temp = native(QStringLiteral(".%1.saving-%2").arg(fileName).arg(::getpid()));
            p.kept = native(QStringLiteral(".%1.kept-%2").arg(fileName).arg(::getpid()));
            ::unlinkat(dir, p.temp.constData(), 0);
            QString problem;
            if (!writeOne(slot.picture, dir, p.temp, &problem)) {
                discard();
                return failure(target, problem);
            }
            p.newFile = SaveIntent::FileAt(dir, p.temp);
            p.oldFile = SaveIntent::FileAt(dir, p.name);
            pending.push_back(std::move(p));
        }
        if (progress)
            progress(s);
    }
    if (pending.empty()) {
        if (dir >= 0)
            ::close(dir);
        return {};
    }
    // Every new file goes to disk in one flush of the file system (far quicker
    // than one sync per file); only then do they take their places.
    if (::syncfs(dir) != 0) {
        const RunError e = failure(folder, errnoText(errno)); // no one file is to blame
        discard();
        return e;
    }
    std::vector<SaveIntent::File> files;
    for (const Pending& p : pending)
        files.push_back({p.name, p.newFile, p.oldFile});
    const QByteArray intent = SaveIntent::Name(page);
    if (const int e = SaveIntent::Write(dir, intent, files); e != 0) {
        const RunError error = failure(folder + u'/' + QFile::decodeName(intent), errnoText(e));
        discard();
        return error;
    }
    PlaceWay way = firstWay;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const int e = place(dir, pending[i], way);
        KillPoint(QStringLiteral("page-save-placed-%1").arg(i + 1).toLatin1().constData());
        if (e != 0) {
            // All or nothing: every file already in place gives way to its old one again.
            QStringList notBack;
            for (std::size_t j = i; j-- > 0;) {
                if (!putBack(dir, pending[j]))
                    notBack.prepend(QFileInfo(pending[j].target).fileName());
                KillPoint("page-save-putting-back");
            }
            for (std::size_t j = i; j < pending.size(); ++j)
                ::unlinkat(dir, pending[j].temp.constData(), 0);
            ::fsync(dir);
            ::unlinkat(dir, intent.constData(), 0);
            ::fsync(dir);
            ::close(dir);
            return failure(pending[i].target, errnoText(e),
                           notBack.isEmpty()
                               ? Unchanged
                               : QStringLiteral("These files of this page already hold the new picture and could not "
                                                "be put back: %1. Every other file of this page is as it was.")
                                     .arg(notBack.join(QStringLiteral(", "))));
        }
    }
    // The renames themselves reach the disk with the folder, before the intent goes.
    ::fsync(dir);
    for (const Pending& p : pending)
        dropOld(dir, p);
    ::unlinkat(dir, intent.constData(), 0);
    ::fsync(dir);
    ::close(dir);
    return {};
}

} // namespace PageWriter
