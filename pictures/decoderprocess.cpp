#include "decoderprocess.h"

#include "decoding.h"
#include "helperchannel.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <vector>
#include <poll.h>
#include <spawn.h>
#include <atomic>
#include <mutex>
#include <optional>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace DecoderProcess {
namespace {

const char HelperName[] = "quillbook-wmf";

// The bytes as a descriptor of their own, read from its start: the helper's standard input.
int bytesAsDescriptor(const QByteArray& bytes)
{
    const int fd = ::memfd_create("quillbook-picture", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        data += n;
        left -= n;
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

// Runs the helper on `bytes` with `arguments`; the shown size must pass `promised`.
Outcome run(const QByteArray& bytes, const QList<QByteArray>& arguments, int timeLimitMs,
            const std::function<bool(QSize natural, QSize shown)>& promised)
{
    Outcome outcome;
    const QString helper = HelperPath();
    if (helper.isEmpty()) {
        outcome.failure = QStringLiteral("the picture decoder is not installed");
        return outcome;
    }
    const int input = bytesAsDescriptor(bytes);
    int out[2];
    if (input < 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        if (input >= 0)
            ::close(input);
        outcome.failure = QStringLiteral("the picture decoder could not be started");
        return outcome;
    }
    const QByteArray program = QFile::encodeName(helper);
    std::vector<char*> args{const_cast<char*>(program.constData())};
    for (const QByteArray& a : arguments)
        args.push_back(const_cast<char*>(a.constData()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, program.constData(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(input);
    if (spawned != 0) {
        ::close(out[0]);
        outcome.failure = QStringLiteral("the picture decoder could not be started");
        return outcome;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs);
    QImage image;
    char header[20];
    if (HelperChannel::ReadExactly(out[0], header, sizeof header, deadline) && QByteArray(header, 4) == "QPIX") {
        const QSize natural(qFromLittleEndian<qint32>(header + 4), qFromLittleEndian<qint32>(header + 8));
        const QSize shown(qFromLittleEndian<qint32>(header + 12), qFromLittleEndian<qint32>(header + 16));
        if (!natural.isEmpty() && !shown.isEmpty() && promised(natural, shown)) {
            // Straight into the picture's own buffer: RGB32 rows have no padding.
            image = QImage(shown, QImage::Format_RGB32);
            if (image.isNull() || !HelperChannel::ReadExactly(out[0], reinterpret_cast<char*>(image.bits()), image.sizeInBytes(), deadline))
                image = QImage();
            outcome.natural = natural;
        }
    }
    ::close(out[0]);
    // Whatever it did, the helper goes now; its exit status tells whether the picture is whole.
    ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (HelperDiedForTests && WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL && WTERMSIG(status) != SIGXCPU)
        HelperDiedForTests(WTERMSIG(status));
    if (clean || (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL && !image.isNull())) {
        outcome.shown = image;
    } else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS) {
        outcome.failure = QStringLiteral("its decoder tried what no picture needs and was stopped");
    } else if (std::chrono::steady_clock::now() >= deadline) {
        outcome.failure = QStringLiteral("its decoder took too long");
    } else {
        outcome.failure = QStringLiteral("its decoder could not read it");
    }
    if (outcome.shown.isNull())
        outcome.natural = {};
    return outcome;
}

// A serving helper: its process and the program's end of its channel.
struct Serving {
    pid_t pid = -1;
    int channel = -1;
    QString program;
    int served = 0;
    // The answer's buffer, shared with this helper for its life (handed with its first picture):
    // the pages a picture's pixels take are made once, not for every picture.
    int answer = -1;
    const uchar* answerPixels = nullptr; // the program's view of it, read-only
    bool answerHanded = false;
};

// The answer's buffer: room for the largest picture the helper may send back (taking memory only
// where written); what a large picture wrote past the first KeptAnswerBytes is given back after.
constexpr qint64 AnswerBytes = Pictures::MemoryBudgetBytes;
constexpr qint64 KeptAnswerBytes = 48ll << 20;

void endAnswer(Serving& h)
{
    if (h.answerPixels)
        ::munmap(const_cast<uchar*>(h.answerPixels), std::size_t(AnswerBytes));
    if (h.answer >= 0)
        ::close(h.answer);
    h.answer = -1;
    h.answerPixels = nullptr;
}

// The exit status of a helper that is done with: it ends on its own (after a failed
// picture) or is ended at the deadline.
int endOf(Serving& h, std::chrono::steady_clock::time_point deadline)
{
    ::close(h.channel);
    endAnswer(h);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(h.pid, &status, WNOHANG);
        if (done == h.pid || (done < 0 && errno != EINTR))
            return status;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(h.pid, SIGKILL);
            while (::waitpid(h.pid, &status, 0) < 0 && errno == EINTR) {
            }
            return status;
        }
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, 2);
    }
}

std::atomic<int> started{0};
std::atomic<int> byDescriptor{0};

std::optional<Serving> startServing(const QString& helper)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return std::nullopt;
    const QByteArray program = QFile::encodeName(helper);
    char* args[] = {const_cast<char*>(program.constData()), const_cast<char*>("serve"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, program.constData(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        return std::nullopt;
    }
    ++started;
    Serving h{child, ends[0], helper, 0};
    h.answer = HelperChannel::AnswerBuffer(AnswerBytes);
    void* view = h.answer >= 0 ? ::mmap(nullptr, std::size_t(AnswerBytes), PROT_READ, MAP_SHARED, h.answer, 0) : MAP_FAILED;
    if (view == MAP_FAILED)
        endAnswer(h); // the pixels come through the channel instead
    else
        h.answerPixels = static_cast<const uchar*>(view);
    return h;
}

// Helpers started once and used again; at most this many wait between pictures, each for at
// most this many pictures. A fresh helper starts cold: its image plugins loaded, and each colour
// profile's conversion made anew on its first picture (a table profile's sampled grid takes some
// 10 ms, a few slots' time), so a helper serves some ten pages before it goes.
constexpr std::size_t IdleHelpers = 2;
constexpr int PicturesPerHelper = 128;

struct Pool {
    std::mutex mutex;
    std::vector<Serving> idle;

    ~Pool() { endIdle(); }
    void endIdle()
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (Serving& h : idle)
            endOf(h, std::chrono::steady_clock::now());
        idle.clear();
    }
    std::optional<Serving> take(const QString& helper)
    {
        std::lock_guard<std::mutex> lock(mutex);
        while (!idle.empty()) {
            Serving h = idle.back();
            idle.pop_back();
            if (h.program == helper)
                return h;
            endOf(h, std::chrono::steady_clock::now());
        }
        return std::nullopt;
    }
    void give(Serving h)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (++h.served < PicturesPerHelper && idle.size() < IdleHelpers) {
            idle.push_back(h);
            return;
        }
        endOf(h, std::chrono::steady_clock::now());
    }
};

Pool& pool()
{
    static Pool p;
    return p;
}

QString failureOf(int status, bool late)
{
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS)
        return QStringLiteral("its decoder tried what no picture needs and was stopped");
    if (late || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU))
        return QStringLiteral("its decoder took too long");
    return QStringLiteral("its decoder could not read it");
}

