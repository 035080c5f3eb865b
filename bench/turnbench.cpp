// Turning through a ten-page album, the user dwelling a second on each page:
// from the turn (the page menu's handler) to all twelve slots painted, with whatever the turn
// left posted. Every row says how many of its pictures were handed over from memory (read
// ahead), came from the thumbnail cache or were decoded by the loader (its misses), and how
// often the page was painted per sample; a baseline meant to be served from the cache that
// decoded anything is marked on stderr. Rows take ten samples on ten pages unless said.
//   first visit   nothing kept anywhere; neighbour pages read ahead while the user looks
//   second visit  a new run of the program: nothing in memory, the thumbnails kept on disk
//   cache only    the thumbnails kept, nothing read ahead, back to back, each turn followed by
//   repaint       the page painted again with nothing changed: one full-page repaint, the
//                 floor of any turn (a turn paints once); printed as cache_only_vs_repaint
//   cache after a dwell
//                 the same, each turn after 1 s or 5 s with nothing running: the baseline of
//                 the rows below that dwell as long. A virtual machine may touch memory many
//                 times more slowly once the guest has idled: the ratios show the read-ahead's
//                 gain apart from the machine's idling
//   cold page     a page with nothing ahead and no thumbnails (the first page of a first
//                 visit), against the same page loaded without any cache, and against
//                 libjpeg-turbo's own scaled decode of its files on two threads
//   jump          Page 7 and End from pages 1 to 5, after the album has been open 5 s on
//                 that page, each from a fresh cache (the rest of the album read ahead into
//                 the thumbnail cache meanwhile)
//   busy jump     the same with both cores kept busy by processes at nice 19 (a background
//                 build) from the album's opening to the jump, interleaved with the quiet
//                 jumps sample by sample (the JPEG album only)
//   from list     opening the album after its name has been highlighted on the stored album
//                 list for 2 s (a first visit: its page 1 read ahead into the cache meanwhile;
//                 three samples, always page 1), against the cache alone after 2 s
//   held          the most memory the read-ahead held at the end of any dwell above
// All in the same run, on a 24-megapixel JPEG album and a 24-bit bitmap album.
#include "benchpictures.h"
#include "forms.h"
#include "frmpage1.h"
#include "frmselectalbum1.h"
#include "pageloader.h"
#include "pagereadahead.h"
#include "picturebox.h"
#include "program.h"
#include "screennames.h"
#include "session.h"
#include "thumbnailcache.h"
#include "turnload.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

QString benchFolder;
constexpr int DwellMs = 1000;
constexpr int OpenDwellMs = 5000;
constexpr int ListDwellMs = 2000;
constexpr int ListRounds = 3;
constexpr int JumpStarts = 5; // pages 1 to 5, each jumping to page 7 and to End

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

void turnTo(int n)
{
    page()->mnuP_Click(n);
}

