#include "heifdecoder.h"

#include "colourprofile.h"
#include "hdr.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Heif {
namespace {

constexpr int DecodingThreads = 4;

struct Release {
    void operator()(heif_context* c) const { heif_context_free(c); }
    void operator()(const heif_image_handle* h) const { heif_image_handle_release(h); }
    void operator()(const heif_image* i) const { heif_image_release(i); }
};

Pictures::Decoded failed(const QString& why)
{
    Pictures::Decoded d;
    d.failure = why;
    return d;
}

// The ICC profile the file carries, or nothing.
QByteArray iccOf(const heif_image_handle* handle)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC)
        return {};
    QByteArray icc(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), '\0');
    if (icc.isEmpty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
        return {};
    return icc;
}

// The colour profile the file carries: an ICC profile, or the primaries and curve of a colour
// box (Display P3, BT.2020, ...; sRGB and BT.709 are left as they are).
QColorSpace colourSpaceOf(const heif_image_handle* handle)
{
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        QByteArray icc(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), '\0');
        if (icc.isEmpty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
            return {};
        return QColorSpace::fromIccProfile(icc);
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx* nclx = nullptr;
        QColorSpace space;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx)
            space = Hdr::SdrSpace(nclx->color_primaries, nclx->transfer_characteristics);
        heif_nclx_color_profile_free(nclx);
        return space;
    }
    default:
        return {};
    }
}

// The colour box's primaries and transfer when it says PQ or HLG (the picture is then tone-mapped).
std::optional<std::pair<int, int>> hdrCodes(const heif_image_handle* handle)
{
    heif_color_profile_nclx* nclx = nullptr;
    std::optional<std::pair<int, int>> codes;
    if (heif_image_handle_get_color_profile_type(handle) == heif_color_profile_type_nclx &&
        heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx &&
        Hdr::IsHdr(nclx->transfer_characteristics))
        codes = std::make_pair(int(nclx->color_primaries), int(nclx->transfer_characteristics));
    heif_nclx_color_profile_free(nclx);
    return codes;
}

// A PQ or HLG picture, decoded at its own depth and tone-mapped to 8-bit sRGB at the size wanted.
QImage toneMapped(const heif_image_handle* handle, bool alpha, std::pair<int, int> codes, QSize natural, QSize want,
                  QString& failure)
{
    heif_image* decodedRaw = nullptr;
    const heif_error e = heif_decode_image(handle, &decodedRaw, heif_colorspace_RGB,
                                           alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE,
                                           nullptr);
    std::unique_ptr<const heif_image, Release> decoded(decodedRaw);
    if (e.code != heif_error_Ok || !decoded) {
        failure = QString::fromUtf8(e.message);
        return {};
    }
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int bits = heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved);
    if (!plane || stride <= 0 || bits <= 8 || bits > 16) {
        failure = QStringLiteral("the decoder gave back no high bit depth picture");
        return {};
    }
    if (QSize(heif_image_get_width(decoded.get(), heif_channel_interleaved),
              heif_image_get_height(decoded.get(), heif_channel_interleaved)) != natural) {
        failure = QStringLiteral("the decoder gave back another size");
        return {};
    }
    Hdr::Samples samples;
    samples.pixels = reinterpret_cast<const std::uint16_t*>(plane);
    samples.strideBytes = stride;
    samples.size = QSize(heif_image_get_width(decoded.get(), heif_channel_interleaved),
                         heif_image_get_height(decoded.get(), heif_channel_interleaved));
    samples.channels = alpha ? 4 : 3;
    samples.maxCode = (1 << bits) - 1;
    QImage wide = Hdr::Widened(samples);
    decoded.reset();
    QImage picture = Hdr::ToSdr(std::move(wide), want, codes.first, codes.second);
    if (picture.isNull())
        failure = QStringLiteral("too large to read");
    return picture;
}

