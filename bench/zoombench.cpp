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
bool writeJpeg(const QString& path)
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
    s.peakMb = double(MemoryProbe::PeakResidentKb() - idleKb) / 1024.0;
    if (!pane.Sharp() || shown.isNull())
        s.ms = 1e9;
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
    if (!QFile::exists(path) && !writeJpeg(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return 1;
    }
    const qint64 idleKb = MemoryProbe::ResidentKb();
    std::vector<double> zoomMs, zoomMb, wholeMs, wholeMb;
    for (int round = 0; round < Rounds; ++round) {
        // Alternate which goes first, so that load on the machine hits both alike.
        const bool zoomFirst = round % 2 == 0;
        for (int i = 0; i < 2; ++i) {
            const Sample s = (i == 0) == zoomFirst ? zoomed(path, idleKb) : whole(path, idleKb);
            auto& ms = (i == 0) == zoomFirst ? zoomMs : wholeMs;
            auto& mb = (i == 0) == zoomFirst ? zoomMb : wholeMb;
            ms.push_back(s.ms);
            mb.push_back(s.peakMb);
        }
    }
    const double peakZoom = *std::max_element(zoomMb.begin(), zoomMb.end());
    const double peakWhole = *std::max_element(wholeMb.begin(), wholeMb.end());
    std::printf("%-44s %10s %14s\n", "50 MP JPEG, centre at actual pixels", "median ms", "peak MB > idle");
    std::printf("%-44s %10.1f %14.1f\n", "baseline: whole decode, part cut out", median(wholeMs), peakWhole);
    std::printf("%-44s %10.1f %14.1f\n", "zoom: key to the sharp part painted", median(zoomMs), peakZoom);
    std::printf("ratio zoom / baseline: time %.2f, memory %.2f\n", median(zoomMs) / median(wholeMs), peakZoom / peakWhole);
    const bool kept = median(zoomMs) <= 250 && peakZoom <= 300;
    std::printf("%s: at most 250 ms median and 300 MB above idle\n", kept ? "KEPT" : "BROKEN");
    return kept ? 0 : 1;
}
