#include "photobackups.h"

#include "killpoint.h"
#include "photostore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace PhotoBackups {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

bool modified(const QString& path, timespec* time, off_t* size = nullptr)
{
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *time = st.st_mtim;
    if (size)
        *size = st.st_size;
    return true;
}

bool newer(const timespec& a, const timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// When the notes last changed: every write moves the time of the store or of
// its write-ahead log on (a log that holds nothing yet was only opened).
bool lastChange(const QString& storePath, timespec* time)
{
    if (!modified(storePath, time))
        return false;
    timespec log{};
    off_t logSize = 0;
    if (modified(storePath + QStringLiteral("-wal"), &log, &logSize) && logSize > 0 && newer(log, *time))
        *time = log;
    return true;
}

QString buildingPath(const QString& storePath, qint64 pid)
{
    return storePath + QStringLiteral(".backup-%1").arg(pid);
}

// Passing copies left by a program that was killed while taking a backup;
// one of a process still running is its own business.
void removeLeftovers(const QString& storePath)
{
    const QFileInfo store(storePath);
    const QRegularExpression pattern(QStringLiteral("^%1\\.backup-([1-9][0-9]{0,9})$")
                                         .arg(QRegularExpression::escape(store.fileName())));
    const QStringList names = QDir(store.path()).entryList({store.fileName() + QStringLiteral(".backup-*")},
                                                           QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch())
            continue;
        const qint64 pid = m.captured(1).toLongLong();
        if (pid != ::getpid() && pid <= INT_MAX && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QFile::remove(store.path() + u'/' + name);
    }
}

// Only one program takes a backup of a store at a time, so two started
// together never rotate the same generations twice. The lock file stays:
// removing it while another program waits on it would let two hold it.
class BackupLock {
public:
    enum State { Held, Busy, Failed };
    explicit BackupLock(const QString& storePath)
    {
        m_fd = ::open(native(storePath + QStringLiteral(".backups-lock")).constData(),
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd < 0)
            m_state = Failed;
        else if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
            m_state = Held;
        else
            m_state = errno == EWOULDBLOCK ? Busy : Failed;
    }
    ~BackupLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    State state() const { return m_state; }

private:
    int m_fd = -1;
    State m_state = Failed;
};

bool exists(const QString& path)
{
    return ::access(native(path).constData(), F_OK) == 0;
}

RunError fileError(const QString& path)
{
    return RunError::make(RunError::PathFileAccess,
                          QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

// The copy on disk, with the time of the version it holds.
RunError settle(const QString& path, const timespec& version)
{
    const int fd = ::open(native(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return fileError(path);
    const timespec times[2] = {version, version};
    const bool ok = ::fsync(fd) == 0 && ::futimens(fd, times) == 0;
    const RunError e = ok ? RunError{} : fileError(path);
    ::close(fd);
    return e;
}

// Whether two files hold the same bytes: a backup of notes that did not
// change is the same file, whatever moved the store's time on (a checkpoint
// of its log, made when the last program using it closes it).
bool sameBytes(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    constexpr qint64 Chunk = 1 << 20;
    while (!fa.atEnd()) {
        const QByteArray x = fa.read(Chunk);
        if (x.isEmpty() || x != fb.read(Chunk))
            return false;
    }
    return true;
}

void syncFolder(const QString& folder)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void lowestPriority()
{
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 19);
    // The idle disk class (3) for this thread: reads and writes when the disk has nothing else to do.
    syscall(SYS_ioprio_set, 1 /* IOPRIO_WHO_PROCESS */, 0, (3 << 13) | 0);
}

// One backup at a time on a thread of its own, which runs only when a core
// would otherwise be idle, from its very first instruction on.
struct Background {
    std::mutex mutex;
    pthread_t thread{};
    bool running = false;
    QString storePath;
    std::atomic<bool> stop{false};

    ~Background() { end(true); }
    void end(bool stopIt)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (stopIt)
            stop = true;
        if (running)
            pthread_join(thread, nullptr);
        running = false;
        stop = false;
    }
    static void* run(void* self)
    {
        auto* b = static_cast<Background*>(self);
        lowestPriority();
        Keep(b->storePath, [b] { return b->stop.load(std::memory_order_relaxed); });
        return nullptr;
    }
    void start(const QString& path)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        storePath = path;
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        sched_param none{};
        const bool idle = pthread_attr_setinheritsched(&attributes, PTHREAD_EXPLICIT_SCHED) == 0 &&
                          pthread_attr_setschedpolicy(&attributes, SCHED_IDLE) == 0 &&
                          pthread_attr_setschedparam(&attributes, &none) == 0;
        running = pthread_create(&thread, idle ? &attributes : nullptr, &Background::run, this) == 0 ||
                  (idle && pthread_create(&thread, nullptr, &Background::run, this) == 0);
        pthread_attr_destroy(&attributes);
        if (running && !idle)
            pthread_setschedparam(thread, SCHED_IDLE, &none);
    }
};

Background& background()
{
    static Background b;
    return b;
}

} // namespace

QString BackupPath(const QString& storePath, int generation)
{
    return storePath + u'.' + QString::number(generation);
}

RunError Keep(const QString& storePath, const std::function<bool()>& stopRequested)
{
    timespec version{}, newest{};
    const auto due = [&] {
        return lastChange(storePath, &version) &&
               !(modified(BackupPath(storePath, 1), &newest) && !newer(version, newest));
    };
    if (!due())
        return {};
    RunError error;
    auto db = PhotoDatabase::Open(storePath, &error); // never a copy of what is not a store
    if (!db)
        return error;
    const BackupLock lock(storePath);
    if (lock.state() == BackupLock::Busy)
        return {}; // another copy of the program is taking this very backup
    if (lock.state() == BackupLock::Failed)
        return fileError(storePath + QStringLiteral(".backups-lock"));
    if (!due())
        return {}; // taken meanwhile by another copy of the program
    removeLeftovers(storePath);
    // Made the owner's alone before a byte of the notes is in it.
    const QString building = buildingPath(storePath, ::getpid());
    QFile::remove(building);
    const int fd = ::open(native(building).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return fileError(building);
    ::close(fd);
    KillPoint("backup-copying");
    error = db->BackupTo(building, stopRequested);
    db.reset();
    if (!error.failed())
        error = settle(building, version);
    if (error.failed()) {
        QFile::remove(building);
        return error;
    }
    KillPoint("backup-copied");
    if (sameBytes(building, BackupPath(storePath, 1))) {
        // The newest backup holds this very version: it only takes its time.
        settle(BackupPath(storePath, 1), version);
        QFile::remove(building);
        return {};
    }
    // Each step is a rename: at every moment each generation is a whole file.
    // Only the generations up to the first gap move on (a gap a stopped
    // rotation left), so no generation is pushed out while a place is free.
    int gap = 1;
    while (gap < Kept && exists(BackupPath(storePath, gap)))
        ++gap;
    for (int g = gap; g > 1; --g) {
        std::rename(native(BackupPath(storePath, g - 1)).constData(), native(BackupPath(storePath, g)).constData());
        KillPoint(QByteArray("backup-moved-to-" + QByteArray::number(g)).constData());
    }
    if (std::rename(native(building).constData(), native(BackupPath(storePath, 1)).constData()) != 0) {
        const RunError e = fileError(BackupPath(storePath, 1));
        QFile::remove(building);
        return e;
    }
    syncFolder(QFileInfo(storePath).path());
    return {};
}

void KeepInBackground(const QString& storePath)
{
    Background& b = background();
    b.end(false);
    b.start(storePath);
}

void WaitForBackground()
{
    background().end(false);
}

void StopBackground()
{
    background().end(true);
}

} // namespace PhotoBackups
