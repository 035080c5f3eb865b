// Every pixel layout a reader can hand back, shown true wherever a picture goes: the slot
// (through the thumbnail cache, as the page loader reads it), the kept thumbnail, the full
// picture (the view), a picture read at a size of its own (printing), the saved bitmap and
// the clipboard. Each layout is made by hand as a solid colour and as a two-colour pattern.
#include "clipboardpicture.h"
#include "pagewriter.h"
#include "pictureloader.h"
#include "slotreader.h"
#include "testpictures.h"
#include "thumbnailcache.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

#include <functional>

using Pictures::LoadPicture;

namespace {

using IsA = std::function<bool(int x, int y)>;

const QSize FileSize(640, 480);
const QSize IconSize(240, 180);
const QSize SlotBox(120, 120);
const QSize PrintBox(500, 500);
// Places to look at, as parts of the width and height: well inside the quarters.
constexpr double Samples[] = {0.12, 0.3, 0.7, 0.88};

// Colour `a` in the top-left and bottom-right quarters, `b` in the others; the quarters
// meet off the byte grid (x 323 of 640), so a wrong bit order shows at full size.
IsA quarters(QSize s, bool pattern)
{
    return [s, pattern](int x, int y) { return !pattern || ((x < s.width() / 2 + 3) == (y < s.height() / 2 + 1)); };
}

// How every picture is shown: what is transparent lies on white, as it prints and as a bitmap keeps it.
QRgb onWhite(QRgb c)
{
    const int a = qAlpha(c);
    const auto mix = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
    return qRgb(mix(qRed(c)), mix(qGreen(c)), mix(qBlue(c)));
}

void be16(QByteArray& out, quint16 v)
{
    out.append(char(v >> 8));
    out.append(char(v & 0xFF));
}
void be32(QByteArray& out, quint32 v)
{
    be16(out, quint16(v >> 16));
    be16(out, quint16(v & 0xFFFF));
}
void le16(QByteArray& out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}
void le32(QByteArray& out, quint32 v)
{
    le16(out, quint16(v & 0xFFFF));
    le16(out, quint16(v >> 16));
}

// Packs samples of `depth` bits, most significant first, rows padded to a byte.
class BitRow {
public:
    explicit BitRow(QByteArray& out) : m_out(out) {}
    void put(quint32 value, int depth)
    {
        if (depth >= 8) {
            for (int shift = depth - 8; shift >= 0; shift -= 8)
                m_out.append(char((value >> shift) & 0xFF));
            return;
        }
        m_byte = (m_byte << depth) | int(value);
        m_bits += depth;
        if (m_bits == 8)
            flush();
    }
    void flush()
    {
        if (m_bits == 0)
            return;
        m_out.append(char(m_byte << (8 - m_bits)));
        m_byte = m_bits = 0;
    }

private:
    QByteArray& m_out;
    int m_byte = 0;
    int m_bits = 0;
};

// ---- PNG, every colour type and depth the format has.

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray out;
    be32(out, quint32(data.size()));
    const QByteArray typed = QByteArray(type) + data;
    out += typed;
    be32(out, quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))));
    return out;
}

// `samples` gives a pixel's channels (grey; grey, alpha; red, green, blue; ...; or an index).
QByteArray Png(QSize s, int colourType, int depth, const std::function<QList<quint32>(int, int)>& samples,
               const QList<QRgb>& palette = {}, const QByteArray& transparency = {})
{
    QByteArray raw;
    for (int y = 0; y < s.height(); ++y) {
        raw.append('\0'); // no filter
        BitRow row(raw);
        for (int x = 0; x < s.width(); ++x)
            for (quint32 v : samples(x, y))
                row.put(v, depth);
        row.flush();
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    QByteArray packed(qsizetype(packedSize), '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.constData()),
              uLong(raw.size()), 6);
    packed.truncate(qsizetype(packedSize));

    QByteArray header;
    be32(header, quint32(s.width()));
    be32(header, quint32(s.height()));
    header.append(char(depth)).append(char(colourType)).append(3, '\0');
    QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header);
    if (!palette.isEmpty()) {
        QByteArray plte;
        for (QRgb c : palette)
            plte.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        png += pngChunk("PLTE", plte);
    }
    if (!transparency.isEmpty())
        png += pngChunk("tRNS", transparency);
    return png + pngChunk("IDAT", packed) + pngChunk("IEND", {});
}

