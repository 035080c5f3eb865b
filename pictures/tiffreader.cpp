#include "tiffreader.h"

#include "colourprofile.h"
#include "readermends.h"
#include "tiffsamples.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace Tiff {
namespace {

// libtiff reads the bytes the helper was handed, through these.
struct Source {
    const char* data;
    toff_t size;
    toff_t at;
    char failure[256];
};

tsize_t readBytes(thandle_t handle, tdata_t into, tsize_t size)
{
    auto* s = static_cast<Source*>(handle);
    const toff_t n = s->at >= s->size ? 0 : std::min<toff_t>(toff_t(size), s->size - s->at);
    std::memcpy(into, s->data + s->at, std::size_t(n));
    s->at += n;
    return tsize_t(n);
}

tsize_t writeNothing(thandle_t, tdata_t, tsize_t)
{
    return 0;
}

toff_t seekTo(thandle_t handle, toff_t offset, int whence)
{
    auto* s = static_cast<Source*>(handle);
    const toff_t from = whence == SEEK_CUR ? s->at : whence == SEEK_END ? s->size : 0;
    s->at = from + offset;
    return s->at;
}

int closeNothing(thandle_t)
{
    return 0;
}

toff_t sizeOf(thandle_t handle)
{
    return static_cast<Source*>(handle)->size;
}

// The bytes are already in memory: libtiff reads them in place (it never writes to them).
int mapped(thandle_t handle, tdata_t* base, toff_t* size)
{
    auto* s = static_cast<Source*>(handle);
    *base = const_cast<char*>(s->data);
    *size = s->size;
    return 1;
}

void unmapped(thandle_t, tdata_t, toff_t) {}

// libtiff's complaints are kept, the first one as the reason a picture is refused; none is printed.
int onError(TIFF*, void* user, const char*, const char* format, va_list args)
{
    auto* s = static_cast<Source*>(user);
    if (s->failure[0] == '\0')
        std::vsnprintf(s->failure, sizeof s->failure, format, args);
    return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

struct Close {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

Pictures::Decoded failed(const QString& why)
{
    Pictures::Decoded d;
    d.failure = why.isEmpty() ? QStringLiteral("not a TIFF picture that can be read") : why;
    return d;
}

TiffSamples::Layout layoutOf(TIFF* tiff)
{
    TiffSamples::Layout l;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &l.samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &l.bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &l.compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &l.inkSet);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &l.photometric))
        l.photometric = l.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    float* white = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_WHITEPOINT, &white) && white && white[1] > 0) {
        l.white[0] = white[0];
        l.white[1] = white[1];
    }
    uint16_t extras = 0;
    uint16_t* kinds = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extras, &kinds) && kinds) {
        for (uint16_t e = 0; e < extras; ++e) {
            if (kinds[e] == EXTRASAMPLE_ASSOCALPHA || kinds[e] == EXTRASAMPLE_UNASSALPHA) {
                l.alphaSample = l.samplesPerPixel - extras + e;
                l.premultiplied = kinds[e] == EXTRASAMPLE_ASSOCALPHA;
                break;
            }
        }
    }
    return l;
}

// libtiff's own reading, to 8-bit RGBA (what is not opaque premultiplied), in stored orientation.
QImage readRgba(TIFF* tiff, const TiffSamples::Layout& l, QString& why)
{
    char message[1024] = {};
    TIFFRGBAImage reading{};
    // Stopping at the first error: a strip that cannot be read would show as noise.
    if (!TIFFRGBAImageOK(tiff, message) || !TIFFRGBAImageBegin(&reading, tiff, 1, message)) {
        why = QString::fromLatin1(message);
        return {};
    }
    // Rows as stored, top first: the orientation is applied afterwards, all eight of them alike.
    reading.orientation = ORIENTATION_TOPLEFT;
    reading.req_orientation = ORIENTATION_TOPLEFT;
    QImage image(int(l.width), int(l.height), QImage::Format_RGBA8888_Premultiplied);
    const bool read = !image.isNull() && image.bytesPerLine() == qsizetype(l.width) * 4 &&
                      TIFFRGBAImageGet(&reading, reinterpret_cast<uint32_t*>(image.bits()), l.width, l.height);
    TIFFRGBAImageEnd(&reading);
    if (!read) {
        why = QStringLiteral("damaged TIFF");
        return {};
    }
    return image;
}

} // namespace

