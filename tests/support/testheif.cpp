#include "testheif.h"

#include <algorithm>
#include <cstring>

namespace TestHeif {
namespace {

heif_error append(heif_context*, const void* data, size_t size, void* into)
{
    static_cast<QByteArray*>(into)->append(static_cast<const char*>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

heif_image* imageOf(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    heif_image* image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    return image;
}

} // namespace

QByteArray Encode(const QImage& picture, heif_compression_format format, const Options& options)
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    QByteArray bytes;
    if (heif_context_get_encoder_for_format(context, format, &encoder).code == heif_error_Ok) {
        heif_encoder_set_lossy_quality(encoder, options.quality);
        if (options.preset)
            heif_encoder_set_parameter_string(encoder, "preset", options.preset);
        heif_image* image = imageOf(picture);
        if (options.prepare)
            options.prepare(image);
        heif_encoding_options* encoding = heif_encoding_options_alloc();
        encoding->image_orientation = options.orientation;
        heif_image_handle* main = nullptr;
        bool encoded = heif_context_encode_image(context, image, encoder, encoding, &main).code == heif_error_Ok;
        if (encoded && !options.thumbnail.isNull()) {
            // libheif makes a thumbnail only of a larger picture, scaling it to the box given:
            // handed twice the size wanted, it halves it again.
            const QImage twice = options.thumbnail.scaled(options.thumbnail.size() * 2);
            heif_image* small = imageOf(twice);
            heif_image_handle* thumbnail = nullptr;
            const int side = std::max(options.thumbnail.width(), options.thumbnail.height());
            encoded = heif_context_encode_thumbnail(context, small, main, encoder, encoding, side, &thumbnail).code ==
                          heif_error_Ok &&
                      thumbnail;
            heif_image_handle_release(thumbnail);
            heif_image_release(small);
        }
        heif_image_handle_release(main);
        if (encoded) {
            heif_writer writer{1, append};
            heif_context_write(context, &writer, &bytes);
        }
        heif_encoding_options_free(encoding);
        heif_image_release(image);
        heif_encoder_release(encoder);
    }
    heif_context_free(context);
    return bytes;
}

} // namespace TestHeif
