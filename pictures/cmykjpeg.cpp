#include "cmykjpeg.h"

#include "colourprofile.h"
#include "jpegerrors.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace CmykJpeg {
namespace {

// libjpeg leaves by longjmp: everything with a destructor belongs to the caller. The inks are
// kept as they are read, cyan, magenta and yellow in one picture and black in another, so that
// Qt's scaling can bring them to the size shown before they go through the profile.
bool run(jpeg_decompress_struct& info, JpegErrors& error, const QByteArray& jpeg, QSize want, QImage& colours,
         QImage& black, bool& inverted)
{
    if (setjmp(error.jump))
        return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    if (info.num_components != 4 || (info.jpeg_color_space != JCS_CMYK && info.jpeg_color_space != JCS_YCCK)) {
        std::snprintf(error.message, sizeof error.message, "not a CMYK JPEG");
        return false;
    }
    info.out_color_space = JCS_CMYK; // YCCK made CMYK by libjpeg
    info.scale_num = 1;
    info.scale_denom = 1;
    for (unsigned denom : {8u, 4u, 2u}) {
        if (!want.isEmpty() && (info.image_width + denom - 1) / denom >= unsigned(want.width()) &&
            (info.image_height + denom - 1) / denom >= unsigned(want.height())) {
            info.scale_denom = denom;
            break;
        }
    }
    jpeg_start_decompress(&info);
    const int width = int(info.output_width);
    colours = QImage(width, int(info.output_height), QImage::Format_RGB32);
    black = QImage(width, int(info.output_height), QImage::Format_RGB32);
    if (colours.isNull() || black.isNull() || info.output_components != 4) {
        std::snprintf(error.message, sizeof error.message, "too large to read");
        return false;
    }
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        // Read into the colours' row, then spread out in place (each pixel is 4 bytes either way).
        JSAMPROW rows[1] = {colours.scanLine(y)};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            break;
        const uchar* ink = colours.constScanLine(y);
        auto* cmy = reinterpret_cast<QRgb*>(colours.scanLine(y));
        auto* k = reinterpret_cast<QRgb*>(black.scanLine(y));
        for (int x = 0; x < width; ++x, ink += 4) {
            const uchar c = ink[0], m = ink[1], yellow = ink[2], key = ink[3];
            cmy[x] = qRgb(c, m, yellow);
            k[x] = qRgb(key, key, key);
        }
    }
    inverted = info.saw_Adobe_marker;
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

Result Decode(const QByteArray& jpeg, QSize want, const QByteArray& icc)
{
    Result r;
    jpeg_decompress_struct info{};
    JpegErrors error{};
    info.err = error.Manager();
    QImage colours, black;
    bool inverted = false;
    const bool read = run(info, error, jpeg, want, colours, black, inverted);
    jpeg_destroy_decompress(&info);
    if (!read) {
        r.failure = QString::fromLatin1(error.message);
        return r;
    }
    // A profile's conversion costs far more a pixel than scaling: only the pixels shown go through it.
    if (!want.isEmpty() && colours.size() != want) {
        colours = colours.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        black = black.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (colours.format() != QImage::Format_RGB32 || black.format() != QImage::Format_RGB32) {
        colours = colours.convertToFormat(QImage::Format_RGB32);
        black = black.convertToFormat(QImage::Format_RGB32);
    }
    std::vector<uchar> inks(std::size_t(colours.width()) * 4);
    for (int y = 0; y < colours.height(); ++y) {
        auto* cmy = reinterpret_cast<QRgb*>(colours.scanLine(y));
        const auto* k = reinterpret_cast<const QRgb*>(black.constScanLine(y));
        for (int x = 0; x < colours.width(); ++x) {
            inks[std::size_t(x) * 4] = uchar(qRed(cmy[x]));
            inks[std::size_t(x) * 4 + 1] = uchar(qGreen(cmy[x]));
            inks[std::size_t(x) * 4 + 2] = uchar(qBlue(cmy[x]));
            inks[std::size_t(x) * 4 + 3] = uchar(qBlue(k[x]));
        }
        Colour::CmykToSrgb(inks.data(), cmy, colours.width(), inverted, icc);
    }
    r.image = colours;
    return r;
}

} // namespace CmykJpeg