// A palette of `n` entries that are neither colour, with `a` and `b` at their indexes.
QList<QRgb> paletteWith(int n, int ia, QRgb a, int ib, QRgb b)
{
    QList<QRgb> palette;
    for (int i = 0; i < n; ++i)
        palette << qRgb(255, (i * 37) & 0xFF, 255 - ((i * 11) & 0xFF));
    palette[ib] = b;
    palette[ia] = a;
    return palette;
}

// ---- GIF, by hand: codes never longer than the first width, so no compression is needed.

QByteArray Gif(QSize s, int bits, const QList<QRgb>& palette, int transparentIndex, const std::function<int(int, int)>& index)
{
    QByteArray gif("GIF89a");
    le16(gif, quint16(s.width()));
    le16(gif, quint16(s.height()));
    gif.append(char(0x80 | ((bits - 1) << 4) | (bits - 1))).append('\0').append('\0');
    for (QRgb c : palette)
        gif.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    if (transparentIndex >= 0)
        gif += QByteArray("\x21\xF9\x04\x01\x00\x00", 6) + char(transparentIndex) + '\0';
    gif.append(',');
    le16(gif, 0);
    le16(gif, 0);
    le16(gif, quint16(s.width()));
    le16(gif, quint16(s.height()));
    gif.append('\0');
    const int minimum = std::max(2, bits);
    const int clear = 1 << minimum, width = minimum + 1;
    QByteArray stream;
    quint32 acc = 0;
    int held = 0;
    const auto put = [&](int code) {
        acc |= quint32(code) << held;
        held += width;
        while (held >= 8) {
            stream.append(char(acc & 0xFF));
            acc >>= 8;
            held -= 8;
        }
    };
    put(clear);
    int sinceClear = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            put(index(x, y));
            // A clear before the table would grow keeps every code `width` bits long.
            if (++sinceClear == clear - 2) {
                put(clear);
                sinceClear = 0;
            }
        }
    put(clear + 1);
    if (held > 0)
        stream.append(char(acc & 0xFF));
    gif.append(char(minimum));
    for (qsizetype at = 0; at < stream.size(); at += 255) {
        const QByteArray block = stream.mid(at, 255);
        gif.append(char(block.size())).append(block);
    }
    return gif.append('\0').append(';');
}

// ---- Bitmaps (the program's own reader, and Qt's for run-length ones) and icons.

struct BmpLayout {
    int bpp = 24;
    quint32 compression = 0; // 0 plain, 1 RLE8, 2 RLE4, 3 bit fields
    QList<quint32> masks;    // red, green, blue (, alpha) for bit fields
    bool topDown = false;
};

// The pixel rows of a bitmap, bottom-up unless asked; `colour` for 16 bits and up, else `index`.
QByteArray dibRows(QSize s, const BmpLayout& layout, const std::function<QRgb(int, int)>& colour,
                   const std::function<int(int, int)>& index)
{
    QByteArray rows;
    const int stride = ((s.width() * layout.bpp + 31) / 32) * 4;
    for (int r = 0; r < s.height(); ++r) {
        const int y = layout.topDown ? r : s.height() - 1 - r;
        QByteArray row;
        if (layout.compression == 1 || layout.compression == 2) {
            // Runs of one index, an end-of-line after each row.
            for (int x = 0; x < s.width();) {
                int run = 1;
                while (x + run < s.width() && run < 255 && index(x + run, y) == index(x, y))
                    ++run;
                const int i = index(x, y);
                row.append(char(run)).append(char(layout.compression == 2 ? (i << 4) | i : i));
                x += run;
            }
            row.append('\0').append('\0');
            rows += row;
            continue;
        }
        BitRow bits(row);
        for (int x = 0; x < s.width(); ++x) {
            const QRgb c = colour(x, y);
            if (layout.bpp <= 8) {
                bits.put(quint32(index(x, y)), layout.bpp);
            } else if (layout.bpp == 16) {
                const quint32 v = layout.masks.isEmpty()
                                      ? ((qRed(c) >> 3) << 10) | ((qGreen(c) >> 3) << 5) | (qBlue(c) >> 3)
                                      : ((qRed(c) >> 3) << 11) | ((qGreen(c) >> 2) << 5) | (qBlue(c) >> 3);
                le16(row, quint16(v));
            } else {
                row.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
                if (layout.bpp == 32)
                    row.append(char(qAlpha(c)));
            }
        }
        bits.flush();
        rows += row.leftJustified(stride, '\0');
    }
    if (layout.compression == 1 || layout.compression == 2)
        rows.append('\0').append('\1');
    return rows;
}

