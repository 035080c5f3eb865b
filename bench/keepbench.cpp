// Adding a picture with its private copy kept (so that it stays savable
// whatever becomes of its file) against adding it as before, reading the file
// at slot size only, and against `cp` of the same file; then the memory that
// twelve kept pictures take, against what twelve decoded full pictures would.
// Rounds are interleaved.
#include "keptfile.h"
#include "memoryprobe.h"
#include "pictureloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 5;
const QSize SlotBox(111, 111);
QString root;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double since(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

QString source(const char* format)
{
    return root + QStringLiteral("/photo.") + QString::fromLatin1(format).toLower();
}

// A 6000 by 4000 photo-like picture as a bitmap (72 MB) and a JPEG, made once.
void prepare()
{
    QDir().mkpath(root);
    if (QFile::exists(source("BMP")) && QFile::exists(source("JPG")))
        return;
    QImage image(6000, 4000, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < image.width() * 3; ++x)
            line[x] = uchar((x / 3 + y) / 40 + ((x * 7 + y * 3) & 15));
    }
    image.save(source("BMP"), "BMP");
    image.save(source("JPG"), "JPEG", 90);
}

void compare(benchmark::State& state, const char* format)
{
    const QString path = source(format);
    const QString copy = root + QStringLiteral("/cp-copy");
    std::vector<double> before, kept, cp;
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            auto t0 = Clock::now();
            benchmark::DoNotOptimize(Pictures::LoadPicture(path, SlotBox));
            before.push_back(since(t0));
            t0 = Clock::now();
            benchmark::DoNotOptimize(Pictures::LoadKeptPicture(path, SlotBox));
            kept.push_back(since(t0));
            t0 = Clock::now();
            QProcess::execute(QStringLiteral("cp"), {path, copy});
            cp.push_back(since(t0));
            QFile::remove(copy);
        }
    }
    state.counters["add_before_ms"] = median(before);
    state.counters["add_kept_ms"] = median(kept);
    state.counters["cp_ms"] = median(cp);
    state.counters["kept_extra_ms"] = median(kept) - median(before);
}

void BM_AddBitmap(benchmark::State& state)
{
    compare(state, "BMP");
}

void BM_AddJpeg(benchmark::State& state)
{
    compare(state, "JPG");
}

// Twelve filled filled from the 24-megapixel bitmap, each with its kept copy.
void BM_TwelveKeptInMemory(benchmark::State& state)
{
    for (auto _ : state) {
        const qint64 rss0 = MemoryProbe::ResidentKb();
        std::vector<Pictures::LoadResult> filled;
        for (int s = 0; s < 12; ++s)
            filled.push_back(Pictures::LoadKeptPicture(source("BMP"), SlotBox));
        state.counters["rss_growth_mb"] = double(MemoryProbe::ResidentKb() - rss0) / 1024;
        state.counters["decoded_full_would_take_mb"] = 12.0 * 6000 * 4000 * 4 / (1 << 20);
        state.counters["all_kept"] = double(std::count_if(filled.begin(), filled.end(), [](const auto& r) {
            return !r.error.failed() && r.picture.kept;
        }));
    }
}

} // namespace

BENCHMARK(BM_AddBitmap)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddJpeg)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TwelveKeptInMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    root = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench")) +
           QStringLiteral("/keep");
    KeptFile::SetFolder(root + QStringLiteral("/kept"));
    prepare();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
