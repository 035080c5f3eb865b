#include "pngdecoder.h"

#include "colourprofile.h"
#include "readermends.h"

#include <QColorSpace>
#include <QPointF>

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace Png {
namespace {

struct Source {
    const uchar* data;
    std::size_t size;
    std::size_t at;
    char failure[200];
};

void readBytes(png_structp png, png_bytep into, png_size_t size)
{
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (size > s->size - s->at)
        png_error(png, "truncated PNG");
    std::memcpy(into, s->data + s->at, size);
    s->at += size;
}

void onError(png_structp png, png_const_charp message)
{
    auto* s = static_cast<Source*>(png_get_error_ptr(png));
    if (s->failure[0] == '\0')
        std::snprintf(s->failure, sizeof s->failure, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// What the picture's numbers mean, as Qt's PNG reader has always told it: an ICC profile Qt
// reads, else sRGB (its chunk), else the file's gamma on its primaries (cHRM) or sRGB's.
QColorSpace spaceOf(png_structp png, png_infop info)
{
    png_charp name = nullptr;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    int compression = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && profile && length > 0) {
        const QColorSpace icc = QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(profile), qsizetype(length)));
        if (icc.isValid())
            return icc;
    }
    if (png_get_valid(png, info, PNG_INFO_sRGB))
        return QColorSpace(QColorSpace::SRgb);
    double gamma = 0.0;
    if (png_get_gAMA(png, info, &gamma) && gamma > 0.0) {
        double wx, wy, rx, ry, gx, gy, bx, by;
        if (png_get_cHRM(png, info, &wx, &wy, &rx, &ry, &gx, &gy, &bx, &by)) {
            const QColorSpace chrm(QPointF(wx, wy), QPointF(rx, ry), QPointF(gx, gy), QPointF(bx, by),
                                   QColorSpace::TransferFunction::Gamma, float(1.0 / gamma));
            if (chrm.isValid())
                return chrm;
        }
        return QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma, float(1.0 / gamma));
    }
    return {};
}

// A grey picture for its profile: grey samples, or a palette of greys only (as Qt reads them).
bool greySamples(png_structp png, png_infop info, int colourType)
{
    if (colourType == PNG_COLOR_TYPE_GRAY)
        return !png_get_valid(png, info, PNG_INFO_tRNS);
    png_colorp palette = nullptr;
    int count = 0;
    if (colourType != PNG_COLOR_TYPE_PALETTE || png_get_valid(png, info, PNG_INFO_tRNS) ||
        !png_get_PLTE(png, info, &palette, &count))
        return false;
    for (int i = 0; i < count; ++i)
        if (palette[i].red != palette[i].green || palette[i].green != palette[i].blue)
            return false;
    return true;
}

struct Reading {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Reading() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct Header {
    QSize stored;
    QColorSpace space;
    bool grey = false;
    bool alpha = false;
    png_size_t rowBytes = 0;
};

Pictures::Decoded failed(const char* why)
{
    Pictures::Decoded d;
    d.failure = QString::fromUtf8(why[0] ? why : "not a PNG picture that can be read");
    return d;
}

// The header, and the transforms that make every layout 8-bit BGRA (ARGB32 in memory on this
// machine's byte order). Its own function: libpng's errors jump back to it, over nothing that
// needs destroying.
bool readHeader(Reading& r, Source& source, Header& h)
{
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_set_read_fn(r.png, &source, readBytes);
    png_set_user_limits(r.png, 1u << 30, 1u << 30);
    png_read_info(r.png, r.info);
    h.stored = QSize(int(png_get_image_width(r.png, r.info)), int(png_get_image_height(r.png, r.info)));
    const int colourType = png_get_color_type(r.png, r.info);
    h.space = spaceOf(r.png, r.info);
    h.grey = greySamples(r.png, r.info, colourType);
    h.alpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(r.png, r.info, PNG_INFO_tRNS);
    png_set_expand(r.png); // palettes, grey of 1 to 4 bits, tRNS as alpha
    png_set_scale_16(r.png);
    png_set_gray_to_rgb(r.png);
    if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
        png_set_bgr(r.png);
    else
        png_set_swap_alpha(r.png);
    if (!h.alpha)
        png_set_filler(r.png, 0xFF, Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE);
    png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    h.rowBytes = png_get_rowbytes(r.png, r.info);
    return true;
}

bool readPixels(Reading& r, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_read_image(r.png, rows);
    png_read_end(r.png, nullptr);
    return true;
}

} // namespace

bool LooksLikePng(const QByteArray& head)
{
    return head.startsWith("\x89PNG\r\n\x1a\n");
}

Pictures::Decoded Decode(const QByteArray& bytes, QSize box)
{
    Source source{reinterpret_cast<const uchar*>(bytes.constData()), std::size_t(bytes.size()), 0, {}};
    Reading r;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, onError, onWarning);
    if (!r.png || !(r.info = png_create_info_struct(r.png)))
        return failed("out of memory");
    Header h;
    if (!readHeader(r, source, h))
        return failed(source.failure);
    if (const QString refused = Pictures::SizeRefused(h.stored); !refused.isEmpty())
        return failed(qPrintable(refused));
    if (h.rowBytes != png_size_t(h.stored.width()) * 4)
        return failed("not a PNG layout that can be read");

    const int orientation = ReaderMends::ExifOrientation(bytes, "png");
    const QImage::Format format = h.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    // Handed back as it is read (no turn, no scaling): straight into the answer's buffer.
    const bool whole = orientation == 1 && Pictures::TargetSize(h.stored, box) == h.stored;
    QImage image = whole ? Pictures::WholePictureCanvas(h.stored, format) : QImage(h.stored, format);
    if (image.isNull())
        return failed("too large to read");
    std::vector<png_bytep> rows(std::size_t(h.stored.height()));
    for (int y = 0; y < h.stored.height(); ++y)
        rows[std::size_t(y)] = image.scanLine(y);
    if (!readPixels(r, rows.data()))
        return failed(source.failure);

    if (orientation != 1)
        image = ReaderMends::Oriented(image, orientation);
    Pictures::Decoded d;
    d.natural = image.size();
    d.shown = Pictures::Finished(image, Pictures::TargetSize(d.natural, box), 1.0);
    image = QImage();
    const QByteArray icc = Colour::EmbeddedProfile(bytes);
    if (icc.isEmpty() || !Colour::ToSrgb(d.shown, icc, h.grey ? Colour::Samples::Grey : Colour::Samples::Rgb))
        Pictures::ToSrgb(d.shown, h.space);
    return d;
}

} // namespace Png