QByteArray infoHeader(QSize s, int height, const BmpLayout& layout, int headerSize, quint32 imageBytes)
{
    QByteArray h;
    le32(h, quint32(headerSize));
    le32(h, quint32(s.width()));
    le32(h, quint32(height));
    le16(h, 1);
    le16(h, quint16(layout.bpp));
    le32(h, layout.compression);
    le32(h, imageBytes);
    le32(h, 2835);
    le32(h, 2835);
    le32(h, 0);
    le32(h, 0);
    for (quint32 m : layout.masks)
        le32(h, m);
    if (headerSize > 40) {
        while (h.size() < 56)
            le32(h, 0);
        le32(h, 0x73524742); // sRGB
    }
    return h.leftJustified(headerSize, '\0');
}

QByteArray paletteBytes(const QList<QRgb>& palette)
{
    QByteArray out;
    for (QRgb c : palette)
        out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    return out;
}

QByteArray Bmp(QSize s, const BmpLayout& layout, const QList<QRgb>& palette, const std::function<QRgb(int, int)>& colour,
               const std::function<int(int, int)>& index)
{
    const QByteArray rows = dibRows(s, layout, colour, index);
    // Alpha needs the longer header; plain bit fields follow the short one.
    const int headerSize = layout.masks.size() == 4 ? 124 : 40;
    QByteArray info = infoHeader(s, layout.topDown ? -s.height() : s.height(), layout, headerSize, quint32(rows.size()));
    const QByteArray pal = paletteBytes(palette);
    const quint32 offset = quint32(14 + info.size() + pal.size());
    QByteArray bmp("BM");
    le32(bmp, offset + quint32(rows.size()));
    le32(bmp, 0);
    le32(bmp, offset);
    return bmp + info + pal + rows;
}

QByteArray Ico(QSize s, int bpp, const QList<QRgb>& palette, const std::function<QRgb(int, int)>& colour,
               const std::function<int(int, int)>& index, const IsA& transparent)
{
    BmpLayout layout;
    layout.bpp = bpp;
    QByteArray dib = infoHeader(s, s.height() * 2, layout, 40, 0) + paletteBytes(palette) + dibRows(s, layout, colour, index);
    const int maskStride = ((s.width() + 31) / 32) * 4;
    for (int r = 0; r < s.height(); ++r) {
        QByteArray row;
        BitRow bits(row);
        for (int x = 0; x < s.width(); ++x)
            bits.put(transparent(x, s.height() - 1 - r) ? 1 : 0, 1);
        bits.flush();
        dib += row.leftJustified(maskStride, '\0');
    }
    QByteArray ico;
    le16(ico, 0);
    le16(ico, 1);
    le16(ico, 1);
    ico.append(char(s.width())).append(char(s.height())).append(char(bpp < 8 ? 1 << bpp : 0)).append('\0');
    le16(ico, 1);
    le16(ico, quint16(bpp));
    le32(ico, quint32(dib.size()));
    le32(ico, 22);
    return ico + dib;
}

QByteArray encoded(const QImage& image, const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    return writer.write(image) ? bytes : QByteArray();
}

// ---- The layouts.

