#include "pictureloader.h"

#include "bmpreader.h"
#include "fileops.h"
#include "decoderprocess.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace Pictures {
namespace {

constexpr qint64 MaxMetafileBytes = 64ll << 20;
constexpr qint64 MaxCopiedFileBytes = 128ll << 20;
constexpr int MaxMetafileSide = 8192;

RunError notAPicture(const QString& why = {})
{
    return RunError::make(RunError::InvalidPicture, why);
}

QImage finish(const QImage& image, QSize want, qreal dpr)
{
    return Finished(image, want, dpr);
}

bool tooManyPixels(QSize s)
{
    return TooManyPixels(s);
}

QSize targetSize(QSize natural, QSize box)
{
    return TargetSize(natural, box);
}

LoadResult fromBmp(const QString& path, QSize box, qreal dpr, bool& handled)
{
    LoadResult r;
    // The size is chosen from the header, so an over-budget picture is never decoded whole,
    // and one with too many pixels is not read at all.
    const Bmp::Result bmp = Bmp::Read(path, [box](QSize natural) {
        return tooManyPixels(natural) ? QSize() : targetSize(natural, box);
    });
    handled = bmp.verdict != Bmp::Verdict::Unsupported;
    if (!handled)
        return r;
    if (bmp.verdict == Bmp::Verdict::Unreadable) {
        r.error = RunError::make(RunError::PathFileAccess, QStringLiteral("the file could not be read whole"));
        return r;
    }
    if (bmp.verdict != Bmp::Verdict::Decoded) {
        r.error = notAPicture(QStringLiteral("broken bitmap"));
        return r;
    }
    r.picture.natural = bmp.natural;
    r.picture.shown = finish(bmp.image, {}, dpr);
    r.picture.sourcePath = path;
    return r;
}

// The whole file as private bytes: one read, and nothing that can change under a decoder.
// Fails as 75 on a read error or a file changing while it is read: not the picture's fault.
bool readWhole(QFile& file, QByteArray& bytes, RunError& error)
{
    file.seek(0);
    bytes = file.readAll();
    if (bytes.size() == file.size())
        return true;
    error = RunError::make(RunError::PathFileAccess, file.error() != QFileDevice::NoError
                                                         ? file.errorString()
                                                         : QStringLiteral("the file changed while it was read"));
    return false;
}

LoadResult fromHelper(const DecoderProcess::Outcome& outcome, QSize want, qreal dpr)
{
    LoadResult r;
    if (outcome.shown.isNull()) {
        r.error = DecoderProcess::HelperPath().isEmpty()
                      ? RunError::make(RunError::PathFileAccess, outcome.failure)
                      : notAPicture(outcome.failure);
        return r;
    }
    r.picture.natural = outcome.natural;
    r.picture.shown = finish(outcome.shown, want, dpr);
    return r;
}

LoadResult fromMetafile(QFile& file, QSize box, qreal dpr)
{
    LoadResult r;
    if (file.size() > MaxMetafileBytes) {
        r.error = notAPicture(QStringLiteral("metafile too large"));
        return r;
    }
    if (DecoderProcess::HelperPath().isEmpty()) {
        r.error = RunError::make(RunError::PathFileAccess, QStringLiteral("the metafile renderer is not installed"));
        return r;
    }
    QByteArray bytes;
    if (!readWhole(file, bytes, r.error))
        return r;
    const DecoderProcess::Outcome rendered = DecoderProcess::RenderMetafile(bytes, MaxMetafileSide);
    if (rendered.shown.isNull()) {
        r.error = notAPicture(QStringLiteral("metafile could not be rendered: ") + rendered.failure);
        return r;
    }
    return fromHelper(rendered, targetSize(rendered.shown.size(), box), dpr);
}

// JPEG in the program (libjpeg-turbo decodes straight to the size asked for); every other
// format in the sealed decoder helper.
LoadResult fromReaders(QFile& file, const QByteArray& head, QSize box, qreal dpr)
{
    LoadResult r;
    // No picture of ours is this large.
    if (file.size() > MaxCopiedFileBytes) {
        r.error = notAPicture(QStringLiteral("file too large"));
        return r;
    }
    if (!LooksLikeJpeg(head)) {
        if (DecoderProcess::HelperPath().isEmpty()) {
            r.error = RunError::make(RunError::PathFileAccess, QStringLiteral("the picture decoder is not installed"));
            return r;
        }
        // The helper reads the file through its descriptor: no byte of it passes through here.
        const qint64 size = file.size();
        LoadResult decoded = fromHelper(DecoderProcess::DecodeFile(file.handle(), size, box), {}, dpr);
        struct stat now {};
        if (decoded.error.failed() && ::fstat(file.handle(), &now) == 0 && now.st_size != size)
            decoded.error = RunError::make(RunError::PathFileAccess, QStringLiteral("the file changed while it was read"));
        return decoded;
    }
    QByteArray bytes;
    if (!readWhole(file, bytes, r.error))
        return r;
    const Decoded decoded = DecodeWithReader(std::move(bytes), box, {"jpeg", "jpg"});
    if (decoded.shown.isNull()) {
        r.error = notAPicture(decoded.failure);
        return r;
    }
    r.picture.natural = decoded.natural;
    r.picture.shown = finish(decoded.shown, {}, dpr);
    return r;
}

void configureReaders()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(int(MemoryBudgetBytes >> 20)); });
}

} // namespace

