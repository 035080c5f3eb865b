// Turning through a ten-page album, the user dwelling a second on each page:
// from the turn (the page menu's handler) to all twelve slots painted, with whatever the turn
// left posted. Every row says how many of its pictures were handed over from memory (read
// ahead), came from the thumbnail cache or were decoded by the loader (its misses), and how
// often the page was painted per sample; a row meant to be served from the cache or memory
// that decoded anything is marked on stderr. Every row takes ten samples on ten pages.
// Turns (BM_Turn...):
//   first visit   nothing kept anywhere; neighbour pages read ahead while the user looks
//   second visit  a new run of the program: nothing in memory, the thumbnails kept on disk
//   cache only    the thumbnails kept, nothing read ahead, back to back, each turn followed by
//   repaint       the page painted again with nothing changed: one full-page repaint, the
//                 floor of any turn (a turn paints once); printed as cache_only_vs_repaint
//   cache after 1s  the same, each turn after 1 s with nothing running: the baseline of the
//                 second visit. A virtual machine may touch memory many times more slowly once
//                 the guest has idled: the ratios show the read-ahead's gain apart from that
//   cold page     a page with nothing ahead and no thumbnails (the first page of a first
//                 visit), against the same page loaded without any cache, and against
//                 libjpeg-turbo's own scaled decode of its files on two threads
// Jumps (BM_Jump..., the JPEG album):
//   jump          Page 7 and End from pages 1 to 5 of two albums, after the album has been open
//                 5 s on that page, each from a fresh cache (the rest of the album read ahead
//                 into the thumbnail cache meanwhile)
//   busy jump     the same with both cores kept busy by processes at nice 19 (a background
//                 build) from the album's opening to the jump, interleaved sample by sample
//   cache after 5s  the same jumps from the cache alone after the same dwell, nothing running,
//                 interleaved with them (to Page 7 and End by turns)
//   from list     page 1 of ten albums, each opened after its name has been highlighted on the
//                 stored album list for 2 s (a first visit: its page 1 read ahead into the
//                 cache meanwhile), against the same page from the cache alone after 2 s
//   held          the most memory the read-ahead held at the end of any dwell above
// On a 24-megapixel JPEG album and a 24-bit bitmap album.
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
#include "slotreader.h"
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
constexpr int ListAlbums = 10;
constexpr int JumpStarts = 5; // pages 1 to 5 of two albums, each jumping to page 7 and to End

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

