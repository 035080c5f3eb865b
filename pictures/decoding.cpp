#include "decoding.h"

#include "bmpreader.h"
#include "cmykjpeg.h"
#include "colourprofile.h"
#include "progressivejpeg.h"
#include "readermends.h"

#include <QBuffer>
#include <QColorTransform>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <vector>
#include <cstring>

namespace Pictures {

qint64 PixelBytes(QSize s)
{
    return qint64(s.width()) * qint64(s.height()) * 4;
}

QSize TargetSize(QSize natural, QSize box)
{
    if (!box.isEmpty())
        return Bmp::FitWithin(natural, box);
    if (PixelBytes(natural) <= MemoryBudgetBytes)
        return natural;
    const double shrink = std::sqrt(double(MemoryBudgetBytes) / double(PixelBytes(natural)));
    return Bmp::FitWithin(natural, QSize(int(natural.width() * shrink), int(natural.height() * shrink)));
}

bool TooManyPixels(QSize s)
{
    return qint64(s.width()) * qint64(s.height()) > MaxPixels;
}

QString SizeRefused(QSize stored)
{
    if (stored.isEmpty())
        return QStringLiteral("no picture size");
    if (TooManyPixels(stored))
        return QStringLiteral("too many pixels to read");
    if (PixelBytes(stored) > MemoryBudgetBytes)
        return QStringLiteral("too large to read");
    return {};
}

// Every pixel layout a reader can hand back (1 bit in either order, 2, 4 and 8-bit palettes,
// grey of 8 or 16 bits, 16 bits a channel, with or without alpha) as the one layout the program
// scales, shows and keeps: 32-bit RGB, with what is transparent laid on white, as it prints and
// as a bitmap keeps it. Qt's own scaling of the smaller layouts is not to be trusted (a 1-bit
// picture shrunk more than twice loses its colours), so this comes before any scaling.
QImage Opaque32(const QImage& image)
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

QImage Finished(const QImage& image, QSize want, qreal dpr)
{
    QImage shown = Opaque32(image);
    if (!want.isEmpty() && shown.size() != want)
        shown = shown.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    shown.setDevicePixelRatio(dpr);
    return shown;
}

void ToSrgb(QImage& image, const QColorSpace& space)
{
    static const QColorSpace srgb(QColorSpace::SRgb);
    if (!space.isValid() || space == srgb || image.isNull())
        return;
    // On the pixels shown (after scaling): a slot costs a slot's worth of conversion. The
    // transform's tables take longer to make than a slot to convert, so the last few are kept.
    struct Made {
        QColorSpace space;
        QColorTransform transform;
    };
    thread_local std::vector<Made> made;
    auto found = std::find_if(made.begin(), made.end(), [&space](const Made& m) { return m.space == space; });
    if (found == made.end()) {
        if (made.size() >= 4)
            made.erase(made.begin());
        made.push_back({space, space.transformationToColorSpace(srgb)});
        found = made.end() - 1;
    }
    const qreal dpr = image.devicePixelRatio();
    image.applyColorTransform(found->transform);
    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
}

QImage (*WholePictureCanvasMaker)(QSize size, QImage::Format format) = nullptr;

QImage WholePictureCanvas(QSize size, QImage::Format format)
{
    QImage made = WholePictureCanvasMaker ? WholePictureCanvasMaker(size, format) : QImage();
    return made.isNull() ? QImage(size, format) : made;
}

bool LooksLikeJpeg(const QByteArray& head)
{
    return head.startsWith("\xFF\xD8\xFF");
}

bool LooksLikeHeif(const QByteArray& head)
{
    if (head.size() < 12 || head.mid(4, 4) != "ftyp")
        return false;
    static const QList<QByteArray> brands{"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1",
                                          "msf1", "avif", "avis", "mif2"};
    return brands.contains(head.mid(8, 4));
}

Decoded DecodeWithReader(QByteArray bytes, QSize box, const QList<QByteArray>& accepted)
{
    Decoded r;
    const std::optional<ReaderMends::ColourKey> colourKey = ReaderMends::TakePngColourKey(bytes);
    const uchar* data = reinterpret_cast<const uchar*>(bytes.constData());
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    // Turned here, after the colour profile is taken: Qt's quarter turns drop it.
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        r.failure = reader.errorString();
        return r;
    }
    const QByteArray format = reader.format();
    // Only the kinds of picture an album holds or another program pastes (ICNS, TGA, ... are not).
    if (!accepted.contains(format)) {
        r.failure = QStringLiteral("not a kind of picture an album holds (%1)").arg(QString::fromLatin1(format));
        return r;
    }
    qint64 progressiveBytes = 0;
    bool inks = false; // CMYK or YCCK
    bool scansMayStop = false; // progressive, its reading may stop once the pixels shown are known
    if (format == "jpeg" || format == "jpg") {
        const JpegFacts facts = ScanJpeg(data, bytes.size());
        // A truncated JPEG decodes to a half-grey picture; it is not the user's picture.
        if (!facts.complete) {
            r.failure = QStringLiteral("truncated JPEG");
            return r;
        }
        progressiveBytes = facts.progressive ? facts.coefficientBytes : 0;
        if (facts.progressive && facts.scans > MaxProgressiveScans) {
            r.failure = QStringLiteral("too many scans to read");
            return r;
        }
        inks = facts.components == 4;
        scansMayStop = facts.everyCoefficientFinal && (facts.components == 3 || facts.components == 1);
    }
    const QByteArray icc = Colour::EmbeddedProfile(bytes);

