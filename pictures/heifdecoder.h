#pragma once

#include "decoding.h"

// HEIC/HEIF and AVIF pictures through libheif (in the decoder helper only).
namespace Heif {

// Readies the library (its codecs are built in; nothing is opened later).
void Prepare();
// The primary picture, with the file's own rotation and mirroring applied,
// shown at the size asked for; every limit checked before it is decoded.
Pictures::Decoded Decode(const QByteArray& bytes, QSize box);

} // namespace Heif
