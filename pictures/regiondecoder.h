#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

// Part of a JPEG at the size it is shown: libjpeg-turbo decodes only the rows and columns of
// the part (jpeg_skip_scanlines, jpeg_crop_scanline), at the smallest of its scales (n/8) that
// still covers it, so a 50-megapixel photo at actual pixels costs a screenful of memory, not
// the whole picture. Orientation (EXIF) and the colour profile are applied as the loader does.
// Colour JPEGs and grey ones; CMYK and YCCK are left to the loader. A progressive JPEG is
// rewritten once, losslessly, as a sequential one when opened, so that its parts cost as little.
namespace RegionDecoder {

// A JPEG read once, for many parts of it.
struct Source {
    QByteArray bytes; // sequential: a progressive file's coefficients rewritten in one scan
    QSize stored;  // as the file stores it
    QSize natural; // upright
    int orientation = 1;
    QByteArray icc;
    bool grey = false;
};

// Null when `path` is no JPEG this decoder reads (another format, CMYK, damaged, too large).
std::shared_ptr<const Source> Open(const QString& path);

// The part `region` (upright picture pixels, within the picture) at `scale` screen pixels
// per picture pixel (at most 1): an image of region's size times scale, rounded. Null when the
// file turns out damaged.
QImage Decode(const Source& source, QRect region, double scale);

// The stored pixels behind an upright rectangle (exposed for the tests).
QRect StoredRect(QRect upright, QSize stored, int orientation);

} // namespace RegionDecoder
