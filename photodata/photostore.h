#pragma once

#include "photoquery.h"
#include "runerror.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class PhotoRecordset;
struct sqlite3;

// The fields of table PhotoData, by the names every caller uses.
namespace PhotoFields {
inline const QString AlbumName = QStringLiteral("Album Name");
inline const QString PageNr = QStringLiteral("Page Nr");
inline const QString Pa = QStringLiteral("Pa");
inline const QString ImageNr = QStringLiteral("Image Nr");
inline const QString P2 = QStringLiteral("P2");
inline const QString Date = QStringLiteral("Date");
inline const QString Discription = QStringLiteral("Discription");
} // namespace PhotoFields

// Error numbers of the photo data store, beside the file errors of RunError.
namespace PhotoErrors {
enum : int {
    UpdateWithoutAddOrEdit = 3020,
    NoCurrentRecord = 3021,
    RecordIsDeleted = 3167,
    ItemNotFound = 3265,
    NotAPhotoStore = 3343,
    StoreFailed = 3049,
    Closed = 3420,
    PlaceholderKept = 3613,
};
} // namespace PhotoErrors

// One open handle on "PhotoData.mdb", an SQLite file holding table PhotoData.
// Several handles on the same file work side by side. A missing file is made
// afresh with its table and placeholder record; a photo data store that lost
// its placeholder gets it back; a file that is there but is not a photo data
// store is never written to, emptied or repaired.
class PhotoDatabase {
public:
    ~PhotoDatabase();
    PhotoDatabase(const PhotoDatabase&) = delete;
    PhotoDatabase& operator=(const PhotoDatabase&) = delete;

    // Opens the store at `path` (made when missing); nullptr and `error` on failure.
    static std::unique_ptr<PhotoDatabase> Open(const QString& path, RunError* error);
    // The store of the program folder `appPath`.
    static std::unique_ptr<PhotoDatabase> OpenInProgramFolder(const QString& appPath, RunError* error);
    // Makes a new store at `path` with its table and placeholder record; an
    // existing file is never replaced (error 58).
    static RunError Create(const QString& path);

    std::unique_ptr<PhotoRecordset> OpenRecordset(const PhotoQuery& query, RunError* error);

    // Deletes, in one transaction, every record of the album except the
    // table's first record: those stored under the exact name and, with
    // `storedFormToo`, those stored under the name without its apostrophes
    // (the caller says no when another album goes by that form). Returns the
    // number deleted via `count`.
    RunError DeleteAlbumRecords(const QString& albumName, int* count = nullptr, bool storedFormToo = true);
    // Counts what DeleteAlbumRecords would delete; with `pictureKey`, what
    // DeletePictureRecords would delete.
    RunError CountRecords(const QString& albumName, int* count, bool storedFormToo = true, const QString& pageNr = {},
                          const QString& pictureKey = {});
    // Deletes the records of one picture (album as above, the page read as a
    // number, the picture key exactly), never the table's first record.
    RunError DeletePictureRecords(const QString& albumName, const QString& pageNr, const QString& pictureKey,
                                  int* count = nullptr, bool storedFormToo = true);

    // Writes a copy of the whole store, as it was when the copy began, to
    // `target` (a new or empty file), a few megabytes at a time; stops early
    // with an error when `stopRequested` says so. The copy is not yet synced.
    RunError BackupTo(const QString& target, const std::function<bool()>& stopRequested = {});

    // Puts the placeholder record back ahead of every note when the table's
    // first record is not the placeholder (an older version or another program
    // deleted it). Opening a store runs it; a store that cannot be written is
    // used as it is.
    RunError RepairPlaceholder();

    QString path() const { return m_path; }
    // Record sets opened here; reading ahead before a write keeps every open
    // listing as it was when it was opened.
    void attach(PhotoRecordset* set);
    void detach(PhotoRecordset* set);
    void finishReading();
    void finishStaleReading();
    QSqlDatabase connection() const;
    sqlite3* handle() const;
    // Moves on with every write through any handle of this program, so a
    // record set knows when a record it read ahead may have changed.
    static quint64 WriteGeneration();
    static void NoteWrite();
    // The error for a failed statement, naming the file and SQLite's own
    // reason: that of `error` (the failed query's), else the one the handle
    // kept from the last statement that failed on it.
    RunError failure(const QString& what) const;
    RunError failure(const QString& what, const QSqlError& error) const;
    RunError failure(const QString& what, const QString& reason) const;

private:
    PhotoDatabase(QString path, QString connectionName);
    RunError prepare(bool createTable);

    QString m_path;
    QString m_connectionName;
    std::vector<PhotoRecordset*> m_sets;
};

// Tells the user of a store failure (its text names the file).
void ShowStoreFailure(const RunError& error);
