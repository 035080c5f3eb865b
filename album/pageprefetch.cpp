#include "pageprefetch.h"

#include <algorithm>

PagePrefetch::PagePrefetch(const QStringList& paths, QSize box, qreal dpr, int threads)
    : m_paths(paths), m_box(box), m_dpr(dpr), m_results(std::size_t(paths.size()))
{
    const int count = std::clamp(threads, 1, int(std::max<qsizetype>(1, paths.size())));
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
            if (m_stop || m_next >= m_paths.size())
                return;
            index = m_next++;
        }
        // at(): a non-const [] would detach the shared list from two threads at once.
        Pictures::LoadResult result = Pictures::LoadPicture(m_paths.at(index), m_box, m_dpr);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_results[std::size_t(index)] = std::move(result);
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
