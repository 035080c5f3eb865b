#include "progressivejpeg.h"

#include "decoding.h"
#include "jpegerrors.h"

#include <QColorSpace>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace ProgressiveJpeg {
namespace {

std::atomic<int> pictures{0};
std::atomic<int> scans{0};
std::atomic<bool> enabled{true};

// The zigzag position of each coefficient (row * 8 + column): coef_bits and a scan's
// spectral selection count in zigzag order.
constexpr int Zigzag[64] = {0,  1,  5,  6,  14, 15, 27, 28, 2,  4,  7,  13, 16, 26, 29, 42,
                            3,  8,  12, 17, 25, 30, 41, 43, 9,  11, 18, 24, 31, 40, 44, 53,
                            10, 19, 23, 32, 39, 45, 52, 54, 20, 22, 33, 38, 46, 51, 55, 60,
                            21, 34, 37, 47, 50, 56, 59, 61, 35, 36, 48, 49, 57, 58, 62, 63};

// The rows (and columns) of coefficients libjpeg's inverse DCT of `size` pixels reads
// (jidctred.c: its 1, 2 and 4-pixel transforms skip some even frequencies but use the odd high
// ones). The other sizes (3/8, 5/8, ...) are taken to read every coefficient.
quint8 rowsUsed(int size)
{
    switch (size) {
    case 1:
        return 0b00000001;
    case 2:
        return 0b10101011; // 0, 1, 3, 5, 7
    case 4:
        return 0b11101111; // all but 4
    default:
        return 0xFF;
    }
}

int scaledSize(const jpeg_component_info& c)
{
#if JPEG_LIB_VERSION >= 70
    return c.DCT_h_scaled_size == c.DCT_v_scaled_size ? c.DCT_h_scaled_size : DCTSIZE;
#else
    return c.DCT_scaled_size;
#endif
}

// Whether every coefficient each component's inverse DCT reads is final (its last refinement read).
bool shownCoefficientsFinal(const jpeg_decompress_struct& info)
{
    for (int ci = 0; ci < info.num_components; ++ci) {
        const quint8 rows = rowsUsed(scaledSize(info.comp_info[ci]));
        const int* bits = info.coef_bits[ci];
        for (int r = 0; r < DCTSIZE; ++r)
            for (int c = 0; c < DCTSIZE; ++c)
                if ((rows >> r & 1) && (rows >> c & 1) && bits[Zigzag[r * DCTSIZE + c]] != 0)
                    return false;
    }
    return true;
}

// Qt's JPEG reader's rule for its scaled reading: libjpeg's M/8 of the least M (1 to 8) that
// covers the size wanted, the smaller of the two ratios of stored to wanted size deciding.
unsigned scaleEighths(QSize stored, QSize want)
{
    const double f = std::min(double(stored.width()) / want.width(), double(stored.height()) / want.height());
    return unsigned(std::clamp(std::ceil(8.0 / f), 1.0, 8.0));
}

// libjpeg leaves by longjmp: everything with a destructor belongs to the caller.
bool run(jpeg_decompress_struct& info, JpegErrors& error, const QByteArray& jpeg, QSize want, QImage& pixels,
         bool& taken, int& scansRead)
{
    if (setjmp(error.jump))
        return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    const bool colour = info.num_components == 3 && info.jpeg_color_space == JCS_YCbCr;
    const bool grey = info.num_components == 1 && info.jpeg_color_space == JCS_GRAYSCALE;
    if (!info.progressive_mode || info.arith_code || (!colour && !grey) || want.isEmpty())
        return true;
    info.scale_num = scaleEighths(QSize(int(info.image_width), int(info.image_height)), want);
    info.scale_denom = 8;
    if (info.scale_num == 8)
        return true;
    // A picture over the budget at the scale read is Qt's reader's to refuse, as it always was.
    jpeg_calc_output_dimensions(&info);
    if (qint64(info.output_width) * qint64(info.output_height) * 4 > Pictures::MemoryBudgetBytes)
        return true;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    info.out_color_space = colour ? JCS_EXT_BGRX : JCS_GRAYSCALE;
#else
    info.out_color_space = colour ? JCS_EXT_XRGB : JCS_GRAYSCALE;
#endif
    info.buffered_image = TRUE;
    taken = true;
    jpeg_start_decompress(&info);
    pixels = QImage(int(info.output_width), int(info.output_height),
                    colour ? QImage::Format_RGB32 : QImage::Format_Grayscale8);
    if (pixels.isNull() || info.output_components != (colour ? 4 : 1)) {
        std::snprintf(error.message, sizeof error.message, "too large to read");
        return false;
    }
    bool final = false;
    for (;;) {
        const int status = jpeg_consume_input(&info);
        if (status == JPEG_REACHED_EOI)
            break;
        if (status == JPEG_SUSPENDED) { // not from memory; never loop on it
            std::snprintf(error.message, sizeof error.message, "truncated JPEG");
            return false;
        }
        // coef_bits change as a scan starts, before its data is read: looked at once it is read.
        if (status == JPEG_SCAN_COMPLETED && shownCoefficientsFinal(info)) {
            final = true;
            break;
        }
    }
    // Block smoothing guesses coefficients not yet read; a full decode has read them all and does
    // not smooth, so neither is it done here, where only unused ones are left unread.
    info.do_block_smoothing = final ? FALSE : TRUE;
    scansRead = info.input_scan_number;
    jpeg_start_output(&info, info.input_scan_number);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {pixels.scanLine(int(info.output_scanline))};
        if (jpeg_read_scanlines(&info, rows, 1) != 1) {
            std::snprintf(error.message, sizeof error.message, "damaged JPEG");
            return false;
        }
    }
    jpeg_abort_decompress(&info);
    return true;
}

} // namespace

Result Decode(const QByteArray& jpeg, QSize want, const QByteArray& icc)
{
    Result r;
    if (!enabled.load())
        return r;
    jpeg_decompress_struct info{};
    JpegErrors error{};
    info.err = error.Manager();
    QImage pixels;
    const bool read = run(info, error, jpeg, want, pixels, r.taken, r.scansRead);
    jpeg_destroy_decompress(&info);
    if (!r.taken)
        return r;
    if (!read) {
        r.failure = QString::fromLatin1(error.message);
        return r;
    }
    // As Qt's reader finishes a picture decoded at a scale larger than asked for.
    if (pixels.size() != want)
        pixels = pixels.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!icc.isEmpty())
        pixels.setColorSpace(QColorSpace::fromIccProfile(icc));
    r.image = pixels;
    ++pictures;
    scans += r.scansRead;
    return r;
}

Tally Counted()
{
    return {pictures.load(), scans.load()};
}

void SetEnabled(bool on)
{
    enabled = on;
}

} // namespace ProgressiveJpeg