// A picture for the helper: its bytes, or a read-only descriptor of its file.
struct Input {
    const QByteArray* bytes = nullptr;
    int fd = -1;
    qint64 size = 0;
};

// The request and the picture: its descriptor where the channel takes one, else its bytes; with
// them, the first time, the answer's buffer (when there is one).
bool sendPicture(Serving& h, QSize box, qint32 probe, const Input& input, std::chrono::steady_clock::time_point deadline)
{
    const int answer = h.answerHanded ? -1 : h.answer;
    char request[24] = {'Q', 'R', 'E', 'Q'};
    qToLittleEndian<qint32>(box.isEmpty() ? 0 : box.width(), request + 4);
    qToLittleEndian<qint32>(box.isEmpty() ? 0 : box.height(), request + 8);
    qToLittleEndian<qint32>(probe, request + 12);
    qToLittleEndian<qint64>(input.bytes ? input.bytes->size() : input.size, request + 16);
    bool nothingSent = true;
    if (input.fd >= 0) {
        request[1] = 'F', request[2] = 'D', request[3] = 'R';
        const int fds[2] = {input.fd, answer};
        if (HelperChannel::SendWithDescriptors(h.channel, request, sizeof request, fds, answer >= 0 ? 2 : 1, deadline,
                                               nothingSent)) {
            ++byDescriptor;
            h.answerHanded = h.answerHanded || answer >= 0;
            return true;
        }
        if (!nothingSent)
            return false;
        // The channel takes no descriptor: the bytes through it, the answer too.
        request[1] = 'R', request[2] = 'E', request[3] = 'Q';
        QByteArray bytes;
        return HelperChannel::ReadFile(input.fd, input.size, bytes) && HelperChannel::WriteExactly(h.channel, request, sizeof request, deadline) &&
               HelperChannel::WriteExactly(h.channel, bytes.constData(), bytes.size(), deadline);
    }
    if (answer >= 0 && HelperChannel::SendWithDescriptors(h.channel, request, sizeof request, &answer, 1, deadline, nothingSent))
        h.answerHanded = true;
    else if (!nothingSent || !HelperChannel::WriteExactly(h.channel, request, sizeof request, deadline))
        return false;
    return HelperChannel::WriteExactly(h.channel, input.bytes->constData(), input.bytes->size(), deadline);
}

