#include "benchpictures.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace BenchPictures {

QImage Photo(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::vector<int> colR(static_cast<std::size_t>(width)), colB(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        const double fx = double(x) / width;
        colR[std::size_t(x)] = int(110 + 90 * std::sin(5.0 * fx + seed));
        colB[std::size_t(x)] = int(120 + 100 * std::cos(3.0 * fx * (1 + seed % 3)));
    }
    quint32 state = quint32(seed) * 2654435761u + 99u;
    for (int y = 0; y < height; ++y) {
        const double fy = double(y) / height;
        const int rowG = int(50 + 170 * fy);
        const int horizon = int(height * (0.55 + 0.05 * std::sin(seed)));
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = int(state % 13) - 6;
            // Texture: fine stripes whose pitch varies across the picture, and a hard edge.
            const int texture = ((x * (3 + y % 7) + y) >> 3) % 3 == 0 ? 18 : -6;
            const int edge = y > horizon + int(40 * std::sin(x * 0.002 + seed)) ? -60 : 0;
            const int r = colR[std::size_t(x)] + edge + noise + texture / 2;
            const int g = rowG + edge + noise + texture;
            const int b = colB[std::size_t(x)] - edge / 2 + noise;
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

QStringList Album::page(int page) const
{
    QStringList files;
    for (int s = 0; s < 12; ++s)
        files << folder + QStringLiteral("/P%1I%2.bmp").arg(page).arg(s);
    return files;
}

namespace {

bool write(const QImage& image, const QString& path, const char* format, bool progressive = false)
{
    QImageWriter writer(path + QStringLiteral(".part"), format);
    if (QByteArray(format) == "JPEG") {
        writer.setQuality(90);
        writer.setProgressiveScanWrite(progressive);
    }
    if (!writer.write(image))
        return false;
    QFile::remove(path);
    return QFile::rename(path + QStringLiteral(".part"), path);
}

} // namespace

Album Prepare(const QString& folder)
{
    Album album{folder};
    QDir().mkpath(folder);
    const QString done = folder + QStringLiteral("/.complete");
    if (QFile::exists(done))
        return album;
    std::fprintf(stderr, "Making the benchmark pictures in %s ...\n", qPrintable(folder));
    for (int s = 0; s < 12; ++s) {
        const bool tall = s % 3 == 2;
        const QImage photo = Photo(tall ? 4000 : 6000, tall ? 6000 : 4000, s + 1);
        write(photo, folder + QStringLiteral("/P1I%1.bmp").arg(s), "BMP");
        write(photo, folder + QStringLiteral("/P2I%1.bmp").arg(s), "JPEG", s == 4);
        if (s == 0)
            write(Photo(7360, 4912, 77), folder + QStringLiteral("/P3I0.bmp"), "BMP"); // 36 megapixels
        else
            write(Photo(1600, 1200, 40 + s), folder + QStringLiteral("/P3I%1.bmp").arg(s), "JPEG");
    }
    QFile(done).open(QIODevice::WriteOnly);
    return album;
}

QImage AreaAverage(const QImage& source0, QSize target)
{
    const QImage source = source0.convertToFormat(QImage::Format_RGB32);
    const int sw = source.width(), sh = source.height(), tw = target.width(), th = target.height();
    // Horizontal pass into doubles, then vertical, each with exact coverage weights.
    auto weights = [](int s, int t) {
        std::vector<std::vector<std::pair<int, double>>> w(static_cast<std::size_t>(t));
        const double scale = double(s) / t;
        for (int i = 0; i < t; ++i) {
            const double a = i * scale, b = (i + 1) * scale;
            for (int k = int(a); k < int(std::ceil(b)) && k < s; ++k) {
                const double cover = std::min(b, k + 1.0) - std::max(a, double(k));
                if (cover > 0)
                    w[std::size_t(i)].push_back({k, cover / scale});
            }
        }
        return w;
    };
    const auto wx = weights(sw, tw);
    const auto wy = weights(sh, th);
    std::vector<double> rows(std::size_t(sh) * tw * 3);
    for (int y = 0; y < sh; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int i = 0; i < tw; ++i) {
            double r = 0, g = 0, b = 0;
            for (auto [k, w] : wx[std::size_t(i)]) {
                r += qRed(line[k]) * w;
                g += qGreen(line[k]) * w;
                b += qBlue(line[k]) * w;
            }
            double* out = &rows[(std::size_t(y) * tw + i) * 3];
            out[0] = r;
            out[1] = g;
            out[2] = b;
        }
    }
    QImage result(target, QImage::Format_RGB32);
    for (int j = 0; j < th; ++j) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(j));
        for (int i = 0; i < tw; ++i) {
            double r = 0, g = 0, b = 0;
            for (auto [k, w] : wy[std::size_t(j)]) {
                const double* in = &rows[(std::size_t(k) * tw + i) * 3];
                r += in[0] * w;
                g += in[1] * w;
                b += in[2] * w;
            }
            line[i] = qRgb(int(std::lround(r)), int(std::lround(g)), int(std::lround(b)));
        }
    }
    return result;
}

bool TurboScaledDecode(const QString& path, QSize box)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = f.readAll();
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()), data.size());
    jpeg_read_header(&cinfo, TRUE);
    int denom = 8;
    while (denom > 1 &&
           (int(cinfo.image_width) / denom < box.width() && int(cinfo.image_height) / denom < box.height()))
        denom /= 2;
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(denom);
    cinfo.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&cinfo);
    QImage out(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

void UseDesktopSizedScreen()
{
    const QString config = QDir::tempPath() + QStringLiteral("/quill-bench-screen.json");
    QFile file(config);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(R"({"screens":[{"name":"bench","x":0,"y":0,"width":1920,"height":1080,"logicalDpi":96,"dpr":1}]})");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
}

} // namespace BenchPictures