bool LooksLikeTiff(const QByteArray& head)
{
    return head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)) ||
           head.startsWith(QByteArray("II+\0", 4)) || head.startsWith(QByteArray("MM\0+", 4));
}

Pictures::Decoded Decode(const QByteArray& bytes, QSize box)
{
    Source source{bytes.constData(), toff_t(bytes.size()), 0, {}};
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    if (!options)
        return failed(QStringLiteral("out of memory"));
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), Pictures::MemoryBudgetBytes);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &source);
    std::unique_ptr<TIFF, Close> tiff(TIFFClientOpenExt("picture", "r", &source, readBytes, writeNothing, seekTo,
                                                        closeNothing, sizeOf, mapped, unmapped, options.get()));
    if (!tiff)
        return failed(QString::fromUtf8(source.failure));
    const TiffSamples::Layout layout = layoutOf(tiff.get());
    const QSize stored(int(std::min<uint32_t>(layout.width, 1u << 30)), int(std::min<uint32_t>(layout.height, 1u << 30)));
    if (const QString refused = Pictures::SizeRefused(stored); !refused.isEmpty())
        return failed(refused);
    // Signed grey, RGB or CMYK samples hold measurements, not a picture (CIELAB and LogLuv are
    // signed by their kind, and read as it says).
    const bool plain = layout.photometric == PHOTOMETRIC_MINISBLACK || layout.photometric == PHOTOMETRIC_MINISWHITE ||
                       layout.photometric == PHOTOMETRIC_RGB || layout.photometric == PHOTOMETRIC_SEPARATED ||
                       layout.photometric == PHOTOMETRIC_PALETTE;
    if (plain && layout.sampleFormat != SAMPLEFORMAT_UINT && layout.sampleFormat != SAMPLEFORMAT_IEEEFP)
        return failed(QStringLiteral("TIFF samples that are not a picture's"));
    if (layout.sampleFormat == SAMPLEFORMAT_IEEEFP && !TiffSamples::ReadsHere(layout))
        return failed(QStringLiteral("TIFF floating-point samples that cannot be read"));

    QByteArray icc;
    uint32_t iccSize = 0;
    void* iccData = nullptr;
    if (TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &iccSize, &iccData) && iccData && iccSize > 0)
        icc = QByteArray(static_cast<const char*>(iccData), qsizetype(iccSize));
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);

    QString why;
    const bool here = TiffSamples::ReadsHere(layout);
    const bool whole = (orientation < 2 || orientation > 8) && Pictures::TargetSize(stored, box) == stored;
    QImage image = here ? TiffSamples::Read(tiff.get(), layout, icc, why, whole) : readRgba(tiff.get(), layout, why);
    // Whatever libtiff called an error while it decoded (warnings pass) leaves the picture unshown.
    if (image.isNull() || source.failure[0])
        return failed(source.failure[0] ? QString::fromUtf8(source.failure) : why);
    if (orientation >= 2 && orientation <= 8)
        image = ReaderMends::Oriented(image, orientation);

    Pictures::Decoded d;
    d.natural = image.size();
    d.shown = Pictures::Finished(image, Pictures::TargetSize(d.natural, box), 1.0);
    // CMYK and CIELAB were made sRGB as they were read; grey and RGB through their profile now.
    const bool grey = layout.photometric == PHOTOMETRIC_MINISBLACK || layout.photometric == PHOTOMETRIC_MINISWHITE;
    const bool madeSrgb = here && (layout.photometric == PHOTOMETRIC_SEPARATED ||
                                   layout.photometric == PHOTOMETRIC_CIELAB || layout.photometric == PHOTOMETRIC_ICCLAB);
    if (!madeSrgb)
        Colour::ToSrgb(d.shown, icc, grey ? Colour::Samples::Grey : Colour::Samples::Rgb);
    return d;
}

} // namespace Tiff
