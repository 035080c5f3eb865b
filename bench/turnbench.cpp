// Turning through a ten-page album, the user dwelling a second on each page:
// from the turn (the page menu's handler) to all twelve slots painted.
//   first visit   nothing kept anywhere; neighbour pages read ahead while the user looks
//   second visit  a new run of the program: nothing in memory, the thumbnails kept on disk
//   cache only    the thumbnails kept, nothing read ahead
//   cache after a dwell
//                 the same, each turn after 1 s, 2 s or 5 s with nothing running: the
//                 baseline of the rows below that dwell as long. A virtual machine may
//                 touch memory many times more slowly once the guest has idled: the ratios
//                 show the read-ahead's gain apart from the machine's idling
//   repaint only after 5 s
//                 the page painted again, nothing changed, after 5 s idle: the floor of any
//                 turn there (about 5 ms back to back)
//   cold page     a page with nothing ahead and no thumbnails (the first page of a first
//                 visit), against the same page loaded without any cache, and against
//                 libjpeg-turbo's own scaled decode of its files on two threads
//   jump          Page 7 from page 1, and End, after the album has been open 5 s (a first
//                 visit: the rest of the album read ahead into the thumbnail cache meanwhile)
//   from list     opening the album after its name has been highlighted on the stored album
//                 list for 2 s (a first visit: its page 1 read ahead into the cache meanwhile)
//   held          the most memory the read-ahead held at the end of any dwell above
// All in the same run, on a 24-megapixel JPEG album and a 24-bit bitmap album.
#include "benchpictures.h"
#include "forms.h"
#include "frmpage1.h"
#include "frmselectalbum1.h"
#include "pageloader.h"
#include "pagereadahead.h"
#include "program.h"
#include "screennames.h"
#include "session.h"
#include "thumbnailcache.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

QString benchFolder;
constexpr int DwellMs = 1000;
constexpr int ColdRounds = 5;
constexpr int OpenDwellMs = 5000;
constexpr int ListDwellMs = 2000;
constexpr int JumpRounds = 3;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

// Ten pages of hard links to the prepared page's twelve files, each page in another order:
// every name is a file of its own to the loader and to the thumbnail cache.
void makeAlbum(const QString& name, const QStringList& source)
{
    const QString folder = benchFolder + u'/' + name;
    QDir().mkpath(folder);
    for (int p = 1; p <= 10; ++p)
        for (int s = 0; s <= 11; ++s) {
            const QString target = folder + QStringLiteral("/P%1I%2.bmp").arg(p).arg(s);
            if (!QFile::exists(target))
                ::link(QFile::encodeName(source[(s + p) % 12]).constData(), QFile::encodeName(target).constData());
        }
}

