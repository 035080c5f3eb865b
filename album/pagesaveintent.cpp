#include "pagesaveintent.h"

#include "fileops.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SaveIntent {
namespace {

const QByteArray Head = "quillbook page save\n";
const QByteArray End = "end\n";

const QRegularExpression& intentName()
{
    static const QRegularExpression name(QStringLiteral("^\\.P([1-9]|10)\\.intent-([1-9][0-9]{0,8})$"));
    return name;
}

bool isFolder(int dir, const QByteArray& name)
{
    struct stat st {};
    return ::fstatat(dir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

struct Found {
    QByteArray name, temp, kept;
    ino_t newFile = 0, oldFile = 0;
};

// The files an intent names, or none when it is not whole: an intent cut short
// was being written before any file moved, so there is nothing to finish.
std::vector<Found> read(int dir, const QByteArray& intent, int page, const QByteArray& pid)
{
    QByteArray text;
    if (const int fd = ::openat(dir, intent.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC); fd >= 0) {
        char buffer[4096];
        ssize_t n = 0;
        while (text.size() < 8192 && (n = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, n);
        ::close(fd);
    }
    if (!text.startsWith(Head) || !text.endsWith(End))
        return {};
    // Only this page's picture files, and only inside this folder.
    const QRegularExpression fileName(QStringLiteral("^P%1I([0-9]|1[01])\\.bmp$").arg(page));
    const QList<QByteArray> lines = text.chopped(End.size()).mid(Head.size()).split('\n');
    std::vector<Found> files;
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> f = line.split(' ');
        if (f.size() != 3 || !fileName.match(QString::fromLatin1(f[0])).hasMatch())
            return {};
        bool okNew = false, okOld = false;
        Found file{f[0], '.' + f[0] + ".saving-" + pid, '.' + f[0] + ".kept-" + pid,
                   ino_t(f[1].toULongLong(&okNew)), ino_t(f[2].toULongLong(&okOld))};
        if (!okNew || !okOld || file.newFile == 0)
            return {};
        files.push_back(file);
    }
    return files;
}

void finish(int dir, const QByteArray& intent, int page, const QByteArray& pid)
{
    const std::vector<Found> files = read(dir, intent, page, pid);
    // Forward when every new file is in place or still waits beside its name.
    bool forward = true;
    for (const Found& f : files) {
        if (FileAt(dir, f.name) != f.newFile && (isFolder(dir, f.name) || FileAt(dir, f.temp) != f.newFile))
            forward = false;
    }
    for (const Found& f : files) {
        const bool placed = FileAt(dir, f.name) == f.newFile;
        if (forward && !placed)
            ::renameat(dir, f.temp.constData(), dir, f.name.constData());
        else if (forward || !placed)
            continue;
        else if (f.oldFile == 0)
            ::unlinkat(dir, f.name.constData(), 0);
        else if (FileAt(dir, f.temp) == f.oldFile)
            ::renameat(dir, f.temp.constData(), dir, f.name.constData());
        else if (FileAt(dir, f.kept) == f.oldFile)
            ::renameat(dir, f.kept.constData(), dir, f.name.constData());
        // else the old file was renamed over and is gone: the new one stays rather than none
    }
    ::fsync(dir);
    ::unlinkat(dir, intent.constData(), 0);
    ::fsync(dir);
}

} // namespace

QByteArray Name(int page)
{
    return QFile::encodeName(QStringLiteral(".P%1.intent-%2").arg(page).arg(::getpid()));
}

int Write(int dir, const QByteArray& name, const std::vector<File>& files)
{
    QByteArray text = Head;
    for (const File& f : files)
        text += f.name + ' ' + QByteArray::number(quint64(f.newFile)) + ' ' + QByteArray::number(quint64(f.oldFile)) +
                '\n';
    text += End;
    ::unlinkat(dir, name.constData(), 0);
    const int fd = ::openat(dir, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    int failed = Files::WriteAll(fd, text.constData(), std::size_t(text.size())) && ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && failed == 0)
        failed = errno;
    if (failed == 0 && ::fsync(dir) != 0)
        failed = errno;
    if (failed != 0)
        ::unlinkat(dir, name.constData(), 0);
    return failed;
}

void FinishInterrupted(int dir)
{
    DIR* entries = ::fdopendir(::dup(dir));
    if (!entries)
        return;
    ::rewinddir(entries); // the copy shares its reading position with `dir`
    QList<std::pair<QByteArray, QRegularExpressionMatch>> found;
    while (const dirent* entry = ::readdir(entries)) {
        const QRegularExpressionMatch m = intentName().match(QFile::decodeName(entry->d_name));
        if (m.hasMatch() && ProcessGone(pid_t(m.captured(2).toLong())) && FileAt(dir, entry->d_name) != 0)
            found.append({QByteArray(entry->d_name), m});
    }
    ::closedir(entries);
    for (const auto& [intent, m] : std::as_const(found))
        finish(dir, intent, m.captured(1).toInt(), m.captured(2).toLatin1());
}

ino_t FileAt(int dir, const QByteArray& name)
{
    struct stat st {};
    return ::fstatat(dir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) ? st.st_ino : 0;
}

bool ProcessGone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace SaveIntent