    // An icon shows its largest picture, not its first.
    const int iconEntry = format == "ico" || format == "cur" ? ReaderMends::LargestIconEntry(reader) : 0;
    const QSize stored = reader.size();
    // The EXIF orientation as the reader found it, else as the file carries it where Qt's reader
    // does not look (PNG's eXIf, WebP's EXIF chunk).
    const int exifOrientation = reader.transformation() != QImageIOHandler::TransformationNone
                                    ? ReaderMends::ExifOrientationOf(reader.transformation())
                                    : ReaderMends::ExifOrientation(bytes, format);
    const bool turned = exifOrientation >= 5;
    QSize want;
    QSize wantStored;
    if (stored.isValid() && !stored.isEmpty()) {
        const QSize upright = turned ? stored.transposed() : stored;
        want = TargetSize(upright, box);
        wantStored = turned ? want.transposed() : want;
        // A progressive JPEG keeps every coefficient in memory while it decodes.
        if (progressiveBytes > MemoryBudgetBytes) {
            r.failure = QStringLiteral("too large to read");
            return r;
        }
        if (TooManyPixels(stored)) {
            r.failure = QStringLiteral("too many pixels to read");
            return r;
        }
        // Only the JPEG decoder reads straight into a smaller size; every other
        // reader decodes the whole picture first, so the whole must fit the budget.
        const bool decodesScaled = format == "jpeg" || format == "jpg";
        if (!decodesScaled && PixelBytes(stored) > MemoryBudgetBytes) {
            r.failure = QStringLiteral("too large to read");
            return r;
        }
        // Only there: the other readers' scaled decoding (PNG's) garbles every layout but 32-bit.
        if (decodesScaled && wantStored != stored && reader.supportsOption(QImageIOHandler::ScaledSize))
            reader.setScaledSize(wantStored);
    }
    QImage image;
    if (inks) {
        // Read here, through the file's press profile, as stored; stood upright below.
        CmykJpeg::Result read = CmykJpeg::Decode(bytes, wantStored, icc);
        if (read.image.isNull()) {
            r.failure = read.failure;
            return r;
        }
        image = read.image;
    } else if (scansMayStop && !wantStored.isEmpty() && wantStored != stored) {
        ProgressiveJpeg::Result read = ProgressiveJpeg::Decode(bytes, wantStored, icc);
        if (read.taken && read.image.isNull()) {
            r.failure = read.failure;
            return r;
        }
        image = read.taken ? read.image : reader.read();
    } else {
        image = reader.read();
    }
    if (image.isNull()) {
        r.failure = reader.errorString();
        return r;
    }
    const QColorSpace space = image.colorSpace(); // before turning, which may drop it
    const Colour::Samples samples = image.format() == QImage::Format_Grayscale16 ||
                                            (image.depth() <= 8 && image.isGrayscale())
                                        ? Colour::Samples::Grey
                                        : Colour::Samples::Rgb;
    if (colourKey)
        image = ReaderMends::ApplyColourKey(image, *colourKey);
    if (format == "ico" && image.size() == stored)
        image = ReaderMends::ApplyIconMask(image, bytes, iconEntry);
    if (exifOrientation != 1)
        image = ReaderMends::Oriented(image, exifOrientation);
    if (want.isEmpty())
        want = TargetSize(image.size(), box);
    r.natural = stored.isValid() && !stored.isEmpty() ? (turned ? stored.transposed() : stored) : image.size();
    r.shown = Finished(image, want, 1.0);
    // The inks are made sRGB as they are read; any other profile on the pixels shown.
    if (!inks && (icc.isEmpty() || !Colour::ToSrgb(r.shown, icc, samples)))
        ToSrgb(r.shown, space);
    // The pixels are sRGB now; the reader's profile must not travel on with them (into a copy's
    // PNG or a thumbnail other programs read, which would convert them a second time).
    if (r.shown.colorSpace().isValid())
        r.shown.setColorSpace(QColorSpace(QColorSpace::SRgb));
    return r;
}

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

