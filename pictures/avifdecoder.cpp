#include "avifdecoder.h"

#include "hdr.h"

#include <QTransform>

#include <avif/avif.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

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

// The pixels in 8-bit RGB(A) as the file's colours give them, or tone-mapped sRGB for PQ and HLG.
QImage pixelsOf(const avifImage* view, bool hdr, QString& failure)
{
    const bool alpha = view->alphaPlane != nullptr;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, view);
    rgb.format = alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
    if (!hdr) {
        rgb.depth = 8;
        QImage picture(int(view->width), int(view->height), alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
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
    // At the file's own depth, so that each code is tone-mapped once.
    rgb.depth = view->depth > 8 ? view->depth : 16;
    const int channels = alpha ? 4 : 3;
    std::vector<std::uint16_t> samples;
    try {
        samples.resize(std::size_t(view->width) * view->height * std::size_t(channels));
    } catch (const std::bad_alloc&) {
        failure = QStringLiteral("too large to read");
        return {};
    }
    rgb.pixels = reinterpret_cast<uint8_t*>(samples.data());
    rgb.rowBytes = view->width * uint32_t(channels) * 2;
    const avifResult r = avifImageYUVToRGB(view, &rgb);
    if (r != AVIF_RESULT_OK) {
        failure = QString::fromUtf8(avifResultToString(r));
        return {};
    }
    Hdr::Samples in;
    in.pixels = samples.data();
    in.strideBytes = rgb.rowBytes;
    in.size = QSize(int(view->width), int(view->height));
    in.channels = channels;
    in.maxCode = (1 << rgb.depth) - 1;
    QImage picture = Hdr::ToSdr(in, view->colorPrimaries, view->transferCharacteristics);
    if (picture.isNull())
        failure = QStringLiteral("too large to read");
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
    if (stored.isEmpty())
        return failed(QStringLiteral("no picture size"));
    if (Pictures::TooManyPixels(stored))
        return failed(QStringLiteral("too many pixels to read"));
    if (Pictures::PixelBytes(stored) > Pictures::MemoryBudgetBytes)
        return failed(QStringLiteral("too large to read"));
    // The still picture, else the sequence's first frame; a layered picture with all its layers.
    r = avifDecoderNextImage(decoder.get());
    if (r != AVIF_RESULT_OK)
        return failed(why(r, decoder.get()));
    const avifImage* image = decoder->image;
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
    const QImage pixels = pixelsOf(view, hdr, failure);
    if (pixels.isNull())
        return failed(failure);
    const QImage picture = upright(pixels, image);
    Pictures::Decoded d;
    d.natural = picture.size();
    d.shown = Pictures::Finished(picture, Pictures::TargetSize(d.natural, box), 1.0);
    if (icc)
        Pictures::ToSrgb(d.shown, QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(image->icc.data),
                                                                         qsizetype(image->icc.size))));
    else if (!hdr)
        Pictures::ToSrgb(d.shown, Hdr::SdrSpace(image->colorPrimaries, image->transferCharacteristics));
    return d;
}

} // namespace Avif
