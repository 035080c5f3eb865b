#include "pictureloader.h"

#include "bmpreader.h"
#include "readermends.h"
#include "fileops.h"
#include "wmfprocess.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace Pictures {
namespace {

constexpr qint64 MaxMetafileBytes = 64ll << 20;
constexpr qint64 MaxCopiedFileBytes = 128ll << 20;
constexpr int MaxMetafileSide = 8192;

RunError notAPicture(const QString& why = {})
{
    return RunError::make(RunError::InvalidPicture, why);
}

qint64 pixelBytes(QSize s)
{
    return qint64(s.width()) * qint64(s.height()) * 4;
}

// The size to decode to: the box, or for the full picture the largest size the budget allows.
QSize targetSize(QSize natural, QSize box)
{
    if (!box.isEmpty())
        return Bmp::FitWithin(natural, box);
    if (pixelBytes(natural) <= MemoryBudgetBytes)
        return natural;
    const double shrink = std::sqrt(double(MemoryBudgetBytes) / double(pixelBytes(natural)));
    return Bmp::FitWithin(natural, QSize(int(natural.width() * shrink), int(natural.height() * shrink)));
}

// Every pixel layout a reader can hand back (1 bit in either order, 2, 4 and 8-bit palettes,
// grey of 8 or 16 bits, 16 bits a channel, with or without alpha) as the one layout the program
// scales, shows and keeps: 32-bit RGB, with what is transparent laid on white, as it prints and
// as a bitmap keeps it. Qt's own scaling of the smaller layouts is not to be trusted (a 1-bit
// picture shrunk more than twice loses its colours), so this comes before any scaling.
QImage opaque32(const QImage& image)
{
    if (image.format() == QImage::Format_RGB32 || image.isNull())
        return image;
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const int under = 255 - qAlpha(p); // white, weighted by what the picture leaves uncovered
            line[x] = qRgb(qRed(p) + under, qGreen(p) + under, qBlue(p) + under);
        }
    }
    out.reinterpretAsFormat(QImage::Format_RGB32);
    return out;
}

QImage finish(const QImage& image, QSize want, qreal dpr)
{
    QImage shown = opaque32(image);
    if (!want.isEmpty() && shown.size() != want)
        shown = shown.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    shown.setDevicePixelRatio(dpr);
    return shown;
}

bool tooManyPixels(QSize s)
{
    return qint64(s.width()) * qint64(s.height()) > MaxPixels;
}

LoadResult fromBmp(const QString& path, QSize box, qreal dpr, bool& handled)
{
    LoadResult r;
    // The size is chosen from the header, so an over-budget picture is never decoded whole,
    // and one with too many pixels is not read at all.
    const Bmp::Result bmp = Bmp::Read(path, [box](QSize natural) {
        return tooManyPixels(natural) ? QSize() : targetSize(natural, box);
    });
    handled = bmp.verdict != Bmp::Verdict::Unsupported;
    if (!handled)
        return r;
    if (bmp.verdict == Bmp::Verdict::Unreadable) {
        r.error = RunError::make(RunError::PathFileAccess, QStringLiteral("the file could not be read whole"));
        return r;
    }
    if (bmp.verdict != Bmp::Verdict::Decoded) {
        r.error = notAPicture(QStringLiteral("broken bitmap"));
        return r;
    }
    r.picture.natural = bmp.natural;
    r.picture.shown = finish(bmp.image, {}, dpr);
    r.picture.sourcePath = path;
    return r;
}

LoadResult fromMetafile(const QString& path, QFile& file, QSize box, qreal dpr)
{
    LoadResult r;
    if (file.size() > MaxMetafileBytes) {
        r.error = notAPicture(QStringLiteral("metafile too large"));
        return r;
    }
    if (WmfProcess::HelperPath().isEmpty()) {
        r.error = RunError::make(RunError::PathFileAccess, QStringLiteral("the metafile renderer is not installed"));
        return r;
    }
    const QImage rendered = WmfProcess::Render(path, MaxMetafileSide);
    if (rendered.isNull()) {
        r.error = notAPicture(QStringLiteral("metafile could not be rendered"));
        return r;
    }
    r.picture.natural = rendered.size();
    r.picture.shown = finish(rendered, targetSize(rendered.size(), box), dpr);
    return r;
}

