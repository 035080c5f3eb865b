#include "readermends.h"

#include <QtEndian>

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

QImage ApplyIconMask(const QImage& image, const QByteArray& ico)
{
    // The first entry is the one read: a bitmap (not a PNG) of 24 bits, its mask after its pixels.
    const auto* d = reinterpret_cast<const uchar*>(ico.constData());
    if (ico.size() < 22 || qFromLittleEndian<quint16>(d + 2) != 1)
        return image;
    const qint64 offset = qFromLittleEndian<quint32>(d + 18);
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

} // namespace ReaderMends
