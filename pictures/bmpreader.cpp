#include "bmpreader.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace Bmp {
namespace {

constexpr qint64 MaxSide = 1 << 20;
constexpr qint64 WindowBytes = 32ll << 20; // mapped at a time

quint16 u16(const uchar* p) { return quint16(p[0] | (p[1] << 8)); }
quint32 u32(const uchar* p) { return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24); }
qint32 i32(const uchar* p) { return qint32(u32(p)); }

// One colour channel described by a bit mask.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    quint32 max = 0;
    explicit Channel(quint32 m = 0) : mask(m)
    {
        if (!mask)
            return;
        while (!((mask >> shift) & 1u))
            ++shift;
        max = mask >> shift;
    }
    uchar value(quint32 px) const { return max ? uchar(((px & mask) >> shift) * 255u / max) : 0; }
};

struct Layout {
    Header header;
    std::vector<QRgb> palette;
    Channel red, green, blue;
};

Verdict parse(const uchar* d, qint64 available, qint64 fileSize, Layout& out)
{
    if (available < 2 || d[0] != 'B' || d[1] != 'M')
        return Verdict::NotBmp;
    if (available < 26)
        return Verdict::Broken;
    Header& h = out.header;
    const qint64 headerSize = u32(d + 14);
    qint64 width = 0, height = 0;
    int paletteEntry = 4;
    quint32 colorsUsed = 0;
    if (headerSize == 12) {
        width = u16(d + 18);
        height = u16(d + 20);
        h.bitsPerPixel = u16(d + 24);
        paletteEntry = 3;
    } else if (headerSize >= 40 && headerSize <= 1024) {
        if (available < 14 + 40)
            return Verdict::Broken;
        width = i32(d + 18);
        height = i32(d + 22);
        h.bitsPerPixel = u16(d + 28);
        h.compression = u32(d + 30);
        colorsUsed = u32(d + 46);
    } else {
        return Verdict::Broken;
    }
    h.bottomUp = height > 0;
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide)
        return Verdict::Broken;
    h.width = int(width);
    h.height = int(height);

    const int bpp = h.bitsPerPixel;
    if (h.compression == 1 || h.compression == 2 || h.compression == 4 || h.compression == 5)
        return Verdict::Unsupported; // run-length or embedded formats: the general reader
    if (h.compression == 0) {
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            return Verdict::Broken;
        if (bpp == 16) {
            out.red = Channel(0x7C00);
            out.green = Channel(0x03E0);
            out.blue = Channel(0x001F);
        }
    } else if (h.compression == 3 && (bpp == 16 || bpp == 32)) {
        if (available < 14 + 40 + 12)
            return Verdict::Broken;
        out.red = Channel(u32(d + 54));
        out.green = Channel(u32(d + 58));
        out.blue = Channel(u32(d + 62));
    } else {
        return Verdict::Broken;
    }

    if (bpp <= 8) {
        qint64 colors = colorsUsed ? std::min<qint64>(colorsUsed, 256) : (1 << bpp);
        qint64 at = 14 + headerSize + (h.compression == 3 && headerSize == 40 ? 12 : 0);
        out.palette.assign(256, qRgb(0, 0, 0));
        for (qint64 i = 0; i < colors && at + paletteEntry <= available; ++i, at += paletteEntry)
            out.palette[std::size_t(i)] = qRgb(d[at + 2], d[at + 1], d[at]);
    }

    h.stride = ((width * bpp + 31) / 32) * 4;
    const qint64 rowBytes = (width * bpp + 7) / 8;
    h.dataOffset = u32(d + 10);
    if (h.dataOffset < 14 + 12 || h.dataOffset >= fileSize)
        return Verdict::Broken;
    if (h.dataOffset + h.stride * (height - 1) + rowBytes > fileSize)
        return Verdict::Broken; // truncated, or a size the file cannot hold
    return Verdict::Decoded;
}

// Sums one source row into the per-column sums of the current target row.
class RowSummer {
public:
    RowSummer(const Layout& layout, const std::vector<int>& colStart)
        : m_layout(layout), m_colStart(colStart), m_expanded(std::size_t(layout.header.width))
    {
    }

    void add(const uchar* row, std::vector<quint64>& sums) const
    {
        const int bpp = m_layout.header.bitsPerPixel;
        if (bpp == 24 || (bpp == 32 && m_layout.header.compression == 0))
            addDirect(row, bpp / 8, sums);
        else
            addExpanded(row, sums);
    }

private:
    void addDirect(const uchar* p, int step, std::vector<quint64>& sums) const
    {
        const std::size_t columns = m_colStart.size() - 1;
        for (std::size_t tx = 0; tx < columns; ++tx) {
            quint32 b = 0, g = 0, r = 0;
            for (int x = m_colStart[tx]; x < m_colStart[tx + 1]; ++x, p += step) {
                b += p[0];
                g += p[1];
                r += p[2];
            }
            sums[3 * tx] += r;
            sums[3 * tx + 1] += g;
            sums[3 * tx + 2] += b;
        }
    }

