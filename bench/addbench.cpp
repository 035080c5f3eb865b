// A new album of 120 phone-size JPEGs (12 megapixels) filled with one selection
// and saved page by page, as the user does it: the pictures made ready off the
// UI thread, "did not fit" and the save check answered Yes through the question
// seam, page 10 saved as the page screen is left. Against what the machine
// allows for the same files: `cp` of the 120 files plus libjpeg-turbo's scaled
// decode of all of them on 2 threads. Rounds interleaved; medians and the ratio.
#include "albumpaths.h"
#include "benchpictures.h"
#include "forms.h"
#include "frmpage1.h"
#include "pageloader.h"
#include "screennames.h"
#include "session.h"
#include "testprogram.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 3;
constexpr int Files = 120;
constexpr int Distinct = 12; // made once each, then copied: every file is read on its own
QString root;
QStringList files;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double since(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void prepare()
{
    const QString folder = root + QStringLiteral("/phone");
    QDir().mkpath(folder);
    for (int k = 0; k < Files; ++k) {
        const QString path = folder + QStringLiteral("/IMG_%1.jpg").arg(k + 1, 4, 10, QLatin1Char('0'));
        files << path;
        if (QFile::exists(path))
            continue;
        if (k < Distinct)
            BenchPictures::Photo(4000, 3000, k).save(path, "JPEG", 90);
        else
            QFile::copy(files[k % Distinct], path);
    }
}

// The whole album, from the click to page 10 written (`save`), or with No to every save check
// (the pictures made ready and placed, pages turned, nothing written). Returns the files saved.
int addAll(bool save)
{
    TestProgram program;
    program.addEmptyPicture();
    program.takeAsProgramFolder();
    session.albumName = AlbumPaths::NewAlbum;
    session.pageNr = QStringLiteral("1");
    auto* page = Forms::Get<FrmPage1>(Screen::Page1);
    page->Show();
    page->mnuP_Click(1);
    const int saving = save ? vbYes : vbNo;
    for (int p = 1; p <= 9; ++p) {
        program.user.answerButton(vbYes);  // "12 ... did not fit on page p. Go on?"
        program.user.answerButton(saving); // "Do you want to save changes to Page p"
        if (p == 1 && save)
            program.user.answerText(QStringLiteral("Phone"));
    }
    program.user.answerButton(saving); // page 10, as the page screen is left
    page->AddPictures(0, files);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!page->AddingPictures())
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    page->Form_QueryUnload();
    return int(QDir(program.path(QStringLiteral("Phone"))).entryList(QDir::Files).size());
}

double copyAndDecode(QSize box)
{
    const QString target = root + QStringLiteral("/cp");
    QDir(target).removeRecursively();
    QDir().mkpath(target);
    const auto t0 = Clock::now();
    QProcess::execute(QStringLiteral("cp"), QStringList(files) << target);
    std::atomic<int> next{0};
    auto work = [&] {
        for (int k; (k = next++) < Files;)
            BenchPictures::TurboScaledDecode(files[k], box);
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    const double ms = since(t0);
    QDir(target).removeRecursively();
    return ms;
}

void BM_PhoneAlbumInOneSelection(benchmark::State& state)
{
    std::vector<double> ours, unsaved, limit;
    int saved = 0;
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            // Each variant in another place in each round.
            for (int k = 0; k < 3; ++k) {
                const int which = (k + round) % 3;
                const auto t0 = Clock::now();
                if (which == 0) {
                    saved = addAll(true);
                    ours.push_back(since(t0));
                } else if (which == 1) {
                    addAll(false);
                    unsaved.push_back(since(t0));
                } else {
                    limit.push_back(copyAndDecode(SlotPixels()));
                }
            }
        }
    }
    state.counters["add_and_save_ms"] = median(ours);
    state.counters["add_unsaved_ms"] = median(unsaved);
    state.counters["cp_plus_turbo2_ms"] = median(limit);
    state.counters["x_vs_limit"] = median(ours) / median(limit);
    state.counters["unsaved_x_vs_limit"] = median(unsaved) / median(limit);
    state.counters["files_saved"] = saved;
}

} // namespace

BENCHMARK(BM_PhoneAlbumInOneSelection)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    BenchPictures::UseDesktopSizedScreen();
    QApplication app(argc, argv);
    root = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench")) +
           QStringLiteral("/add");
    prepare();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Forms::Reset();
}
