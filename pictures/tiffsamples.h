#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <tiffio.h>

// The TIFF reader's own sample reading (tiffreader.h): what libtiff's RGBA reading gets wrong
// or cannot read (more than 8 bits a sample, floating point, one plane a channel, CIELAB, CMYK
// through its profile).
namespace TiffSamples {

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t samplesPerPixel = 1, bitsPerSample = 1, sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE;
    uint16_t inkSet = INKSET_CMYK;
    int alphaSample = -1;         // the sample that is alpha, or -1
    bool premultiplied = false;   // associated alpha
    float white[2] = {0.3457f, 0.3585f}; // CIELAB's white point (x, y): D50 unless the file names one
};

// True when these samples are read here rather than by libtiff's RGBA reading.
bool ReadsHere(const Layout& layout);

// The picture in stored orientation: RGB32, or ARGB32 (premultiplied when the file's alpha is)
// when it has alpha; a CMYK picture through `icc`. A null image and why on failure. `whole`: the
// picture is handed back as read (upright, unscaled), into Pictures::WholePictureCanvas.
QImage Read(TIFF* tiff, const Layout& layout, const QByteArray& icc, QString& why, bool whole = false);

} // namespace TiffSamples