// A layout makes its picture from where colour `a` goes; `b` is the other colour (its alpha
// is its transparency). Files come as bytes, pasted pictures as an image in memory.
struct Made {
    QByteArray file;
    QImage pasted;
};
struct Layout {
    const char* name;
    QSize size;
    QRgb a, b;
    int tolerance; // 0 for exact formats; lossy ones are looked at away from edges only
    std::function<Made(QSize, const IsA&, QRgb a, QRgb b)> make;
};

const QRgb Green = qRgb(20, 150, 60);
const QRgb Gold = qRgb(250, 210, 30);
const QRgb Clear = qRgba(250, 210, 30, 0);

Layout pngPalette(const char* name, int depth, bool transparent)
{
    return {name, FileSize, Green, transparent ? Clear : Gold, 0, [depth, transparent](QSize s, const IsA& isA, QRgb a, QRgb b) {
                const int n = 1 << depth, ia = n - 1, ib = n == 2 ? 0 : n / 2;
                QByteArray trns;
                if (transparent) {
                    trns.fill(char(255), n);
                    trns[ib] = 0;
                }
                return Made{Png(s, 3, depth, [&](int x, int y) { return QList<quint32>{quint32(isA(x, y) ? ia : ib)}; },
                                paletteWith(n, ia, a, ib, b), trns),
                            {}};
            }};
}

Layout pngGrey(const char* name, int depth, quint32 ga, quint32 gb, bool transparent)
{
    const quint32 max = (1u << depth) - 1;
    const auto grey = [max](quint32 v) { const int g = int(v * 255 / max); return qRgb(g, g, g); };
    QRgb b = grey(gb);
    if (transparent)
        b &= 0x00FFFFFF;
    return {name, FileSize, grey(ga), b, 0, [depth, ga, gb, transparent](QSize s, const IsA& isA, QRgb, QRgb) {
                QByteArray trns;
                if (transparent)
                    be16(trns, quint16(gb));
                return Made{Png(s, 0, depth, [&](int x, int y) { return QList<quint32>{isA(x, y) ? ga : gb}; }, {}, trns), {}};
            }};
}

// Grey with alpha, RGB and RGBA at 8 and 16 bits; `trns`: RGB whose colour `b` is transparent.
Layout pngColour(const char* name, int colourType, int depth, QRgb b, bool trns = false)
{
    return {name, FileSize, colourType == 4 ? qRgb(150, 150, 150) : Green, b, 0,
            [colourType, depth, trns](QSize s, const IsA& isA, QRgb a, QRgb b) {
                const quint32 scale = depth == 16 ? 257 : 1;
                QByteArray t;
                if (trns)
                    for (int v : {qRed(b), qGreen(b), qBlue(b)})
                        be16(t, quint16(quint32(v) * scale));
                return Made{Png(s, colourType, depth,
                                [&](int x, int y) {
                                    const QRgb c = isA(x, y) ? a : b;
                                    QList<quint32> v;
                                    if (colourType == 4)
                                        v << quint32(qRed(c)) * scale;
                                    else
                                        v << quint32(qRed(c)) * scale << quint32(qGreen(c)) * scale << quint32(qBlue(c)) * scale;
                                    if (colourType == 4 || colourType == 6)
                                        v << quint32(qAlpha(c)) * scale;
                                    return v;
                                },
                                {}, t),
                            {}};
            }};
}

Layout gif(const char* name, int bits, bool transparent)
{
    return {name, FileSize, Green, transparent ? Clear : Gold, 0, [bits, transparent](QSize s, const IsA& isA, QRgb a, QRgb b) {
                const int n = 1 << bits, ia = n - 1, ib = n == 2 ? 0 : n / 2;
                return Made{Gif(s, bits, paletteWith(n, ia, a, ib, b), transparent ? ib : -1,
                                [&](int x, int y) { return isA(x, y) ? ia : ib; }),
                            {}};
            }};
}

Layout bmp(const char* name, BmpLayout layout, QRgb b = Gold, int tolerance = 0)
{
    return {name, FileSize, Green, b, tolerance, [layout](QSize s, const IsA& isA, QRgb a, QRgb b) {
                const int n = layout.bpp <= 8 ? 1 << layout.bpp : 0, ia = n - 1, ib = n == 2 ? 0 : n / 2;
                return Made{Bmp(s, layout, n ? paletteWith(n, ia, a, ib, b) : QList<QRgb>{},
                                [&](int x, int y) { return isA(x, y) ? a : b; },
                                [&](int x, int y) { return isA(x, y) ? ia : ib; }),
                            {}};
            }};
}

