#pragma once

#include "pageprefetch.h"

#include <QCoreApplication>
#include <QObject>
#include <QWidget>

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace benchmark {
class State;
}

// What the turn benchmark keeps per row: each sample's time, where the page's pictures came
// from (a "served from the cache" baseline that decoded is no baseline), and how often the
// page and its slot pictures were painted.
struct TurnRow {
    std::vector<double> ms;
    PagePrefetch::Sources sources;
    int pagePaints = 0;
    int slotPaints = 0;
    int readAhead = -1; // pictures the read-ahead decoded during the dwells before the samples

    double median() const;
    double worst() const;
    // Name, samples and figures as counters, and one line on stderr; a row meant to be served
    // from the cache or memory that decoded anything is marked.
    void report(benchmark::State& state, const std::string& name, bool servedFromCache) const;
};

// Counts paint events of the page and of its slot pictures.
class PaintTally : public QObject {
public:
    PaintTally(QWidget* page, const std::vector<QWidget*>& slotPictures);
    int pagePaints = 0;
    int slotPaints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_page;
};

// One sample of `row`: `act` timed with whatever it left posted (a deferred paint is part
// of the turn), the pictures' sources and the paints counted.
template <class Act>
double Sample(TurnRow& row, PaintTally& paints, Act&& act)
{
    const PagePrefetch::Sources before = PagePrefetch::Tally();
    const int pageBefore = paints.pagePaints, slotsBefore = paints.slotPaints;
    const auto t0 = std::chrono::steady_clock::now();
    act();
    QCoreApplication::sendPostedEvents();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    const PagePrefetch::Sources after = PagePrefetch::Tally();
    row.ms.push_back(ms);
    row.sources.memory += after.memory - before.memory;
    row.sources.cache += after.cache - before.cache;
    row.sources.decoded += after.decoded - before.decoded;
    row.pagePaints += paints.pagePaints - pageBefore;
    row.slotPaints += paints.slotPaints - slotsBefore;
    return ms;
}

// Both cores kept busy by child processes at nice 19 spinning, as a background build does,
// from construction to destruction. The children die with the benchmark too.
class BusyMachine {
public:
    explicit BusyMachine(int processes = 2);
    ~BusyMachine();
    BusyMachine(const BusyMachine&) = delete;
    BusyMachine& operator=(const BusyMachine&) = delete;
    int Running() const { return int(m_children.size()); }

private:
    std::vector<pid_t> m_children;
};
