#include "slotreader.h"

#include "bmpreader.h"

namespace SlotReader {

namespace {

// The slot's pixels from a kept picture of the same file.
Picture slotPicture(const QImage& larger, QSize natural, const QString& path, QSize box, qreal dpr)
{
    Picture p;
    p.natural = natural;
    p.sourcePath = path;
    // The size a direct read gives; a few pixels more than the kept picture at most.
    const QSize fitted = Bmp::FitWithin(natural, box);
    p.shown = Pictures::ShownImage(larger, fitted, dpr); // another program's thumbnail may be of any layout
    return p;
}

// The slot picture read again from its kept thumbnail or its file, as a first read makes it;
// null when the file has changed since `facts` or cannot be read.
QImage readAgain(const ThumbnailCache& cache, const ToKeep& entry)
{
    const int size = ThumbnailCache::SizeFor(std::max(entry.box.width(), entry.box.height()));
    QImage larger;
    if (std::optional<ThumbnailCache::Thumbnail> kept = cache.Find(entry.facts, size)) {
        larger = kept->image;
    } else {
        Pictures::LoadResult loaded = Pictures::LoadPicture(entry.facts.path, QSize(size, size), 1.0);
        if (loaded.error.failed())
            return {};
        larger = loaded.picture.shown;
    }
    const std::optional<ThumbnailCache::FileFacts> now = ThumbnailCache::Facts(entry.facts.path);
    if (!now || now->size != entry.facts.size || now->mtimeNs != entry.facts.mtimeNs ||
        now->inode != entry.facts.inode || now->device != entry.facts.device)
        return {};
    return slotPicture(larger, entry.natural, entry.facts.path, entry.box, 1.0).shown;
}

} // namespace

Read ReadSlotPicture(const QString& path, QSize box, qreal dpr, const ThumbnailCache& cache)
{
    const int size = ThumbnailCache::SizeFor(std::max(box.width(), box.height()));
    const std::optional<ThumbnailCache::FileFacts> facts =
        cache.enabled() && size > 0 ? ThumbnailCache::Facts(path) : std::nullopt;
    if (!facts) // no cache, or no regular file: the loader says what it is
        return {Pictures::LoadPicture(path, box, dpr), std::nullopt, false, std::nullopt};

    if (std::optional<RunError> failed = cache.FindFailure(*facts))
        return {{Picture{}, *failed}, std::nullopt, true, facts};
    if (std::optional<ThumbnailCache::SlotPicture> slot = cache.FindSlot(*facts, box)) {
        Picture p;
        p.natural = slot->natural;
        p.sourcePath = path;
        p.shown = std::move(slot->shown);
        p.shown.setDevicePixelRatio(dpr);
        return {{p, {}}, std::nullopt, true, facts};
    }
    if (std::optional<ThumbnailCache::Thumbnail> kept = cache.Find(*facts, size)) {
        Read read{{slotPicture(kept->image, kept->natural, path, box, dpr), {}}, std::nullopt, true, facts};
        read.keep = ToKeep{*facts, 0, {}, kept->natural, {}, box, read.result.picture.shown, {}};
        return read;
    }

    // Read at the kept size, so the same decode gives the slot and the thumbnail.
    Pictures::LoadResult loaded = Pictures::LoadPicture(path, QSize(size, size), 1.0);
    if (loaded.error.failed()) {
        // Only a file that was read and is not a picture is remembered: a missing file is an
        // empty slot, and an error of access (no permission, a missing disk, no file handles
        // left) passes, so the file is read again next time.
        if (loaded.error.number != RunError::InvalidPicture)
            return {loaded, std::nullopt, false, facts};
        return {loaded, ToKeep{*facts, 0, {}, {}, loaded.error, {}, {}, {}}, false, facts};
    }
    const QSize natural = loaded.picture.natural;
    Read read;
    read.facts = facts;
    read.result.picture = slotPicture(loaded.picture.shown, natural, path, box, dpr);
    // A picture no larger than the thumbnail would be is read directly next time as fast: only
    // its slot entry is kept, which every picture gets.
    const bool thumbnail = natural.width() > size || natural.height() > size;
    read.keep = ToKeep{*facts, size, thumbnail ? loaded.picture.shown : QImage(), natural, {}, box,
                       read.result.picture.shown, {}};
    return read;
}

bool Kept(const QString& path, QSize box, const ThumbnailCache& cache)
{
    const int size = ThumbnailCache::SizeFor(std::max(box.width(), box.height()));
    const std::optional<ThumbnailCache::FileFacts> facts =
        cache.enabled() && size > 0 ? ThumbnailCache::Facts(path) : std::nullopt;
    return facts && (cache.HasSlot(*facts, box) || cache.FindFailure(*facts));
}

bool Keep(const ThumbnailCache& cache, const ToKeep& entry)
{
    if (entry.error.failed())
        return cache.StoreFailure(entry.facts, entry.error);
    bool kept = true;
    if (!entry.thumbnail.isNull())
        kept = cache.Store(entry.facts, entry.size, entry.thumbnail, entry.natural);
    if (!entry.slot.isNull()) {
        // Scaled here, off the user's way, as the page would scale it each time it shows it.
        QImage from = entry.slot;
        const bool scale = !entry.painted.isEmpty() && entry.painted != from.size();
        // A picture read for a smaller window is read again, not scaled up: that entry would
        // show it blurred from then on.
        if (scale && (entry.painted.width() > from.width() || entry.painted.height() > from.height()) &&
            from.size() != Bmp::FitWithin(entry.natural, entry.box)) {
            from = readAgain(cache, entry);
            if (from.isNull())
                return false;
        }
        const QImage shown =
            scale ? from.scaled(entry.painted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation) : from;
        kept = cache.StoreSlot(entry.facts, entry.box, shown, entry.natural) && kept;
    }
    return kept;
}

} // namespace SlotReader
