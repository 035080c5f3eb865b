#pragma once

#include <QColorSpace>
#include <QImage>
#include <QSize>

#include <cstdint>

// What a colour box of code points (ITU-T H.273: primaries, transfer) says about a picture's
// pixels, and high dynamic range pictures (PQ, HLG) brought down to the SDR sRGB the screen,
// the printer and the saved bitmap take. Used by the AVIF and HEIF decoders in the helper.
//
// Tone mapping, one route for both transfers: the signal becomes display light in cd/m2
// (PQ: the SMPTE ST 2084 EOTF; HLG: the BT.2100 inverse OETF and its OOTF for a nominal
// 1000 cd/m2 display, gamma 1.2). Its luminance is brought from a 1000 cd/m2 master down to
// 203 cd/m2 by the ITU-R BT.2390 EETF (linear below the knee, a Hermite roll-off above it,
// computed in PQ), and R, G and B are scaled alike so that hues stay. SDR white is 203 cd/m2
// (BT.2408's HDR reference white), the ceiling the master's highlights are rolled under: light
// below the knee (about 90 cd/m2) keeps its level, a diffuse white of 203 cd/m2 shows at about
// 78% (229 of 255), 1000 cd/m2 and more at white. Then the primaries become sRGB's (linear 3x3 matrix),
// colours outside sRGB are clipped per channel, and the sRGB curve codes them.
namespace Hdr {

// H.273 code points used here.
inline constexpr int TransferPq = 16;
inline constexpr int TransferHlg = 18;
inline constexpr int PrimariesBt2020 = 9;

bool IsHdr(int transfer);

// An SDR picture's colour space from its colour box; invalid (nothing to convert) for sRGB
// and BT.709 primaries with an sRGB-like curve, and for codes not known here.
QColorSpace SdrSpace(int primaries, int transfer);

// Samples as a decoder gives them: `channels` 3 (RGB) or 4 (RGBA) of 16 bits, each 0..`maxCode`.
struct Samples {
    const std::uint16_t* pixels = nullptr;
    qsizetype strideBytes = 0;
    QSize size;
    int channels = 3;
    int maxCode = 65535;
};

// The samples at 16 bits full scale: Format_RGBX64, or Format_RGBA64 with alpha. Null when out of memory.
QImage Widened(const Samples& samples);

// `wide` (Format_RGBX64 or Format_RGBA64), coded with PQ or HLG (`transfer`) in `primaries`
// (unknown: BT.2020), as 8-bit sRGB: RGB32, or ARGB32 (not premultiplied) with alpha. To be
// shown at `want` (empty: its own size), it is first scaled to twice that size at most, so that
// a slot costs a few slots' worth of tone mapping; the caller scales the rest (Finished).
// Null when out of memory.
QImage ToSdr(QImage wide, QSize want, int primaries, int transfer);

} // namespace Hdr
