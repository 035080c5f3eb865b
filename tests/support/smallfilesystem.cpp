#include "smallfilesystem.h"

#include <QFile>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool writeText(const char* file, const QByteArray& text)
{
    QFile f{QString::fromLatin1(file)};
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// In the child: the private mount table (a user namespace of our own where we are not root),
// then the small file system.
QByteArray mountSmall(const QString& folder, const char* size)
{
    if (::unshare(CLONE_NEWNS) != 0) {
        const QByteArray uid = QByteArray::number(::getuid()), gid = QByteArray::number(::getgid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return "skip: no private mount table here";
        writeText("/proc/self/setgroups", "deny");
        writeText("/proc/self/uid_map", uid + ' ' + uid + " 1");
        writeText("/proc/self/gid_map", gid + ' ' + gid + " 1");
    }
    const QByteArray options = QByteArray("size=") + size;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0)
        return "skip: no small file system can be mounted here";
    return {};
}

} // namespace

QByteArray OnASmallFileSystem(const QString& folder, const char* size, const std::function<QByteArray()>& work)
{
    int report[2];
    if (::pipe(report) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        QByteArray said = mountSmall(folder, size);
        if (said.isEmpty())
            said = work();
        [[maybe_unused]] const ssize_t n = ::write(report[1], said.constData(), std::size_t(said.size()));
        ::_exit(0);
    }
    ::close(report[1]);
    QFile reader;
    if (!reader.open(report[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "no report";
    const QByteArray said = reader.readAll();
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        return "ended by signal " + QByteArray::number(WTERMSIG(status));
    return said;
}
