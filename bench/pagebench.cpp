// Turning a page: the page loader against the naive way (load each whole
// picture, then smooth-scale it) and against the machine's limit (one checksum
// pass over every byte of the mapped bitmaps; libjpeg-turbo's own scaled decode
// of the JPEGs), all on the same files in the same run, interleaved round by
// round. Prints medians, ratios, memory and thumbnail quality. Also the thumbnail
// cache's PNG encoder against Qt's PNG writer on the same slot thumbnails.
#include "benchpictures.h"
#include "forms.h"
#include "frmpage1.h"
#include "memoryprobe.h"
#include "pageloader.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "pngencoder.h"
#include "program.h"
#include "screennames.h"
#include "session.h"
#include "testpictures.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QScopeGuard>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>


namespace {

using Clock = std::chrono::steady_clock;

BenchPictures::Album album;
constexpr int Rounds = 5;
int qtDefaultLimitMB = 0; // Qt's own allocation limit, as a plain Qt program has it

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The slot size the page loader picks for this screen.
QSize slotBox()
{
    PictureBox* slot = Forms::Get<FrmPage1>(Screen::Page1)->Image1(0);
    return slot->GetPicture().shown.size().isEmpty() ? QSize(250, 250)
                                                     : (slot->GetPicture().shown.size().expandedTo(QSize(250, 250)));
}

// --- the variants -------------------------------------------------------

struct Outcome {
    double ms = 0;
    qint64 peakGrowthKb = 0;
    qint64 processPeakKb = 0;
    qint64 heldBytes = 0;
    int loaded = 0;
};

Outcome measure(const std::function<void(Outcome&)>& run)
{
    Outcome o;
    MemoryProbe::ResetPeak();
    const qint64 before = MemoryProbe::ResidentKb();
    const auto t0 = Clock::now();
    run(o);
    o.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    o.processPeakKb = MemoryProbe::PeakResidentKb();
    o.peakGrowthKb = o.processPeakKb - before;
    return o;
}

Outcome realLoadPage(int page)
{
    return measure([page](Outcome& o) {
        session.albumFilePrefix = album.folder + QStringLiteral("/P");
        session.albumFolderName = QStringLiteral("Bench");
        session.pageNr = QString::number(page);
        LoadPage(*Forms::Get<FrmPage1>(Screen::Page1), QString::number(page));
        Forms::Hide(Screen::Pbar3);
        auto* screen = Forms::Get<FrmPage1>(Screen::Page1);
        for (int s = 0; s < 12; ++s) {
            o.heldBytes += screen->Image1(s)->GetPicture().shown.sizeInBytes();
            o.loaded += screen->Image1(s)->Tag == QStringLiteral("1");
        }
    });
}

Outcome naive(int page, QSize box)
{
    const int ours = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(qtDefaultLimitMB);
    const auto restore = qScopeGuard([ours] { QImageReader::setAllocationLimit(ours); });
    return measure([page, box](Outcome& o) {
        std::vector<QImage> held; // the way a picture box keeps the whole picture
        for (const QString& path : album.page(page)) {
            QImage full(path);
            if (full.isNull())
                continue;
            const QImage thumb = full.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            o.heldBytes += full.sizeInBytes() + thumb.sizeInBytes();
            held.push_back(std::move(full));
            held.push_back(thumb);
            ++o.loaded;
        }
    });
}

template <class Work> void onBothCores(const QStringList& files, Work work)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            for (qsizetype i = t; i < files.size(); i += 2)
                work(files[i]);
        });
    for (auto& th : threads)
        th.join();
}

volatile quint64 sink = 0;

Outcome checksumPass(int page)
{
    return measure([page](Outcome& o) {
        std::atomic<quint64> total{0};
        onBothCores(album.page(page), [&](const QString& path) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                return;
            const qint64 n = f.size();
            const uchar* p = f.map(0, n);
            quint64 sum = 0;
            const qint64 words = n / 8;
            for (qint64 i = 0; i < words; ++i) {
                quint64 w;
                std::memcpy(&w, p + i * 8, 8);
                sum += w;
            }
            for (qint64 i = words * 8; i < n; ++i)
                sum += p[i];
            total += sum;
        });
        sink = total;
        o.loaded = 12;
    });
}

Outcome turboScaledDecode(int page, QSize box)
{
    return measure([page, box](Outcome& o) {
        std::atomic<int> done{0};
        onBothCores(album.page(page), [&](const QString& path) { done += BenchPictures::TurboScaledDecode(path, box); });
        o.loaded = done;
    });
}