Layout icon(const char* name, int bpp, bool transparent)
{
    return {name, IconSize, Green, transparent ? Clear : Gold, 0, [bpp, transparent](QSize s, const IsA& isA, QRgb a, QRgb b) {
                const int n = bpp <= 8 ? 1 << bpp : 0, ia = n - 1, ib = n == 2 ? 0 : n / 2;
                return Made{Ico(s, bpp, n ? paletteWith(n, ia, a, ib, qRgb(qRed(b), qGreen(b), qBlue(b))) : QList<QRgb>{},
                                [&](int x, int y) { return isA(x, y) ? a : b; },
                                [&](int x, int y) { return isA(x, y) ? ia : ib; },
                                [&](int x, int y) { return transparent && !isA(x, y); }),
                            {}};
            }};
}

// Made by Qt's own writer, from a picture in that layout.
QImage inLayout(QSize s, const IsA& isA, QRgb a, QRgb b, QImage::Format format)
{
    if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB || format == QImage::Format_Indexed8) {
        QImage image(s, format);
        image.setColorTable(paletteWith(format == QImage::Format_Indexed8 ? 256 : 2, 1, a, 0, b));
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x)
                image.setPixel(x, y, isA(x, y) ? 1 : 0);
        return image;
    }
    QImage image(s, QImage::Format_ARGB32);
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            image.setPixel(x, y, isA(x, y) ? a : b);
    return image.convertToFormat(format);
}

Layout written(const char* name, const char* format, QImage::Format layout, QRgb a, QRgb b, int tolerance)
{
    return {name, FileSize, a, b, tolerance, [format, layout](QSize s, const IsA& isA, QRgb a, QRgb b) {
                return Made{encoded(inLayout(s, isA, a, b, layout), format, 100), {}};
            }};
}

Layout pasted(const char* name, QImage::Format layout, QRgb a, QRgb b)
{
    return {name, FileSize, a, b, 0, [layout](QSize s, const IsA& isA, QRgb a, QRgb b) {
                return Made{{}, inLayout(s, isA, a, b, layout)};
            }};
}