LoadResult fromImageReader(QFile& file, QSize box, qreal dpr)
{
    LoadResult r;
    // The decoders read a private copy of the file: one read, no system call per
    // chunk, and nothing that can vanish under them if the file shrinks (a
    // mapping would then kill the program). No picture of ours is this large.
    if (file.size() > MaxCopiedFileBytes) {
        r.error = notAPicture(QStringLiteral("file too large"));
        return r;
    }
    file.seek(0);
    QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) {
        // A read error or a file changing under us passes: it is not the picture's fault.
        r.error = RunError::make(RunError::PathFileAccess, file.error() != QFileDevice::NoError
                                                               ? file.errorString()
                                                               : QStringLiteral("the file changed while it was read"));
        return r;
    }
    const std::optional<ReaderMends::ColourKey> colourKey = ReaderMends::TakePngColourKey(bytes);
    const uchar* mapped = reinterpret_cast<const uchar*>(bytes.constData());
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QIODevice* device = &buffer;
    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        r.error = notAPicture(reader.errorString());
        return r;
    }
    const QByteArray format = reader.format();
    // Only the kinds of picture an album holds or another program pastes; the
    // other readers Qt offers (TIFF, ICNS, ...) can be made to allocate gigabytes.
    static const QList<QByteArray> accepted{"bmp", "dib", "jpeg", "jpg", "gif", "ico", "cur", "png", "webp"};
    if (!accepted.contains(format)) {
        r.error = notAPicture(QStringLiteral("not a kind of picture an album holds (%1)").arg(QString::fromLatin1(format)));
        return r;
    }
    qint64 progressiveBytes = 0;
    if (format == "jpeg" || format == "jpg") {
        const JpegFacts facts = ScanJpeg(mapped, bytes.size());
        // A truncated JPEG decodes to a half-grey picture; it is not the user's picture.
        if (!facts.complete) {
            r.error = notAPicture(QStringLiteral("truncated JPEG"));
            return r;
        }
        progressiveBytes = facts.progressive ? facts.coefficientBytes : 0;
        if (facts.progressive && facts.scans > MaxProgressiveScans) {
            r.error = notAPicture(QStringLiteral("too many scans to read"));
            return r;
        }
    }

    const QSize stored = reader.size();
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    QSize want;
    if (stored.isValid() && !stored.isEmpty()) {
        const QSize upright = turned ? stored.transposed() : stored;
        want = targetSize(upright, box);
        const QSize wantStored = turned ? want.transposed() : want;
        // A progressive JPEG keeps every coefficient in memory while it decodes.
        if (progressiveBytes > MemoryBudgetBytes) {
            r.error = notAPicture(QStringLiteral("too large to read"));
            return r;
        }
        if (tooManyPixels(stored)) {
            r.error = notAPicture(QStringLiteral("too many pixels to read"));
            return r;
        }
        // Only the JPEG decoder reads straight into a smaller size; every other
        // reader decodes the whole picture first, so the whole must fit the budget.
        const bool decodesScaled = format == "jpeg" || format == "jpg";
        if (!decodesScaled && pixelBytes(stored) > MemoryBudgetBytes) {
            r.error = notAPicture(QStringLiteral("too large to read"));
            return r;
        }
        // Only there: the other readers' scaled decoding (PNG's) garbles every layout but 32-bit.
        if (decodesScaled && wantStored != stored && reader.supportsOption(QImageIOHandler::ScaledSize))
            reader.setScaledSize(wantStored);
    }
    QImage image = reader.read();
    if (image.isNull()) {
        r.error = notAPicture(reader.errorString());
        return r;
    }
    if (colourKey)
        image = ReaderMends::ApplyColourKey(image, *colourKey);
    if (format == "ico" && image.size() == stored)
        image = ReaderMends::ApplyIconMask(image, bytes);
    if (want.isEmpty())
        want = targetSize(image.size(), box);
    r.picture.natural = stored.isValid() && !stored.isEmpty() ? (turned ? stored.transposed() : stored) : image.size();
    r.picture.shown = finish(image, want, dpr);
    return r;
}

void configureReaders()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(int(MemoryBudgetBytes >> 20)); });
}

} // namespace

namespace {
// Memory for every DCT coefficient of a frame, from its frame header (after the length).
qint64 coefficientBytes(const uchar* f, qint64 available)
{
    if (available < 6)
        return 0;
    const qint64 height = (qint64(f[1]) << 8) | f[2];
    const qint64 width = (qint64(f[3]) << 8) | f[4];
    const int components = f[5];
    if (available < 6 + 3 * components || components == 0)
        return 0;
    int hMax = 1, vMax = 1;
    for (int c = 0; c < components; ++c) {
        hMax = std::max(hMax, f[6 + 3 * c + 1] >> 4);
        vMax = std::max(vMax, f[6 + 3 * c + 1] & 15);
    }
    qint64 total = 0;
    for (int c = 0; c < components; ++c) {
        const int h = std::max(1, f[6 + 3 * c + 1] >> 4), v = std::max(1, f[6 + 3 * c + 1] & 15);
        const qint64 blocksAcross = (width * h / hMax + 7) / 8 + 1;
        const qint64 blocksDown = (height * v / vMax + 7) / 8 + 1;
        total += blocksAcross * blocksDown * 64 * 2;
    }
    return total;
}
} // namespace

