#include "avifdecoder.h"

#include "hdr.h"

#include <QTransform>

#include <avif/avif.h>

#include <algorithm>
#include <memory>

namespace Avif {
namespace {

// Decoder threads a picture may use (a grid's tiles, a large picture's tile rows), however many
// processors there are: as many as libheif's, which the seal holds.
constexpr int DecodingThreads = 4;

struct Release {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
    void operator()(avifImage* i) const { avifImageDestroy(i); }
};

Pictures::Decoded failed(const QString& why)
{
    Pictures::Decoded d;
    d.failure = why;
    return d;
}

QString why(avifResult result, const avifDecoder* decoder)
{
    QString text = QString::fromUtf8(avifResultToString(result));
    if (decoder->diag.error[0])
        text += QStringLiteral(": ") + QString::fromUtf8(decoder->diag.error);
    return text;
}

// The clean aperture as a crop rectangle; the whole picture when there is none or it is not valid.
avifCropRect cropOf(const avifImage* image)
{
    avifCropRect rect{0, 0, image->width, image->height};
    if (image->transformFlags & AVIF_TRANSFORM_CLAP) {
        avifCropRect clap{};
        avifDiagnostics diag{};
        if (avifCropRectConvertCleanApertureBox(&clap, &image->clap, image->width, image->height, image->yuvFormat, &diag) &&
            clap.width > 0 && clap.height > 0)
            rect = clap;
    }
    return rect;
}

// The file's rotation (anticlockwise, in quarter turns) and then its mirroring, in that order.
QImage upright(QImage picture, const avifImage* image)
{
    if ((image->transformFlags & AVIF_TRANSFORM_IROT) && image->irot.angle % 4 != 0)
        picture = picture.transformed(QTransform().rotate(-90.0 * (image->irot.angle % 4)));
    if (image->transformFlags & AVIF_TRANSFORM_IMIR)
        picture = picture.mirrored(image->imir.mode == 1, image->imir.mode == 0);
    return picture;
}

// The pixels as the file's colours give them: 8-bit RGB32 (ARGB32 with alpha), the layout the
// program keeps and libyuv converts to fastest; for PQ and HLG the signal at 16 bits (RGBX64,
// RGBA64 with alpha), to be tone-mapped.
QImage pixelsOf(const avifImage* view, bool hdr, QString& failure)
{
    const bool alpha = view->alphaPlane != nullptr;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, view);
    QImage::Format format;
    if (hdr) {
        rgb.depth = 16;
        rgb.format = AVIF_RGB_FORMAT_RGBA; // opaque: alpha written as the largest value
        format = alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64;
    } else {
        rgb.depth = 8;
        rgb.format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_ARGB;
        format = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    }
    QImage picture(int(view->width), int(view->height), format);
    if (picture.isNull()) {
        failure = QStringLiteral("too large to read");
        return {};
    }
    rgb.pixels = picture.bits();
    rgb.rowBytes = uint32_t(picture.bytesPerLine());
    const avifResult r = avifImageYUVToRGB(view, &rgb);
    if (r != AVIF_RESULT_OK) {
        failure = QString::fromUtf8(avifResultToString(r));
        return {};
    }
    return picture;
}

} // namespace

bool LooksLikeAvif(const QByteArray& bytes)
{
    if (bytes.size() < 16 || bytes.mid(4, 4) != "ftyp")
        return false;
    const qint64 boxSize = qint64(quint8(bytes[0])) << 24 | quint8(bytes[1]) << 16 | quint8(bytes[2]) << 8 | quint8(bytes[3]);
    const qsizetype end = qsizetype(std::min<qint64>(boxSize, bytes.size()));
    // Major brand at 8, minor version at 12, then the compatible brands.
    for (qsizetype at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
        const QByteArray brand = bytes.mid(at, 4);
        if (brand == "avif" || brand == "avis")
            return true;
    }
    return false;
}

Pictures::Decoded Decode(const QByteArray& bytes, QSize box)
{
    std::unique_ptr<avifDecoder, Release> decoder(avifDecoderCreate());
    if (!decoder)
        return failed(QStringLiteral("out of memory"));
    decoder->maxThreads = DecodingThreads;
    decoder->imageSizeLimit = uint32_t(Pictures::MaxPixels);
    decoder->imageDimensionLimit = 32768;
    // Pictures other programs wrote with small faults (no pixel information box, a crop
    // outside the picture) are still shown, as other readers show them.
    decoder->strictFlags = AVIF_STRICT_DISABLED;
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    avifResult r = avifDecoderSetIOMemory(decoder.get(), reinterpret_cast<const uint8_t*>(bytes.constData()),
                                          std::size_t(bytes.size()));
    if (r == AVIF_RESULT_OK)
        r = avifDecoderParse(decoder.get());
    if (r != AVIF_RESULT_OK)
        return failed(why(r, decoder.get()));
    // Every limit from the headers, before a pixel is decoded.
    const avifImage* header = decoder->image;
    const QSize stored(int(header->width), int(header->height));
    if (const QString refused = Pictures::SizeRefused(stored); !refused.isEmpty())
        return failed(refused);
    // The still picture, else the sequence's first frame; a layered picture with all its layers.
    r = avifDecoderNextImage(decoder.get());
    if (r != AVIF_RESULT_OK)
        return failed(why(r, decoder.get()));
    avifImage* image = decoder->image;
    const avifCropRect crop = cropOf(image);
    std::unique_ptr<avifImage, Release> cropped;
    const avifImage* view = image;
    if (crop.width != image->width || crop.height != image->height) {
        cropped.reset(avifImageCreateEmpty());
        if (!cropped || avifImageSetViewRect(cropped.get(), image, &crop) != AVIF_RESULT_OK)
            return failed(QStringLiteral("the picture's crop could not be applied"));
        view = cropped.get();
    }
    // A profile the file carries wins over its colour box.
    const bool icc = image->icc.size > 0;
    const bool hdr = !icc && Hdr::IsHdr(image->transferCharacteristics);
    QString failure;
    QImage pixels = pixelsOf(view, hdr, failure);
    if (pixels.isNull())
        return failed(failure);
    // The decoded planes are not needed again: their memory goes before the picture is turned.
    cropped.reset();
    avifImageFreePlanes(decoder->image, AVIF_PLANES_ALL);
    const QImage picture = upright(std::move(pixels), image);
    Pictures::Decoded d;
    d.natural = picture.size();
    const QSize want = Pictures::TargetSize(d.natural, box);
    if (hdr) {
        const QImage sdr = Hdr::ToSdr(picture, want, image->colorPrimaries, image->transferCharacteristics);
        if (sdr.isNull())
            return failed(QStringLiteral("too large to read"));
        d.shown = Pictures::Finished(sdr, want, 1.0);
        return d;
    }
    d.shown = Pictures::Finished(picture, want, 1.0);
    if (icc)
        Pictures::ToSrgb(d.shown, QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(image->icc.data),
                                                                         qsizetype(image->icc.size))));
    else
        Pictures::ToSrgb(d.shown, Hdr::SdrSpace(image->colorPrimaries, image->transferCharacteristics));
    return d;
}

} // namespace Avif
