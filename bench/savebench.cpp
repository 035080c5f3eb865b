// Saving a page of twelve 24-megapixel pictures: all twelve changed, and one
// changed with eleven unchanged, against `cp` of the same bytes in the same
// run (and `cp` followed by `sync`, since the page writer syncs every file
// before it takes the old one's place). Rounds are interleaved.
#include "albumpaths.h"
#include "pagewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <unistd.h>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 3;
QString root, sources, album, copies;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double since(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

QString source(int slot)
{
    return sources + QStringLiteral("/photo%1.bmp").arg(slot);
}

// Twelve 6000 by 4000 bitmaps, made once.
void prepare()
{
    QDir().mkpath(sources);
    for (int s = 0; s < 12; ++s) {
        if (QFile::exists(source(s)))
            continue;
        QImage image(6000, 4000, QImage::Format_RGB888);
        for (int y = 0; y < image.height(); ++y) {
            uchar* line = image.scanLine(y);
            for (int x = 0; x < image.width() * 3; ++x)
                line[x] = uchar((x * 7 + y * 3 + s * 31) ^ (x >> 5));
        }
        image.save(source(s), "BMP");
    }
}

double ourSave(const std::vector<int>& changed)
{
    std::vector<PageWriter::Slot> page;
    for (int s = 0; s < 12; ++s) {
        Picture p;
        const bool fromSource = std::find(changed.begin(), changed.end(), s) != changed.end();
        p.sourcePath = fromSource ? source(s) : album + u'/' + AlbumPaths::SlotFileName(3, s);
        page.push_back({s, p});
    }
    const auto t0 = Clock::now();
    const RunError e = PageWriter::WritePage(album, 3, page);
    const double ms = since(t0);
    if (e.failed())
        qFatal("%s", qPrintable(e.description));
    return ms;
}

double cp(const std::vector<int>& changed, bool sync)
{
    QStringList args;
    for (int s : changed)
        args << source(s);
    args << copies;
    const auto t0 = Clock::now();
    QProcess::execute(QStringLiteral("cp"), args);
    if (sync)
        QProcess::execute(QStringLiteral("sync"), {QStringLiteral("-f"), copies});
    return since(t0);
}

void compare(benchmark::State& state, const std::vector<int>& changed)
{
    ourSave({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}); // the album holds every picture once
    std::vector<double> ours, plain, synced;
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            // Each starts with nothing left to write back from the one before.
            ::sync();
            plain.push_back(cp(changed, false));
            ::sync();
            ours.push_back(ourSave(changed));
            ::sync();
            synced.push_back(cp(changed, true));
        }
    }
    state.counters["ours_ms"] = median(ours);
    state.counters["cp_ms"] = median(plain);
    state.counters["cp_sync_ms"] = median(synced);
    state.counters["ours_vs_cp"] = median(ours) / median(plain);
    state.counters["ours_vs_cp_sync"] = median(ours) / median(synced);
}

void BM_AllTwelveChanged(benchmark::State& state)
{
    compare(state, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
}

void BM_OneChangedElevenUnchanged(benchmark::State& state)
{
    compare(state, {5});
}

} // namespace

BENCHMARK(BM_AllTwelveChanged)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OneChangedElevenUnchanged)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    root = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench")) +
           QStringLiteral("/save");
    sources = root + QStringLiteral("/sources");
    album = root + QStringLiteral("/album");
    copies = root + QStringLiteral("/cp");
    prepare();
    QDir().mkpath(album);
    QDir().mkpath(copies);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
