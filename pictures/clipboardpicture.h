#pragma once

#include "pictureloader.h"

class QMimeData;

// Pictures through the desktop's clipboard, to and from any other program.
namespace ClipboardPicture {

// Puts the picture on the clipboard at its full size, read again from its
// file (or its full image): as the platform's image and as PNG.
void Put(const Picture& picture);

// The picture on the clipboard (PNG, JPEG, BMP, GIF, WebP, TIFF, HEIC, AVIF and the other encoded
// types other programs offer, a copied picture file, or the platform's own
// image), read through the picture loader with all its limits; fitted into
// `box` for showing and kept whole for saving. Error 481 when the clipboard
// holds no picture.
Pictures::LoadResult Take(QSize box, qreal devicePixelRatio);

// The same reading of any program's offer (a drop, say): encoded pictures, a
// picture file, the platform's image. Error 481 when it holds no picture.
Pictures::LoadResult FromData(const QMimeData* data, QSize box, qreal devicePixelRatio);

} // namespace ClipboardPicture
