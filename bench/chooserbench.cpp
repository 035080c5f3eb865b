// The picture file chooser in a folder of 10,000 files: showing the folder
// (file and folder lists filled) against listing it with `ls` in the same run.
#include "forms.h"
#include "frmgetfile.h"
#include "program.h"
#include "screennames.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
QString folder;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double ms(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void BM_Folder10000Files(benchmark::State& state)
{
    auto* chooser = Forms::Get<FrmGetFile>(Screen::GetFile);
    std::vector<double> ours, ls;
    for (auto _ : state) {
        for (int round = 0; round < 7; ++round) {
            chooser->SetDirectoryPath(QDir::tempPath());
            auto t0 = Clock::now();
            chooser->SetDirectoryPath(folder);
            ours.push_back(ms(t0));
            benchmark::DoNotOptimize(chooser->filFiles->count());
            t0 = Clock::now();
            QProcess p;
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(QStringLiteral("ls"), {folder});
            p.waitForFinished(-1);
            ls.push_back(ms(t0));
        }
    }
    state.counters["files"] = chooser->filFiles->count();
    state.counters["chooser_ms"] = median(ours);
    state.counters["ls_ms"] = median(ls);
    state.counters["chooser_vs_ls"] = median(ours) / median(ls);
}

} // namespace

BENCHMARK(BM_Folder10000Files)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    folder = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench")) +
             QStringLiteral("/chooser");
    QDir().mkpath(folder);
    for (int n = QDir(folder).entryList(QDir::Files).size(); n < 10000; ++n) {
        QFile f(folder + QStringLiteral("/IMG_%1.JPG").arg(n, 5, 10, QLatin1Char('0')));
        f.open(QIODevice::WriteOnly);
    }
    RegisterScreens();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Forms::Reset();
    return 0;
}
