#include "readermends.h"

#include <QImageReader>
#include <QTransform>
#include <QtEndian>

#include <cstring>
#include <utility>

namespace ReaderMends {

std::optional<ColourKey> TakePngColourKey(QByteArray& png)
{
    // Signature, then the header chunk: colour type 2 (RGB) at 16 bits a channel.
    if (png.size() < 33 || !png.startsWith("\x89PNG\r\n\x1a\n") || png.mid(12, 4) != "IHDR" || png[24] != 16 ||
        png[25] != 2)
        return std::nullopt;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        if (length > quint32(png.size() - at - 12))
            return std::nullopt;
        const QByteArray type = png.mid(at + 4, 4);
        if (type == "IDAT" || type == "IEND")
            return std::nullopt;
        if (type == "tRNS") {
            if (length != 6)
                return std::nullopt;
            ColourKey key;
            for (int c = 0; c < 3; ++c)
                key.rgb[std::size_t(c)] = qFromBigEndian<quint16>(png.constData() + at + 8 + 2 * c);
            png.remove(at, 12 + qsizetype(length));
            return key;
        }
        at += 12 + qsizetype(length);
    }
    return std::nullopt;
}

QImage ApplyColourKey(const QImage& image, const ColourKey& key)
{
    QImage out = image.convertToFormat(QImage::Format_RGBA64);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgba64*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if (line[x].red() == key.rgb[0] && line[x].green() == key.rgb[1] && line[x].blue() == key.rgb[2])
                line[x] = QRgba64::fromRgba64(0, 0, 0, 0);
    }
    return out;
}

QImage ApplyIconMask(const QImage& image, const QByteArray& ico, int entry)
{
    // The entry read: a bitmap (not a PNG) of 24 bits, its mask after its pixels.
    const auto* d = reinterpret_cast<const uchar*>(ico.constData());
    const qint64 directory = 6 + 16 * qint64(entry);
    if (entry < 0 || ico.size() < directory + 16 || qFromLittleEndian<quint16>(d + 2) != 1 ||
        entry >= qFromLittleEndian<quint16>(d + 4))
        return image;
    const qint64 offset = qFromLittleEndian<quint32>(d + directory + 12);
    if (offset < 22 || offset + 40 > ico.size() || qFromLittleEndian<quint32>(d + offset) != 40 ||
        qFromLittleEndian<quint16>(d + offset + 14) != 24 || qFromLittleEndian<quint32>(d + offset + 16) != 0)
        return image;
    const qint64 w = qFromLittleEndian<qint32>(d + offset + 4), h = qFromLittleEndian<qint32>(d + offset + 8) / 2;
    if (w != image.width() || h != image.height() || w <= 0 || h <= 0)
        return image;
    const qint64 maskAt = offset + 40 + ((w * 24 + 31) / 32) * 4 * h;
    const qint64 maskStride = ((w + 31) / 32) * 4;
    if (maskAt + maskStride * h > ico.size())
        return image;
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        const uchar* mask = d + maskAt + (h - 1 - y) * maskStride; // bottom-up
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x)
            if (mask[x / 8] & (0x80 >> (x % 8)))
                line[x] = qRgba(0, 0, 0, 0);
    }
    return out;
}

int LargestIconEntry(QImageReader& reader)
{
    // The most pixels; of equal sizes the most colours, and then the first.
    int largest = 0;
    std::pair<qint64, int> best{-1, -1};
    const int count = reader.imageCount();
    for (int i = 0; i < count && reader.jumpToImage(i); ++i) {
        const QSize size = reader.size();
        const QImage::Format format = reader.imageFormat();
        const std::pair<qint64, int> entry{qint64(size.width()) * size.height(),
                                           format == QImage::Format_Invalid ? 0 : QImage::toPixelFormat(format).bitsPerPixel()};
        if (entry > best) {
            largest = i;
            best = entry;
        }
    }
    reader.jumpToImage(largest);
    return largest;
}

namespace {

// The orientation tag of IFD0 of a TIFF structure (an EXIF block).
int tiffOrientation(const uchar* d, qint64 n)
{
    if (n >= 6 && std::memcmp(d, "Exif\0\0", 6) == 0) {
        d += 6;
        n -= 6;
    }
    if (n < 8)
        return 1;
    const bool little = d[0] == 'I' && d[1] == 'I';
    if (!little && !(d[0] == 'M' && d[1] == 'M'))
        return 1;
    const auto u16 = [&](qint64 at) { return little ? qFromLittleEndian<quint16>(d + at) : qFromBigEndian<quint16>(d + at); };
    const auto u32 = [&](qint64 at) { return little ? qFromLittleEndian<quint32>(d + at) : qFromBigEndian<quint32>(d + at); };
    if (u16(2) != 42)
        return 1;
    const qint64 ifd = u32(4);
    if (ifd < 8 || ifd + 2 > n)
        return 1;
    const int entries = u16(ifd);
    for (int e = 0; e < entries && ifd + 2 + 12 * (e + 1) <= n; ++e) {
        const qint64 at = ifd + 2 + 12 * e;
        if (u16(at) == 0x0112 && u16(at + 2) == 3) { // orientation, SHORT
            const int value = u16(at + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

} // namespace

int ExifOrientation(const QByteArray& file, const QByteArray& format)
{
    const auto* d = reinterpret_cast<const uchar*>(file.constData());
    const qint64 n = file.size();
    if (format == "png") {
        for (qint64 at = 8; at + 12 <= n;) {
            const qint64 length = qFromBigEndian<quint32>(d + at);
            if (length > n - at - 12)
                return 1;
            const QByteArray type(file.constData() + at + 4, 4);
            if (type == "eXIf")
                return tiffOrientation(d + at + 8, length);
            if (type == "IDAT" || type == "IEND")
                return 1;
            at += 12 + length;
        }
    } else if (format == "webp") {
        if (n < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WEBP", 4) != 0)
            return 1;
        for (qint64 at = 12; at + 8 <= n;) {
            const qint64 length = qFromLittleEndian<quint32>(d + at + 4);
            if (length > n - at - 8)
                return 1;
            if (std::memcmp(d + at, "EXIF", 4) == 0)
                return tiffOrientation(d + at + 8, length);
            at += 8 + length + (length & 1);
        }
    }
    return 1;
}

int ExifOrientationOf(QImageIOHandler::Transformations t)
{
    switch (int(t)) {
    case QImageIOHandler::TransformationMirror: return 2;
    case QImageIOHandler::TransformationRotate180: return 3;
    case QImageIOHandler::TransformationFlip: return 4;
    case QImageIOHandler::TransformationFlipAndRotate90: return 5;
    case QImageIOHandler::TransformationRotate90: return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90: return 7;
    case QImageIOHandler::TransformationRotate270: return 8;
    default: return 1;
    }
}

QImage Oriented(const QImage& image, int orientation)
{
    switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return image.mirrored(true, true);
    case 4: return image.mirrored(false, true);
    case 5: return image.transformed(QTransform().rotate(90)).mirrored(true, false); // transpose
    case 6: return image.transformed(QTransform().rotate(90));
    case 7: return image.transformed(QTransform().rotate(90)).mirrored(false, true); // transverse
    case 8: return image.transformed(QTransform().rotate(270));
    default: return image;
    }
}

} // namespace ReaderMends
