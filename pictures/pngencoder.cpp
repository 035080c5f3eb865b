#include "pngencoder.h"

#include <QColorSpace>

#include <png.h>
#include <zlib.h>

namespace {

// One filter for every row and Huffman coding without matching: on photo thumbnails
// matching finds little that the filter has not already taken, and trying every filter
// on every row costs more than it saves (bench/pagebench.cpp, BM_ThumbnailPngs). UP,
// SUB and AVG write as fast; UP's files are smaller than SUB's and quicker to read
// than AVG's.
constexpr int RowFilter = PNG_FILTER_UP;
constexpr int Strategy = Z_HUFFMAN_ONLY;

// The rows as libpng takes them: Qt's own rows where their layout allows, else converted.
struct Rows {
    QImage image;
    int colourType = PNG_COLOR_TYPE_RGB;
    bool bgr = false;    // B, G, R in memory
    bool filler = false; // a fourth byte after them that the file does not keep
};

Rows rowsOf(const QImage& image)
{
    const bool alpha = image.hasAlphaChannel();
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    // Qt's 32-bit pixels lie in memory as B, G, R, then alpha or an unused byte.
    if (!alpha && image.format() == QImage::Format_RGB32)
        return {image, PNG_COLOR_TYPE_RGB, true, true};
    if (alpha && image.format() == QImage::Format_ARGB32)
        return {image, PNG_COLOR_TYPE_RGB_ALPHA, true, false};
#endif
    // R, G, B and alpha or an unused byte, in that order on every machine; from a
    // premultiplied format Qt divides the alpha out, as the file wants it.
    if (alpha)
        return {image.convertToFormat(QImage::Format_RGBA8888), PNG_COLOR_TYPE_RGB_ALPHA, false, false};
    return {image.convertToFormat(QImage::Format_RGBX8888), PNG_COLOR_TYPE_RGB, false, true};
}

void append(png_structp png, png_bytep data, size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void flush(png_structp) {}

// A refusal ends the write, quietly: a thumbnail that cannot be written is only not kept.
[[noreturn]] void refuse(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void ignore(png_structp, png_const_charp) {}

// Everything libpng may leave by its long jump happens in here, where nothing but
// plain values is made after setjmp.
bool write(png_structp png, png_infop info, const Rows& rows, const QByteArray& icc, bool srgb, QByteArray& out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &out, append, flush);
    // A colour profile libpng finds fault with is left out rather than the whole picture.
    png_set_benign_errors(png, 1);
    png_set_IHDR(png, info, png_uint_32(rows.image.width()), png_uint_32(rows.image.height()), 8, rows.colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (srgb)
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    else if (!icc.isEmpty())
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(icc.constData()), png_uint_32(icc.size()));
    png_set_filter(png, PNG_FILTER_TYPE_BASE, RowFilter);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Strategy);
    png_write_info(png, info);
    if (rows.bgr)
        png_set_bgr(png);
    if (rows.filler)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int y = 0; y < rows.image.height(); ++y)
        png_write_row(png, rows.image.constScanLine(y));
    png_write_end(png, nullptr);
    return true;
}

} // namespace

QByteArray PngEncoder::Encode(const QImage& image)
{
    if (image.isNull())
        return {};
    const Rows rows = rowsOf(image);
    if (rows.image.isNull())
        return {}; // no memory to convert it
    const QColorSpace space = image.colorSpace();
    const bool srgb = space.isValid() && space == QColorSpace(QColorSpace::SRgb);
    const QByteArray icc = space.isValid() && !srgb ? space.iccProfile() : QByteArray();

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, refuse, ignore);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    QByteArray out;
    // Room for the raw pixels: a thumbnail's file is no larger, so it is allocated once.
    out.reserve(qsizetype(rows.image.height()) * (qsizetype(rows.image.width()) * 4 + 1) + 4096);
    const bool written = info && write(png, info, rows, icc, srgb, out);
    png_destroy_write_struct(&png, &info);
    return written ? out : QByteArray();
}
