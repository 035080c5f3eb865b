#include "wmfprocess.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace WmfProcess {
namespace {

const char HelperName[] = "quillbook-wmf";

// Reads exactly `size` bytes before the deadline; false on a short read or a timeout.
bool readExactly(int fd, char* into, qint64 size, std::chrono::steady_clock::time_point deadline)
{
    while (size > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::read(fd, into, std::size_t(std::min<qint64>(size, 1 << 20)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        size -= n;
    }
    return true;
}

} // namespace

bool LooksLikeWmf(const QByteArray& head)
{
    if (head.size() < 18)
        return false;
    const auto* d = reinterpret_cast<const uchar*>(head.constData());
    if (qFromLittleEndian<quint32>(d) == 0x9AC6CDD7u)
        return true; // placeable metafile
    const quint16 type = qFromLittleEndian<quint16>(d);
    const quint16 headerWords = qFromLittleEndian<quint16>(d + 2);
    const quint16 version = qFromLittleEndian<quint16>(d + 4);
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0300 || version == 0x0100);
}

QString HelperPath()
{
    const QString chosen = qEnvironmentVariable("QUILL_WMF_HELPER");
    if (!chosen.isEmpty())
        return chosen;
    if (QCoreApplication::instance()) {
        // Beside the program (a program folder), or where the package puts it.
        const QString dir = QCoreApplication::applicationDirPath();
        for (const QString& candidate : {dir + u'/' + QLatin1String(HelperName),
                                         dir + QStringLiteral("/../libexec/quillbook/") + QLatin1String(HelperName)}) {
            if (QFileInfo(candidate).isExecutable())
                return candidate;
        }
    }
#ifdef QUILL_WMF_HELPER_BUILT
    const QString built = QStringLiteral(QUILL_WMF_HELPER_BUILT);
    if (QFileInfo(built).isExecutable())
        return built;
#endif
    return {};
}

QImage Render(const QString& path, int maxSide, int timeLimitMs)
{
    const QString helper = HelperPath();
    if (helper.isEmpty())
        return {};
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return {};
    const QByteArray program = QFile::encodeName(helper);
    const QByteArray input = QFile::encodeName(path);
    const QByteArray side = QByteArray::number(maxSide);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.constData(), O_RDONLY | O_NONBLOCK, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* args[] = {const_cast<char*>(program.constData()), const_cast<char*>(side.constData()), nullptr};
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, program.constData(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return {};
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs);
    QImage image;
    char header[12];
    if (readExactly(out[0], header, sizeof header, deadline) && QByteArray(header, 4) == "QWMF") {
        const qint32 w = qFromLittleEndian<qint32>(header + 4), h = qFromLittleEndian<qint32>(header + 8);
        if (w > 0 && h > 0 && w <= maxSide && h <= maxSide) {
            image = QImage(w, h, QImage::Format_RGB32);
            for (int y = 0; y < h && !image.isNull(); ++y) {
                if (!readExactly(out[0], reinterpret_cast<char*>(image.scanLine(y)), qint64(w) * 4, deadline))
                    image = QImage();
            }
        }
    }
    ::close(out[0]);
    // Whatever it did, the helper goes now; its exit status tells whether the picture is whole.
    ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return clean || (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL && !image.isNull()) ? image : QImage();
}

} // namespace WmfProcess
