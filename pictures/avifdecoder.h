#pragma once

#include "decoding.h"

// AVIF pictures through libavif, the format's reference library (in the decoder helper only).
// It reads what libheif does not: a sequence without a still picture (its first frame is
// shown), a layered (progressive) picture (all its layers: the full picture), monochrome of
// 10 and 12 bits in limited range; PQ and HLG pictures are tone-mapped (hdr.h).
namespace Avif {

// True when the file's type box names an AVIF brand (major or compatible).
bool LooksLikeAvif(const QByteArray& bytes);

// The first picture (the primary item, else the first frame of the sequence), cropped, turned
// and mirrored as the file says, in sRGB, shown at the size asked for; every limit checked
// before it is decoded. Decoded from memory: nothing is opened.
Pictures::Decoded Decode(const QByteArray& bytes, QSize box);

} // namespace Avif