QList<Layout> layouts()
{
    const QRgb grey = qRgb(150, 150, 150), darkGrey = qRgb(60, 60, 60);
    BmpLayout v5;
    v5.bpp = 32;
    v5.compression = 3;
    v5.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    return {
        pngPalette("PNG 1-bit palette", 1, false),
        pngPalette("PNG 1-bit palette, transparent", 1, true),
        pngPalette("PNG 2-bit palette", 2, false),
        pngPalette("PNG 4-bit palette", 4, false),
        pngPalette("PNG 4-bit palette, transparent", 4, true),
        pngPalette("PNG 8-bit palette", 8, false),
        pngPalette("PNG 8-bit palette, transparent", 8, true),
        pngGrey("PNG 1-bit grey", 1, 1, 0, false),
        pngGrey("PNG 2-bit grey", 2, 2, 1, false),
        pngGrey("PNG 4-bit grey", 4, 11, 3, false),
        pngGrey("PNG 4-bit grey, transparent", 4, 11, 3, true),
        pngGrey("PNG 8-bit grey", 8, 150, 60, false),
        pngGrey("PNG 16-bit grey", 16, 150 * 257, 60 * 257, false),
        pngGrey("PNG 16-bit grey, transparent", 16, 150 * 257, 60 * 257, true),
        pngColour("PNG 8-bit grey and alpha", 4, 8, qRgba(60, 60, 60, 0)),
        pngColour("PNG 16-bit grey and alpha", 4, 16, qRgba(60, 60, 60, 0)),
        pngColour("PNG 8-bit RGB", 2, 8, Gold),
        pngColour("PNG 8-bit RGB, transparent colour", 2, 8, Clear, true),
        pngColour("PNG 16-bit RGB", 2, 16, Gold),
        pngColour("PNG 16-bit RGB, transparent colour", 2, 16, Clear, true),
        pngColour("PNG 8-bit RGBA", 6, 8, Clear),
        pngColour("PNG 8-bit RGBA, half transparent", 6, 8, qRgba(250, 210, 30, 128)),
        pngColour("PNG 16-bit RGBA", 6, 16, Clear),
        gif("GIF 2 colours", 1, false),
        gif("GIF 2 colours, transparent", 1, true),
        gif("GIF 4 colours", 2, false),
        gif("GIF 16 colours", 4, false),
        gif("GIF 256 colours", 8, false),
        gif("GIF 256 colours, transparent", 8, true),
        bmp("BMP 1-bit", {1, 0, {}, false}),
        bmp("BMP 2-bit", {2, 0, {}, false}),
        bmp("BMP 4-bit", {4, 0, {}, false}),
        bmp("BMP 8-bit", {8, 0, {}, false}),
        bmp("BMP 8-bit top-down", {8, 0, {}, true}),
        bmp("BMP 4-bit run-length", {4, 2, {}, false}),
        bmp("BMP 8-bit run-length", {8, 1, {}, false}),
        bmp("BMP 16-bit 5-5-5", {16, 0, {}, false}, Gold, 8),
        bmp("BMP 16-bit 5-6-5 bit fields", {16, 3, {0xF800, 0x07E0, 0x001F}, false}, Gold, 8),
        bmp("BMP 24-bit", {24, 0, {}, false}),
        bmp("BMP 32-bit", {32, 0, {}, false}),
        bmp("BMP 32-bit with alpha", v5, Clear),
        icon("icon 1-bit", 1, false),
        icon("icon 1-bit, transparent", 1, true),
        icon("icon 4-bit, transparent", 4, true),
        icon("icon 8-bit", 8, false),
        icon("icon 24-bit, transparent", 24, true),
        icon("icon 32-bit with alpha", 32, true),
        written("JPEG grey", "JPEG", QImage::Format_Grayscale8, grey, darkGrey, 10),
        written("JPEG colour", "JPEG", QImage::Format_RGB32, Green, Gold, 10),
        written("WebP with alpha", "WEBP", QImage::Format_ARGB32, Green, Clear, 10),
        pasted("pasted 1-bit, high bit first", QImage::Format_Mono, Green, Gold),
        pasted("pasted 1-bit, low bit first", QImage::Format_MonoLSB, Green, Gold),
        pasted("pasted 8-bit palette", QImage::Format_Indexed8, Green, Gold),
        pasted("pasted 8-bit grey", QImage::Format_Grayscale8, grey, darkGrey),
        pasted("pasted 16-bit grey", QImage::Format_Grayscale16, grey, darkGrey),
        pasted("pasted 16-bit RGB", QImage::Format_RGBX64, Green, Gold),
        pasted("pasted 16-bit RGBA", QImage::Format_RGBA64, Green, Clear),
        pasted("pasted 32-bit with alpha", QImage::Format_ARGB32, Green, Clear),
    };
}

// Looks at `image` against the source: at the sample places (any size), or at every pixel
// when it is the source's size and the format keeps pixels exactly.
void compare(const char* what, const QImage& image, QSize source, const IsA& isA, QRgb a, QRgb b, int tolerance)
{
    QVERIFY2(!image.isNull(), what);
    const QRgb wantA = onWhite(a), wantB = onWhite(b);
    const auto check = [&](int x, int y, int sx, int sy) {
        const QRgb want = isA(sx, sy) ? wantA : wantB;
        const QRgb got = image.pixel(x, y);
        if (qAbs(qRed(got) - qRed(want)) > tolerance + 2 || qAbs(qGreen(got) - qGreen(want)) > tolerance + 2 ||
            qAbs(qBlue(got) - qBlue(want)) > tolerance + 2 || qAlpha(got) != 255)
            return QStringLiteral("%1: pixel %2,%3 is #%4, the source's #%5")
                .arg(QLatin1String(what)).arg(x).arg(y)
                .arg(got, 8, 16, QLatin1Char('0')).arg(want, 8, 16, QLatin1Char('0'));
        return QString();
    };
    if (image.size() == source && tolerance <= 8) {
        const QImage rgb = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; x < source.width(); ++x) {
                const QString wrong = check(x, y, x, y);
                QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
            }
        return;
    }
    for (double fy : Samples)
        for (double fx : Samples) {
            const QString wrong = check(int(fx * image.width()), int(fy * image.height()), int(fx * source.width()),
                                        int(fy * source.height()));
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
}

} // namespace