// The pixels the helper put in the answer's buffer, copied into the picture's own; pages a large
// picture took past the first KeptAnswerBytes are given back.
QImage fromAnswer(const Serving& h, QSize shown)
{
    const qint64 bytes = Pictures::PixelBytes(shown);
    if (!h.answerPixels || bytes > AnswerBytes)
        return {};
    QImage image(shown, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    std::memcpy(image.bits(), h.answerPixels, std::size_t(bytes)); // RGB32 rows have no padding
    if (bytes > KeptAnswerBytes)
        ::fallocate(h.answer, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, KeptAnswerBytes, bytes - KeptAnswerBytes);
    return image;
}

// One picture through one serving helper, which goes back to the pool when it succeeds.
Outcome serveOne(Serving h, const Input& input, QSize box, qint32 probe,
                 std::chrono::steady_clock::time_point deadline, bool& endedFromOutside)
{
    Outcome outcome;
    QString reason; // what the helper said before it ended
    if (sendPicture(h, box, probe, input, deadline)) {
        char header[20];
        const bool read = HelperChannel::ReadExactly(h.channel, header, 8, deadline);
        const QByteArray kind(header, read ? 4 : 0);
        if (kind == "QERR") {
            const qint32 length = qFromLittleEndian<qint32>(header + 4);
            QByteArray why(std::clamp(length, 0, 400), '\0');
            if (length == why.size() && HelperChannel::ReadExactly(h.channel, why.data(), why.size(), deadline))
                reason = QString::fromUtf8(why);
        } else if ((kind == "QPIX" || (kind == "QSHM" && h.answerHanded)) && HelperChannel::ReadExactly(h.channel, header + 8, 12, deadline)) {
            const QSize natural(qFromLittleEndian<qint32>(header + 4), qFromLittleEndian<qint32>(header + 8));
            const QSize shown(qFromLittleEndian<qint32>(header + 12), qFromLittleEndian<qint32>(header + 16));
            if (!natural.isEmpty() && !shown.isEmpty() && !Pictures::TooManyPixels(natural) &&
                shown == Pictures::TargetSize(natural, box)) {
                QImage image;
                if (kind == "QSHM") {
                    image = fromAnswer(h, shown);
                } else {
                    // Straight into the picture's own buffer: RGB32 rows have no padding.
                    image = QImage(shown, QImage::Format_RGB32);
                    if (!image.isNull() &&
                        !HelperChannel::ReadExactly(h.channel, reinterpret_cast<char*>(image.bits()), image.sizeInBytes(), deadline))
                        image = QImage();
                }
                if (!image.isNull()) {
                    outcome.shown = image;
                    outcome.natural = natural;
                    pool().give(h);
                    return outcome;
                }
            }
        }
    }
    const int status = endOf(h, deadline);
    const bool said = WIFEXITED(status) && WEXITSTATUS(status) == 4 && !reason.isEmpty();
    endedFromOutside = !said && WIFSIGNALED(status) &&
                       (WTERMSIG(status) == SIGKILL || WTERMSIG(status) == SIGTERM || WTERMSIG(status) == SIGPIPE ||
                        WTERMSIG(status) == SIGHUP || WTERMSIG(status) == SIGINT) &&
                       std::chrono::steady_clock::now() < deadline;
    if (HelperDiedForTests && WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL && WTERMSIG(status) != SIGXCPU)
        HelperDiedForTests(WTERMSIG(status));
    outcome.failure = said ? reason : failureOf(status, std::chrono::steady_clock::now() >= deadline);
    return outcome;
}

} // namespace

