// libFuzzer target: any bytes straight into the decoders the sealed helper
// runs (Qt's readers for PNG, GIF, icons and WebP; libtiff for TIFF; libheif for HEIC, libavif
// and then libheif for AVIF; LittleCMS for their colour profiles), in this process, so that the
// fuzzer sees their coverage. The loader's
// target (fuzz_loader.cpp) reaches the same decoders through the helper itself.
#include "avifdecoder.h"
#include "decoding.h"
#include "heifdecoder.h"
#include "tiffreader.h"

#include <QByteArray>
#include <QImageReader>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QImageReader::setAllocationLimit(int(Pictures::MemoryBudgetBytes >> 20));
    Heif::Prepare();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static const QList<QByteArray> accepted{"bmp", "dib", "gif", "ico", "cur", "png", "webp"};
    Pictures::Decoded decoded;
    if (Avif::LooksLikeAvif(bytes.left(64)))
        decoded = Avif::Decode(bytes, QSize(120, 120));
    if (decoded.shown.isNull())
        decoded = Pictures::LooksLikeHeif(bytes.left(16)) || Avif::LooksLikeAvif(bytes.left(64))
                      ? Heif::Decode(bytes, QSize(120, 120))
                  : Tiff::LooksLikeTiff(bytes.left(16)) ? Tiff::Decode(bytes, QSize(120, 120))
                                                        : Pictures::DecodeWithReader(bytes, QSize(120, 120), accepted);
    if (!decoded.shown.isNull() && (decoded.shown.width() > 120 || decoded.shown.height() > 120))
        __builtin_trap(); // a slot picture larger than asked for
    return 0;
}
