#pragma once

#include "picture.h"
#include "runerror.h"

#include <QSize>
#include <QString>

// The one picture loader: every place that shows or prints a picture loads it here.
//
// The format is told from the content, not the name; EXIF orientation is
// applied; the picture is decoded straight to the size asked for where the
// format allows it (scaled JPEG decoding, the streaming bitmap reader) and
// never held at more than the memory budget. A missing file fails as 53;
// anything that holds no loadable picture fails as 481.
namespace Pictures {

// The most one decoded picture may take in memory.
inline constexpr qint64 MemoryBudgetBytes = 256ll << 20;
// The most pixels a picture may have, whatever size it is read at: reading
// every one of them must stay within about a second.
inline constexpr qint64 MaxPixels = 120'000'000;
// The most scans a progressive JPEG may have: each one is a pass over every coefficient.
inline constexpr int MaxProgressiveScans = 100;

struct LoadResult {
    Picture picture;
    RunError error;
};

// `box`: the device pixels the shown picture must fit within, proportions kept
// and never enlarged; an empty box asks for the full picture (within the budget).
// The shown image carries `devicePixelRatio`.
LoadResult LoadPicture(const QString& path, QSize box = {}, qreal devicePixelRatio = 1.0);

// The picture held in memory (from the clipboard), prepared the same way.
Picture PictureFromImage(const QImage& image, QSize box = {}, qreal devicePixelRatio = 1.0);

// A picture in any pixel layout as the program shows it: 32-bit RGB, what is transparent
// laid on white, area-averaged to `size` (an empty size keeps its own).
QImage ShownImage(const QImage& image, QSize size = {}, qreal devicePixelRatio = 1.0);

// A placeholder the program draws itself (111 by 111, as the empty-slot
// picture): for a slot whose file cannot be shown (`unreadable`), or for an
// empty slot when "Empty.bmp" itself cannot be read.
Picture DrawnPlaceholder(QSize box, qreal devicePixelRatio, bool unreadable);

// The same picture again from its full source (its file, or its full image)
// at another size; the picture as given when that source cannot be read.
Picture Reload(const Picture& picture, QSize box, qreal devicePixelRatio = 1.0);

// What the loader checks in a JPEG stream before decoding it.
struct JpegFacts {
    bool complete = false;    // runs to its end-of-image marker (a truncated one does not)
    bool progressive = false; // its decoder keeps every coefficient of the picture in memory
    qint64 coefficientBytes = 0; // what those coefficients take
    int scans = 0;               // start-of-scan markers
};
JpegFacts ScanJpeg(const uchar* data, qint64 size);

} // namespace Pictures