LoadResult LoadPicture(const QString& path, QSize box, qreal dpr)
{
    configureReaders();
    LoadResult r;
    if (path.isEmpty()) {
        r.error = RunError::make(RunError::FileNotFound, path);
        return r;
    }
    const int fd = Files::OpenRegular(path);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR)
            r.error = RunError::make(RunError::FileNotFound, path);
        else if (e == EISDIR || e == EINVAL)
            r.error = notAPicture(e == EISDIR ? QStringLiteral("a folder") : QStringLiteral("not a regular file"));
        else
            r.error = RunError::make(RunError::PathFileAccess, QString::fromLocal8Bit(std::strerror(e)));
        return r;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        r.error = RunError::make(RunError::PathFileAccess, file.errorString());
        return r;
    }
    if (file.size() == 0) {
        r.error = notAPicture(QStringLiteral("empty file"));
        return r;
    }
    const QByteArray head = file.peek(64);
    if (head.startsWith("BM")) {
        bool handled = false;
        LoadResult bmp = fromBmp(path, box, dpr, handled);
        if (handled)
            return bmp;
    }
    r = DecoderProcess::LooksLikeWmf(head) ? fromMetafile(file, box, dpr) : fromReaders(file, head, box, dpr);
    if (!r.error.failed())
        r.picture.sourcePath = path;
    return r;
}

Picture PictureFromImage(const QImage& image, QSize box, qreal dpr)
{
    Picture p;
    if (image.isNull())
        return p;
    p.natural = image.size();
    p.full = Opaque32(image); // kept, saved and copied as it is shown
    p.full.setDevicePixelRatio(1.0);
    p.shown = finish(p.full, targetSize(image.size(), box), dpr);
    return p;
}

QImage ShownImage(const QImage& image, QSize size, qreal dpr)
{
    return finish(image, size, dpr);
}

Picture DrawnPlaceholder(QSize box, qreal dpr, bool unreadable)
{
    const QSize natural(111, 111);
    const QSize size = box.isEmpty() ? natural : box.boundedTo(QSize(512, 512)).expandedTo(QSize(16, 16));
    QImage image(size, QImage::Format_RGB32);
    image.fill(unreadable ? QColor(0xf3, 0xe3, 0xdc) : QColor(0xf1, 0xec, 0xe1));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size.width() / 111.0;
    painter.setPen(QPen(unreadable ? QColor(0xa0, 0x3a, 0x2a) : QColor(0xb8, 0xae, 0x9a), 2 * unit, Qt::DashLine));
    painter.drawRoundedRect(QRectF(6 * unit, 6 * unit, 99 * unit, 99 * unit), 8 * unit, 8 * unit);
    if (unreadable) {
        QFont font = painter.font();
        font.setPixelSize(std::max(6, int(12 * unit)));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(0x8b, 0x1e, 0x1e));
        painter.drawText(QRectF(8 * unit, 8 * unit, 95 * unit, 95 * unit), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("This picture cannot be shown"));
    }
    painter.end();
    Picture p;
    p.natural = natural;
    p.shown = finish(image, {}, dpr);
    return p;
}

Picture Reload(const Picture& picture, QSize box, qreal dpr)
{
    if (!picture.sourcePath.isEmpty()) {
        LoadResult loaded = LoadPicture(picture.sourcePath, box, dpr);
        if (loaded.error.failed())
            return picture;
        // A kept copy stays open for as long as any picture read from it is held.
        loaded.picture.kept = picture.kept;
        loaded.picture.originalName = picture.originalName;
        return loaded.picture;
    }
    if (!picture.full.isNull())
        return PictureFromImage(picture.full, box, dpr);
    return picture;
}

} // namespace Pictures
