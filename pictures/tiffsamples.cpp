#include "tiffsamples.h"

#include "colourprofile.h"
#include "decoding.h"

#include <QFloat16>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace TiffSamples {
namespace {

// Every sample of the picture, 16 bits each, while the planes come in one by one.
constexpr qint64 MaxWorkBytes = 640ll << 20;

bool isLab(const Layout& l)
{
    return l.photometric == PHOTOMETRIC_CIELAB || l.photometric == PHOTOMETRIC_ICCLAB;
}

int colourChannels(const Layout& l)
{
    switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: return 1;
    case PHOTOMETRIC_SEPARATED: return 4;
    default: return 3;
    }
}

quint16 to16(double v)
{
    return std::isnan(v) ? 0 : quint16(std::clamp(v, 0.0, 1.0) * 65535.0 + 0.5);
}

uint to8(quint16 v)
{
    return (uint(v) * 255u + 32767u) / 65535u;
}

// to8 without the division (the same for every value: v / 257, rounded).
inline uint rounded8(uint v)
{
    v += 128;
    return (v - (v >> 8)) >> 8;
}

// A 16-bit working value from an unsigned sample of `bits` bits.
quint16 widened(quint32 v, int bits)
{
    if (bits == 16)
        return quint16(v);
    if (bits > 16)
        return quint16(v >> (bits - 16));
    const quint32 top = (1u << bits) - 1;
    return quint16((std::min(v, top) * 65535u + top / 2) / top);
}

// A sample of `bits` bits packed most significant bit first (libtiff has put the bytes in order).
quint32 packed(const uchar* line, qint64 index, int bits)
{
    qint64 bit = index * bits;
    quint32 v = 0;
    for (int left = bits; left > 0;) {
        const int inByte = 8 - int(bit & 7);
        const int take = std::min(left, inByte);
        const uint byte = line[bit >> 3];
        v = (v << take) | ((byte >> (inByte - take)) & ((1u << take) - 1));
        left -= take;
        bit += take;
    }
    return v;
}

template <typename Sample>
Sample at(const uchar* line, qint64 index)
{
    Sample s;
    std::memcpy(&s, line + index * qint64(sizeof(Sample)), sizeof(Sample));
    return s;
}

// The strips' or tiles' size in pixels, and in bytes as stored.
struct Blocks {
    uint32_t width, height;
    tmsize_t bytes;
};
Blocks blocksOf(TIFF* tiff, const Layout& l)
{
    uint32_t width = l.width, height = l.height;
    if (TIFFIsTiled(tiff)) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &height);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &height);
        height = std::clamp<uint32_t>(height, 1, l.height);
    }
    return {width, height, TIFFIsTiled(tiff) ? TIFFTileSize(tiff) : TIFFStripSize(tiff)};
}

