// libFuzzer target: any bytes as a picture file, through the one picture
// loader (every format it tells from the content, the bitmap reader among
// them), at slot size and at full size; a JPEG also through the zoomed view's region decoder.
// PNG, GIF, icons, WebP, TIFF, HEIC,
// AVIF and metafiles are decoded in the sealed helper (built with the same
// sanitizers): a helper that dies of a crash, of its seal or of a sanitizer's
// report is a finding here, as a crash of the loader itself is.
#include "bmpreader.h"
#include "decoderprocess.h"
#include "pictureloader.h"
#include "regiondecoder.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdint>

namespace {
QTemporaryDir* workDir = nullptr;
QString target;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    workDir = new QTemporaryDir;
    target = workDir->filePath(QStringLiteral("input"));
    DecoderProcess::HelperDiedForTests = [](int) { __builtin_trap(); };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile f(target);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const Pictures::LoadResult slot = Pictures::LoadPicture(target, QSize(120, 120));
    if (!slot.error.failed() && (slot.picture.shown.width() > 120 || slot.picture.shown.height() > 120))
        __builtin_trap(); // a slot picture larger than asked for
    Pictures::LoadPicture(target);
    Bmp::Read(target, QSize(64, 64));
    // The zoomed view's parts of a JPEG: at actual pixels and scaled, across the middle.
    if (const auto source = RegionDecoder::Open(target)) {
        const QRect middle(QPoint(source->natural.width() / 4, source->natural.height() / 4), source->natural / 2);
        for (double scale : {1.0, 0.3}) {
            const QImage part = RegionDecoder::Decode(*source, middle, scale);
            if (part.width() > middle.width() + 1 || part.height() > middle.height() + 1)
                __builtin_trap(); // a part larger than the region
        }
    }
    return 0;
}