class TestPixelLayouts : public QObject {
    Q_OBJECT

private slots:
    void everyLayoutShowsTrueEverywhere_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<bool>("pattern");
        const QList<Layout> all = layouts();
        for (int i = 0; i < all.size(); ++i)
            for (bool pattern : {false, true})
                QTest::newRow(qPrintable(QLatin1String(all[i].name) + (pattern ? QStringLiteral(", two colours")
                                                                               : QStringLiteral(", solid"))))
                    << i << pattern;
    }
    void everyLayoutShowsTrueEverywhere()
    {
        QFETCH(int, which);
        QFETCH(bool, pattern);
        const Layout layout = layouts().at(which);
        const QSize size = layout.size;
        const IsA isA = quarters(size, pattern);
        const Made made = layout.make(size, isA, layout.a, layout.b);
#define look(what, image)                                                                                    \
    do {                                                                                                       \
        compare(what, image, size, isA, layout.a, layout.b, layout.tolerance);                                  \
        if (QTest::currentTestFailed())                                                                        \
            return;                                                                                            \
    } while (false)
        QTemporaryDir dir;
        const ThumbnailCache cache(dir.filePath(QStringLiteral("thumbnails")));

        // The slot, as the page loader reads it, and the picture read at a size of its own.
        Picture slot;
        if (made.pasted.isNull()) {
            QVERIFY(!made.file.isEmpty());
            const QString path = dir.filePath(QStringLiteral("picture.bmp"));
            QVERIFY(TestPictures::WriteBytes(path, made.file));
            SlotReader::Read read = SlotReader::ReadSlotPicture(path, SlotBox, 1.0, cache);
            QVERIFY2(read.result.error.number == 0, qPrintable(read.result.error.description));
            slot = read.result.picture;
            if (read.keep) { // the kept thumbnail and slot entry, and the slot shown from them
                QVERIFY(SlotReader::Keep(cache, *read.keep));
                if (!read.keep->thumbnail.isNull()) {
                    const auto kept = cache.Find(*ThumbnailCache::Facts(path), ThumbnailCache::SizeFor(SlotBox.width()));
                    QVERIFY(kept);
                    look("thumbnail", kept->image);
                }
                look("slot from the cache", SlotReader::ReadSlotPicture(path, SlotBox, 1.0, cache).result.picture.shown);
            }
        } else {
            QGuiApplication::clipboard()->setImage(made.pasted);
            const Pictures::LoadResult taken = ClipboardPicture::Take(SlotBox, 1.0);
            QCOMPARE(taken.error.number, 0);
            slot = taken.picture;
        }
        QCOMPARE(slot.natural, size);
        QCOMPARE(slot.shown.size(), size.scaled(SlotBox, Qt::KeepAspectRatio));
        look("slot", slot.shown);
        look("full picture", Pictures::Reload(slot, {}).shown);
        look("print", Pictures::Reload(slot, PrintBox).shown);

        // Saved as the page's bitmap, and read back.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("album")));
        const QString album = dir.filePath(QStringLiteral("album"));
        QCOMPARE(PageWriter::WritePage(album, 1, {{0, slot}}).number, 0);
        look("saved bitmap", LoadPicture(album + QStringLiteral("/P1I0.bmp")).picture.shown);

        // Copied to the clipboard: as other programs get it, and pasted back.
        ClipboardPicture::Put(slot);
        look("copied picture", QGuiApplication::clipboard()->image());
        look("copied and pasted", Pictures::Reload(ClipboardPicture::Take({}, 1.0).picture, {}).shown);
#undef look
    }
};

QTEST_MAIN(TestPixelLayouts)
#include "tst_pixellayouts.moc"