// Reads every strip or tile of every plane, putting each sample that is shown (the colours and
// the alpha) into `work`, `used` values a pixel; `get` makes one sample a working value.
// `plain16`: the samples are 16-bit values taken as they are (`get` reads them unchanged).
template <typename Get>
bool readBlocks(TIFF* tiff, const Layout& l, const std::vector<int>& channelOf, int used,
                std::vector<quint16>& work, QString& why, Get get, bool plain16 = false)
{
    const bool separate = l.planar == PLANARCONFIG_SEPARATE && l.samplesPerPixel > 1;
    const int planes = separate ? l.samplesPerPixel : 1;
    const int perPixel = separate ? 1 : l.samplesPerPixel;
    const bool tiled = TIFFIsTiled(tiff);
    const auto [blockWidth, blockHeight, blockBytes] = blocksOf(tiff, l);
    const qint64 rowBytes = (qint64(blockWidth) * perPixel * l.bitsPerSample + 7) / 8;
    if (blockWidth == 0 || blockHeight == 0 || blockBytes <= 0 || rowBytes * blockHeight > blockBytes) {
        why = QStringLiteral("damaged TIFF: its strips or tiles do not fit its picture");
        return false;
    }
    std::vector<uchar> block(static_cast<std::size_t>(blockBytes));
    bool inOrder = !separate && perPixel == used;
    for (int c = 0; c < used && inOrder; ++c)
        inOrder = channelOf[std::size_t(c)] == c;
    const bool asStored = inOrder && plain16;
    for (int plane = 0; plane < planes; ++plane) {
        if (separate && channelOf[std::size_t(plane)] < 0)
            continue; // a plane not shown
        for (uint32_t by = 0; by < l.height; by += blockHeight) {
            for (uint32_t bx = 0; bx < l.width; bx += blockWidth) {
                const tmsize_t n = tiled ? TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, bx, by, 0, uint16_t(plane)),
                                                               block.data(), blockBytes)
                                         : TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, by, uint16_t(plane)),
                                                                block.data(), blockBytes);
                const uint32_t rows = std::min(blockHeight, l.height - by);
                const uint32_t cols = std::min(blockWidth, l.width - bx);
                const qint64 needed = qint64(rows - 1) * rowBytes + (qint64(cols) * perPixel * l.bitsPerSample + 7) / 8;
                if (n < needed) {
                    if (why.isEmpty())
                        why = QStringLiteral("damaged TIFF: a strip or tile cannot be read");
                    return false;
                }
                for (uint32_t r = 0; r < rows; ++r) {
                    const uchar* line = block.data() + r * rowBytes;
                    quint16* into = work.data() + (qint64(by + r) * l.width + bx) * used;
                    if (asStored) { // 16-bit samples, every one shown, in the order kept: the row as it is
                        std::memcpy(into, line, std::size_t(cols) * std::size_t(used) * 2);
                        continue;
                    }
                    for (uint32_t c = 0; c < cols; ++c, into += used) {
                        for (int s = 0; s < perPixel; ++s) {
                            const int channel = channelOf[std::size_t(separate ? plane : s)];
                            if (channel >= 0)
                                into[channel] = get(line, qint64(c) * perPixel + s, channel);
                        }
                    }
                }
            }
        }
    }
    return true;
}

// Plain RGB of 8 or 16 bits, in one plane, no alpha (the most common kind): each strip or tile
// straight into the picture's rows, 16-bit samples rounded to 8 on the way, in one pass.
bool readRgbStraight(TIFF* tiff, const Layout& l, QImage& image, QString& why)
{
    const bool tiled = TIFFIsTiled(tiff);
    const auto [blockWidth, blockHeight, blockBytes] = blocksOf(tiff, l);
    const int sampleBytes = l.bitsPerSample / 8;
    const qint64 rowBytes = qint64(blockWidth) * 3 * sampleBytes;
    if (blockWidth == 0 || blockHeight == 0 || blockBytes <= 0 || rowBytes * blockHeight > blockBytes) {
        why = QStringLiteral("damaged TIFF: its strips or tiles do not fit its picture");
        return false;
    }
    std::vector<uchar> block(static_cast<std::size_t>(blockBytes));
    for (uint32_t by = 0; by < l.height; by += blockHeight) {
        for (uint32_t bx = 0; bx < l.width; bx += blockWidth) {
            const tmsize_t n = tiled ? TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, bx, by, 0, 0), block.data(), blockBytes)
                                     : TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, by, 0), block.data(), blockBytes);
            const uint32_t rows = std::min(blockHeight, l.height - by);
            const uint32_t cols = std::min(blockWidth, l.width - bx);
            if (n < qint64(rows - 1) * rowBytes + qint64(cols) * 3 * sampleBytes) {
                if (why.isEmpty())
                    why = QStringLiteral("damaged TIFF: a strip or tile cannot be read");
                return false;
            }
            for (uint32_t r = 0; r < rows; ++r) {
                auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(by + r))) + bx;
                const uchar* line = block.data() + r * rowBytes;
                if (sampleBytes == 1) {
                    for (uint32_t x = 0; x < cols; ++x, line += 3)
                        out[x] = 0xFF000000u | (uint(line[0]) << 16) | (uint(line[1]) << 8) | line[2];
                    continue;
                }
                const auto* p = reinterpret_cast<const quint16*>(line); // libtiff has put them in this machine's order
                for (uint32_t x = 0; x < cols; ++x, p += 3)
                    out[x] = 0xFF000000u | (rounded8(p[0]) << 16) | (rounded8(p[1]) << 8) | rounded8(p[2]);
            }
        }
    }
    return true;
}

