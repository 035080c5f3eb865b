#pragma once

#include "decoding.h"

// A still WebP with libwebp itself, in the decoder helper: decoded straight into 32-bit pixels
// (BGRA, ARGB32 in memory), transparency laid on white, its ICC profile and EXIF orientation as
// the program has always shown them. An animation is left to Qt's reader (its first frame).
namespace Webp {

bool LooksLikeWebp(const QByteArray& head);
// `handled` false: not a still WebP this reads; nothing was decoded.
Pictures::Decoded Decode(const QByteArray& bytes, QSize box, bool& handled);

} // namespace Webp
