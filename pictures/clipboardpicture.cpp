#include "clipboardpicture.h"

#include "keptfile.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace ClipboardPicture {
namespace {

// Encoded pictures as other programs offer them, best first.
const char* const EncodedTypes[] = {"image/png", "image/jpeg", "image/bmp", "image/x-bmp", "image/x-MS-bmp",
                                    "image/gif", "image/webp", "image/x-icon", "image/vnd.microsoft.icon",
                                    "image/tiff", "image/heic", "image/heif", "image/avif"};

// Encoded bytes are kept in a private file and go through the loader from
// there, so they meet the same checks as any picture file and no decoded
// full-size picture is held in memory.
Pictures::LoadResult fromBytes(const QByteArray& bytes, QSize box, qreal dpr)
{
    return Pictures::LoadKeptBytes(bytes, box, dpr);
}

} // namespace

void Put(const Picture& picture)
{
    QImage full = Pictures::Reload(picture, {}).shown;
    full.setDevicePixelRatio(1);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (full.isNull())
        return;
    auto* data = new QMimeData;
    data->setImageData(full);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (full.save(&buffer, "PNG"))
        data->setData(QStringLiteral("image/png"), png);
    clipboard->setMimeData(data);
}

Pictures::LoadResult Take(QSize box, qreal dpr)
{
    return FromData(QGuiApplication::clipboard()->mimeData(), box, dpr);
}

Pictures::LoadResult FromData(const QMimeData* data, QSize box, qreal dpr)
{
    if (!data)
        return {{}, RunError::make(RunError::InvalidPicture)};
    for (const char* type : EncodedTypes) {
        const QString mime = QLatin1String(type);
        if (!data->hasFormat(mime))
            continue;
        Pictures::LoadResult r = fromBytes(data->data(mime), box, dpr);
        if (!r.error.failed())
            return r;
    }
    if (data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile()) {
        // A copied file is kept as it is now: the pasted picture stays whatever becomes of the file.
        Pictures::LoadResult r = Pictures::LoadKeptPicture(data->urls().first().toLocalFile(), box, dpr);
        if (!r.error.failed())
            return r;
    }
    if (data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull())
            return {Pictures::PictureFromImage(image, box, dpr), {}};
    }
    return {{}, RunError::make(RunError::InvalidPicture)};
}

} // namespace ClipboardPicture
