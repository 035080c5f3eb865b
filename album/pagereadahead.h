#pragma once

#include "slotreader.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Reads the pages the user is most likely to open next while the user does
// nothing: their slot pictures are decoded on two background threads at a low
// but real priority and kept, and the page loader takes them when the user turns
// there. After them it goes through the rest of the album, nearest page first,
// into the thumbnail cache only: memory holds the pages asked for (the next one, and the
// previous one when there is no cache) and no more.
// Any click, key or wheel turn, any question and any moment the gate says
// no (an editing mode, another screen in front) stops it before the next picture;
// it goes on once the user has been idle for a while. A picture is handed over
// only while its file is exactly as it was when read; otherwise the loader reads
// it again. Thumbnails and fail entries worth keeping are written here too.
class PageReadAhead : public QObject {
public:
    static PageReadAhead& Instance();

    // Off until the program turns it on (tests turn it on where they test it).
    void SetEnabled(bool on);
    bool Enabled() const { return m_enabled; }
    void SetIdleDelay(int milliseconds) { m_idleDelay = milliseconds; }
    // Whether work may go on now; asked on the UI thread. No gate: never.
    void SetGate(std::function<bool()> gate) { m_gate = std::move(gate); }

    // The pages to read, most likely first, kept in memory; then the pages of
    // `cacheOnly`, in order, read into the thumbnail cache only. Replaces any
    // earlier wish; the gate set by SetGate decides when it runs.
    void Want(const QList<QStringList>& pages, QSize box, qreal devicePixelRatio,
              const QList<QStringList>& cacheOnly = {});
    // Pictures read into the thumbnail cache only, while `gate` says yes (the
    // screen that asks is what the user looks at). Replaces any earlier wish.
    void WantInCache(const QStringList& pictures, QSize box, qreal devicePixelRatio, std::function<bool()> gate);
    // The page painted a picture of this natural size in slot `slot` (0 to 11) at `painted`
    // device pixels, its slots `box` in size, on `canvas` at its present size: pictures read
    // ahead for that slot, and the cache entries written here, are kept at the painted size
    // while the canvas keeps that size, so that showing them needs no scaling.
    void LearnPaintedSize(const QWidget& canvas, QSize box, qreal devicePixelRatio, int slot, QSize natural,
                          QSize painted);
    // Entries to write to the thumbnail cache, off the user's way.
    void Keep(std::vector<SlotReader::ToKeep> entries);
    // The picture read ahead for `path` at this size, when its file has not changed since.
    std::optional<Pictures::LoadResult> Take(const QString& path, QSize box, qreal devicePixelRatio);
    // The same with the file's facts as they were read (for a cache entry made from it later).
    std::optional<SlotReader::Read> TakeRead(const QString& path, QSize box, qreal devicePixelRatio);

    // The user acted: nothing new starts until the user has been idle again.
    void Pause();
    // Stops and drops everything read.
    void Forget();
    // Ends the background threads, waiting for a picture being read; before the application goes.
    void Shutdown();
    // Waits (processing events) until nothing is left to do or `ms` pass; for tests and benchmarks.
    bool WaitUntilIdle(int ms);

    // Pictures read: into memory, or decoded into the thumbnail cache (a picture the cache
    // already holds as it is now is not read again).
    int PicturesStarted() const { return m_started.load(); }
    int PicturesHandedOver() const { return m_handedOver.load(); }
    bool Working() const;
    // The pictures kept in memory, and the bytes they and the entries waiting to be written hold.
    QStringList Held() const;
    qint64 BytesHeld() const;
    // How many times it has looked whether it may go on; tests wait for these instead of a clock.
    int Checks() const { return m_checks; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Stamp {
        bool exists = false;
        quint64 device = 0, inode = 0;
        qint64 size = 0, mtimeNs = 0, ctimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct Kept {
        Stamp stamp;
        QSize box;
        qreal dpr = 1;
        QSize area; // the canvas's size it was scaled for; empty: read at `box`
        Pictures::LoadResult result;
        std::optional<ThumbnailCache::FileFacts> facts;
    };

    PageReadAhead();
    ~PageReadAhead() override;
    static Stamp StampOf(const QString& path);
    void wish(const QList<QStringList>& pages, QSize box, qreal dpr, const QList<QStringList>& cacheOnly,
              std::function<bool()> gate);
    void readIntoCache(const QString& path, QSize box, qreal dpr, const ThumbnailCache& cache, quint64 generation);
    QSize paintedSizeOf(const QString& path, QSize natural, QSize box, qreal dpr, QSize* area = nullptr) const;
    void tick();
    void startWorkers();
    void work();

    bool m_enabled = false;
    int m_idleDelay = 200;
    std::function<bool()> m_gate;
    std::function<bool()> m_wishGate; // the gate of a wish of another screen; else m_gate
    int m_checks = 0;
    QTimer m_timer;
    QElapsedTimer m_sinceInput;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QString> m_reads;                // pictures to read, most wanted first
    std::deque<QString> m_cacheReads;           // then these, into the thumbnail cache only
    QSet<QString> m_inMemory;                   // the pictures of m_reads' pages: only these are kept
    QHash<QString, int> m_slotOf;               // the slot of each picture wished for
    QHash<QString, Stamp> m_inCache;            // files already read into the cache, as they were then
    QString m_inCacheRoot;                      // ... of this cache
    quint64 m_generation = 0;                   // counts the wishes
    std::deque<SlotReader::ToKeep> m_writes;    // cache entries, once nothing is left to read
    QHash<QString, Kept> m_kept;
    QSize m_box;
    qreal m_dpr = 1;
    struct PaintedKey {
        QSize area; // the canvas's size
        int slot = 0;
        QSize natural;
        bool operator==(const PaintedKey&) const = default;
        friend size_t qHash(const PaintedKey& k, size_t seed = 0)
        {
            return qHashMulti(seed, k.area.width(), k.area.height(), k.slot, k.natural.width(), k.natural.height());
        }
    };
    QHash<PaintedKey, QSize> m_painted;         // the size the page paints a picture at,
    QSize m_paintedBox;                         // ... in slots of this size
    qreal m_paintedDpr = 1;
    QPointer<const QWidget> m_canvas;           // the page's canvas (used on the UI thread only)
    QSize m_area;                               // and its size now
    bool m_running = false;
    bool m_stop = false;
    int m_busy = 0;
    std::atomic<int> m_started{0};
    std::atomic<int> m_handedOver{0};
    std::vector<std::thread> m_workers;
};