// The lowest PSNR of the page's thumbnails against the careful reference.
double worstThumbnail(int page)
{
    const int ours = QImageReader::allocationLimit();
    realLoadPage(page);
    QImageReader::setAllocationLimit(2048);
    auto* screen = Forms::Get<FrmPage1>(Screen::Page1);
    double worst = 99;
    const QStringList files = album.page(page);
    for (int s = 0; s < 12; ++s) {
        const QImage shown = screen->Image1(s)->GetPicture().shown;
        QImageReader reader(files[s]);
        reader.setAutoTransform(true);
        const QImage full = reader.read();
        if (full.isNull() || shown.isNull())
            return 0;
        worst = std::min(worst, TestPictures::Psnr(shown, BenchPictures::AreaAverage(full, shown.size())));
    }
    QImageReader::setAllocationLimit(ours);
    return worst;
}

void report(benchmark::State& state, const char* name, const std::vector<Outcome>& runs)
{
    std::vector<double> ms, peak, processPeak, held, loaded;
    for (const Outcome& o : runs) {
        ms.push_back(o.ms);
        processPeak.push_back(double(o.processPeakKb) / 1024.0);
        peak.push_back(double(o.peakGrowthKb) / 1024.0);
        held.push_back(double(o.heldBytes) / (1024.0 * 1024.0));
        loaded.push_back(o.loaded);
    }
    const std::string n(name);
    state.counters[n + "_ms"] = median(ms);
    state.counters[n + "_peakMB"] = median(peak);
    state.counters[n + "_processPeakMB"] = median(processPeak);
    state.counters[n + "_heldMB"] = median(held);
    state.counters[n + "_loaded"] = median(loaded);
}

void BM_BitmapPage(benchmark::State& state)
{
    const QSize box = slotBox();
    std::vector<Outcome> ours, naiveRuns, limit;
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            // A different order each round, so no variant always runs first.
            const int shift = round % 3;
            for (int k = 0; k < 3; ++k) {
                switch ((k + shift) % 3) {
                case 0: ours.push_back(realLoadPage(1)); break;
                case 1: naiveRuns.push_back(naive(1, box)); break;
                default: limit.push_back(checksumPass(1)); break;
                }
            }
        }
    }
    report(state, "loadpage", ours);
    report(state, "naive", naiveRuns);
    report(state, "checksum2cores", limit);
    state.counters["x_vs_checksum"] = state.counters["loadpage_ms"] / state.counters["checksum2cores_ms"];
    state.counters["naive_vs_ours"] = state.counters["naive_ms"] / state.counters["loadpage_ms"];
    state.counters["worst_psnr_dB"] = worstThumbnail(1);
}

void BM_JpegPage(benchmark::State& state)
{
    const QSize box = slotBox();
    std::vector<Outcome> ours, naiveRuns, limit;
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            const int shift = round % 3;
            for (int k = 0; k < 3; ++k) {
                switch ((k + shift) % 3) {
                case 0: ours.push_back(realLoadPage(2)); break;
                case 1: naiveRuns.push_back(naive(2, box)); break;
                default: limit.push_back(turboScaledDecode(2, box)); break;
                }
            }
        }
    }
    report(state, "loadpage", ours);
    report(state, "naive", naiveRuns);
    report(state, "turbo2cores", limit);
    state.counters["x_vs_turbo"] = state.counters["loadpage_ms"] / state.counters["turbo2cores_ms"];
    state.counters["naive_vs_ours"] = state.counters["naive_ms"] / state.counters["loadpage_ms"];
    state.counters["worst_psnr_dB"] = worstThumbnail(2);
}

void BM_Mixed36MegapixelPage(benchmark::State& state)
{
    const QSize box = slotBox();
    std::vector<Outcome> ours, naiveRuns;
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            if (round % 2) {
                ours.push_back(realLoadPage(3));
                naiveRuns.push_back(naive(3, box));
            } else {
                naiveRuns.push_back(naive(3, box));
                ours.push_back(realLoadPage(3));
            }
        }
    }
    report(state, "loadpage", ours);
    report(state, "naive", naiveRuns);
    state.counters["naive_vs_ours"] = state.counters["naive_ms"] / state.counters["loadpage_ms"];
    state.counters["worst_psnr_dB"] = worstThumbnail(3);
}

