#include "wmfreader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

extern "C" {
#include <libwmf/api.h>
#include <libwmf/gd.h>
}

namespace Wmf {

namespace {
wmfAPI* prepared = nullptr;

wmfAPI* createApi()
{
    wmfAPI* api = nullptr;
    wmfAPI_Options options;
    std::memset(&options, 0, sizeof options);
    options.function = wmf_gd_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api)
            wmf_api_destroy(api);
        return nullptr;
    }
    return api;
}
} // namespace

bool Prepare()
{
    if (!prepared)
        prepared = createApi();
    return prepared != nullptr;
}

QImage Render(const QByteArray& data, int maxSide)
{
    // libwmf keeps global state in places; one rendering at a time.
    static std::mutex serial;
    std::lock_guard<std::mutex> lock(serial);

    QByteArray copy = data; // libwmf reads from a mutable buffer
    wmfAPI* api = prepared ? prepared : createApi();
    prepared = nullptr; // one rendering for each
    if (!api)
        return {};
    QImage image;
    wmfD_Rect bbox;
    if (wmf_mem_open(api, reinterpret_cast<unsigned char*>(copy.data()), long(copy.size())) == wmf_E_None) {
        unsigned int width = 0, height = 0;
        if (wmf_scan(api, 0, &bbox) == wmf_E_None &&
            wmf_display_size(api, &width, &height, 96, 96) == wmf_E_None && width > 0 && height > 0) {
            const double scale = std::min(1.0, double(maxSide) / std::max(width, height));
            width = std::max(1u, unsigned(std::lround(width * scale)));
            height = std::max(1u, unsigned(std::lround(height * scale)));
            wmf_gd_t* gd = WMF_GD_GetData(api);
            gd->type = wmf_gd_image;
            gd->bbox = bbox;
            gd->width = width;
            gd->height = height;
            if (wmf_play(api, 0, &bbox) == wmf_E_None && gd->gd_image) {
                const int* pixels = wmf_gd_image_pixels(gd->gd_image);
                if (pixels) {
                    image = QImage(int(width), int(height), QImage::Format_RGB32);
                    for (unsigned y = 0; y < height; ++y) {
                        auto* line = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
                        for (unsigned x = 0; x < width; ++x) {
                            // gd true colour: 7-bit alpha where 127 is fully transparent; show on white.
                            const unsigned v = unsigned(pixels[std::size_t(y) * width + x]);
                            const int alpha = 255 - int((v >> 24) & 0x7F) * 255 / 127;
                            const auto mix = [alpha](int c) { return (c * alpha + 255 * (255 - alpha)) / 255; };
                            line[x] = qRgb(mix(int((v >> 16) & 0xFF)), mix(int((v >> 8) & 0xFF)), mix(int(v & 0xFF)));
                        }
                    }
                }
            }
        }
        wmf_mem_close(api);
    }
    wmf_api_destroy(api);
    return image;
}

} // namespace Wmf
