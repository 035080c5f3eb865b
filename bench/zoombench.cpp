// Actual pixels on a 50-megapixel JPEG (8660 x 5773) in the full-size view's zoom, against
// decoding the whole picture and cutting out the same part (the baseline), interleaved round by
// round in the same run. Per row: the median time from the key to the sharp part on screen, and
// the program's peak resident memory above idle while doing it. The promises: at most 250 ms
// median, at most 300 MB above idle.
#include "benchpictures.h"
#include "memoryprobe.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "zoompane.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int Rounds = 7;
const QSize Natural(8660, 5773);
const QSize Screen(1920, 1080);

// Written a row at a time, so that making it never holds the picture: gradients, texture, edges, noise.
bool writeJpeg(const QString& path, bool progressive)
{
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(Natural.width());
    info.image_height = JDIMENSION(Natural.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(std::size_t(Natural.width()) * 3);
    unsigned noise = 12345;
    for (int y = 0; y < Natural.height(); ++y) {
        for (int x = 0; x < Natural.width(); ++x) {
            noise = noise * 1103515245u + 12345u;
            const int n = int((noise >> 16) & 15) - 8;
            const int edge = ((x / 97 + y / 61) & 1) ? 40 : 0;
            const int texture = int(20 * std::sin(x * 0.05) * std::cos(y * 0.07));
            row[std::size_t(x) * 3] = uchar(std::clamp(x * 200 / Natural.width() + edge + n + 20, 0, 255));
            row[std::size_t(x) * 3 + 1] = uchar(std::clamp(y * 200 / Natural.height() + texture + n + 20, 0, 255));
            row[std::size_t(x) * 3 + 2] = uchar(std::clamp(128 + texture - edge / 2 + n, 0, 255));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

struct Sample {
    double ms = 0;
    double peakMb = 0;
    double panMs = 0; // zoomed: a pan by half the view (past the sharp part's margin) until sharp again
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The view as the program has it: the picture fitted (loaded at screen size), then 1 pressed.
Sample zoomed(const QString& path, qint64 idleKb)
{
    QWidget window;
    window.resize(Screen);
    PictureBox fitted(&window);
    fitted.SetPicture(Pictures::LoadPicture(path, Screen).picture);
    ZoomPane pane(&fitted, &window);
    pane.setGeometry(window.rect());
    window.show();
    QApplication::processEvents();
    MemoryProbe::ResetPeak();
    QEventLoop loop;
    QObject::connect(&pane, &ZoomPane::sharpShown, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    pane.ActualPixels(QPointF(Screen.width() / 2.0, Screen.height() / 2.0));
    if (!pane.Sharp()) {
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const QImage shown = pane.grab().toImage(); // the paint itself
    Sample s;
    s.ms = double(clock.nsecsElapsed()) / 1e6;
    if (!pane.Sharp() || shown.isNull())
        s.ms = 1e9;
    clock.restart();
    for (int i = 0; i < 5; ++i) {
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        pane.Key(&right);
    }
    if (!pane.Sharp()) {
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const QImage panned = pane.grab().toImage();
    s.panMs = pane.Sharp() && !panned.isNull() ? double(clock.nsecsElapsed()) / 1e6 : 1e9;
    s.peakMb = double(MemoryProbe::PeakResidentKb() - idleKb) / 1024.0;
    return s;
}

// The baseline: the whole picture decoded, then the same part cut out and drawn.
Sample whole(const QString& path, qint64 idleKb)
{
    MemoryProbe::ResetPeak();
    QElapsedTimer clock;
    clock.start();
    const QImage all = Pictures::LoadPicture(path).picture.shown;
    const QRect part(QPoint((Natural.width() - Screen.width()) / 2, (Natural.height() - Screen.height()) / 2), Screen);
    const QImage cut = all.copy(part);
    Sample s;
    s.ms = double(clock.nsecsElapsed()) / 1e6;
    s.peakMb = double(MemoryProbe::PeakResidentKb() - idleKb) / 1024.0;
    if (cut.size() != Screen)
        s.ms = 1e9;
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    BenchPictures::UseDesktopSizedScreen();
    QApplication app(argc, argv);
    const QString folder = QDir::tempPath() + QStringLiteral("/quill-zoombench");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/50mp.jpg");
    const QString progressivePath = folder + QStringLiteral("/50mp-progressive.jpg");
    for (const auto& [file, progressive] : {std::pair{path, false}, std::pair{progressivePath, true}}) {
        if (!QFile::exists(file) && !writeJpeg(file, progressive)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(file));
            return 1;
        }
    }
    const qint64 idleKb = MemoryProbe::ResidentKb();
    // Rows: the whole decode (baseline), the zoom on the baseline JPEG, the zoom on the progressive one.
    constexpr int Rows = 3;
    std::vector<double> ms[Rows], mb[Rows], panMs[Rows];
    for (int round = 0; round < Rounds; ++round) {
        // Turn the order round by round, so that load on the machine hits every row alike.
        for (int i = 0; i < Rows; ++i) {
            const int row = (i + round) % Rows;
            const Sample s = row == 0 ? whole(path, idleKb) : zoomed(row == 1 ? path : progressivePath, idleKb);
            ms[row].push_back(s.ms);
            mb[row].push_back(s.peakMb);
            panMs[row].push_back(s.panMs);
        }
    }
    const char* names[Rows] = {"baseline: whole decode, part cut out", "zoom, baseline JPEG: key to sharp",
                               "zoom, progressive JPEG: key to sharp"};
    double peak[Rows];
    std::printf("%-44s %10s %14s %12s\n", "50 MP JPEG, centre at actual pixels", "median ms", "peak MB > idle", "pan ms");
    for (int row = 0; row < Rows; ++row) {
        peak[row] = *std::max_element(mb[row].begin(), mb[row].end());
        std::printf("%-44s %10.1f %14.1f %12.1f\n", names[row], median(ms[row]), peak[row], row == 0 ? 0.0 : median(panMs[row]));
    }
    std::printf("ratio zoom / baseline: time %.2f, memory %.2f\n", median(ms[1]) / median(ms[0]), peak[1] / peak[0]);
    std::printf("ratio progressive zoom / baseline: time %.2f, memory %.2f; its pan / its first paint %.2f\n",
                median(ms[2]) / median(ms[0]), peak[2] / peak[0], median(panMs[2]) / median(ms[2]));
    const bool kept = median(ms[1]) <= 250 && peak[1] <= 300 && peak[2] <= 300 && median(panMs[2]) <= 250;
    std::printf("%s: baseline at most 250 ms median; both at most 300 MB above idle; a progressive pan at most 250 ms median\n",
                kept ? "KEPT" : "BROKEN");
    return kept ? 0 : 1;
}
