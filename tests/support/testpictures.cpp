#include "testpictures.h"

#include <QFile>
#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace TestPictures {

QImage Photo(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 state = quint32(seed) * 2654435761u + 1u;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = int(state & 15) - 8;
            const double fx = double(x) / width, fy = double(y) / height;
            const int r = int(128 + 100 * std::sin(6.0 * fx + seed) * std::cos(3.0 * fy)) + noise;
            const int g = int(40 + 180 * fy) + ((x / 7 + y / 5) % 2 ? 12 : -12) + noise;
            const int b = int(200 - 150 * fx * fy) + noise;
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

bool Save(const QImage& image, const QString& path, const char* format)
{
    QImageWriter writer(path, format);
    if (QByteArray(format) == "JPEG")
        writer.setQuality(92);
    return writer.write(image);
}

QByteArray JpegWithOrientation(const QImage& stored, int orientation, bool progressive)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setQuality(92);
    writer.setProgressiveScanWrite(progressive);
    writer.write(stored);
    // APP1: "Exif", a little-endian TIFF header, IFD0 with the one orientation entry.
    const char exif[] = {
        '\xFF', '\xE1', 0, 34,                      // marker, length 34
        'E', 'x', 'i', 'f', 0, 0,                     // identifier
        'I', 'I', 0x2A, 0, 8, 0, 0, 0,                // TIFF header, IFD0 at 8
        1, 0,                                         // one entry
        0x12, 0x01, 3, 0, 1, 0, 0, 0, char(orientation), 0, 0, 0, // orientation, SHORT, 1 value
        0, 0, 0, 0,                                   // no next IFD
    };
    jpeg.insert(2, exif, sizeof exif); // right after the start-of-image marker
    return jpeg;
}

QByteArray Bitmap(const QImage& source, int bpp, bool topDown)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    const int stride = ((w * bpp + 31) / 32) * 4;
    const bool fields = bpp == 16;
    const int headerSize = 40;
    const int offset = 14 + headerSize + (fields ? 12 : 0);
    QByteArray out(offset + stride * h, '\0');
    auto* d = reinterpret_cast<uchar*>(out.data());
    d[0] = 'B';
    d[1] = 'M';
    qToLittleEndian<quint32>(quint32(out.size()), d + 2);
    qToLittleEndian<quint32>(quint32(offset), d + 10);
    qToLittleEndian<quint32>(quint32(headerSize), d + 14);
    qToLittleEndian<qint32>(w, d + 18);
    qToLittleEndian<qint32>(topDown ? -h : h, d + 22);
    qToLittleEndian<quint16>(1, d + 26);
    qToLittleEndian<quint16>(quint16(bpp), d + 28);
    qToLittleEndian<quint32>(fields ? 3u : 0u, d + 30);
    if (fields) {
        qToLittleEndian<quint32>(0xF800, d + 54);
        qToLittleEndian<quint32>(0x07E0, d + 58);
        qToLittleEndian<quint32>(0x001F, d + 62);
    }
    for (int y = 0; y < h; ++y) {
        const int fileRow = topDown ? y : h - 1 - y;
        uchar* row = d + offset + fileRow * stride;
        const auto* px = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb c = px[x];
            if (bpp == 16) {
                const quint16 v = quint16(((qRed(c) >> 3) << 11) | ((qGreen(c) >> 2) << 5) | (qBlue(c) >> 3));
                qToLittleEndian<quint16>(v, row + 2 * x);
            } else {
                uchar* p = row + x * (bpp / 8);
                p[0] = uchar(qBlue(c));
                p[1] = uchar(qGreen(c));
                p[2] = uchar(qRed(c));
            }
        }
    }
    return out;
}

QByteArray BlueRectangleMetafile()
{
    QByteArray records;
    auto word = [](QByteArray& to, quint16 v) {
        to.append(char(v & 0xFF));
        to.append(char(v >> 8));
    };
    auto dword = [&](QByteArray& to, quint32 v) {
        word(to, quint16(v & 0xFFFF));
        word(to, quint16(v >> 16));
    };
    auto record = [&](quint16 function, std::initializer_list<qint16> params) {
        dword(records, quint32(3 + params.size()));
        word(records, function);
        for (qint16 p : params)
            word(records, quint16(p));
    };
    record(0x020B, {0, 0});   // window origin
    record(0x020C, {50, 100}); // window extent
    dword(records, 7);         // a solid blue brush
    word(records, 0x02FC);
    word(records, 0);
    dword(records, 0x00FF0000);
    word(records, 0);
    record(0x012D, {0});              // select it
    record(0x041B, {50, 100, 0, 0});  // rectangle
    record(0x0000, {});               // end
    QByteArray header;
    word(header, 1);
    word(header, 9);
    word(header, 0x0300);
    dword(header, quint32((18 + records.size()) / 2));
    word(header, 1);
    dword(header, 7);
    word(header, 0);
    QByteArray placeable;
    dword(placeable, 0x9AC6CDD7u);
    for (quint16 v : {quint16(0), quint16(0), quint16(0), quint16(100), quint16(50), quint16(96)})
        word(placeable, v);
    dword(placeable, 0);
    quint16 check = 0;
    for (int i = 0; i < 20; i += 2)
        check ^= qFromLittleEndian<quint16>(placeable.constData() + i);
    word(placeable, check);
    return placeable + header + records;
}

QByteArray TwoFrameGif()
{
    return QByteArray::fromBase64(
        "R0lGODlhBAADAPAAAP8AAAAAACH5BAAAAAAAIf8LTkVUU0NBUEUyLjADAQAAACwAAAAABAADAAACA4SPVgAh+QQAAAAAACwAAAAABAAD"
        "AIAAAP8AAAACA4SPVgA7");
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

double Psnr(const QImage& a0, const QImage& b0)
{
    const QImage a = a0.convertToFormat(QImage::Format_RGB32);
    const QImage b = b0.convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size() || a.isNull())
        return 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const double dr = qRed(pa[x]) - qRed(pb[x]), dg = qGreen(pa[x]) - qGreen(pb[x]),
                         db = qBlue(pa[x]) - qBlue(pb[x]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace TestPictures

QByteArray TestPictures::ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
