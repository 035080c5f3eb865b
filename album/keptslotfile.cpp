#include "keptslotfile.h"

#include "decoding.h"
#include "fileops.h"
#include "keptfile.h"
#include "picture.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KeptSlotFile {
namespace {

// The process's file mode mask as /proc tells it: umask() itself would change it
// for every thread for a moment.
mode_t fileMask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask & 0777);
            }
        }
    }
    return 022;
}

QByteArray headOf(const QString& path)
{
    const int fd = Files::OpenRegular(path);
    if (fd < 0)
        return {};
    QByteArray head(64, '\0');
    const ssize_t n = ::pread(fd, head.data(), std::size_t(head.size()), 0);
    ::close(fd);
    head.truncate(n > 0 ? qsizetype(n) : 0);
    return head;
}

} // namespace

bool KeptAsItIs(const QByteArray& head)
{
    static const QByteArray starts[] = {
        QByteArray("\x89PNG\r\n\x1a\n", 8), QByteArray("GIF87a"), QByteArray("GIF89a"),
        QByteArray("II*\0", 4),  QByteArray("MM\0*", 4), QByteArray("II+\0", 4), QByteArray("MM\0+", 4), // TIFF, BigTIFF
        QByteArray("\0\0\1\0", 4), QByteArray("\0\0\2\0", 4)};                                           // icon, cursor
    for (const QByteArray& start : starts) {
        if (head.startsWith(start))
            return true;
    }
    const bool webp = head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP";
    return webp || Pictures::LooksLikeJpeg(head) || Pictures::LooksLikeHeif(head);
}

QString SavedAsItIs(const Picture& picture)
{
    // A picture pasted as data has a private copy too, but no file of its own.
    const QString path = picture.kept ? (picture.originalName.isEmpty() ? QString() : picture.kept->Path())
                                      : picture.sourcePath;
    return !path.isEmpty() && KeptAsItIs(headOf(path)) ? path : QString();
}

bool Link(const KeptFile& kept, int dir, const QByteArray& temp)
{
    const QByteArray self = QFile::encodeName(kept.Path());
    struct stat st {};
    // Named once only: two albums never share one file, so changing one never changes the other.
    if (::stat(self.constData(), &st) != 0 || st.st_nlink != 0)
        return false;
    if (::linkat(AT_FDCWD, self.constData(), dir, temp.constData(), AT_SYMLINK_FOLLOW) != 0)
        return false;
    // The private copy is the owner's alone; an album file is as any file the program writes.
    if (::fchmodat(dir, temp.constData(), 0666 & ~fileMask(), 0) != 0) {
        ::unlinkat(dir, temp.constData(), 0);
        return false;
    }
    return true;
}

} // namespace KeptSlotFile
