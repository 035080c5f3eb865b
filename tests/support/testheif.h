#pragma once

#include <QByteArray>
#include <QImage>

#include <libheif/heif.h>

#include <functional>

// HEIC and AVIF files made with libheif's own encoders, for tests and benchmarks.
namespace TestHeif {

struct Options {
    int quality = 90;
    heif_orientation orientation = heif_orientation_normal; // the file's own turn or mirror (EXIF numbering)
    const char* preset = nullptr;                           // an encoder preset ("ultrafast"), or its default
    std::function<void(heif_image*)> prepare;               // e.g. a colour profile put on the image
    QImage thumbnail; // when set, the main picture's embedded thumbnail (stored as it is, same turn)
};

// `picture` as a HEIC (heif_compression_HEVC) or AVIF (heif_compression_AV1) file;
// empty when this libheif has no encoder for it or encoding fails.
QByteArray Encode(const QImage& picture, heif_compression_format format, const Options& options = {});

} // namespace TestHeif
