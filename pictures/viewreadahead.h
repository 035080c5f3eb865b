#pragma once

#include "picture.h"

#include <QList>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// The full-size view's read-ahead: the pictures next to the one shown (the next and the
// previous filled slot) are decoded at view size on one background thread at low priority,
// so that a step shows at once. It holds at most two pictures (the one being decoded may
// be a third for a moment). A picture is handed over only while its source is exactly as it
// was when read: the same file, unchanged (device, inode, size and times), or the same image
// in memory; a changed slot or page brings other sources, and the view decodes them itself.
class ViewReadAhead final {
public:
    static constexpr int MaxHeld = 2;

    ViewReadAhead() = default;
    ~ViewReadAhead();
    ViewReadAhead(const ViewReadAhead&) = delete;
    ViewReadAhead& operator=(const ViewReadAhead&) = delete;

    // The device pixels a picture of this size takes on screen: the read-ahead scales it to
    // them, so that its paint has nothing left to scale.
    using ShownSize = std::function<QSize(QSize natural)>;
    // The pictures to have ready (the first MaxHeld), read at `box` device pixels; replaces the
    // earlier wish, and what is held for it and no longer wanted is dropped.
    void Want(const QList<Picture>& pictures, QSize box, qreal devicePixelRatio, ShownSize shownSize = {});
    // `picture` at `box`, as Pictures::Reload gives it, when it was read ahead and its source has
    // not changed since; it waits for a picture being decoded right now. Nothing otherwise.
    std::optional<Picture> Take(const Picture& picture, QSize box, qreal devicePixelRatio);
    // Drops everything held and wanted.
    void Forget();

    // Pictures handed over, and decoded in the background.
    int HandedOver() const { return m_handedOver.load(); }
    // Of those, the ones still being decoded when asked for (the step waited for them).
    int WaitedFor() const { return m_waitedFor.load(); }
    int Decoded() const { return m_decoded.load(); }
    // How many pictures are held, decoded and ready.
    int Ready() const;
    // Waits until nothing is left to decode, or `ms` pass; for tests and benchmarks.
    bool WaitUntilIdle(int ms) const;

    struct Stamp {
        quint64 device = 0, inode = 0;
        qint64 size = -1, mtimeNs = 0, ctimeNs = 0;
        qint64 imageKey = 0; // a picture in memory (no file): its image
        bool operator==(const Stamp&) const = default;
    };
    // What makes a picture's source the same one: its file as it is now, or its image.
    static std::optional<Stamp> StampOf(const Picture& picture);

private:
    struct Entry {
        Picture source;
        Stamp stamp;
        QSize box;
        qreal dpr = 1;
        ShownSize shownSize;
        bool decoding = false;
        std::optional<Picture> ready;
    };
    void work();
    Entry* find(const Stamp& stamp, QSize box, qreal dpr);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::deque<Entry> m_entries;
    bool m_stop = false;
    std::thread m_worker;
    std::atomic<int> m_handedOver{0};
    std::atomic<int> m_waitedFor{0};
    std::atomic<int> m_decoded{0};
};
