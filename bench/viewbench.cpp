// The full-size view on pages of 24-megapixel JPEGs: a step to the next picture (Right) after
// the user has looked at the picture for a second, with the read-ahead, against a repaint of
// the view with nothing changed after the same second (the floor of any step: a step paints
// once), and against the same step with nothing read ahead. Samples are interleaved round by
// round (repaint, step, step without) so that load from other work hits all three alike; a
// sample is the act with whatever it left posted (the step's paint is posted), and every row
// counts the picture's paints, so a step is compared with one repaint. Steps stay within a page (a step onto another page loads that page, which the
// page benchmarks measure); each row says how many of its pictures came from the read-ahead.
#include "benchpictures.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "frmpage1.h"
#include "picturebox.h"
#include "program.h"
#include "screennames.h"
#include "session.h"
#include "viewreadahead.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <unistd.h>

namespace {

QString benchFolder;
constexpr int DwellMs = 1000;
constexpr int Rounds = 12;
constexpr int Pages = 3;

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

FrmDisplayPicture* view()
{
    return Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
}

// Pages of hard links to the prepared JPEG page's twelve files, each page in another order.
void makeAlbum(const QString& name, const QStringList& source)
{
    const QString folder = benchFolder + u'/' + name;
    QDir().mkpath(folder);
    for (int p = 1; p <= Pages; ++p)
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

void pressRight()
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(view(), &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(view(), &release);
}

// Counts the paints of the view's picture.
class PaintCount : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};
PaintCount* paintCount = nullptr;

struct Row {
    std::vector<double> ms;
    int paints = 0;
    int fromReadAhead = 0;
    int waited = 0; // of those, still being decoded when the step came
    double median() const
    {
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    double fastest() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
};

template <class Act>
void sample(Row& row, Act&& act)
{
    const int before = view()->ReadAhead().HandedOver();
    const int waitedBefore = view()->ReadAhead().WaitedFor();
    const int paintsBefore = paintCount->paints;
    const auto t0 = std::chrono::steady_clock::now();
    act();
    QCoreApplication::sendPostedEvents();
    row.ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    row.fromReadAhead += view()->ReadAhead().HandedOver() - before;
    row.waited += view()->ReadAhead().WaitedFor() - waitedBefore;
    row.paints += paintCount->paints - paintsBefore;
}

// The next step stays on the page on screen.
bool nextStaysOnPage()
{
    return session.imageNr < 11;
}

void BM_ViewStep(benchmark::State& state)
{
    Row repaint, step, cold;
    for (auto _ : state) {
        page()->mnuP_Click(1);
        page()->Image1_MouseDown(0, Qt::LeftButton);
        PaintCount count;
        paintCount = &count;
        view()->img1()->installEventFilter(&count);
        for (int round = 0; round < Rounds; ++round) {
            dwell(DwellMs);
            sample(repaint, [] { view()->repaint(); });
            for (Row* row : {&step, &cold}) {
                if (!nextStaysOnPage()) {
                    pressRight(); // onto the next page, not measured
                }
                dwell(DwellMs);
                if (row == &cold)
                    view()->ReadAhead().Forget(); // nothing ahead: the step decodes its picture
                sample(*row, pressRight);
            }
        }
        paintCount = nullptr;
    }
    const double ratio = repaint.median() > 0 ? step.median() / repaint.median() : 0;
    state.counters["repaint_ms"] = repaint.median();
    state.counters["step_ms"] = step.median();
    state.counters["step_without_ms"] = cold.median();
    state.counters["step_vs_repaint"] = ratio;
    state.counters["from_read_ahead"] = step.fromReadAhead;
    state.counters["waited_for_read_ahead"] = step.waited;
    state.counters["fastest_step_vs_fastest_repaint"] = repaint.fastest() > 0 ? step.fastest() / repaint.fastest() : 0;
    std::fprintf(stderr,
                 "view step after %d ms: repaint %.1f ms, step %.1f ms (%d of %zu from the read-ahead, %d of them waited for), "
                 "step without read-ahead %.1f ms (%d of %zu); step/repaint %.2f (promise: at most 1.5); "
                 "fastest: repaint %.1f ms, step %.1f ms; picture paints per sample: repaint %.2f, step %.2f\n",
                 DwellMs, repaint.median(), step.median(), step.fromReadAhead, step.ms.size(), step.waited, cold.median(),
                 cold.fromReadAhead, cold.ms.size(), ratio, repaint.fastest(), step.fastest(),
                 double(repaint.paints) / double(repaint.ms.size()), double(step.paints) / double(step.ms.size()));
    for (const auto* row : {&repaint, &step, &cold}) {
        std::fprintf(stderr, "  samples:");
        for (double ms : row->ms)
            std::fprintf(stderr, " %.1f", ms);
        std::fprintf(stderr, "\n");
    }
}

} // namespace

BENCHMARK(BM_ViewStep)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    BenchPictures::UseDesktopSizedScreen();
    QApplication app(argc, argv);

    benchFolder = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench"));
    const BenchPictures::Album album = BenchPictures::Prepare(benchFolder);
    makeAlbum(QStringLiteral("view-jpeg"), album.page(2));
    QDir::setCurrent(benchFolder);
    session.appPath = benchFolder;
    session.startPath = benchFolder;
    session.albumName = session.albumFolderName = QStringLiteral("view-jpeg");
    RegisterScreens();
    page()->Show();
    for (int i = 0; i < 100 && !(page()->windowHandle() && page()->windowHandle()->isExposed()); ++i)
        dwell(20);
    for (int n = 1; n <= Pages; ++n) // every file in the page cache, for every row alike
        page()->mnuP_Click(n);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Forms::Reset();
    return 0;
}
