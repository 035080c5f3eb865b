#include "formatdecoders.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryFile>

#include <avif/avif.h>
#include <gif_lib.h>
#include <libheif/heif.h>
#include <png.h>
#include <tiffio.h>
#include <webp/decode.h>

#include <cstring>
#include <vector>

namespace FormatDecoders {
namespace {

QByteArray written(const QImage& picture, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format, quality);
    return bytes;
}

struct GifInput {
    const QByteArray* bytes;
    int at = 0;
};

int readGif(GifFileType* gif, GifByteType* into, int size)
{
    auto* input = static_cast<GifInput*>(gif->UserData);
    const int n = std::min<int>(size, int(input->bytes->size()) - input->at);
    std::memcpy(into, input->bytes->constData() + input->at, std::size_t(n));
    input->at += n;
    return n;
}

int writeGif(GifFileType* gif, const GifByteType* from, int size)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(from), size);
    return size;
}

} // namespace

QByteArray MakePng(const QImage& picture)
{
    return written(picture.convertToFormat(QImage::Format_RGB888), "PNG");
}

QByteArray MakeWebp(const QImage& picture)
{
    return written(picture, "WEBP", 90);
}

QByteArray MakeTiff16(const QImage& picture)
{
    QTemporaryFile file;
    file.open();
    const QImage rgb = picture.convertToFormat(QImage::Format_RGBX64);
    TIFF* tiff = TIFFOpen(file.fileName().toLocal8Bit().constData(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, rgb.width());
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, rgb.height());
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<quint16> row(std::size_t(rgb.width()) * 3);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* in = reinterpret_cast<const quint16*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            std::memcpy(&row[std::size_t(x) * 3], in + x * 4, 6);
        TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0);
    }
    TIFFClose(tiff);
    return file.readAll();
}

QByteArray MakeGif(const QImage& picture)
{
    const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, writeGif, &error);
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < indexed.colorCount() && i < 256; ++i)
        colours[std::size_t(i)] = {GifByteType(qRed(indexed.color(i))), GifByteType(qGreen(indexed.color(i))),
                                   GifByteType(qBlue(indexed.color(i)))};
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(gif, indexed.width(), indexed.height(), 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), false, nullptr);
    for (int y = 0; y < indexed.height(); ++y)
        EGifPutLine(gif, const_cast<GifPixelType*>(indexed.constScanLine(y)), indexed.width());
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    return bytes;
}

QImage Png(const QByteArray& bytes)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.constData(), std::size_t(bytes.size())))
        return {};
    image.format = PNG_FORMAT_BGRA;
    QImage out(int(image.width), int(image.height), QImage::Format_ARGB32);
    if (!png_image_finish_read(&image, nullptr, out.bits(), int(out.bytesPerLine()), nullptr))
        return {};
    return out;
}

QImage Webp(const QByteArray& bytes)
{
    int width = 0, height = 0;
    if (!WebPGetInfo(reinterpret_cast<const uint8_t*>(bytes.constData()), std::size_t(bytes.size()), &width, &height))
        return {};
    QImage out(width, height, QImage::Format_ARGB32);
    if (!WebPDecodeBGRAInto(reinterpret_cast<const uint8_t*>(bytes.constData()), std::size_t(bytes.size()), out.bits(),
                            std::size_t(out.sizeInBytes()), int(out.bytesPerLine())))
        return {};
    return out;
}

QImage Tiff(const QString& path)
{
    TIFF* tiff = TIFFOpen(path.toLocal8Bit().constData(), "r");
    if (!tiff)
        return {};
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    // libtiff's own reading to 8-bit RGBA, top row first.
    QImage out(int(width), int(height), QImage::Format_RGBA8888);
    const bool ok = TIFFReadRGBAImageOriented(tiff, width, height, reinterpret_cast<uint32_t*>(out.bits()),
                                              ORIENTATION_TOPLEFT, 0) != 0;
    TIFFClose(tiff);
    return ok ? out : QImage();
}

QImage Gif(const QByteArray& bytes)
{
    GifInput input{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&input, readGif, &error);
    if (!gif)
        return {};
    QImage out;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage& frame = gif->SavedImages[0];
        const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
        out = QImage(gif->SWidth, gif->SHeight, QImage::Format_RGB32);
        out.fill(Qt::white);
        for (int y = 0; y < frame.ImageDesc.Height && y + frame.ImageDesc.Top < out.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(out.scanLine(y + frame.ImageDesc.Top));
            const GifByteType* in = frame.RasterBits + std::size_t(y) * std::size_t(frame.ImageDesc.Width);
            for (int x = 0; x < frame.ImageDesc.Width && x + frame.ImageDesc.Left < out.width(); ++x) {
                const GifColorType c = map && in[x] < map->ColorCount ? map->Colors[in[x]] : GifColorType{0, 0, 0};
                row[x + frame.ImageDesc.Left] = qRgb(c.Red, c.Green, c.Blue);
            }
        }
    }
    DGifCloseFile(gif, &error);
    return out;
}

QImage Heif(const QByteArray& bytes)
{
    heif_context* context = heif_context_alloc();
    heif_context_read_from_memory_without_copy(context, bytes.constData(), std::size_t(bytes.size()), nullptr);
    heif_image_handle* handle = nullptr;
    heif_context_get_primary_image_handle(context, &handle);
    heif_image* decoded = nullptr;
    QImage out;
    if (handle && heif_decode_image(handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code ==
                      heif_error_Ok) {
        int stride = 0;
        const uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
        out = QImage(plane, heif_image_get_width(decoded, heif_channel_interleaved),
                     heif_image_get_height(decoded, heif_channel_interleaved), stride, QImage::Format_RGBA8888)
                  .copy();
        heif_image_release(decoded);
    }
    heif_image_handle_release(handle);
    heif_context_free(context);
    return out;
}

QImage Avif(const QByteArray& bytes)
{
    avifDecoder* decoder = avifDecoderCreate();
    avifImage* image = avifImageCreateEmpty();
    QImage out;
    if (avifDecoderReadMemory(decoder, image, reinterpret_cast<const uint8_t*>(bytes.constData()),
                              std::size_t(bytes.size())) == AVIF_RESULT_OK) {
        out = QImage(int(image->width), int(image->height), QImage::Format_ARGB32);
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, image);
        rgb.format = AVIF_RGB_FORMAT_BGRA;
        rgb.depth = 8;
        rgb.pixels = out.bits();
        rgb.rowBytes = uint32_t(out.bytesPerLine());
        if (avifImageYUVToRGB(image, &rgb) != AVIF_RESULT_OK)
            out = QImage();
    }
    avifImageDestroy(image);
    avifDecoderDestroy(decoder);
    return out;
}

} // namespace FormatDecoders