// What a progressive JPEG's scans leave of each coefficient: for every component of the frame
// and every coefficient (zigzag order), the bit its last scan brought it to; -1 never read.
struct ScanBits {
    int ids[4] = {-1, -1, -1, -1};
    int count = 0;
    signed char bits[4][64];

    void frame(const uchar* f, qint64 available)
    {
        count = available >= 6 ? std::min<int>(f[5], 4) : 0;
        for (int c = 0; c < count; ++c)
            ids[c] = available >= 6 + 3 * (c + 1) ? f[6 + 3 * c] : -1;
        std::memset(bits, -1, sizeof bits);
    }
    void scan(const uchar* s, qint64 available)
    {
        if (available < 1 || available < 1 + 2 * s[0] + 3)
            return;
        const int inScan = s[0];
        const uchar* spectral = s + 1 + 2 * inScan;
        const int first = spectral[0], last = std::min<int>(spectral[1], 63), low = spectral[2] & 15;
        for (int i = 0; i < inScan; ++i)
            for (int c = 0; c < count; ++c)
                if (ids[c] == s[1 + 2 * i])
                    for (int k = first; k <= last; ++k)
                        bits[c][k] = static_cast<signed char>(low);
    }
    bool final() const
    {
        for (int c = 0; c < count; ++c)
            for (int k = 0; k < 64; ++k)
                if (bits[c][k] != 0)
                    return false;
        return count > 0;
    }
};
} // namespace

JpegFacts ScanJpeg(const uchar* d, qint64 n)
{
    JpegFacts facts;
    ScanBits scanBits;
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
            facts.everyCoefficientFinal = facts.progressive && scanBits.final();
            return facts;
        }
        if (marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE) {
            facts.progressive = true;
            facts.coefficientBytes = std::max(facts.coefficientBytes, coefficientBytes(d + i + 4, n - i - 4));
            scanBits.frame(d + i + 4, n - i - 4);
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && i + 9 < n)
            facts.components = d[i + 9];
        if (marker == 0xDA) {
            ++facts.scans;
            scanBits.scan(d + i + 4, n - i - 4);
        }
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

} // namespace Pictures