void dwell(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double turnTo(int n)
{
    const auto t0 = Clock::now();
    page()->mnuP_Click(n);
    page()->repaint();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The page painted again with nothing changed: the least any turn costs.
double repaintOnly()
{
    const auto t0 = Clock::now();
    page()->repaint();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// End on the page screen, as the user presses it.
double pressEnd()
{
    const auto t0 = Clock::now();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(page(), &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(page(), &release);
    page()->repaint();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

FrmSelectAlbum1* albumList()
{
    return Forms::Get<FrmSelectAlbum1>(Screen::SelectAlbum1);
}

// The stored album list on screen with `name` highlighted, as the user left it.
void highlight(const QString& name)
{
    Forms::Show(Screen::SelectAlbum1);
    const QList<QListWidgetItem*> found = albumList()->lstAlbumList->findItems(name, Qt::MatchExactly);
    if (!found.isEmpty())
        albumList()->lstAlbumList->setCurrentItem(found.first());
}

double selectFromList()
{
    const auto t0 = Clock::now();
    albumList()->cmdSelect_Click();
    page()->repaint();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void openAlbum(const QString& name)
{
    session.albumName = name;
    session.albumFolderName = name;
    session.albumChanged = 0;
    session.newAlbumName.clear();
}

// Turns 1 to 10, dwelling on each page; returns each turn's time. `held` grows to the most
// memory the read-ahead held at the end of a dwell.
std::vector<double> visit(const QString& name, qint64& held)
{
    openAlbum(name);
    std::vector<double> turns;
    for (int n = 1; n <= 10; ++n) {
        turns.push_back(turnTo(n));
        dwell(DwellMs);
        held = std::max(held, PageReadAhead::Instance().BytesHeld());
    }
    return turns;
}

void freshCache(QTemporaryDir& dir)
{
    QDir(dir.path() + QStringLiteral("/thumbnails")).removeRecursively();
    ThumbnailCache::UseShared(dir.path() + QStringLiteral("/thumbnails"));
}

double turboScaledDecode(const QStringList& files, QSize box)
{
    const auto t0 = Clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            for (qsizetype i = t; i < files.size(); i += 2)
                BenchPictures::TurboScaledDecode(files[i], box);
        });
    for (auto& th : threads)
        th.join();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void report(benchmark::State& state, const std::string& name, std::vector<double> turns)
{
    state.counters[name + "_median_ms"] = median(turns);
    state.counters[name + "_worst_ms"] = turns.empty() ? 0 : *std::max_element(turns.begin(), turns.end());
}

void turnThrough(benchmark::State& state, const QString& name, bool jpeg)
{
    QTemporaryDir cacheDir;
    PageReadAhead& ahead = PageReadAhead::Instance();
    std::vector<double> first, second, cacheOnly, cold, uncached, turbo, jump7, jumpEnd, fromList;
    std::vector<double> cacheAfter1s, cacheAfter2s, cacheAfter5s, repaintAfter5s;
    qint64 held = 0;
    for (auto _ : state) {
        // The first page of a first visit, with nothing ahead, against the same load with
        // no cache at all and against libjpeg-turbo, interleaved round by round.
        ahead.SetEnabled(false);
        for (int round = 0; round < ColdRounds; ++round) {
            openAlbum(name);
            turnTo(2); // away from page 1, so each round turns to it afresh
            freshCache(cacheDir);
            cold.push_back(turnTo(1));
            ThumbnailCache::UseShared({});
            uncached.push_back(turnTo(1));
            if (jpeg) {
                QStringList files;
                for (int s = 0; s <= 11; ++s)
                    files << benchFolder + u'/' + name + QStringLiteral("/P1I%1.bmp").arg(s);
                turbo.push_back(turboScaledDecode(files, SlotPixels()));
            }
        }

        freshCache(cacheDir);
        ahead.SetEnabled(true);
        openAlbum(name);
        turnTo(2); // so that the visit's first turn, to page 1, finds nothing ahead
        ahead.Forget();
        first = visit(name, held);
        ahead.WaitUntilIdle(60000);

        ahead.Forget(); // a new run of the program: only the disk cache is left
        openAlbum(name);
        turnTo(2);
        ahead.Forget();
        second = visit(name, held);

        ahead.SetEnabled(false);
        openAlbum(name);
        for (int n = 1; n <= 10; ++n)
            cacheOnly.push_back(turnTo(n));
        for (int n = 1; n <= 10; ++n) {
            dwell(DwellMs);
            cacheAfter1s.push_back(turnTo(n));
        }
        for (int round = 0; round < JumpRounds; ++round) {
            dwell(ListDwellMs);
            cacheAfter2s.push_back(turnTo(1));
            dwell(OpenDwellMs);
            cacheAfter5s.push_back(turnTo(7));
            dwell(OpenDwellMs);
            repaintAfter5s.push_back(repaintOnly());
        }

        // Jumps and the album list, each from nothing kept: a fresh cache, nothing in memory.
        for (int round = 0; round < JumpRounds; ++round) {
            for (const bool end : {false, true}) {
                ahead.SetEnabled(false);
                openAlbum(name);
                turnTo(2);
                freshCache(cacheDir);
                ahead.SetEnabled(true);
                turnTo(1);
                dwell(OpenDwellMs);
                held = std::max(held, ahead.BytesHeld());
                (end ? jumpEnd : jump7).push_back(end ? pressEnd() : turnTo(7));
            }
            ahead.SetEnabled(false);
            freshCache(cacheDir);
            ahead.SetEnabled(true);
            highlight(name);
            dwell(ListDwellMs);
            held = std::max(held, ahead.BytesHeld());
            openAlbum(name);
            fromList.push_back(selectFromList());
        }
        ahead.SetEnabled(false);
    }
    report(state, "first_visit_ahead", std::vector<double>(first.begin() + 1, first.end()));
    state.counters["first_visit_page1_ms"] = first.front();
    report(state, "second_visit", second);
    report(state, "cache_only", cacheOnly);
    report(state, "cache_after_1s", cacheAfter1s);
    state.counters["cache_after_2s_median_ms"] = median(cacheAfter2s);
    state.counters["cache_after_5s_median_ms"] = median(cacheAfter5s);
    state.counters["repaint_only_after_5s_median_ms"] = median(repaintAfter5s);
    state.counters["cold_page_ms"] = median(cold);
    state.counters["no_cache_page_ms"] = median(uncached);
    state.counters["cold_vs_no_cache"] = median(cold) / median(uncached);
    report(state, "jump_page7_after_5s", jump7);
    report(state, "jump_end_after_5s", jumpEnd);
    report(state, "open_from_list_after_2s", fromList);
    state.counters["second_visit_vs_cache_after_1s"] = median(second) / median(cacheAfter1s);
    state.counters["jump_page7_vs_cache_after_5s"] = median(jump7) / median(cacheAfter5s);
    state.counters["jump_end_vs_cache_after_5s"] = median(jumpEnd) / median(cacheAfter5s);
    state.counters["from_list_vs_cache_after_2s"] = median(fromList) / median(cacheAfter2s);
    state.counters["read_ahead_held_MB"] = double(held) / (1024.0 * 1024.0);
    if (jpeg) {
        state.counters["turbo2cores_ms"] = median(turbo);
        state.counters["cold_vs_turbo"] = median(cold) / median(turbo);
    }
    ThumbnailCache::UseShared({});
}

void BM_TurnJpegAlbum(benchmark::State& state)
{
    turnThrough(state, QStringLiteral("turn-jpeg"), true);
}

void BM_TurnBitmapAlbum(benchmark::State& state)
{
    turnThrough(state, QStringLiteral("turn-bmp"), false);
}

} // namespace

BENCHMARK(BM_TurnJpegAlbum)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TurnBitmapAlbum)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    BenchPictures::UseDesktopSizedScreen();
    QApplication app(argc, argv);

    benchFolder = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench"));
    const BenchPictures::Album album = BenchPictures::Prepare(benchFolder);
    makeAlbum(QStringLiteral("turn-bmp"), album.page(1));
    makeAlbum(QStringLiteral("turn-jpeg"), album.page(2));
    QDir::setCurrent(benchFolder);
    session.appPath = benchFolder;
    session.startPath = benchFolder;
    RegisterScreens();
    page()->Show();
    for (const char* name : {"turn-jpeg", "turn-bmp"}) { // every file in the page cache, for every variant alike
        openAlbum(QLatin1String(name));
        for (int n = 1; n <= 10; ++n)
            turnTo(n);
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PageReadAhead::Instance().SetEnabled(false);
    Forms::Reset();
    return 0;
}
