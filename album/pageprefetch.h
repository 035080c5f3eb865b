#pragma once

#include "slotreader.h"

#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Decodes the pictures of a page on worker threads, in slot order, while the
// page loader takes them one by one as it fills the slots and counts progress.
// Only the slot-sized pictures are ever kept. Slots already read (ahead, in the
// background) are handed in and not decoded again.
class PagePrefetch {
public:
    using Ready = std::vector<std::optional<SlotReader::Read>>;

    PagePrefetch(const QStringList& paths, QSize box, qreal devicePixelRatio, Ready ready = {}, int threads = 2);
    ~PagePrefetch();
    PagePrefetch(const PagePrefetch&) = delete;
    PagePrefetch& operator=(const PagePrefetch&) = delete;

    // Waits for slot `index` and hands its result over.
    Pictures::LoadResult take(int index);
    // Slot `index` was painted at `pixels` (device pixels): when its picture is of another
    // size, its slot entry is kept at that size, so that the next time it needs no scaling.
    void painted(int index, const Picture& picture, QSize pixels);
    // The thumbnails and fail entries worth keeping, once every slot has been taken.
    std::vector<SlotReader::ToKeep> takeToKeep();

    // Where the pages' pictures came from, counted over the whole run: handed in (read
    // ahead into memory), from the thumbnail cache, or decoded here. The benchmarks check
    // their baselines with it.
    struct Sources {
        int memory = 0, cache = 0, decoded = 0;
    };
    static Sources Tally();

private:
    void work();

    const QStringList m_paths;
    QSize m_box;
    qreal m_dpr;
    ThumbnailCache m_cache;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::vector<std::optional<Pictures::LoadResult>> m_results;
    std::vector<std::optional<ThumbnailCache::FileFacts>> m_facts; // each file as it was read
    std::vector<bool> m_claimed;
    std::vector<SlotReader::ToKeep> m_toKeep;
    int m_next = 0;
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};