bool readAll(TIFF* tiff, const Layout& l, const std::vector<int>& channelOf, int used, std::vector<quint16>& work,
             QString& why)
{
    const int bits = l.bitsPerSample;
    // CIELAB's a and b are signed (ICCLAB's are offset by half their range): kept as 32768 + 256 a.
    const bool signedLab = l.photometric == PHOTOMETRIC_CIELAB;
    const auto lab = [&](int channel) { return isLab(l) && channel > 0; };
    if (l.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        if (bits == 16)
            return readBlocks(tiff, l, channelOf, used, work, why,
                              [](const uchar* line, qint64 i, int) { return to16(double(at<qfloat16>(line, i))); });
        if (bits == 32)
            return readBlocks(tiff, l, channelOf, used, work, why,
                              [](const uchar* line, qint64 i, int) { return to16(double(at<float>(line, i))); });
        return readBlocks(tiff, l, channelOf, used, work, why,
                          [](const uchar* line, qint64 i, int) { return to16(at<double>(line, i)); });
    }
    if (bits == 8)
        return readBlocks(tiff, l, channelOf, used, work, why, [&](const uchar* line, qint64 i, int channel) {
            if (lab(channel))
                return quint16(signedLab ? 32768 + 256 * int(qint8(line[i])) : 256 * int(line[i]));
            return quint16(line[i] * 257);
        });
    if (bits == 16)
        return readBlocks(
            tiff, l, channelOf, used, work, why,
            [&](const uchar* line, qint64 i, int channel) {
                const quint16 v = at<quint16>(line, i);
                return lab(channel) && signedLab ? quint16(32768 + int(qint16(v))) : v;
            },
            !(isLab(l) && signedLab));
    if (bits == 32)
        return readBlocks(tiff, l, channelOf, used, work, why,
                          [](const uchar* line, qint64 i, int) { return quint16(at<quint32>(line, i) >> 16); });
    if (bits == 24) // put in the machine's byte order by libtiff
        return readBlocks(tiff, l, channelOf, used, work, why, [](const uchar* line, qint64 i, int) {
            const uchar* s = line + 3 * i;
            return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? quint16(s[1] | (s[2] << 8)) : quint16((s[0] << 8) | s[1]);
        });
    return readBlocks(tiff, l, channelOf, used, work, why,
                      [bits](const uchar* line, qint64 i, int) { return widened(packed(line, i, bits), bits); });
}

} // namespace

bool ReadsHere(const Layout& l)
{
    if (l.compression == COMPRESSION_JPEG || l.compression == COMPRESSION_OJPEG || l.bitsPerSample < 8)
        return false;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_RGB: break;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        if (l.sampleFormat != SAMPLEFORMAT_UINT && l.sampleFormat != SAMPLEFORMAT_INT)
            return false;
        if (l.bitsPerSample != 8 && l.bitsPerSample != 16)
            return false;
        return l.samplesPerPixel >= 3;
    case PHOTOMETRIC_SEPARATED:
        if (l.inkSet != INKSET_CMYK)
            return false;
        break;
    default: return false;
    }
    if (l.samplesPerPixel < colourChannels(l))
        return false;
    if (l.sampleFormat == SAMPLEFORMAT_IEEEFP)
        return l.bitsPerSample == 16 || l.bitsPerSample == 32 || l.bitsPerSample == 64;
    return l.sampleFormat == SAMPLEFORMAT_UINT && l.bitsPerSample <= 32;
}

