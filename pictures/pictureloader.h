#pragma once

#include "decoding.h"
#include "picture.h"
#include "runerror.h"

#include <QSize>
#include <QString>

// The one picture loader: every place that shows or prints a picture loads it here.
//
// The format is told from the content, not the name; orientation (EXIF, and
// HEIF's own rotation and mirroring) is applied; the picture is decoded
// straight to the size asked for where the format allows it (scaled JPEG
// decoding, the streaming bitmap reader) and never held at more than the
// memory budget. Bitmaps and JPEG are read here; every other format in the
// sealed decoder helper (decoderprocess.h). A missing file fails as 53;
// anything that holds no loadable picture fails as 481.
namespace Pictures {

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

} // namespace Pictures
