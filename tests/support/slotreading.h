#pragma once

#include "slotreader.h"
#include "thumbnailcache.h"

#include <QFile>
#include <QSize>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

// Reads a slot picture of `path` at `box` and keeps what the reader hands back to the cache,
// as the page loader and the background reader do.
inline SlotReader::Read ReadAndKeep(const QString& path, QSize box, const ThumbnailCache& cache)
{
    SlotReader::Read read = SlotReader::ReadSlotPicture(path, box, 1.0, cache);
    if (read.keep)
        SlotReader::Keep(cache, *read.keep);
    return read;
}

// A file's permission bits.
inline mode_t ModeOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// Sets a file's modification time to `ns` nanoseconds since the epoch.
inline void SetMTime(const QString& path, qint64 ns)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}
