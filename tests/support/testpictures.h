#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Pictures the tests make for themselves.
namespace TestPictures {

// A photo-like picture: smooth gradients with fine detail, so that scaling shortcuts show.
QImage Photo(int width, int height, int seed = 1);
// Writes `image` in the format named ("BMP", "JPEG", "PNG", "ICO") to `path`.
bool Save(const QImage& image, const QString& path, const char* format);
// A JPEG of `stored` (its pixels as they are) with an EXIF block whose
// orientation tag (0x0112) says how to stand it upright: 3 half turn,
// 6 quarter clockwise, 8 quarter anticlockwise; progressive, or baseline.
QByteArray JpegWithOrientation(const QImage& stored, int orientation, bool progressive = false);
// A bitmap file written by hand: 16 (5-6-5 bit fields), 24 or 32 bits, top-down or bottom-up.
QByteArray Bitmap(const QImage& image, int bitsPerPixel, bool topDown);
// A placeable metafile: a blue rectangle filling a 100 by 50 area.
QByteArray BlueRectangleMetafile();
// A two-frame GIF, 4 by 3: red, then blue.
QByteArray TwoFrameGif();
bool WriteBytes(const QString& path, const QByteArray& bytes);
QByteArray ReadBytes(const QString& path);
// Peak signal-to-noise ratio of `a` against `b` (same size), in dB.
double Psnr(const QImage& a, const QImage& b);

} // namespace TestPictures
