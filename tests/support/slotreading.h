#pragma once

#include "slotreader.h"
#include "thumbnailcache.h"

#include <QSize>
#include <QString>

// Reads a slot picture of `path` at `box` and keeps what the reader hands back to the cache,
// as the page loader and the background reader do.
inline SlotReader::Read ReadAndKeep(const QString& path, QSize box, const ThumbnailCache& cache)
{
    SlotReader::Read read = SlotReader::ReadSlotPicture(path, box, 1.0, cache);
    if (read.keep)
        SlotReader::Keep(cache, *read.keep);
    return read;
}
