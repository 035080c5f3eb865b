#pragma once

#include "runerror.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// Thumbnails kept the way the desktop keeps them (the freedesktop.org thumbnail
// managing standard): PNG files under <root>/large (256 px), x-large (512 px) and
// xx-large (1024 px), named by the MD5 of the picture's file URI and stamped with
// the file's time and size, so file managers and other viewers share them with
// us. A picture that cannot be read gets a fail entry of this program's own, so
// a hostile file is not decoded again on every visit.
//
// Beside them, in a folder of this program's own (slots-<generation>), each slot
// picture as it is shown: raw RGB32 pixels at exactly the slot's device size
// behind a small header stamped with the file's size, time, device and inode,
// so that a page turn reads them in one call each, with nothing to decode or
// scale. That folder is bounded (the oldest entries go first).
//
// Every read and write is allowed to fail: a missing, unreadable or read-only
// cache only makes pages slower. Nothing here touches the pictures' own files.
class ThumbnailCache {
public:
    // What identifies a picture file's present state; only regular files have it.
    struct FileFacts {
        QString path;
        QString uri;
        qint64 mtime = 0;   // seconds, the standard's Thumb::MTime
        qint64 mtimeNs = 0; // nanoseconds, ours: a change within the same second
        qint64 size = 0;
        quint64 device = 0, inode = 0; // ours: a file put in another's place
    };
    // Raised whenever what is kept changes form or meaning: entries this program wrote
    // under another generation are neither used nor believed, and are written again.
    static constexpr int Generation = 5;

    struct Thumbnail {
        QImage image;  // upright, at most the size asked for
        QSize natural; // the picture's own size, upright
    };

    // An empty root is a cache that is off.
    explicit ThumbnailCache(QString root = {}) : m_root(std::move(root)) {}
    // $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails.
    static QString DesktopRoot();
    // The cache the page loader uses (off until the program chooses one).
    static void UseShared(const QString& root);
    static ThumbnailCache Shared();

    bool enabled() const { return !m_root.isEmpty(); }
    // Whether entries can be written: the root, or the nearest folder above it that is there,
    // is a folder open to writing. One that cannot be written is still read.
    bool writable() const;
    const QString& root() const { return m_root; }

    // The standard's size for a slot `side` device pixels across (256, 512 or 1024, the
    // smallest one at most 5% smaller than the slot); 0 when none is large enough.
    static int SizeFor(int side);
    static std::optional<FileFacts> Facts(const QString& path);
    static QString Uri(const QString& path);

    QString ThumbnailPath(const FileFacts& facts, int size) const;
    QString FailPath(const FileFacts& facts) const;

    // A thumbnail of the file as it is now, at `size` or a larger kept size.
    std::optional<Thumbnail> Find(const FileFacts& facts, int size) const;
    // Whether a thumbnail of the file as it is now is kept at `size` or larger, by its
    // stamp alone: its pixels are not read (a damaged one is found when it is used).
    bool Has(const FileFacts& facts, int size) const;
    // Why the file as it is now could not be read, when a fail entry says so.
    std::optional<RunError> FindFailure(const FileFacts& facts) const;

    // Written beside the entry, owner-only, then renamed into place; false when
    // the cache cannot be written.
    bool Store(const FileFacts& facts, int size, const QImage& thumbnail, QSize natural) const;
    bool StoreFailure(const FileFacts& facts, const RunError& error) const;

    // A slot picture kept for a slot `box` device pixels across: the picture exactly as
    // shown (fitted within the box, or at the size the page paints it, which may be a few
    // pixels more; RGB32, device pixel ratio 1) and its own size.
    struct SlotPicture {
        QImage shown;
        QSize natural;
    };
    QString SlotPath(const FileFacts& facts, QSize box) const;
    // The slot picture of the file as it is now, when one is kept whole and sound.
    std::optional<SlotPicture> FindSlot(const FileFacts& facts, QSize box) const;
    // Whether one is kept for the file as it is now, by its header alone.
    bool HasSlot(const FileFacts& facts, QSize box) const;
    // Written beside the entry and renamed into place, owner-only; the oldest entries go
    // once the folder holds more than the budget.
    bool StoreSlot(const FileFacts& facts, QSize box, const QImage& shown, QSize natural) const;
    // The most the slot folder may hold, in bytes (for tests; 192 MB otherwise).
    static void SetSlotBudget(qint64 bytes);
    QString SlotFolder() const;

private:
    static bool MakeFolder(const QString& folder);
    // Writes an entry whole in place of `target`, owner-only.
    static bool WriteEntry(const QString& target, const QByteArray& bytes);
    bool writePng(const QString& target, const QImage& image, const FileFacts& facts,
                  const QList<std::pair<QString, QString>>& extra) const;

    QString m_root;
};