QImage Read(TIFF* tiff, const Layout& l, const QByteArray& icc, QString& why, bool whole)
{
    const int colours = colourChannels(l);
    const bool alpha = l.alphaSample >= colours && l.alphaSample < l.samplesPerPixel;
    if (l.photometric == PHOTOMETRIC_RGB && l.samplesPerPixel == 3 && l.planar != PLANARCONFIG_SEPARATE && !alpha &&
        l.sampleFormat == SAMPLEFORMAT_UINT &&
        (l.bitsPerSample == 8 || l.bitsPerSample == 16)) {
        const QSize size(int(l.width), int(l.height));
        QImage image = whole ? Pictures::WholePictureCanvas(size, QImage::Format_RGB32) : QImage(size, QImage::Format_RGB32);
        if (image.isNull()) {
            why = QStringLiteral("too large to read");
            return {};
        }
        return readRgbStraight(tiff, l, image, why) ? image : QImage();
    }
    const int used = colours + (alpha ? 1 : 0);
    std::vector<int> channelOf(l.samplesPerPixel, -1);
    for (int s = 0; s < colours; ++s)
        channelOf[std::size_t(s)] = s;
    if (alpha)
        channelOf[std::size_t(l.alphaSample)] = colours;
    const qint64 workBytes = qint64(l.width) * l.height * used * 2;
    if (workBytes > MaxWorkBytes) {
        why = QStringLiteral("too large to read");
        return {};
    }
    std::vector<quint16> work;
    work.resize(std::size_t(workBytes / 2), 0);
    if (!readAll(tiff, l, channelOf, used, work, why))
        return {};

    const bool premultiplied = alpha && l.premultiplied && colours != 4 && !isLab(l);
    QImage image(int(l.width), int(l.height),
                 !alpha ? QImage::Format_RGB32
                        : premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
    if (image.isNull()) {
        why = QStringLiteral("too large to read");
        return {};
    }
    std::vector<uchar> inks(colours == 4 ? std::size_t(l.width) * 4 : 0);
    std::vector<float> lab(isLab(l) ? std::size_t(l.width) * 3 : 0);
    for (int y = 0; y < image.height(); ++y) {
        const quint16* p = work.data() + qint64(y) * l.width * used;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (colours == 4) {
            for (uint32_t x = 0; x < l.width * 4; ++x)
                inks[x] = uchar(to8(p[(x / 4) * used + x % 4]));
            Colour::CmykToSrgb(inks.data(), out, image.width(), false, icc);
        } else if (isLab(l)) {
            for (uint32_t x = 0; x < l.width; ++x) {
                const quint16* s = p + qint64(x) * used;
                lab[3 * x] = float(s[0]) * 100.0f / 65535.0f;
                lab[3 * x + 1] = (float(s[1]) - 32768.0f) / 256.0f;
                lab[3 * x + 2] = (float(s[2]) - 32768.0f) / 256.0f;
            }
            Colour::LabToSrgb(lab.data(), out, image.width(), l.white[0], l.white[1]);
        }
        const bool whiteIsZero = l.photometric == PHOTOMETRIC_MINISWHITE;
        const int width = image.width();
        if (colours == 3 && !alpha && !isLab(l)) { // plain RGB, the most common: no per-pixel choices
            for (int x = 0; x < width; ++x, p += 3)
                out[x] = qRgb(int(to8(p[0])), int(to8(p[1])), int(to8(p[2])));
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const quint16* s = p + qint64(x) * used;
            const uint a = alpha ? to8(s[colours]) : 255;
            if (colours == 1) {
                const uint g = whiteIsZero ? 255 - to8(s[0]) : to8(s[0]);
                out[x] = qRgba(int(premultiplied ? std::min(g, a) : g), int(premultiplied ? std::min(g, a) : g),
                               int(premultiplied ? std::min(g, a) : g), int(a));
            } else if (colours == 3 && !isLab(l)) {
                const auto c = [&](int i) { return int(premultiplied ? std::min(to8(s[i]), a) : to8(s[i])); };
                out[x] = qRgba(c(0), c(1), c(2), int(a));
            } else {
                out[x] = (out[x] & 0xFFFFFFu) | (a << 24);
            }
        }
    }
    return image;
}

} // namespace TiffSamples
