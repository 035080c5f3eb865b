#include "webpdecoder.h"

#include "colourprofile.h"
#include "readermends.h"

#include <QColorSpace>

#include <webp/decode.h>

namespace Webp {

bool LooksLikeWebp(const QByteArray& head)
{
    return head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP";
}

Pictures::Decoded Decode(const QByteArray& bytes, QSize box, bool& handled)
{
    Pictures::Decoded d;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const std::size_t size = std::size_t(bytes.size());
    WebPBitstreamFeatures features{};
    handled = WebPGetFeatures(data, size, &features) == VP8_STATUS_OK && !features.has_animation;
    if (!handled)
        return d;
    const QSize stored(features.width, features.height);
    d.failure = Pictures::SizeRefused(stored);
    if (!d.failure.isEmpty())
        return d;
    const int orientation = ReaderMends::ExifOrientation(bytes, "webp");
    const QImage::Format format = features.has_alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    // Handed back as it is read (no turn, no scaling): straight into the answer's buffer.
    const bool whole = orientation == 1 && Pictures::TargetSize(stored, box) == stored;
    QImage image = whole ? Pictures::WholePictureCanvas(stored, format) : QImage(stored, format);
    if (image.isNull()) {
        d.failure = QStringLiteral("too large to read");
        return d;
    }
    // BGRA in memory is ARGB32 on a little-endian machine, ARGB on a big-endian one.
    const bool read = Q_BYTE_ORDER == Q_LITTLE_ENDIAN
                          ? WebPDecodeBGRAInto(data, size, image.bits(), std::size_t(image.sizeInBytes()), int(image.bytesPerLine()))
                          : WebPDecodeARGBInto(data, size, image.bits(), std::size_t(image.sizeInBytes()), int(image.bytesPerLine()));
    if (!read) {
        d.failure = QStringLiteral("damaged WebP");
        return d;
    }
    if (orientation != 1)
        image = ReaderMends::Oriented(image, orientation);
    d.natural = image.size();
    d.shown = Pictures::Finished(image, Pictures::TargetSize(d.natural, box), 1.0);
    image = QImage();
    const QByteArray icc = Colour::EmbeddedProfile(bytes);
    if (!icc.isEmpty() && !Colour::ToSrgb(d.shown, icc, Colour::Samples::Rgb))
        Pictures::ToSrgb(d.shown, QColorSpace::fromIccProfile(icc));
    return d;
}

} // namespace Webp
