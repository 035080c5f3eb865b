#pragma once

#include "pictureloader.h"
#include "runerror.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <memory>

// A private copy of a picture, made the moment it is added or pasted, so that
// the picture the user saw is the one saved, copied and shown at full size
// whatever happens to its source afterwards (deleted, renamed, changed, its
// stick unplugged). Nothing decoded is held: the copy is a file with no name
// in the kept-files folder (a reflink where the file system has them, else a
// copy made in the kernel), open for as long as a picture refers to it and
// gone with the last reference, also when the program ends or crashes.
class KeptFile final {
public:
    ~KeptFile();
    KeptFile(const KeptFile&) = delete;
    KeptFile& operator=(const KeptFile&) = delete;

    // A copy of the file at `path`; null, with `error` set, when the file
    // cannot be read (53 missing, 481 not a regular file) or copied (75).
    static std::shared_ptr<const KeptFile> Copy(const QString& path, RunError* error);
    // The given bytes (an encoded picture from the clipboard) as a kept file.
    static std::shared_ptr<const KeptFile> FromBytes(const QByteArray& bytes, const QString& name, RunError* error);

    // Where the copy is read, in this process (and a helper it starts).
    QString Path() const;
    // The file name it was copied from, as a screen reader tells it.
    const QString& OriginalName() const { return m_originalName; }
    // Gives the copy the name `path` (a new file; the copy stays open and
    // nameless here as before), so that it outlives the program: a link where
    // the file system allows, else a copy written beside it and renamed into
    // place, synced in both cases.
    RunError KeepAs(const QString& path) const;

    // The folder the copies live in; tests and benchmarks choose their own.
    static QString Folder();
    static void SetFolder(const QString& folder);

private:
    KeptFile(int fd, QString originalName) : m_fd(fd), m_originalName(std::move(originalName)) {}
    int m_fd = -1;
    QString m_originalName;
};

namespace Pictures {
// Keeps a private copy of the file and loads the slot picture from that copy:
// the picture refers to the copy from then on (`Picture::kept`).
LoadResult LoadKeptPicture(const QString& path, QSize box = {}, qreal devicePixelRatio = 1.0);
// The same for encoded bytes (a picture pasted from another program).
LoadResult LoadKeptBytes(const QByteArray& bytes, QSize box = {}, qreal devicePixelRatio = 1.0);
} // namespace Pictures
