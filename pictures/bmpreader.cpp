#include "bmpreader.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>
#include <vector>

namespace Bmp {
namespace {

// A mapped file that shrinks under the reader (a stick pulled out, another
// program rewriting the picture) raises SIGBUS on the next page touched. The
// row loop runs under a guard that turns it into a failed read; the loop
// allocates nothing and owns nothing, so jumping out of it skips no clean-up.
thread_local sigjmp_buf* guardJump = nullptr;

void onBusError(int signal, siginfo_t*, void*)
{
    if (guardJump)
        siglongjmp(*guardJump, 1);
    // Not ours: the default action, as if no handler were there.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installBusGuard()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, nullptr);
    });
}

// Runs `rows` over mapped memory; false when the mapping failed under it.
template <class Rows> bool guarded(Rows& rows)
{
    sigjmp_buf jump;
    if (sigsetjmp(jump, 1) != 0) {
        guardJump = nullptr;
        return false;
    }
    guardJump = &jump;
    rows();
    guardJump = nullptr;
    return true;
}

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
    Channel red, green, blue, alpha;
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
        if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            return Verdict::Broken;
        if (bpp == 16) {
            out.red = Channel(0x7C00);
            out.green = Channel(0x03E0);
            out.blue = Channel(0x001F);
        }
    } else if ((h.compression == 3 || h.compression == 6) && (bpp == 16 || bpp == 32)) {
        // The masks follow a short header, or sit in a long one at the same place; an alpha
        // mask is there in headers of 56 bytes and more, or after a short one when it says so.
        const bool hasAlpha = headerSize >= 56 || h.compression == 6;
        if (available < 14 + 40 + (hasAlpha ? 16 : 12))
            return Verdict::Broken;
        out.red = Channel(u32(d + 54));
        out.green = Channel(u32(d + 58));
        out.blue = Channel(u32(d + 62));
        if (hasAlpha)
            out.alpha = Channel(u32(d + 66));
    } else {
        return Verdict::Broken;
    }

    if (bpp <= 8) {
        qint64 colors = colorsUsed ? std::min<qint64>(colorsUsed, 256) : (1 << bpp);
        qint64 at = 14 + headerSize;
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

// Adds the source rows of one target row (a band) column by column, then
// averages the band into target pixels. Rows are added as whole byte runs
// into 16-bit sums, which the compiler turns into wide vector adds; the
// sideways averaging runs once per band, not once per row.
class BandAccumulator {
public:
    BandAccumulator(const Layout& layout, const std::vector<int>& colStart)
        : m_layout(layout), m_colStart(colStart)
    {
        const Header& h = layout.header;
        m_direct = h.bitsPerPixel == 24 || (h.bitsPerPixel == 32 && h.compression == 0);
        m_step = m_direct ? h.bitsPerPixel / 8 : 3;
        m_narrow.assign(std::size_t(h.width) * std::size_t(m_step), 0);
        m_wide.assign(m_narrow.size(), 0);
        if (!m_direct)
            m_expanded.assign(m_narrow.size(), 0);
    }

    void add(const uchar* row)
    {
        const uchar* bytes = m_direct ? row : expand(row);
        quint16* acc = m_narrow.data();
        const std::size_t n = m_narrow.size();
        for (std::size_t i = 0; i < n; ++i)
            acc[i] = quint16(acc[i] + bytes[i]);
        // 16-bit sums hold 257 rows of 255; move them aside before that.
        if (++m_rowsInNarrow == 256)
            spill();
    }

    // Averages the band of `rows` rows into `line` and starts the next band.
    void flush(QRgb* line, int rows)
    {
        spill();
        const int step = m_step;
        const std::size_t columns = m_colStart.size() - 1;
        for (std::size_t tx = 0; tx < columns; ++tx) {
            quint64 c0 = 0, c1 = 0, c2 = 0;
            for (int x = m_colStart[tx]; x < m_colStart[tx + 1]; ++x) {
                const quint32* p = &m_wide[std::size_t(x) * std::size_t(step)];
                c0 += p[0];
                c1 += p[1];
                c2 += p[2];
            }
            const quint64 count = quint64(rows) * quint64(m_colStart[tx + 1] - m_colStart[tx]);
            const int a = int((c0 + count / 2) / count), b = int((c1 + count / 2) / count),
                      c = int((c2 + count / 2) / count);
            // Bitmaps store blue, green, red; the expanded rows are red, green, blue.
            line[tx] = m_direct ? qRgb(c, b, a) : qRgb(a, b, c);
        }
        std::fill(m_wide.begin(), m_wide.end(), 0u);
    }

private:
    void spill()
    {
        for (std::size_t i = 0; i < m_narrow.size(); ++i)
            m_wide[i] += m_narrow[i];
        std::fill(m_narrow.begin(), m_narrow.end(), quint16(0));
        m_rowsInNarrow = 0;
    }

    const uchar* expand(const uchar* row)
    {
        const Header& h = m_layout.header;
        uchar* out = m_expanded.data();
        auto put = [&out](QRgb c) {
            *out++ = uchar(qRed(c));
            *out++ = uchar(qGreen(c));
            *out++ = uchar(qBlue(c));
        };
        // Bit fields with an alpha mask: what is transparent lies on white, as the loader shows it.
        const Layout& l = m_layout;
        auto fields = [&l](quint32 v) {
            const int r = l.red.value(v), g = l.green.value(v), b = l.blue.value(v);
            if (!l.alpha.mask)
                return qRgb(r, g, b);
            const int a = l.alpha.value(v), under = 255 * (255 - a);
            return qRgb((r * a + under + 127) / 255, (g * a + under + 127) / 255, (b * a + under + 127) / 255);
        };
        switch (h.bitsPerPixel) {
        case 1:
        case 2:
        case 4:
        case 8: {
            const int bpp = h.bitsPerPixel;
            const int perByte = 8 / bpp;
            const int mask = (1 << bpp) - 1;
            for (int x = 0; x < h.width; ++x) {
                const int shift = 8 - bpp * (x % perByte + 1);
                put(m_layout.palette[std::size_t((row[x / perByte] >> shift) & mask)]);
            }
            break;
        }
        case 16:
            for (int x = 0; x < h.width; ++x) {
                put(fields(u16(row + 2 * x)));
            }
            break;
        case 32:
            for (int x = 0; x < h.width; ++x) {
                put(fields(u32(row + 4 * x)));
            }
            break;
        default:
            break;
        }
        return m_expanded.data();
    }

    const Layout& m_layout;
    const std::vector<int>& m_colStart;
    bool m_direct = true;
    int m_step = 3;
    int m_rowsInNarrow = 0;
    std::vector<quint16> m_narrow;
    std::vector<quint32> m_wide;
    std::vector<uchar> m_expanded;
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

void (*AfterMappingForTests)(const QString& path) = nullptr;

Result Read(const QString& path, QSize box)
{
    return Read(path, [box](QSize natural) { return FitWithin(natural, box); });
}

Result Read(const QString& path, const std::function<QSize(QSize natural)>& sizeFor)
{
    Result result;
    installBusGuard();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.verdict = Verdict::Unreadable;
        return result;
    }
    const qint64 fileSize = file.size();
    const QByteArray head = file.read(std::min<qint64>(fileSize, 14 + 1024 + 1024));
    Layout layout;
    result.verdict = parse(reinterpret_cast<const uchar*>(head.constData()), head.size(), fileSize, layout);
    if (result.verdict != Verdict::Decoded)
        return result;
    const Header& h = layout.header;
    result.natural = QSize(h.width, h.height);
    const QSize wanted = sizeFor(result.natural);
    if (wanted.isEmpty()) {
        result.verdict = Verdict::Broken;
        return result;
    }
    // Never larger than the picture.
    const QSize target = wanted.boundedTo(result.natural);
    const int tw = target.width(), th = target.height();

    QImage out(target, QImage::Format_RGB32);
    if (out.isNull()) {
        result.verdict = Verdict::Broken;
        return result;
    }
    const std::vector<int> colStart = boundaries(h.width, tw);
    const std::vector<int> rowStart = boundaries(h.height, th);
    BandAccumulator band(layout, colStart);
    auto flush = [&](int ty) {
        band.flush(reinterpret_cast<QRgb*>(out.scanLine(ty)),
                   rowStart[std::size_t(ty) + 1] - rowStart[std::size_t(ty)]);
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
            result.verdict = Verdict::Unreadable;
            return result;
        }
        if (AfterMappingForTests)
            AfterMappingForTests(path);
        auto rows = [&] {
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
                band.add(window + i * h.stride);
            }
        };
        const bool whole = guarded(rows);
        file.unmap(window);
        if (!whole) {
            result.verdict = Verdict::Unreadable; // the file shrank while it was read
            return result;
        }
    }
    if (currentTy >= 0)
        flush(currentTy);
    result.image = out;
    return result;
}

} // namespace Bmp
