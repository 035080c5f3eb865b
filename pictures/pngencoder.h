#pragma once

#include <QByteArray>
#include <QImage>

// PNG files written for speed rather than size: the thumbnail cache writes one for
// every picture the page read-ahead decodes. 8-bit RGB for an opaque image, RGBA
// (not premultiplied) for one with alpha; a single row filter and Huffman coding
// alone, which on photo thumbnails encode two to three times faster than the usual
// level-1 deflate with every filter tried, for files within a tenth of its size
// (flat graphics come out several times larger: photos are what an album holds).
namespace PngEncoder {

// The PNG file of `image`: signature, header, the colour space when it has one
// (sRGB as the sRGB chunk, any other as its ICC profile), pixels, end. Empty when
// the image is null or libpng refuses it (it never ends the program).
QByteArray Encode(const QImage& image);

} // namespace PngEncoder
