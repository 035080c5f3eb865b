#pragma once

#include "runerror.h"

#include <QString>
#include <QVariant>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class PhotoDatabase;
class SqliteStatement;
struct PhotoQuery;

// A set of photo data records, moved through one record at a time.
//
// The set reads the row ids of its records in the query's order as the user
// moves on (so a large listing opens at once; RecordCount reads the rest of
// them, so it is always exact), and reads a record's fields when it becomes
// current, so a record changed through another handle is read as it is now.
// Moving past the last record sets Eof without an error; moving to the first
// or last record of an empty set fails with "No current record". After
// Delete there is no current record until the next move. AddNew while an
// edit is pending abandons the edit; moving abandons any pending change.
// Closing the database closes its record sets.
class PhotoRecordset {
public:
    ~PhotoRecordset();
    PhotoRecordset(const PhotoRecordset&) = delete;
    PhotoRecordset& operator=(const PhotoRecordset&) = delete;

    static std::unique_ptr<PhotoRecordset> Open(PhotoDatabase& db, const PhotoQuery& query, RunError* error);

    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    int RecordCount();
    // 0 at the first record, 100 * k / n at zero-based position k of n.
    float PercentPosition() const;
    // The zero-based position of the current record; -1 when there is none.
    qint64 AbsolutePosition() const;

    RunError MoveFirst();
    RunError MoveLast();
    RunError MoveNext();
    RunError MovePrevious();
    // Makes the record at zero-based position `index` current.
    RunError Move(qint64 index);

    // The current record's field by name; a pending AddNew or Edit shows its own values.
    QVariant Field(const QString& name, RunError* error = nullptr);
    QString Text(const QString& name, RunError* error = nullptr);
    // Reads the current record again from the file, as another program may
    // have changed or deleted it since (then "Record is deleted"); nothing
    // while an add or edit is pending.
    RunError Reread();

    RunError AddNew();
    RunError Edit();
    RunError SetField(const QString& name, const QVariant& value);
    // Stores the pending record in one transaction.
    RunError Update();
    void CancelUpdate();
    // Deletes the current record; the placeholder record is never deleted.
    RunError Delete();

    // The record last added or changed by Update, and making a record current by it.
    qint64 LastModified() const { return m_lastModified; }
    qint64 Bookmark() const;
    RunError GoToBookmark(qint64 bookmark);

    // Reads the rest of the listing's row ids now (before a write changes what it would read).
    void ReadAhead();
    // True while the listing is not read to its end and a write happened since it began.
    bool ReadsAnOlderView() const;
    void Close();

    static constexpr int FieldCount = 7;

private:
    enum class Pending { None, Add, Edit };
    using Values = std::array<QVariant, FieldCount>;

    explicit PhotoRecordset(PhotoDatabase& db);
    bool hasCurrent() const;
    bool fetchTo(qint64 index);
    RunError goTo(qint64 index);
    RunError readCurrent();
    RunError noCurrent() const;
    RunError closed() const;

    PhotoDatabase* m_db;
    std::unique_ptr<SqliteStatement> m_source; // the listing, while not read to its end
    std::unique_ptr<SqliteStatement> m_read;   // one record's fields by row id
    quint64 m_sourceGeneration = 0;            // writes seen when the listing began
    std::vector<qint64> m_keys;
    qint64 m_pos = 0;
    bool m_bof = true;
    bool m_eof = true;
    bool m_readFailed = false;
    bool m_deleted = false; // the current record was deleted: no current record
    std::optional<Values> m_current;
    Pending m_pending = Pending::None;
    Values m_buffer;
    qint64 m_lastModified = -1;
};
