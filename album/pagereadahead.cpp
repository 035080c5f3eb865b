#include "pagereadahead.h"

#include "interaction.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QResizeEvent>

#include <optional>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// How often the idle check runs while there is work.
constexpr int TickMs = 50;

// Cache entries waiting to be written: at most about two pages of them. Once that many
// wait, they are written before anything more is read; and when pages are turned while
// nothing may run (the machine busy with other work), the oldest go rather than pile up
// (such a picture is only decoded again on a later visit).
constexpr std::size_t MaxWaitingEntries = 24;

// The painted sizes learned: twelve slots of a few sizes of picture, at a few window sizes.
constexpr qsizetype MaxPaintedSizes = 1024;

// The picture scaled once, here, to the size the page paints it at, and its cache entry with it.
void atPaintedSize(SlotReader::Read& read, QSize painted)
{
    QImage& shown = read.result.picture.shown;
    if (painted.isEmpty() || shown.isNull() || shown.size() == painted)
        return;
    const qreal dpr = shown.devicePixelRatio();
    shown = shown.scaled(painted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    shown.setDevicePixelRatio(dpr);
    if (read.keep && !read.keep->slot.isNull()) {
        read.keep->slot = shown;
        read.keep->painted = {};
    }
}

// The background threads take a low but real share of the processor: on a machine busy
// with other work (a build at nice 19, a browser) they still run, while the user's own work
// comes first. They also stop starting work the moment the user acts.
void lowPriority()
{
    sched_param none{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &none);
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 10);
}

} // namespace

PageReadAhead& PageReadAhead::Instance()
{
    static PageReadAhead engine;
    return engine;
}

PageReadAhead::PageReadAhead()
{
    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_sinceInput.start();
}

PageReadAhead::~PageReadAhead()
{
    Shutdown();
}

void PageReadAhead::Shutdown()
{
    SetEnabled(false);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_workers)
        t.join();
    m_workers.clear();
}

void PageReadAhead::SetEnabled(bool on)
{
    m_enabled = on;
    if (QCoreApplication* app = QCoreApplication::instance()) {
        if (on)
            app->installEventFilter(this);
        else
            app->removeEventFilter(this);
    }
    if (!on)
        Forget();
}

PageReadAhead::Stamp PageReadAhead::StampOf(const QString& path)
{
    struct stat st {};
    Stamp s;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    s.ctimeNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return s;
}

void PageReadAhead::Want(const QList<QStringList>& pages, QSize box, qreal dpr, const QList<QStringList>& cacheOnly)
{
    wish(pages, box, dpr, cacheOnly, {});
}

void PageReadAhead::WantInCache(const QStringList& pictures, QSize box, qreal dpr, std::function<bool()> gate)
{
    wish({}, box, dpr, {pictures}, std::move(gate));
}

void PageReadAhead::wish(const QList<QStringList>& pages, QSize box, qreal dpr, const QList<QStringList>& cacheOnly,
                         std::function<bool()> gate)
{
    if (!m_enabled)
        return;
    // Without a thumbnail cache to write, a picture read for it alone would be thrown away.
    const ThumbnailCache cache = ThumbnailCache::Shared();
    const bool intoCache = cache.writable();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Pictures read at another size, or of pages no longer wanted in memory, go.
        ++m_generation;
        m_reads.clear();
        m_cacheReads.clear();
        m_inMemory.clear();
        m_slotOf.clear();
        for (const QStringList& page : pages)
            for (const QString& path : page)
                m_inMemory.insert(path);
        for (const QList<QStringList>* list : {&pages, &cacheOnly})
            for (const QStringList& page : *list)
                for (qsizetype s = 0; s < page.size(); ++s)
                    m_slotOf.insert(page[s], int(s));
        for (auto it = m_kept.begin(); it != m_kept.end();)
            it = m_inMemory.contains(it.key()) && it->box == box && it->dpr == dpr ? std::next(it) : m_kept.erase(it);
        if (box != m_box || dpr != m_dpr || cache.root() != m_inCacheRoot)
            m_inCache.clear();
        m_inCacheRoot = cache.root();
        m_box = box;
        m_dpr = dpr;
        for (const QStringList& page : pages)
            for (const QString& path : page)
                if (!m_kept.contains(path))
                    m_reads.push_back(path);
        if (intoCache)
            for (const QStringList& page : cacheOnly)
                for (const QString& path : page)
                    if (!m_inMemory.contains(path))
                        m_cacheReads.push_back(path);
    }
    m_wishGate = std::move(gate);
    startWorkers();
    m_sinceInput.restart();
    m_timer.start();
}