// End on the page screen, as the user presses it.
void pressEnd()
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(page(), &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(page(), &release);
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

void openAlbum(const QString& name)
{
    session.albumName = name;
    session.albumFolderName = name;
    session.albumChanged = 0;
    session.newAlbumName.clear();
}

// Turns 1 to 10, dwelling on each page; the turn to page 1 into `page1`, the others into
// `rest`. `held` grows to the most memory the read-ahead held at the end of a dwell.
void visit(const QString& name, TurnRow& page1, TurnRow& rest, PaintTally& paints, qint64& held)
{
    openAlbum(name);
    for (int n = 1; n <= 10; ++n) {
        Sample(n == 1 ? page1 : rest, paints, [n] { turnTo(n); });
        dwell(DwellMs);
        held = std::max(held, PageReadAhead::Instance().BytesHeld());
    }
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

double ratio(const TurnRow& row, const TurnRow& baseline)
{
    return baseline.median() > 0 ? row.median() / baseline.median() : 0;
}

void turnThrough(benchmark::State& state, const QString& name, bool jpeg)
{
    QTemporaryDir cacheDir;
    PageReadAhead& ahead = PageReadAhead::Instance();
    std::vector<QWidget*> slotPictures;
    for (int s = 0; s <= 11; ++s)
        slotPictures.push_back(page()->Image1(s));
    PaintTally paints(page(), slotPictures);
    TurnRow first, firstPage1, second, cacheOnly, repaint, cold, uncached, turbo, jump7, jumpEnd, busy7, busyEnd;
    TurnRow cacheAfter1s, cacheAfter2s, cacheAfter5s, fromList;
    qint64 held = 0;
    int loadRunning = 0;
    for (auto _ : state) {
        // A page of a first visit, with nothing ahead, against the same load with no cache
        // at all and against libjpeg-turbo, interleaved page by page.
        ahead.SetEnabled(false);
        openAlbum(name);
        for (int n = 1; n <= 10; ++n) {
            freshCache(cacheDir);
            Sample(cold, paints, [n] { turnTo(n); });
            ThumbnailCache::UseShared({});
            Sample(uncached, paints, [n] { turnTo(n); }); // the same page again, read afresh
            if (jpeg) {
                QStringList files;
                for (int s = 0; s <= 11; ++s)
                    files << benchFolder + u'/' + name + QStringLiteral("/P%1I%2.bmp").arg(n).arg(s);
                Sample(turbo, paints, [&] { turboScaledDecode(files, SlotPixels()); });
            }
        }

        freshCache(cacheDir);
        ahead.SetEnabled(true);
        openAlbum(name);
        turnTo(2); // so that the visit's first turn, to page 1, finds nothing ahead
        ahead.Forget();
        visit(name, firstPage1, first, paints, held);
        ahead.WaitUntilIdle(60000);

        ahead.Forget(); // a new run of the program: only the disk cache is left
        openAlbum(name);
        turnTo(2);
        ahead.Forget();
        visit(name, second, second, paints, held);

        ahead.SetEnabled(false);
        openAlbum(name);
        for (int n = 1; n <= 10; ++n) {
            Sample(cacheOnly, paints, [n] { turnTo(n); });
            Sample(repaint, paints, [] { page()->repaint(); });
        }
        for (int n = 1; n <= 10; ++n) {
            dwell(DwellMs);
            Sample(cacheAfter1s, paints, [n] { turnTo(n); });
        }
        for (int n = 1; n <= 10; ++n) {
            dwell(OpenDwellMs);
            Sample(cacheAfter5s, paints, [n] { turnTo(n); });
        }
        for (int round = 0; round < ListRounds; ++round) {
            turnTo(2);
            dwell(ListDwellMs);
            Sample(cacheAfter2s, paints, [] { turnTo(1); });
        }

        // Jumps, each from nothing kept: a fresh cache, nothing in memory; on a busy machine
        // too, sample by sample.
        for (int from = 1; from <= JumpStarts; ++from)
            for (const bool end : {false, true})
                for (const bool busy : {false, true}) {
                    if (busy && !jpeg)
                        continue;
                    ahead.SetEnabled(false);
                    openAlbum(name);
                    turnTo(from == 1 ? 2 : 1);
                    freshCache(cacheDir);
                    ahead.SetEnabled(true);
                    std::optional<BusyMachine> load;
                    if (busy)
                        load.emplace();
                    loadRunning = std::max(loadRunning, load ? load->Running() : 0);
                    turnTo(from);
                    dwell(OpenDwellMs);
                    held = std::max(held, ahead.BytesHeld());
                    TurnRow& row = busy ? (end ? busyEnd : busy7) : (end ? jumpEnd : jump7);
                    Sample(row, paints, [end] { end ? pressEnd() : turnTo(7); });
                }
        for (int round = 0; round < ListRounds; ++round) {
            ahead.SetEnabled(false);
            freshCache(cacheDir);
            ahead.SetEnabled(true);
            highlight(name);
            dwell(ListDwellMs);
            held = std::max(held, ahead.BytesHeld());
            openAlbum(name);
            Sample(fromList, paints, [] { albumList()->cmdSelect_Click(); });
        }
        ahead.SetEnabled(false);
    }
    std::fprintf(stderr, "%s (the machine shared with other programs):\n", qPrintable(name));
    firstPage1.report(state, "first_visit_page1", false); // nothing ahead of it, by design
    first.report(state, "first_visit_ahead", true);
    second.report(state, "second_visit", true);
    cacheOnly.report(state, "cache_only", true);
    repaint.report(state, "repaint", true);
    cacheAfter1s.report(state, "cache_after_1s", true);
    cacheAfter5s.report(state, "cache_after_5s", true);
    cacheAfter2s.report(state, "cache_after_2s", true);
    cold.report(state, "cold_page", false);
    uncached.report(state, "no_cache_page", false);
    jump7.report(state, "jump_page7_after_5s", true);
    jumpEnd.report(state, "jump_end_after_5s", true);
    fromList.report(state, "open_from_list_after_2s", true);
    if (jpeg) {
        turbo.report(state, "turbo2cores", false);
        busy7.report(state, "busy_jump_page7_after_5s", true);
        busyEnd.report(state, "busy_jump_end_after_5s", true);
    }
    struct Ratio {
        const char* name;
        double value;
    };
    std::vector<Ratio> ratios{
        {"cache_only_vs_repaint", ratio(cacheOnly, repaint)},
        {"second_visit_vs_cache_after_1s", ratio(second, cacheAfter1s)},
        {"cold_vs_no_cache", ratio(cold, uncached)},
        {"jump_page7_vs_cache_after_5s", ratio(jump7, cacheAfter5s)},
        {"jump_end_vs_cache_after_5s", ratio(jumpEnd, cacheAfter5s)},
        {"from_list_vs_cache_after_2s", ratio(fromList, cacheAfter2s)},
    };
    if (jpeg) {
        ratios.push_back({"cold_vs_turbo", ratio(cold, turbo)});
        ratios.push_back({"busy_vs_quiet_jump_page7", ratio(busy7, jump7)});
        ratios.push_back({"busy_vs_quiet_jump_end", ratio(busyEnd, jumpEnd)});
        ratios.push_back({"busy_worst_vs_quiet_jump", std::max(busy7.worst(), busyEnd.worst()) /
                                                        std::max(1e-9, std::max(jump7.median(), jumpEnd.median()))});
        state.counters["busy_load_processes"] = loadRunning;
    }
    for (const Ratio& r : ratios) {
        state.counters[r.name] = r.value;
        std::fprintf(stderr, "%-34s %6.2f\n", r.name, r.value);
    }
    state.counters["read_ahead_held_MB"] = double(held) / (1024.0 * 1024.0);
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
    // A window not yet exposed is not painted: every turn would be measured without its paint.
    for (int i = 0; i < 100 && !(page()->windowHandle() && page()->windowHandle()->isExposed()); ++i)
        dwell(20);
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
