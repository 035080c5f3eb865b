#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

// Reads uncompressed Windows bitmaps (1, 2, 4, 8, 16, 24 and 32 bits, bit fields with or without alpha
// included) straight into the size wanted: the file is mapped a window at a
// time and every pixel is area-averaged into the target, so neither the full
// picture nor the whole file is ever held in memory.
namespace Bmp {

// Unreadable: the file could not be opened or mapped, or changed while it was read (a
// passing error of access, not a fault of the picture).
enum class Verdict { Decoded, NotBmp, Unsupported, Broken, Unreadable };

struct Header {
    int width = 0;
    int height = 0;     // always positive
    bool bottomUp = true;
    int bitsPerPixel = 0;
    quint32 compression = 0;
    qint64 dataOffset = 0;
    qint64 stride = 0;
};

// Reads and checks the headers from the first bytes of a file of `fileSize` bytes.
Verdict ReadHeader(const uchar* data, qint64 available, qint64 fileSize, Header& header);

struct Result {
    Verdict verdict = Verdict::Broken;
    QImage image;       // the target size, Format_RGB32
    QSize natural;      // the picture's own size
};

// Decodes `path` area-averaged to the size `sizeFor` gives for the picture's
// own size (which it learns from the header, before any pixel is read); an
// empty size refuses the picture (Broken) before a pixel is read.
// Compressed bitmaps come back Unsupported, for the general reader to handle.
Result Read(const QString& path, const std::function<QSize(QSize natural)>& sizeFor);
// The same, fitted within `box` (proportions kept, never enlarged).
Result Read(const QString& path, QSize box);

// Tests only: runs after each window of a file is mapped (to shrink the file under the reader).
extern void (*AfterMappingForTests)(const QString& path);

// The size a picture of `natural` size takes to fit within `box`, proportions kept, never enlarged.
QSize FitWithin(QSize natural, QSize box);

} // namespace Bmp
