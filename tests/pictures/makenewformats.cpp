// Makes the broken and bomb files of the formats the decoder helper reads
// (PNG, WebP, TIFF, HEIC, AVIF) in the current folder. Run by
// makenewformats.sh, which runs it in corpus/, where its output is kept.
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>

#include "testheif.h"

#include <zlib.h>

namespace {

QImage picture()
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgb(x * 4, y * 5, 128));
    return image;
}

QByteArray encoded(const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(picture());
    return bytes;
}

QByteArray deflatedZeros(qint64 size)
{
    QByteArray out;
    z_stream z{};
    deflateInit(&z, 9);
    QByteArray zeros(1 << 20, '\0');
    char chunk[1 << 16];
    qint64 left = size;
    int flush = Z_NO_FLUSH;
    do {
        const qint64 now = std::min<qint64>(left, zeros.size());
        left -= now;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = reinterpret_cast<Bytef*>(zeros.data());
        z.avail_in = uInt(now);
        do {
            z.next_out = reinterpret_cast<Bytef*>(chunk);
            z.avail_out = sizeof chunk;
            deflate(&z, flush);
            out.append(chunk, qsizetype(sizeof chunk - z.avail_out));
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    return out;
}

void chunk(QByteArray& png, const char* type, const QByteArray& data)
{
    char length[4];
    qToBigEndian<quint32>(quint32(data.size()), length);
    png.append(length, 4);
    const QByteArray typed = QByteArray(type) + data;
    png.append(typed);
    char crc[4];
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))), crc);
    png.append(crc, 4);
}

// A grey PNG of 16000 by 8000 zeros: 128 million pixels in 125 KB.
QByteArray pngBomb()
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(16000, header.data());
    qToBigEndian<quint32>(8000, header.data() + 4);
    header[8] = 8; // bits
    header[9] = 0; // grey
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", deflatedZeros(qint64(16001) * 8000)); // a filter byte before every row
    chunk(png, "IEND", {});
    return png;
}

// A grey TIFF of 11000 by 10000 zeros in one deflated strip: under the pixel limit, over the memory budget.
QByteArray tiffBomb()
{
    const quint32 width = 11000, height = 10000;
    const QByteArray strip = deflatedZeros(qint64(width) * height);
    QByteArray tiff("II*\0", 4);
    auto put16 = [&tiff](quint16 v) { char b[2]; qToLittleEndian(v, b); tiff.append(b, 2); };
    auto put32 = [&tiff](quint32 v) { char b[4]; qToLittleEndian(v, b); tiff.append(b, 4); };
    put32(8 + quint32(strip.size()));
    tiff.append(strip);
    struct Entry { quint16 tag, type; quint32 count, value; };
    const Entry entries[] = {{256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 1, 8}, {259, 3, 1, 8},
                             {262, 3, 1, 1}, {273, 4, 1, 8}, {277, 3, 1, 1}, {278, 4, 1, height},
                             {279, 4, 1, quint32(strip.size())}};
    put16(quint16(std::size(entries)));
    for (const Entry& e : entries) {
        put16(e.tag); put16(e.type); put32(e.count);
        if (e.type == 3) { put16(quint16(e.value)); put16(0); } else put32(e.value);
    }
    put32(0);
    return tiff;
}

// The VP8 frame's size set to 16383 by 16383.
QByteArray webpBomb()
{
    QByteArray webp = encoded("WEBP", 80);
    const qsizetype start = webp.indexOf(QByteArray("\x9d\x01\x2a", 3));
    if (start > 0) {
        qToLittleEndian<quint16>(16383, webp.data() + start + 3);
        qToLittleEndian<quint16>(16383, webp.data() + start + 5);
    }
    return webp;
}

// Every size box (ispe) set to 30000 by 30000.
QByteArray heifBomb(QByteArray heif)
{
    for (qsizetype at = heif.indexOf("ispe"); at > 0; at = heif.indexOf("ispe", at + 4)) {
        qToBigEndian<quint32>(30000, heif.data() + at + 8);
        qToBigEndian<quint32>(30000, heif.data() + at + 12);
    }
    return heif;
}

void write(const char* name, const QByteArray& bytes)
{
    QFile f(QString::fromLatin1(name));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

} // namespace

int main()
{
    heif_init(nullptr);
    const QByteArray png = encoded("PNG", 0), webp = encoded("WEBP", 80), tiff = encoded("TIFF", 0);
    const QByteArray heic = TestHeif::Encode(picture(), heif_compression_HEVC);
    const QByteArray avif = TestHeif::Encode(picture(), heif_compression_AV1);
    write("broken.png", png.left(png.size() / 2));
    write("broken.webp", webp.left(webp.size() * 2 / 3));
    write("broken.tiff", tiff.left(tiff.size() - 40)); // its directory cut off
    write("broken.heic", heic.left(heic.size() * 2 / 3));
    write("broken.avif", avif.left(avif.size() * 2 / 3));
    write("bomb.png", pngBomb());
    write("bomb.webp", webpBomb());
    write("bomb.tiff", tiffBomb());
    write("bomb.heic", heifBomb(heic));
    write("bomb.avif", heifBomb(avif));
    heif_deinit();
    return 0;
}