void (*HelperDiedForTests)(int signal) = nullptr;

int HelpersStarted()
{
    return started;
}

void EndIdleHelpers()
{
    pool().endIdle();
}

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
    const QString chosen = qEnvironmentVariable("QUILL_DECODER_HELPER");
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
#ifdef QUILL_DECODER_HELPER_BUILT
    const QString built = QStringLiteral(QUILL_DECODER_HELPER_BUILT);
    if (QFileInfo(built).isExecutable())
        return built;
#endif
    return {};
}

namespace {

Outcome decode(const Input& input, QSize box, int timeLimitMs)
{
    Outcome outcome;
    const QString helper = HelperPath();
    if (helper.isEmpty()) {
        outcome.failure = QStringLiteral("the picture decoder is not installed");
        return outcome;
    }
    static const QList<QByteArray> probes{"", "open", "socket", "exec", "execmem", "allocator"};
    const qint32 probe = qint32(std::max<qsizetype>(0, probes.indexOf(qgetenv("QUILL_DECODER_PROBE"))));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs);
    // A helper used before that was gone before it could answer (ended from outside while it
    // waited) is replaced once by a fresh one; a picture that crashes, stalls or takes over its
    // helper is not tried again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A probe (tests only) gets a helper of its own, started in this environment; so does the
        // second attempt.
        std::optional<Serving> h = probe || attempt > 0 ? std::nullopt : pool().take(helper);
        const bool reused = h.has_value();
        if (!h)
            h = startServing(helper);
        if (!h) {
            outcome.failure = QStringLiteral("the picture decoder could not be started");
            return outcome;
        }
        bool endedFromOutside = false;
        outcome = serveOne(*h, input, box, probe, deadline, endedFromOutside);
        if (!outcome.shown.isNull() || !reused || !endedFromOutside || std::chrono::steady_clock::now() >= deadline)
            return outcome;
    }
    return outcome;
}

} // namespace

Outcome Decode(const QByteArray& bytes, QSize box, int timeLimitMs)
{
    Input input;
    input.bytes = &bytes;
    return decode(input, box, timeLimitMs);
}

Outcome DecodeFile(int fd, qint64 size, QSize box, int timeLimitMs)
{
    Input input;
    input.fd = fd;
    input.size = size;
    return decode(input, box, timeLimitMs);
}

int PicturesByDescriptor()
{
    return byDescriptor;
}

Outcome RenderMetafile(const QByteArray& bytes, int maxSide, int timeLimitMs)
{
    return run(bytes, {"wmf", QByteArray::number(maxSide)}, timeLimitMs, [maxSide](QSize natural, QSize shown) {
        return natural == shown && shown.width() <= maxSide && shown.height() <= maxSide;
    });
}

} // namespace DecoderProcess