// The file's own small picture of the main one, when it is at least `want` (the size shown, in
// device pixels) and shows the same picture: no larger than the main picture and of its aspect
// once both are turned as the file says (within a thumbnail pixel's rounding), so a thumbnail
// left unturned or cropped otherwise is never taken. Nothing when none will do.
const heif_image_handle* thumbnailFor(const heif_image_handle* main, QSize natural, QSize want)
{
    const int count = heif_image_handle_get_number_of_thumbnails(main);
    if (count <= 0 || count > 16)
        return nullptr;
    std::vector<heif_item_id> ids(std::size_t(count), 0);
    ids.resize(std::size_t(heif_image_handle_get_list_of_thumbnail_IDs(main, ids.data(), count)));
    const heif_image_handle* best = nullptr;
    qint64 bestPixels = 0;
    for (const heif_item_id id : ids) {
        heif_image_handle* raw = nullptr;
        if (heif_image_handle_get_thumbnail(main, id, &raw).code != heif_error_Ok || !raw)
            continue;
        std::unique_ptr<const heif_image_handle, Release> thumbnail(raw);
        const qint64 w = heif_image_handle_get_width(raw);
        const qint64 h = heif_image_handle_get_height(raw);
        const bool covers = w >= want.width() && h >= want.height();
        const bool smaller = w <= natural.width() && h <= natural.height();
        const bool sameAspect = std::abs(w * natural.height() - h * natural.width()) <
                                std::max(natural.width(), natural.height());
        // The smallest that will do costs least to decode.
        if (covers && smaller && sameAspect && (!best || w * h < bestPixels)) {
            if (best)
                heif_image_handle_release(best);
            best = thumbnail.release();
            bestPixels = w * h;
        }
    }
    return best;
}

} // namespace

void Prepare()
{
    heif_init(nullptr);
}

Pictures::Decoded Decode(const QByteArray& bytes, QSize box)
{
    std::unique_ptr<heif_context, Release> context(heif_context_alloc());
    if (!context)
        return failed(QStringLiteral("out of memory"));
    // No side longer than the pixel limit allows; checked while the boxes are read.
    heif_context_set_maximum_image_size_limit(context.get(), 32768);
    // A grid's tiles (a phone photo's 48) on this many threads, however many processors there are:
    // the seal holds whichever is more.
    heif_context_set_max_decoding_threads(context.get(), DecodingThreads);
    heif_error e = heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                              std::size_t(bytes.size()), nullptr);
    if (e.code != heif_error_Ok)
        return failed(QString::fromUtf8(e.message));
    heif_image_handle* raw = nullptr;
    e = heif_context_get_primary_image_handle(context.get(), &raw);
    std::unique_ptr<const heif_image_handle, Release> handle(raw);
    if (e.code != heif_error_Ok || !handle)
        return failed(QString::fromUtf8(e.message));
    // The size after the file's rotation: the upright picture.
    const QSize natural(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()));
    if (const QString refused = Pictures::SizeRefused(natural); !refused.isEmpty())
        return failed(refused);
    const QSize want = Pictures::TargetSize(natural, box);
    // A slot or a thumbnail entry from the file's own small picture when it will do.
    std::unique_ptr<const heif_image_handle, Release> thumbnail(box.isEmpty() ? nullptr
                                                                              : thumbnailFor(handle.get(), natural, want));
    const heif_image_handle* source = thumbnail ? thumbnail.get() : handle.get();
    // A thumbnail without a colour box or profile of its own is in its main picture's colours.
    const heif_image_handle* colours =
        heif_image_handle_get_color_profile_type(source) != heif_color_profile_type_not_present ? source : handle.get();
    const QSize sourceSize(heif_image_handle_get_width(source), heif_image_handle_get_height(source));
    const bool alpha = heif_image_handle_has_alpha_channel(source);
    if (const std::optional<std::pair<int, int>> codes = hdrCodes(colours)) {
        QString failure;
        const QImage picture = toneMapped(source, alpha, *codes, sourceSize, want, failure);
        if (picture.isNull())
            return failed(failure);
        Pictures::Decoded d;
        d.natural = natural;
        d.shown = Pictures::Finished(picture, want, 1.0);
        return d;
    }
    heif_image* decodedRaw = nullptr;
    e = heif_decode_image(source, &decodedRaw, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
    std::unique_ptr<const heif_image, Release> decoded(decodedRaw);
    if (e.code != heif_error_Ok || !decoded)
        return failed(QString::fromUtf8(e.message));
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const QSize size(heif_image_get_width(decoded.get(), heif_channel_interleaved),
                     heif_image_get_height(decoded.get(), heif_channel_interleaved));
    if (!plane || size != sourceSize || stride <= 0)
        return failed(QStringLiteral("the decoder gave back another size"));
    const QImage view(plane, size.width(), size.height(), stride,
                      alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    Pictures::Decoded d;
    d.natural = natural;
    d.shown = Pictures::Finished(view, want, 1.0);
    // An ICC profile of any kind through the colour module (tables too); a colour box by its primaries.
    const QByteArray icc = iccOf(colours);
    if (icc.isEmpty() || !Colour::ToSrgb(d.shown, icc, Colour::Samples::Rgb))
        Pictures::ToSrgb(d.shown, colourSpaceOf(colours));
    if (d.shown.constBits() == view.constBits())
        d.shown = d.shown.copy(); // never the decoder's plane, which goes with it
    return d;
}

} // namespace Heif
