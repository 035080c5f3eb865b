#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// What the program and its decoder helper share: the limits every picture
// meets, the one pixel layout pictures are shown in, and Qt's readers with
// their checks. The loader runs the JPEG part in the program; every other
// format is decoded in the sealed helper (decoderprocess.h).
namespace Pictures {

// The most one decoded picture may take in memory.
inline constexpr qint64 MemoryBudgetBytes = 256ll << 20;
// The most pixels a picture may have, whatever size it is read at: reading
// every one of them must stay within about a second.
inline constexpr qint64 MaxPixels = 120'000'000;
// The most scans a progressive JPEG may have: each one is a pass over every coefficient.
inline constexpr int MaxProgressiveScans = 100;

// The set of pictures the program can read. Raised whenever it grows (a format, a
// decoder, a limit), so that a fail entry kept for a file the old set could not read
// is not believed and the file is read again (2: TIFF, HEIC/HEIF and AVIF in the helper;
// 3: phone HEIF and grid AVIF, which the seal used to stop; TIFF by libtiff itself, CMYK and
// YCCK JPEG; 4: AVIF through libavif, its sequences without a still picture and its layered
// pictures).
inline constexpr char ReadersGeneration[] = "4";

// What the loader checks in a JPEG stream before decoding it.
struct JpegFacts {
    bool complete = false;    // runs to its end-of-image marker (a truncated one does not)
    bool progressive = false; // its decoder keeps every coefficient of the picture in memory
    qint64 coefficientBytes = 0; // what those coefficients take
    int scans = 0;               // start-of-scan markers
    int components = 0;          // of its frame: 4 for CMYK and YCCK
    // Progressive: its scans leave every coefficient of every component final (the last scan
    // over each one refines it to its last bit), as any usual encoder's do.
    bool everyCoefficientFinal = false;
};
JpegFacts ScanJpeg(const uchar* data, qint64 size);

// The size to decode to: within the box, or for the full picture the largest size the budget allows.
QSize TargetSize(QSize natural, QSize box);
bool TooManyPixels(QSize size);
qint64 PixelBytes(QSize size);
// Why a picture of `stored` pixels is not read (no size, too many pixels, over the memory budget);
// empty when it may be.
QString SizeRefused(QSize stored);
// Any pixel layout as the one layout the program keeps: 32-bit RGB, what is transparent laid on white.
QImage Opaque32(const QImage& image);
// Opaque32, then area-averaged to `want` (an empty size keeps its own), carrying `dpr`.
QImage Finished(const QImage& image, QSize want, qreal dpr);

// The picture's pixels, given in `space` (a colour profile the file carries), converted to
// sRGB as the screen, the printer and the saved bitmap take them; nothing when it has none.
void ToSrgb(QImage& image, const QColorSpace& space);

bool LooksLikeJpeg(const QByteArray& head);
// An ISO media file whose brand is a HEIF one (HEIC, HEIF, AVIF and their sequences).
bool LooksLikeHeif(const QByteArray& head);

// The buffer a decoder reads a picture into that it hands back as it is (whole, upright): in
// the decoder helper, the answer's buffer the program shares with it (the pixels then cross
// without a copy), once a picture; elsewhere a picture of its own.
QImage WholePictureCanvas(QSize size, QImage::Format format);
// Set by the decoder helper: where WholePictureCanvas takes its buffer from.
extern QImage (*WholePictureCanvasMaker)(QSize size, QImage::Format format);

// A picture as a decoder gives it: shown at the size asked for (device pixel ratio 1),
// its own upright size; or a null image and why it is not a picture (481).
struct Decoded {
    QImage shown;
    QSize natural;
    QString failure;
};
// Decodes `bytes` with Qt's readers, the format told from the content and
// taken only when it is one of `accepted`; orientation and colour profile
// applied, every limit checked before a pixel is decoded.
Decoded DecodeWithReader(QByteArray bytes, QSize box, const QList<QByteArray>& accepted);

} // namespace Pictures
