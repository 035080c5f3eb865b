#pragma once

#include "decoding.h"

#include <QByteArray>
#include <QSize>

// TIFF, read in the decoder helper with libtiff from the bytes it was handed (no file is
// opened). The first page, stood upright by its orientation tag, made sRGB through its profile.
// Samples of 8 to 32 bits, integer or floating point, in one plane or one plane a channel, in
// strips or tiles, grey, RGB, CMYK and CIELAB, with or without alpha, are read here sample by
// sample; everything else libtiff itself turns into RGBA (palettes, 1 to 4-bit grey, YCbCr,
// JPEG, fax, LogLuv). What neither can read is refused, never shown as noise.
namespace Tiff {

bool LooksLikeTiff(const QByteArray& head);

Pictures::Decoded Decode(const QByteArray& bytes, QSize box);

} // namespace Tiff
