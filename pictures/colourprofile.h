#pragma once

#include <QByteArray>
#include <QImage>
#include <QRgb>

// Colour profiles: what a file says its numbers mean, turned into the sRGB the screen, the
// printer and the saved bitmap take. Matrix-and-curve RGB profiles go through Qt's own colour
// transforms (as right, and faster on the pixels shown); everything Qt cannot read (table-based
// RGB profiles, grey profiles, CMYK press profiles, CIELAB) through LittleCMS. Works inside the
// sealed decoder helper: profiles are read from memory and sRGB is built in, no file is opened.
namespace Colour {

// Readies LittleCMS before the decoder helper seals itself: the C library reads the time zone
// on first use (LittleCMS dates the profiles it builds), which the seal would not allow later.
void Prepare();

// The ICC profile a PNG (iCCP), JPEG (APP2 ICC_PROFILE, in as many pieces as it was cut into)
// or WebP (ICCP) carries; empty when it has none or the profile is damaged.
QByteArray EmbeddedProfile(const QByteArray& file);

// What the picture's samples are: a profile is used only on a picture of its own kind.
enum class Samples { Rgb, Grey };

// `image` (RGB32, as shown) holds numbers in `icc`'s colour space: made sRGB in place. An RGB
// profile on an RGB picture, a grey one on a grey picture (its three channels equal); any other
// profile, or one that cannot be read, leaves the picture as it is. False when nothing was done.
bool ToSrgb(QImage& image, const QByteArray& icc, Samples samples);

// `count` CMYK pixels (4 bytes each, 255 full ink; `inverted`: 0 full ink, as Adobe's programs
// store CMYK in a JPEG) as RGB32 through `icc`, a CMYK profile; without a usable one, by plain
// ink arithmetic (each ink takes away its share of the light).
void CmykToSrgb(const uchar* cmyk, QRgb* out, int count, bool inverted, const QByteArray& icc);

// `count` CIELAB pixels (L 0 to 100, a and b, relative to the white point `whiteX`, `whiteY`, as
// chromaticities; TIFF takes D50 when a file names none) as RGB32. Changes `lab`.
void LabToSrgb(float* lab, QRgb* out, int count, double whiteX, double whiteY);

// Which engine converts the picture's profile: for the benchmark that chose between them.
enum class Engine { Qt, LittleCms };
bool ToSrgbWith(Engine engine, QImage& image, const QByteArray& icc);

} // namespace Colour