    void addExpanded(const uchar* row, std::vector<quint64>& sums) const
    {
        const Header& h = m_layout.header;
        QRgb* px = m_expanded.data();
        switch (h.bitsPerPixel) {
        case 1:
        case 4:
        case 8: {
            const int bpp = h.bitsPerPixel;
            const int perByte = 8 / bpp;
            const int mask = (1 << bpp) - 1;
            for (int x = 0; x < h.width; ++x) {
                const int shift = 8 - bpp * (x % perByte + 1);
                px[x] = m_layout.palette[std::size_t((row[x / perByte] >> shift) & mask)];
            }
            break;
        }
        case 16:
            for (int x = 0; x < h.width; ++x) {
                const quint32 v = u16(row + 2 * x);
                px[x] = qRgb(m_layout.red.value(v), m_layout.green.value(v), m_layout.blue.value(v));
            }
            break;
        case 32:
            for (int x = 0; x < h.width; ++x) {
                const quint32 v = u32(row + 4 * x);
                px[x] = qRgb(m_layout.red.value(v), m_layout.green.value(v), m_layout.blue.value(v));
            }
            break;
        default:
            break;
        }
        const std::size_t columns = m_colStart.size() - 1;
        for (std::size_t tx = 0; tx < columns; ++tx) {
            quint32 r = 0, g = 0, b = 0;
            for (int x = m_colStart[tx]; x < m_colStart[tx + 1]; ++x) {
                r += qRed(px[x]);
                g += qGreen(px[x]);
                b += qBlue(px[x]);
            }
            sums[3 * tx] += r;
            sums[3 * tx + 1] += g;
            sums[3 * tx + 2] += b;
        }
    }

    const Layout& m_layout;
    const std::vector<int>& m_colStart;
    mutable std::vector<QRgb> m_expanded;
};

std::vector<int> boundaries(int source, int target)
{
    std::vector<int> start(std::size_t(target) + 1);
    for (int t = 0; t <= target; ++t)
        start[std::size_t(t)] = int(qint64(t) * source / target);
    return start;
}

} // namespace

QSize FitWithin(QSize natural, QSize box)
{
    if (natural.isEmpty())
        return {};
    if (box.isEmpty() || (natural.width() <= box.width() && natural.height() <= box.height()))
        return natural;
    const QSize fitted = natural.scaled(box, Qt::KeepAspectRatio);
    return fitted.expandedTo(QSize(1, 1));
}

Verdict ReadHeader(const uchar* data, qint64 available, qint64 fileSize, Header& header)
{
    Layout layout;
    const Verdict v = parse(data, available, fileSize, layout);
    header = layout.header;
    return v;
}

Result Read(const QString& path, QSize box)
{
    Result result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const qint64 fileSize = file.size();
    const QByteArray head = file.read(std::min<qint64>(fileSize, 14 + 1024 + 1024));
    Layout layout;
    result.verdict = parse(reinterpret_cast<const uchar*>(head.constData()), head.size(), fileSize, layout);
    if (result.verdict != Verdict::Decoded)
        return result;
    const Header& h = layout.header;
    result.natural = QSize(h.width, h.height);
    const QSize target = FitWithin(result.natural, box);
    const int tw = target.width(), th = target.height();

    QImage out(target, QImage::Format_RGB32);
    if (out.isNull()) {
        result.verdict = Verdict::Broken;
        return result;
    }
    const std::vector<int> colStart = boundaries(h.width, tw);
    const std::vector<int> rowStart = boundaries(h.height, th);
    RowSummer summer(layout, colStart);
    std::vector<quint64> sums(std::size_t(tw) * 3, 0);

    auto flush = [&](int ty) {
        const quint64 rows = quint64(rowStart[std::size_t(ty) + 1] - rowStart[std::size_t(ty)]);
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(ty));
        for (int tx = 0; tx < tw; ++tx) {
            const quint64 n = rows * quint64(colStart[std::size_t(tx) + 1] - colStart[std::size_t(tx)]);
            const quint64* s = &sums[3 * std::size_t(tx)];
            line[tx] = qRgb(int((s[0] + n / 2) / n), int((s[1] + n / 2) / n), int((s[2] + n / 2) / n));
        }
        std::fill(sums.begin(), sums.end(), 0);
    };

    // File rows in file order, mapped a window at a time.
    const qint64 rowsPerWindow = std::max<qint64>(1, WindowBytes / h.stride);
    int currentTy = -1;
    for (qint64 first = 0; first < h.height; first += rowsPerWindow) {
        const qint64 count = std::min<qint64>(rowsPerWindow, h.height - first);
        const qint64 offset = h.dataOffset + first * h.stride;
        const qint64 length = std::min<qint64>(count * h.stride, fileSize - offset);
        uchar* window = file.map(offset, length);
        if (!window) {
            result.verdict = Verdict::Broken;
            return result;
        }
        for (qint64 i = 0; i < count; ++i) {
            const qint64 fileRow = first + i;
            const int y = int(h.bottomUp ? h.height - 1 - fileRow : fileRow);
            // Target row of image row y.
            const int ty = int(std::upper_bound(rowStart.begin(), rowStart.end(), y) - rowStart.begin()) - 1;
            if (ty != currentTy) {
                if (currentTy >= 0)
                    flush(currentTy);
                currentTy = ty;
            }
            summer.add(window + i * h.stride, sums);
        }
        file.unmap(window);
    }
    if (currentTy >= 0)
        flush(currentTy);
    result.image = out;
    return result;
}

} // namespace Bmp