JpegFacts ScanJpeg(const uchar* d, qint64 n)
{
    JpegFacts facts;
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return facts;
    qint64 i = 2;
    while (i + 1 < n) {
        if (d[i] != 0xFF) {
            ++i; // tolerate stray bytes between segments
            continue;
        }
        const uchar marker = d[i + 1];
        if (marker == 0xFF) {
            ++i; // fill byte
            continue;
        }
        if (marker == 0xD9) {
            facts.complete = true;
            return facts;
        }
        if (marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE) {
            facts.progressive = true;
            facts.coefficientBytes = std::max(facts.coefficientBytes, coefficientBytes(d + i + 4, n - i - 4));
        }
        if (marker == 0xDA)
            ++facts.scans;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        if (i + 3 >= n)
            return facts;
        const qint64 length = (qint64(d[i + 2]) << 8) | d[i + 3];
        if (length < 2)
            return facts;
        i += 2 + length;
        if (marker == 0xDA) {
            // Entropy-coded data runs to the next marker that is not a stuffed byte or a restart.
            while (i + 1 < n) {
                const void* ff = std::memchr(d + i, 0xFF, std::size_t(n - i - 1));
                if (!ff)
                    return facts;
                i = static_cast<const uchar*>(ff) - d;
                if (d[i + 1] != 0x00 && !(d[i + 1] >= 0xD0 && d[i + 1] <= 0xD7))
                    break;
                ++i;
            }
        }
    }
    return facts;
}

LoadResult LoadPicture(const QString& path, QSize box, qreal dpr)
{
    configureReaders();
    LoadResult r;
    if (path.isEmpty()) {
        r.error = RunError::make(RunError::FileNotFound, path);
        return r;
    }
    const int fd = Files::OpenRegular(path);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR)
            r.error = RunError::make(RunError::FileNotFound, path);
        else if (e == EISDIR || e == EINVAL)
            r.error = notAPicture(e == EISDIR ? QStringLiteral("a folder") : QStringLiteral("not a regular file"));
        else
            r.error = RunError::make(RunError::PathFileAccess, QString::fromLocal8Bit(std::strerror(e)));
        return r;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        r.error = RunError::make(RunError::PathFileAccess, file.errorString());
        return r;
    }
    if (file.size() == 0) {
        r.error = notAPicture(QStringLiteral("empty file"));
        return r;
    }
    const QByteArray head = file.peek(64);
    if (head.startsWith("BM")) {
        bool handled = false;
        LoadResult bmp = fromBmp(path, box, dpr, handled);
        if (handled)
            return bmp;
    }
    r = WmfProcess::LooksLikeWmf(head) ? fromMetafile(path, file, box, dpr) : fromImageReader(file, box, dpr);
    if (!r.error.failed())
        r.picture.sourcePath = path;
    return r;
}

Picture PictureFromImage(const QImage& image, QSize box, qreal dpr)
{
    Picture p;
    if (image.isNull())
        return p;
    p.natural = image.size();
    p.full = opaque32(image); // kept, saved and copied as it is shown
    p.full.setDevicePixelRatio(1.0);
    p.shown = finish(p.full, targetSize(image.size(), box), dpr);
    return p;
}

QImage ShownImage(const QImage& image, QSize size, qreal dpr)
{
    return finish(image, size, dpr);
}

Picture DrawnPlaceholder(QSize box, qreal dpr, bool unreadable)
{
    const QSize natural(111, 111);
    const QSize size = box.isEmpty() ? natural : box.boundedTo(QSize(512, 512)).expandedTo(QSize(16, 16));
    QImage image(size, QImage::Format_RGB32);
    image.fill(unreadable ? QColor(0xf3, 0xe3, 0xdc) : QColor(0xf1, 0xec, 0xe1));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size.width() / 111.0;
    painter.setPen(QPen(unreadable ? QColor(0xa0, 0x3a, 0x2a) : QColor(0xb8, 0xae, 0x9a), 2 * unit, Qt::DashLine));
    painter.drawRoundedRect(QRectF(6 * unit, 6 * unit, 99 * unit, 99 * unit), 8 * unit, 8 * unit);
    if (unreadable) {
        QFont font = painter.font();
        font.setPixelSize(std::max(6, int(12 * unit)));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(0x8b, 0x1e, 0x1e));
        painter.drawText(QRectF(8 * unit, 8 * unit, 95 * unit, 95 * unit), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("This picture cannot be shown"));
    }
    painter.end();
    Picture p;
    p.natural = natural;
    p.shown = finish(image, {}, dpr);
    return p;
}

Picture Reload(const Picture& picture, QSize box, qreal dpr)
{
    if (!picture.sourcePath.isEmpty()) {
        LoadResult loaded = LoadPicture(picture.sourcePath, box, dpr);
        if (loaded.error.failed())
            return picture;
        // A kept copy stays open for as long as any picture read from it is held.
        loaded.picture.kept = picture.kept;
        loaded.picture.originalName = picture.originalName;
        return loaded.picture;
    }
    if (!picture.full.isNull())
        return PictureFromImage(picture.full, box, dpr);
    return picture;
}

} // namespace Pictures
