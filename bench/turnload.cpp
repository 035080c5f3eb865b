#include "turnload.h"

#include <QEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

double TurnRow::median() const
{
    std::vector<double> v = ms;
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double TurnRow::worst() const
{
    return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end());
}

void TurnRow::report(benchmark::State& state, const std::string& name, bool servedFromCache) const
{
    const double n = double(std::max<std::size_t>(ms.size(), 1));
    state.counters[name + "_median_ms"] = median();
    state.counters[name + "_worst_ms"] = worst();
    state.counters[name + "_samples"] = double(ms.size());
    state.counters[name + "_from_memory"] = sources.memory;
    state.counters[name + "_from_cache"] = sources.cache;
    state.counters[name + "_misses"] = sources.decoded;
    state.counters[name + "_page_paints_per_sample"] = pagePaints / n;
    const bool unsound = servedFromCache && sources.decoded > 0;
    std::fprintf(stderr, "%-28s %3zu samples  median %8.1f ms  worst %8.1f ms  memory %3d  cache %3d  decoded %3d  "
                         "paints/sample: page %.1f, slots %.1f%s",
                 name.c_str(), ms.size(), median(), worst(), sources.memory, sources.cache, sources.decoded,
                 pagePaints / n, slotPaints / n, unsound ? "  MISSES: not all from the cache or memory" : "");
    if (readAhead >= 0) {
        state.counters[name + "_read_ahead_per_dwell"] = readAhead / n;
        std::fprintf(stderr, "  read ahead/dwell %.1f", readAhead / n);
    }
    std::fprintf(stderr, "\n");
}

PaintTally::PaintTally(QWidget* page, const std::vector<QWidget*>& slotPictures) : m_page(page)
{
    page->installEventFilter(this);
    for (QWidget* w : slotPictures)
        w->installEventFilter(this);
}

bool PaintTally::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint)
        ++(watched == m_page ? pagePaints : slotPaints);
    return false;
}

BusyMachine::BusyMachine(int processes)
{
    const pid_t parent = ::getpid();
    for (int i = 0; i < processes; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            // Only async-signal-safe calls here: the parent has threads.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(0);
            ::setpriority(PRIO_PROCESS, 0, 19);
            volatile unsigned long spin = 0;
            for (;;)
                spin = spin + 1;
        }
        if (child > 0)
            m_children.push_back(child);
    }
}

BusyMachine::~BusyMachine()
{
    for (const pid_t child : m_children)
        ::kill(child, SIGKILL);
    for (const pid_t child : m_children)
        ::waitpid(child, nullptr, 0);
}
