#include "regiondecoder.h"

#include "colourprofile.h"
#include "decoding.h"
#include "fileops.h"
#include "jpegerrors.h"
#include "readermends.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

namespace RegionDecoder {
namespace {

// As the loader: no picture of ours comes in a larger file.
constexpr qint64 MaxFileBytes = 128ll << 20;

// libjpeg leaves by longjmp: nothing here has a destructor; the rows and the image are the caller's.
bool header(jpeg_decompress_struct& info, JpegErrors& error, const QByteArray& bytes)
{
    if (setjmp(error.jump))
        return false;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    return true;
}

// `scaled`: the stored part at the decoder's scale num/8; `out` receives exactly that part.
bool decodePart(jpeg_decompress_struct& info, JpegErrors& error, int num, QRect scaled, QImage& out,
                std::vector<uchar>& row)
{
    if (setjmp(error.jump))
        return false;
    info.scale_num = unsigned(num);
    info.scale_denom = 8;
    info.out_color_space = JCS_EXT_BGRX; // Format_RGB32 as it lies in memory, X set to 255
    jpeg_start_decompress(&info);
    JDIMENSION left = JDIMENSION(scaled.left());
    JDIMENSION width = JDIMENSION(scaled.width());
    // The crop widens to whole blocks: `left` moves back to a block edge, `width` grows.
    jpeg_crop_scanline(&info, &left, &width);
    row.resize(std::size_t(width) * 4);
    if (scaled.top() > 0 && jpeg_skip_scanlines(&info, JDIMENSION(scaled.top())) != JDIMENSION(scaled.top()))
        return false;
    const std::size_t skip = std::size_t(scaled.left() - int(left)) * 4;
    for (int y = 0; y < scaled.height(); ++y) {
        JSAMPROW rows[1] = {row.data()};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            return false;
        std::copy_n(row.data() + skip, std::size_t(scaled.width()) * 4, out.scanLine(y));
    }
    return true;
}

// The bytes written while transcoding, grown as libjpeg fills them: owned here, so that an
// error part way leaves nothing behind (jpeg_mem_dest's buffer would leak or dangle then).
struct Sink {
    jpeg_destination_mgr manager{};
    QByteArray bytes;
};

Sink& sinkOf(j_compress_ptr info)
{
    return *static_cast<Sink*>(info->client_data);
}

void sinkStart(j_compress_ptr info)
{
    Sink& sink = sinkOf(info);
    sink.bytes.resize(1 << 20);
    sink.manager.next_output_byte = reinterpret_cast<JOCTET*>(sink.bytes.data());
    sink.manager.free_in_buffer = std::size_t(sink.bytes.size());
}

boolean sinkGrow(j_compress_ptr info)
{
    Sink& sink = sinkOf(info);
    const qsizetype used = sink.bytes.size(); // libjpeg asks only once the buffer is full
    sink.bytes.resize(used * 2);
    sink.manager.next_output_byte = reinterpret_cast<JOCTET*>(sink.bytes.data()) + used;
    sink.manager.free_in_buffer = std::size_t(used);
    return TRUE;
}

void sinkEnd(j_compress_ptr info)
{
    Sink& sink = sinkOf(info);
    sink.bytes.resize(sink.bytes.size() - qsizetype(sink.manager.free_in_buffer));
}

bool transcode(jpeg_decompress_struct& in, jpeg_compress_struct& out, JpegErrors& error, const QByteArray& bytes)
{
    if (setjmp(error.jump))
        return false;
    jpeg_mem_src(&in, reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&in, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&in);
    jpeg_copy_critical_parameters(&in, &out);
    out.optimize_coding = FALSE; // the standard tables: one pass over the coefficients, not two
    jpeg_write_coefficients(&out, coefficients);
    jpeg_finish_compress(&out);
    jpeg_finish_decompress(&in);
    return true;
}

// A progressive JPEG's decoder reads every coefficient of the picture for any part of it, so
// it is rewritten once, losslessly, as a sequential one (the same coefficients, one scan): every
// part after that costs what a baseline JPEG's does. Empty when the file turns out damaged.
QByteArray sequential(const QByteArray& bytes)
{
    jpeg_decompress_struct in{};
    jpeg_compress_struct out{};
    JpegErrors error{};
    Sink sink;
    in.err = out.err = error.Manager();
    jpeg_create_decompress(&in);
    jpeg_create_compress(&out);
    out.client_data = &sink;
    sink.manager.init_destination = sinkStart;
    sink.manager.empty_output_buffer = sinkGrow;
    sink.manager.term_destination = sinkEnd;
    out.dest = &sink.manager;
    const bool done = transcode(in, out, error, bytes);
    out.dest = nullptr; // ours, not libjpeg's pool
    jpeg_destroy_compress(&out);
    jpeg_destroy_decompress(&in);
    return done ? sink.bytes : QByteArray();
}

} // namespace

QRect StoredRect(QRect upright, QSize stored, int orientation)
{
    const int ws = stored.width(), hs = stored.height();
    // The stored pixel behind upright pixel (x, y), as ReaderMends::Oriented turns it.
    auto back = [&](int x, int y) -> QPoint {
        switch (orientation) {
        case 2: return {ws - 1 - x, y};
        case 3: return {ws - 1 - x, hs - 1 - y};
        case 4: return {x, hs - 1 - y};
        case 5: return {y, x};
        case 6: return {y, hs - 1 - x};
        case 7: return {ws - 1 - y, hs - 1 - x};
        case 8: return {ws - 1 - y, x};
        default: return {x, y};
        }
    };
    const QPoint a = back(upright.left(), upright.top());
    const QPoint b = back(upright.right(), upright.bottom());
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())), QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