void PageReadAhead::LearnPaintedSize(const QWidget& canvas, QSize box, qreal dpr, int slot, QSize natural,
                                     QSize painted)
{
    if (natural.isEmpty() || painted.isEmpty())
        return;
    m_canvas = &canvas;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Other slot sizes, or more sizes than a few window sizes' worth, are forgotten.
    if (box != m_paintedBox || dpr != m_paintedDpr || m_painted.size() >= MaxPaintedSizes) {
        m_painted.clear();
        m_paintedBox = box;
        m_paintedDpr = dpr;
    }
    m_area = canvas.size();
    // The slot's place on the page rounds its painted size, so the slot is part of the key.
    m_painted.insert(PaintedKey{m_area, slot, natural}, painted);
}

QSize PageReadAhead::paintedSizeOf(const QString& path, QSize natural, QSize box, qreal dpr, QSize* area) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto slot = m_slotOf.constFind(path);
    if (slot == m_slotOf.cend() || box != m_paintedBox || dpr != m_paintedDpr)
        return {};
    if (area)
        *area = m_area;
    return m_painted.value(PaintedKey{m_area, *slot, natural});
}

void PageReadAhead::Keep(std::vector<SlotReader::ToKeep> entries)
{
    if (!m_enabled || entries.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (SlotReader::ToKeep& e : entries)
            m_writes.push_back(std::move(e));
        while (m_writes.size() > MaxWaitingEntries)
            m_writes.pop_front();
    }
    startWorkers();
    m_timer.start();
}

std::optional<Pictures::LoadResult> PageReadAhead::Take(const QString& path, QSize box, qreal dpr)
{
    std::optional<SlotReader::Read> read = TakeRead(path, box, dpr);
    if (!read)
        return std::nullopt;
    return std::move(read->result);
}

std::optional<SlotReader::Read> PageReadAhead::TakeRead(const QString& path, QSize box, qreal dpr)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_kept.find(path);
    if (it == m_kept.end())
        return std::nullopt;
    Kept kept = std::move(*it);
    m_kept.erase(it);
    // Saved, replaced or deleted since it was read: never shown stale. Scaled for a canvas of
    // another size: read again, never shown scaled up or down a second time.
    if (kept.box != box || kept.dpr != dpr || !(kept.stamp == StampOf(path)) ||
        (kept.area.isValid() && kept.area != m_area))
        return std::nullopt;
    ++m_handedOver;
    SlotReader::Read read;
    read.result = std::move(kept.result);
    read.facts = std::move(kept.facts);
    return read;
}

void PageReadAhead::Pause()
{
    m_sinceInput.restart();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
}

void PageReadAhead::Forget()
{
    m_timer.stop();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    ++m_generation;
    m_reads.clear();
    m_cacheReads.clear();
    m_writes.clear();
    m_kept.clear();
    m_inMemory.clear();
    m_slotOf.clear();
    m_inCache.clear();
    m_wishGate = {};
}

bool PageReadAhead::Working() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_reads.empty() || !m_cacheReads.empty() || !m_writes.empty() || m_busy > 0;
}

QStringList PageReadAhead::Held() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_kept.keys();
}

qint64 PageReadAhead::BytesHeld() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    qint64 bytes = 0;
    for (const Kept& kept : m_kept)
        bytes += kept.result.picture.shown.sizeInBytes();
    for (const SlotReader::ToKeep& entry : m_writes)
        bytes += entry.thumbnail.sizeInBytes() + entry.slot.sizeInBytes();
    return bytes;
}

bool PageReadAhead::WaitUntilIdle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (Working() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !Working();
}

