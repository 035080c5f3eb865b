#include "pageprefetch.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> fromMemory{0}, fromCache{0}, decoded{0};

} // namespace

PagePrefetch::Sources PagePrefetch::Tally()
{
    return {fromMemory.load(), fromCache.load(), decoded.load()};
}

PagePrefetch::PagePrefetch(const QStringList& paths, QSize box, qreal dpr, Ready ready, int threads)
    : m_paths(paths), m_box(box), m_dpr(dpr), m_cache(ThumbnailCache::Shared()),
      m_results(std::size_t(paths.size())), m_facts(std::size_t(paths.size())),
      m_claimed(std::size_t(paths.size()), false)
{
    int toDecode = 0;
    for (std::size_t i = 0; i < m_results.size(); ++i) {
        if (i < ready.size() && ready[i]) {
            m_results[i] = std::move(ready[i]->result);
            m_facts[i] = std::move(ready[i]->facts);
            m_claimed[i] = true;
            ++fromMemory;
        } else {
            ++toDecode;
        }
    }
    const int count = std::min(std::max(threads, 1), toDecode);
    for (int i = 0; i < count; ++i)
        m_workers.emplace_back([this] { work(); });
}

PagePrefetch::~PagePrefetch()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    for (std::thread& t : m_workers)
        t.join();
}

void PagePrefetch::work()
{
    for (;;) {
        int index;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            while (m_next < m_paths.size() && m_claimed[std::size_t(m_next)])
                ++m_next;
            if (m_stop || m_next >= m_paths.size())
                return;
            index = m_next++;
            m_claimed[std::size_t(index)] = true;
        }
        // at(): a non-const [] would detach the shared list from two threads at once.
        SlotReader::Read read = SlotReader::ReadSlotPicture(m_paths.at(index), m_box, m_dpr, m_cache);
        ++(read.fromCache ? fromCache : decoded);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_results[std::size_t(index)] = std::move(read.result);
            m_facts[std::size_t(index)] = std::move(read.facts);
            if (read.keep)
                m_toKeep.push_back(std::move(*read.keep));
        }
        m_ready.notify_all();
    }
}

Pictures::LoadResult PagePrefetch::take(int index)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ready.wait(lock, [&] { return m_results[std::size_t(index)].has_value(); });
    Pictures::LoadResult result = std::move(*m_results[std::size_t(index)]);
    m_results[std::size_t(index)].reset();
    return result;
}

void PagePrefetch::painted(int index, const Picture& picture, QSize pixels)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::optional<ThumbnailCache::FileFacts>& facts = m_facts.at(std::size_t(index));
    if (!facts || !m_cache.enabled() || picture.isNull() || pixels.isEmpty() || picture.shown.size() == pixels)
        return;
    // The entry to be written anyway is written at that size; else the picture, as it was read.
    for (SlotReader::ToKeep& keep : m_toKeep)
        if (keep.facts.path == facts->path && !keep.slot.isNull()) {
            keep.painted = pixels;
            return;
        }
    m_toKeep.push_back(SlotReader::ToKeep{*facts, 0, {}, picture.natural, {}, m_box, picture.shown, pixels});
}

std::vector<SlotReader::ToKeep> PagePrefetch::takeToKeep()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::move(m_toKeep);
}
