#pragma once

#include "pictureloader.h"
#include "thumbnailcache.h"

#include <optional>

// Reads a slot's picture at slot size, through the thumbnail cache when one is
// in use: a kept thumbnail of the file as it is now is shown at once, a kept fail
// entry fails at once, and anything else goes to the picture loader. What is
// worth keeping is handed back, to be written later off the user's way.
namespace SlotReader {

struct ToKeep {
    ThumbnailCache::FileFacts facts;
    int size = 0;        // 0: a fail entry
    QImage thumbnail;    // at most size by size
    QSize natural;
    RunError error;      // for a fail entry
};

struct Read {
    Pictures::LoadResult result;
    std::optional<ToKeep> keep;
    bool fromCache = false; // answered by a kept thumbnail or fail entry, nothing decoded
};

Read ReadSlotPicture(const QString& path, QSize box, qreal devicePixelRatio, const ThumbnailCache& cache);

// Whether the cache already answers for the file as it is now (a thumbnail at slot size
// or a fail entry), so that reading it ahead would add nothing; no pixels are decoded.
bool Kept(const QString& path, QSize box, const ThumbnailCache& cache);

// Writes an entry; false when the cache cannot take it.
bool Keep(const ThumbnailCache& cache, const ToKeep& entry);

} // namespace SlotReader
