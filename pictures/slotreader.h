#pragma once

#include "pictureloader.h"
#include "thumbnailcache.h"

#include <optional>

// Reads a slot's picture at slot size, through the thumbnail cache when one is
// in use: a kept slot entry of the file as it is now is shown as it is, a kept
// thumbnail is scaled to the slot, a kept fail entry fails at once, and anything
// else goes to the picture loader. What is worth keeping is handed back, to be
// written later off the user's way.
namespace SlotReader {

struct ToKeep {
    ThumbnailCache::FileFacts facts;
    int size = 0;        // 0: a fail entry, or a slot entry alone
    QImage thumbnail;    // at most size by size; null: none to keep
    QSize natural;
    RunError error;      // for a fail entry
    QSize box;           // the slot entry: `slot` as shown in a slot of this size
    QImage slot;
    QSize painted;       // the size the page paints it at, when known and not slot's own: kept at
                         // that size, so that painting it needs no scaling
};

struct Read {
    Pictures::LoadResult result;
    std::optional<ToKeep> keep;
    bool fromCache = false; // answered by a kept thumbnail or fail entry, nothing decoded
    std::optional<ThumbnailCache::FileFacts> facts; // the file as it was before it was read
};

Read ReadSlotPicture(const QString& path, QSize box, qreal devicePixelRatio, const ThumbnailCache& cache);

// Whether the cache already answers for the file as it is now (a slot entry at this size
// or a fail entry), so that reading it ahead would add nothing; no pixels are read.
bool Kept(const QString& path, QSize box, const ThumbnailCache& cache);

// Writes an entry; false when the cache cannot take it.
bool Keep(const ThumbnailCache& cache, const ToKeep& entry);

} // namespace SlotReader
