#pragma once

#include "decoding.h"

// PNG with libpng itself, in the decoder helper: every colour type and depth, palettes,
// transparency (tRNS, alpha; laid on white), interlacing, 16-bit samples rounded to 8, the
// colour profile (iCCP, sRGB, gAMA with cHRM) and the EXIF orientation (eXIf) as the program
// has always shown them. Straight into 32-bit pixels, one pass over the picture.
namespace Png {

bool LooksLikePng(const QByteArray& head);
Pictures::Decoded Decode(const QByteArray& bytes, QSize box);

} // namespace Png
