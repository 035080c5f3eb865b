#include "viewreadahead.h"

#include "pictureloader.h"

#include <QFile>

#include <chrono>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// The user's own work comes first: the thread runs at nice 10 as a batch job.
void lowPriority()
{
    sched_param none{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &none);
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 10);
}
} // namespace

ViewReadAhead::~ViewReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_entries.clear();
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

std::optional<ViewReadAhead::Stamp> ViewReadAhead::StampOf(const Picture& picture)
{
    Stamp s;
    if (picture.sourcePath.isEmpty()) {
        if (picture.full.isNull())
            return std::nullopt;
        s.imageKey = picture.full.cacheKey();
        return s;
    }
    struct stat st {};
    if (::stat(QFile::encodeName(picture.sourcePath).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

ViewReadAhead::Entry* ViewReadAhead::find(const Stamp& stamp, QSize box, qreal dpr)
{
    for (Entry& e : m_entries) {
        if (e.stamp == stamp && e.box == box && e.dpr == dpr)
            return &e;
    }
    return nullptr;
}

void ViewReadAhead::Want(const QList<Picture>& pictures, QSize box, qreal dpr, ShownSize shownSize)
{
    std::deque<Entry> wanted;
    for (const Picture& picture : pictures) {
        if (int(wanted.size()) == MaxHeld)
            break;
        const std::optional<Stamp> stamp = StampOf(picture);
        if (!stamp)
            continue;
        Entry e;
        e.source = picture;
        e.stamp = *stamp;
        e.box = box;
        e.dpr = dpr;
        e.shownSize = shownSize;
        wanted.push_back(std::move(e));
    }
    {
        const std::lock_guard lock(m_mutex);
        for (Entry& e : wanted) {
            if (Entry* held = find(e.stamp, box, dpr))
                e = std::move(*held); // kept, ready or on its way
        }
        m_entries = std::move(wanted);
        if (!m_worker.joinable() && !m_entries.empty())
            m_worker = std::thread([this] { work(); });
    }
    m_changed.notify_all();
}

std::optional<Picture> ViewReadAhead::Take(const Picture& picture, QSize box, qreal dpr)
{
    const std::optional<Stamp> stamp = StampOf(picture);
    if (!stamp)
        return std::nullopt;
    std::unique_lock lock(m_mutex);
    // A picture half decoded is finished sooner than one started afresh.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool waited = false;
    for (;;) {
        const Entry* e = find(*stamp, box, dpr);
        if (!e || (!e->ready && !e->decoding))
            return std::nullopt;
        if (e->ready)
            break;
        waited = true;
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout)
            return std::nullopt;
    }
    Picture shown = *find(*stamp, box, dpr)->ready;
    lock.unlock();
    // A kept copy stays open for as long as any picture read from it is held.
    shown.kept = picture.kept;
    shown.originalName = picture.originalName;
    ++m_handedOver;
    m_waitedFor += waited ? 1 : 0;
    return shown;
}

void ViewReadAhead::Forget()
{
    {
        const std::lock_guard lock(m_mutex);
        m_entries.clear();
    }
    m_changed.notify_all();
}

int ViewReadAhead::Ready() const
{
    const std::lock_guard lock(m_mutex);
    int ready = 0;
    for (const Entry& e : m_entries)
        ready += e.ready ? 1 : 0;
    return ready;
}

bool ViewReadAhead::WaitUntilIdle(int ms) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] {
        for (const Entry& e : m_entries) {
            if (!e.ready)
                return false;
        }
        return true;
    });
}

void ViewReadAhead::work()
{
    lowPriority();
    std::unique_lock lock(m_mutex);
    for (;;) {
        Entry* next = nullptr;
        m_changed.wait(lock, [&] {
            for (Entry& e : m_entries) {
                if (!e.ready && !e.decoding) {
                    next = &e;
                    break;
                }
            }
            return m_stop || next;
        });
        if (m_stop)
            return;
        next->decoding = true;
        const Picture source = next->source;
        const Stamp stamp = next->stamp;
        const QSize box = next->box;
        const qreal dpr = next->dpr;
        const ShownSize shownSize = next->shownSize;
        lock.unlock();

        std::optional<Picture> read;
        if (!source.sourcePath.isEmpty()) {
            Pictures::LoadResult loaded = Pictures::LoadPicture(source.sourcePath, box, dpr);
            // Read while the file changed: not this picture; the view reads it itself.
            if (!loaded.error.failed() && StampOf(source) == stamp)
                read = std::move(loaded.picture);
        } else {
            read = Pictures::PictureFromImage(source.full, box, dpr);
        }
        if (read && shownSize) {
            // Scaled as the picture element scales it when it paints (its size is fixed by the
            // picture's own size alone), so the step's paint only copies it to the screen.
            const QSize target = shownSize(read->natural);
            if (!target.isEmpty() && target != read->shown.size()) {
                const qreal ratio = read->shown.devicePixelRatio();
                read->shown = read->shown.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                read->shown.setDevicePixelRatio(ratio);
            }
        }
        ++m_decoded;

        lock.lock();
        if (Entry* e = find(stamp, box, dpr)) {
            e->decoding = false;
            if (read)
                e->ready = std::move(read);
            else
                std::erase_if(m_entries, [&](const Entry& x) { return &x == e; });
        }
        m_changed.notify_all();
    }
}