std::shared_ptr<const Source> Open(const QString& path)
{
    const int fd = Files::OpenRegular(path);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    if (file.size() > MaxFileBytes || !Pictures::LooksLikeJpeg(file.peek(3)))
        return {};
    auto source = std::make_shared<Source>();
    source->bytes = file.readAll();
    const QByteArray& bytes = source->bytes;
    if (bytes.size() != file.size())
        return {};
    // The loader's checks: a truncated or over-large JPEG is not read here either.
    const Pictures::JpegFacts facts = Pictures::ScanJpeg(reinterpret_cast<const uchar*>(bytes.constData()), bytes.size());
    if (!facts.complete || (facts.progressive && (facts.coefficientBytes > Pictures::MemoryBudgetBytes ||
                                                  facts.scans > Pictures::MaxProgressiveScans)))
        return {};
    jpeg_decompress_struct info{};
    JpegErrors error{};
    info.err = error.Manager();
    jpeg_create_decompress(&info);
    const bool read = header(info, error, bytes);
    const bool colours = read && (info.num_components == 3 || info.num_components == 1) &&
                         info.jpeg_color_space != JCS_CMYK && info.jpeg_color_space != JCS_YCCK;
    source->stored = read ? QSize(int(info.image_width), int(info.image_height)) : QSize();
    source->grey = read && info.num_components == 1;
    jpeg_destroy_decompress(&info);
    if (!colours || source->stored.isEmpty() || Pictures::TooManyPixels(source->stored))
        return {};
    // As the loader finds it: through Qt's JPEG reader, which reads only the header for it.
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    source->orientation = std::clamp(ReaderMends::ExifOrientationOf(reader.transformation()), 1, 8);
    source->natural = source->orientation >= 5 ? source->stored.transposed() : source->stored;
    source->icc = Colour::EmbeddedProfile(bytes);
    if (facts.progressive) {
        source->bytes = sequential(bytes);
        if (source->bytes.isEmpty())
            return {};
    }
    return source;
}

QImage Decode(const Source& source, QRect region, double scale)
{
    region = region.intersected(QRect(QPoint(0, 0), source.natural));
    if (region.isEmpty() || !(scale > 0))
        return {};
    scale = std::min(scale, 1.0);
    // The smallest of the decoder's scales that still has a pixel for every one shown.
    const int num = std::clamp(int(std::ceil(scale * 8 - 1e-6)), 1, 8);
    const QRect stored = StoredRect(region, source.stored, source.orientation);
    const auto down = [num](int v) { return int(std::floor(double(v) * num / 8)); };
    const auto up = [num](int v) { return int(std::ceil(double(v) * num / 8)); };
    const QSize scaledSize(up(source.stored.width()), up(source.stored.height()));
    QRect scaled(QPoint(down(stored.left()), down(stored.top())),
                 QPoint(up(stored.left() + stored.width()) - 1, up(stored.top() + stored.height()) - 1));
    scaled = scaled.intersected(QRect(QPoint(0, 0), scaledSize));
    QImage part(scaled.size(), QImage::Format_RGB32);
    if (part.isNull() || scaled.isEmpty())
        return {};

    jpeg_decompress_struct info{};
    JpegErrors error{};
    info.err = error.Manager();
    jpeg_create_decompress(&info);
    std::vector<uchar> row;
    const bool read = header(info, error, source.bytes) && decodePart(info, error, num, scaled, part, row);
    // The rows below the part are never decoded.
    jpeg_destroy_decompress(&info);
    if (!read)
        return {};

    // The decoder's scale is a little larger than the one shown: brought down, then cut to the
    // exact part, so that it lies where the same part of a whole decode lies.
    const double ratio = scale * 8 / num;
    const QSize wantStored(std::max(1, int(std::lround(stored.width() * scale))),
                           std::max(1, int(std::lround(stored.height() * scale))));
    if (ratio < 1) {
        const QSize smaller(std::max(1, int(std::lround(part.width() * ratio))),
                            std::max(1, int(std::lround(part.height() * ratio))));
        part = part.scaled(smaller, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const QPoint offset(int(std::lround(stored.left() * scale - scaled.left() * ratio)),
                        int(std::lround(stored.top() * scale - scaled.top() * ratio)));
    const QRect cut = QRect(offset, wantStored).intersected(part.rect());
    if (cut != part.rect())
        part = part.copy(cut);
    if (source.orientation != 1)
        part = ReaderMends::Oriented(part, source.orientation);
    if (!source.icc.isEmpty())
        Colour::ToSrgb(part, source.icc, source.grey ? Colour::Samples::Grey : Colour::Samples::Rgb);
    part.setColorSpace(QColorSpace());
    return part;
}

} // namespace RegionDecoder