// Ten pages of hard links to the prepared page's twelve files, each page in another order
// (turned by `offset` more in another album): every name is a file of its own to the loader
// and to the thumbnail cache.
void makeAlbum(const QString& name, const QStringList& source, int offset = 0)
{
    const QString folder = benchFolder + u'/' + name;
    QDir().mkpath(folder);
    for (int p = 1; p <= 10; ++p)
        for (int s = 0; s <= 11; ++s) {
            const QString target = folder + QStringLiteral("/P%1I%2.bmp").arg(p).arg(s);
            if (!QFile::exists(target))
                ::link(QFile::encodeName(source[(s + p + offset) % 12]).constData(), QFile::encodeName(target).constData());
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

std::vector<QWidget*> slotPictures()
{
    std::vector<QWidget*> pictures;
    for (int s = 0; s <= 11; ++s)
        pictures.push_back(page()->Image1(s));
    return pictures;
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

// The thumbnail cache given the page's entries at once, as the loader reads them.
void keepPage(const QString& album, int n)
{
    const ThumbnailCache cache = ThumbnailCache::Shared();
    for (int s = 0; s <= 11; ++s) {
        const QString path = benchFolder + u'/' + album + QStringLiteral("/P%1I%2.bmp").arg(n).arg(s);
        const SlotReader::Read read = SlotReader::ReadSlotPicture(path, SlotPixels(), SlotPixelRatio(), cache);
        if (read.keep)
            SlotReader::Keep(cache, *read.keep);
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

void reportRatios(benchmark::State& state, const std::vector<std::pair<const char*, double>>& ratios)
{
    for (const auto& [name, value] : ratios) {
        state.counters[name] = value;
        std::fprintf(stderr, "%-34s %6.2f\n", name, value);
    }
}

// Turns: cold pages, a first and a second visit, the cache alone against a repaint.
void turnThrough(benchmark::State& state, const QString& name, bool jpeg)
{
    QTemporaryDir cacheDir;
    PageReadAhead& ahead = PageReadAhead::Instance();
    PaintTally paints(page(), slotPictures());
    TurnRow first, firstPage1, second, cacheOnly, repaint, cold, uncached, turbo, cacheAfter1s;
    qint64 held = 0;
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

        // The cache alone, each turn followed by one full-page repaint: both paint once.
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
    }
    std::fprintf(stderr, "%s, turns (the machine shared with other programs):\n", qPrintable(name));
    firstPage1.report(state, "first_visit_page1", false); // nothing ahead of it, by design
    first.report(state, "first_visit_ahead", true);
    second.report(state, "second_visit", true);
    cacheOnly.report(state, "cache_only", true);
    repaint.report(state, "repaint", false);
    cacheAfter1s.report(state, "cache_after_1s", true);
    cold.report(state, "cold_page", false);
    uncached.report(state, "no_cache_page", false);
    std::vector<std::pair<const char*, double>> ratios{
        {"cache_only_vs_repaint", ratio(cacheOnly, repaint)},
        {"second_visit_vs_cache_after_1s", ratio(second, cacheAfter1s)},
        {"cold_vs_no_cache", ratio(cold, uncached)},
    };
    if (jpeg) {
        turbo.report(state, "turbo2cores", false);
        ratios.push_back({"cold_vs_turbo", ratio(cold, turbo)});
    }
    reportRatios(state, ratios);
    state.counters["read_ahead_held_MB"] = double(held) / (1024.0 * 1024.0);
    ThumbnailCache::UseShared({});
}

// Jumps after the album has been open 5 s, on a quiet and on a busy machine, and opening an
// album from the stored list; each from a fresh cache, against the cache alone after the same
// dwell, interleaved sample by sample.
void jumpThrough(benchmark::State& state, const QString& name, bool busyRows)
{
    QTemporaryDir cacheDir;
    PageReadAhead& ahead = PageReadAhead::Instance();
    PaintTally paints(page(), slotPictures());
    TurnRow jump7, jumpEnd, busy7, busyEnd, cacheAfter5s, cacheAfter2s, fromList;
    qint64 held = 0;
    int loadRunning = 0;
    for (auto _ : state) {
        int sample = 0;
        for (const QString& album : {name, name + QStringLiteral("-b")})
            for (int from = 1; from <= JumpStarts; ++from, ++sample)
                for (const bool end : {false, true})
                    for (const bool busy : {false, true}) {
                        if (busy && !busyRows)
                            continue;
                        ahead.SetEnabled(false);
                        openAlbum(album);
                        turnTo(from == 1 ? 2 : 1);
                        freshCache(cacheDir);
                        ahead.SetEnabled(true);
                        std::optional<BusyMachine> load;
                        if (busy)
                            load.emplace();
                        loadRunning = std::max(loadRunning, load ? load->Running() : 0);
                        turnTo(from);
                        const int started = ahead.PicturesStarted();
                        dwell(OpenDwellMs);
                        held = std::max(held, ahead.BytesHeld());
                        TurnRow& row = busy ? (end ? busyEnd : busy7) : (end ? jumpEnd : jump7);
                        row.readAhead = std::max(row.readAhead, 0) + ahead.PicturesStarted() - started;
                        Sample(row, paints, [end] { end ? pressEnd() : turnTo(7); });
                        load.reset();
                        // The baseline: the same jump from the cache alone after the same dwell,
                        // to page 7 and End by turns.
                        if (!busy && end == (sample % 2 == 1)) {
                            ahead.SetEnabled(false);
                            keepPage(album, end ? 10 : 7); // what the jump decoded, if anything
                            turnTo(from);
                            dwell(OpenDwellMs);
                            Sample(cacheAfter5s, paints, [end] { end ? pressEnd() : turnTo(7); });
                        }
                    }
        // Page 1 of ten albums, each opened after its name was highlighted 2 s; the baseline
        // the same page from the cache alone after 2 s on another page.
        for (int round = 0; round < ListAlbums; ++round) {
            const QString album = QStringLiteral("list-%1").arg(round);
            ahead.SetEnabled(false);
            freshCache(cacheDir);
            ahead.SetEnabled(true);
            highlight(album);
            dwell(ListDwellMs);
            held = std::max(held, ahead.BytesHeld());
            openAlbum(album);
            Sample(fromList, paints, [] { albumList()->cmdSelect_Click(); });
            ahead.SetEnabled(false);
            keepPage(album, 1); // what the opening decoded, if anything
            turnTo(2);
            dwell(ListDwellMs);
            Sample(cacheAfter2s, paints, [] { turnTo(1); });
        }
        ahead.SetEnabled(false);
    }
    std::fprintf(stderr, "%s, jumps (the machine shared with other programs):\n", qPrintable(name));
    jump7.report(state, "jump_page7_after_5s", true);
    jumpEnd.report(state, "jump_end_after_5s", true);
    cacheAfter5s.report(state, "cache_after_5s", true);
    fromList.report(state, "open_from_list_after_2s", true);
    cacheAfter2s.report(state, "cache_after_2s", true);
    std::vector<std::pair<const char*, double>> ratios{
        {"jump_page7_vs_cache_after_5s", ratio(jump7, cacheAfter5s)},
        {"jump_end_vs_cache_after_5s", ratio(jumpEnd, cacheAfter5s)},
        {"from_list_vs_cache_after_2s", ratio(fromList, cacheAfter2s)},
    };
    if (busyRows) {
        busy7.report(state, "busy_jump_page7_after_5s", true);
        busyEnd.report(state, "busy_jump_end_after_5s", true);
        ratios.push_back({"busy_vs_quiet_jump_page7", ratio(busy7, jump7)});
        ratios.push_back({"busy_vs_quiet_jump_end", ratio(busyEnd, jumpEnd)});
        ratios.push_back({"busy_worst_vs_quiet_jump", std::max(busy7.worst(), busyEnd.worst()) /
                                                          std::max(1e-9, std::max(jump7.median(), jumpEnd.median()))});
        state.counters["busy_load_processes"] = loadRunning;
    }
    reportRatios(state, ratios);
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

void BM_JumpJpegAlbum(benchmark::State& state)
{
    jumpThrough(state, QStringLiteral("turn-jpeg"), true);
}

} // namespace

BENCHMARK(BM_TurnJpegAlbum)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TurnBitmapAlbum)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JumpJpegAlbum)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    BenchPictures::UseDesktopSizedScreen();
    QApplication app(argc, argv);

    benchFolder = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench"));
    const BenchPictures::Album album = BenchPictures::Prepare(benchFolder);
    makeAlbum(QStringLiteral("turn-bmp"), album.page(1));
    makeAlbum(QStringLiteral("turn-jpeg"), album.page(2));
    makeAlbum(QStringLiteral("turn-jpeg-b"), album.page(2), 5);
    for (int k = 0; k < ListAlbums; ++k)
        makeAlbum(QStringLiteral("list-%1").arg(k), album.page(2), k);
    QDir::setCurrent(benchFolder);
    session.appPath = benchFolder;
    session.startPath = benchFolder;
    RegisterScreens();
    page()->Show();
    // A window not yet exposed is not painted: every turn would be measured without its paint.
    for (int i = 0; i < 100 && !(page()->windowHandle() && page()->windowHandle()->isExposed()); ++i)
        dwell(20);
    for (const char* name : {"turn-jpeg", "turn-jpeg-b", "turn-bmp"}) { // every file in the page cache, alike
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
