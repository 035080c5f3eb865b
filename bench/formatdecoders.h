#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Each format's own library decoding a whole file straight to 32-bit pixels in this process
// (libpng, libwebp, libtiff, giflib, libheif, libavif): the baseline the sealed helper is held to.
namespace FormatDecoders {

// The pictures the rows decode: a photo-like picture as PNG, WebP, 16-bit TIFF, GIF, HEIC, AVIF.
QByteArray MakePng(const QImage& picture);
QByteArray MakeWebp(const QImage& picture);
QByteArray MakeTiff16(const QImage& picture);
QByteArray MakeGif(const QImage& picture);

// The whole picture, 32 bits a pixel; a null image when the library refuses the file.
QImage Png(const QByteArray& bytes);
QImage Webp(const QByteArray& bytes);
QImage Tiff(const QString& path);
QImage Gif(const QByteArray& bytes);
QImage Heif(const QByteArray& bytes);
QImage Avif(const QByteArray& bytes);

} // namespace FormatDecoders
