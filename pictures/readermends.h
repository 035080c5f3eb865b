#pragma once

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>

class QImageReader;

#include <array>
#include <optional>

// What Qt's readers get wrong in files the program reads, mended around them.
namespace ReaderMends {

// A 16-bit RGB PNG with one transparent colour (a tRNS chunk) comes back from Qt's reader
// with its channels shifted into the alpha; read without the chunk, the colour is keyed here.
struct ColourKey {
    std::array<quint16, 3> rgb{};
};
// The key of such a PNG, and the file without its tRNS chunk to read instead.
std::optional<ColourKey> TakePngColourKey(QByteArray& png);
QImage ApplyColourKey(const QImage& image, const ColourKey& key);

// Qt's icon reader ignores the transparency mask of a 24-bit icon; this lays in that of entry `entry`.
QImage ApplyIconMask(const QImage& image, const QByteArray& ico, int entry);
// Qt's icon reader reads an icon's first entry (often its 16 by 16): this moves `reader` to its
// largest and tells which that is.
int LargestIconEntry(QImageReader& reader);

// Qt's PNG and WebP readers ignore the EXIF orientation these files can carry (PNG's eXIf
// chunk, WebP's EXIF chunk). The orientation tag (1 to 8, as in EXIF), or 1 when there is none.
int ExifOrientation(const QByteArray& file, const QByteArray& format);
// The EXIF orientation (1 to 8) of a transformation Qt's reader reports.
int ExifOrientationOf(QImageIOHandler::Transformations transformation);
// `image` stood upright by an EXIF orientation.
QImage Oriented(const QImage& image, int orientation);

} // namespace ReaderMends