// --- thumbnail PNGs -----------------------------------------------------

// The thumbnails the read-ahead keeps for `files`, as the thumbnail cache is handed them: each
// decoded at the standard's x-large size (512 px), which slots of 269 to 537 device pixels keep.
std::vector<QImage> thumbnailsOf(const QStringList& files)
{
    const int size = 512;
    std::vector<QImage> thumbnails;
    for (const QString& path : files) {
        const QImage shown = Pictures::LoadPicture(path, QSize(size, size), 1.0).picture.shown;
        if (!shown.isNull())
            thumbnails.push_back(shown);
    }
    return thumbnails;
}

QByteArray qtPng(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(85); // zlib level 1, every filter tried: what the cache wrote before
    writer.write(image);
    return png;
}

// Every thumbnail written by the cache's encoder and by Qt's writer, alternately, round by round.
void comparePngWriters(benchmark::State& state, const std::vector<QImage>& thumbnails)
{
    std::vector<double> ours, qt;
    double oursBytes = 0, qtBytes = 0;
    const auto timed = [&](std::vector<double>& ms, double& bytes, QByteArray (*encode)(const QImage&)) {
        const auto t0 = Clock::now();
        bytes = 0;
        for (const QImage& t : thumbnails)
            bytes += double(encode(t).size());
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    };
    for (auto _ : state) {
        for (int round = 0; round < 4 * Rounds; ++round) {
            if (round % 2) {
                timed(ours, oursBytes, PngEncoder::Encode);
                timed(qt, qtBytes, qtPng);
            } else {
                timed(qt, qtBytes, qtPng);
                timed(ours, oursBytes, PngEncoder::Encode);
            }
        }
    }
    const double n = double(std::max<std::size_t>(1, thumbnails.size()));
    state.counters["thumbnails"] = n;
    state.counters["width"] = thumbnails.empty() ? 0 : thumbnails.front().width();
    state.counters["ours_ms"] = median(ours);
    state.counters["qt85_ms"] = median(qt);
    state.counters["qt85_vs_ours"] = median(qt) / median(ours);
    state.counters["ours_KB"] = oursBytes / n / 1024;
    state.counters["qt85_KB"] = qtBytes / n / 1024;
}

// A page's twelve slot thumbnails of photo-like content with sensor noise (page 2's JPEGs).
void BM_ThumbnailPngs(benchmark::State& state)
{
    static const std::vector<QImage> thumbnails = thumbnailsOf(album.page(2));
    comparePngWriters(state, thumbnails);
}

// The same for photos taken with cameras and phones (the test pictures' public corpus).
void BM_ThumbnailPngsOfCameraPhotos(benchmark::State& state)
{
    const QString corpus = QStringLiteral(QUILL_PUBLIC_PICTURES "/");
    static const std::vector<QImage> thumbnails = thumbnailsOf(
        {corpus + QStringLiteral("orientation/Portrait_1.jpg"),
         corpus + QStringLiteral("orientation/jpg_orientation_landscape_8.jpg"),
         corpus + QStringLiteral("orientation/jpg_orientation_portrait_6.jpg"),
         corpus + QStringLiteral("phones/heic_mobile_iphone_13_pro_max.HEIC"),
         corpus + QStringLiteral("phones/heic_mobile_HMD_Nokia_8.3_5G.heif"),
         corpus + QStringLiteral("cms/rgb-to-gbr-test.jpg"), corpus + QStringLiteral("cms/R2020-sRGB-red.jpg")});
    comparePngWriters(state, thumbnails);
}

} // namespace

BENCHMARK(BM_ThumbnailPngs)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ThumbnailPngsOfCameraPhotos)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BitmapPage)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegPage)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mixed36MegapixelPage)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    BenchPictures::UseDesktopSizedScreen();
    QApplication app(argc, argv);
    qtDefaultLimitMB = QImageReader::allocationLimit();

    const QString cache = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench"));
    album = BenchPictures::Prepare(cache);
    QDir::setCurrent(cache);
    session.appPath = cache;
    RegisterScreens();
    Forms::Get(Screen::Page1)->Show();
    realLoadPage(1); // warm the page cache for every variant
    realLoadPage(2);
    realLoadPage(3);
    std::fprintf(stderr, "slot box: %dx%d pixels\n", slotBox().width(), slotBox().height());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Forms::Reset();
    return 0;
}