bool PageReadAhead::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        // The page's slots take other sizes: what was learned at the old size no longer holds.
        if (watched == m_canvas) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_area = static_cast<QResizeEvent*>(event)->size();
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
        Pause();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void PageReadAhead::tick()
{
    const std::function<bool()>& gate = m_wishGate ? m_wishGate : m_gate;
    const bool go = m_enabled && gate && m_sinceInput.elapsed() >= m_idleDelay && QuestionsOpen() == 0 && gate();
    ++m_checks;
    bool idle;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = go;
        idle = m_reads.empty() && m_cacheReads.empty() && m_writes.empty() && m_busy == 0;
    }
    if (go)
        m_wake.notify_all();
    if (idle)
        m_timer.stop();
}

void PageReadAhead::startWorkers()
{
    if (!m_workers.empty() || m_stop)
        return;
    WhenQuestionOpens([this] { Pause(); });
    for (int i = 0; i < 2; ++i)
        m_workers.emplace_back([this] { work(); });
}

void PageReadAhead::readIntoCache(const QString& path, QSize box, qreal dpr, const ThumbnailCache& cache,
                                  quint64 generation)
{
    const Stamp before = StampOf(path);
    if (!before.exists)
        return; // an empty slot: nothing to read
    // Whether it may start, asked under the lock where the decode is counted: once the user
    // has acted, nothing new starts.
    const auto mayStart = [&] {
        if (m_running)
            return true;
        if (generation == m_generation) // it waits, first in line
            m_cacheReads.push_front(path);
        return false;
    };
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto done = m_inCache.constFind(path);
        if (done != m_inCache.cend() && *done == before)
            return; // read into the cache before, and unchanged since
        if (!mayStart())
            return;
    }
    // A kept entry of the file as it is now is left unread: decoding it again (after every
    // start of the program) would only compete with the user's page for the processor.
    // Anything else is decoded and its entry written at once, so nothing waits in memory.
    // The entry carries the file's time and size as they were before the read: a file
    // changed meanwhile is never answered from it.
    if (!SlotReader::Kept(path, box, cache)) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!mayStart()) // the user acted while the cache was looked at
                return;
            ++m_started;
        }
        SlotReader::Read read = SlotReader::ReadSlotPicture(path, box, dpr, cache);
        if (read.keep) {
            read.keep->painted = paintedSizeOf(path, read.keep->natural, box, dpr);
            SlotReader::Keep(cache, *read.keep);
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inCache.insert(path, before);
}

void PageReadAhead::work()
{
    lowPriority();
    for (;;) {
        QString path;
        bool intoCacheOnly = false;
        std::optional<SlotReader::ToKeep> write;
        QSize box;
        qreal dpr;
        quint64 generation;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] {
                return m_stop ||
                       (m_running && (!m_reads.empty() || !m_writes.empty() || !m_cacheReads.empty()));
            });
            if (m_stop)
                return;
            // The pages wanted in memory first, then their cache entries, then the rest of the album.
            if (!m_writes.empty() && (m_reads.empty() || m_writes.size() >= MaxWaitingEntries)) {
                write = std::move(m_writes.front());
                m_writes.pop_front();
            } else if (!m_reads.empty()) {
                path = std::move(m_reads.front());
                m_reads.pop_front();
                ++m_started;
            } else {
                path = std::move(m_cacheReads.front());
                m_cacheReads.pop_front();
                intoCacheOnly = true;
            }
            box = m_box;
            dpr = m_dpr;
            generation = m_generation;
            ++m_busy;
        }
        const ThumbnailCache cache = ThumbnailCache::Shared();
        if (write) {
            SlotReader::Keep(cache, *write);
        } else if (intoCacheOnly) {
            if (cache.enabled())
                readIntoCache(path, box, dpr, cache, generation);
        } else {
            const Stamp before = StampOf(path);
            SlotReader::Read read = SlotReader::ReadSlotPicture(path, box, dpr, cache);
            QSize area;
            const QSize painted = paintedSizeOf(path, read.result.picture.natural, box, dpr, &area);
            atPaintedSize(read, painted);
            if (painted.isEmpty())
                area = {};
            std::lock_guard<std::mutex> lock(m_mutex);
            if (read.keep)
                m_writes.push_back(std::move(*read.keep));
            // Kept only if still wanted in memory at this size (a new wish may have come meanwhile).
            if (box == m_box && dpr == m_dpr && m_inMemory.contains(path))
                m_kept.insert(path, Kept{before, box, dpr, area, std::move(read.result), std::move(read.facts)});
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_busy;
    }
}
