#include "photorecordset.h"

#include "photoquery.h"
#include "photostore.h"
#include "sqlitestatement.h"

#include <QSqlError>
#include <QSqlQuery>

#include <limits>

namespace {

const QString FieldNames[PhotoRecordset::FieldCount] = {
    PhotoFields::AlbumName, PhotoFields::PageNr, PhotoFields::Pa,          PhotoFields::ImageNr,
    PhotoFields::P2,        PhotoFields::Date,   PhotoFields::Discription,
};

// Field names are found ignoring letter case, as the screens address them.
int fieldIndex(const QString& name)
{
    for (int i = 0; i < PhotoRecordset::FieldCount; ++i) {
        if (QString::compare(FieldNames[i], name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool isNumberField(int index)
{
    return FieldNames[index] == PhotoFields::Pa || FieldNames[index] == PhotoFields::P2;
}

RunError storeError(int number, const QString& text)
{
    return RunError{number, text};
}

const QString ColumnList =
    QStringLiteral("[Album Name], [Page Nr], [Pa], [Image Nr], [P2], [Date], [Discription]");

} // namespace

PhotoRecordset::PhotoRecordset(PhotoDatabase& db) : m_db(&db)
{
    db.attach(this);
}

PhotoRecordset::~PhotoRecordset()
{
    Close();
}

void PhotoRecordset::Close()
{
    m_source.reset();
    m_read.reset();
    if (m_db)
        m_db->detach(this);
    m_db = nullptr;
    m_current.reset();
    m_pending = Pending::None;
}

RunError PhotoRecordset::closed() const
{
    return storeError(PhotoErrors::Closed, QStringLiteral("Object invalid or no longer set."));
}

std::unique_ptr<PhotoRecordset> PhotoRecordset::Open(PhotoDatabase& db, const PhotoQuery& query, RunError* error)
{
    RunError ignored;
    RunError& err = error ? *error : ignored;
    err = {};
    QString sql = QStringLiteral("SELECT rowid, %1 FROM PhotoData").arg(ColumnList);
    if (query.scan)
        sql += QStringLiteral(" NOT INDEXED");
    if (!query.where.isEmpty())
        sql += QStringLiteral(" WHERE ") + query.where;
    sql += QStringLiteral(" ORDER BY ") + (query.orderBy.isEmpty() ? QString() : query.orderBy + QStringLiteral(", ")) +
           QStringLiteral("rowid");

    std::unique_ptr<PhotoRecordset> set(new PhotoRecordset(db));
    set->m_source = std::make_unique<SqliteStatement>(db.handle(), sql);
    SqliteStatement& q = *set->m_source;
    for (int i = 0; i < query.values.size(); ++i)
        q.bind(i + 1, query.values[i]);
    if (q.failed()) {
        err = db.failure(QStringLiteral("read"));
        return nullptr;
    }
    set->m_sourceGeneration = PhotoDatabase::WriteGeneration();
    if (set->fetchTo(0)) {
        set->m_pos = 0;
        set->m_bof = set->m_eof = false;
    } else if (set->m_readFailed) {
        err = db.failure(QStringLiteral("read"));
        return nullptr;
    }
    return set;
}

bool PhotoRecordset::fetchTo(qint64 index)
{
    while (m_source && qint64(m_keys.size()) <= index) {
        if (m_source->step()) {
            m_keys.push_back(m_source->int64(0));
        } else {
            m_readFailed = m_source->failed();
            m_source.reset(); // read to its end: nothing holds the file any longer
        }
    }
    return index >= 0 && index < qint64(m_keys.size());
}

bool PhotoRecordset::ReadsAnOlderView() const
{
    return m_source && m_sourceGeneration != PhotoDatabase::WriteGeneration();
}

void PhotoRecordset::ReadAhead()
{
    fetchTo(std::numeric_limits<qint64>::max() - 1);
}

bool PhotoRecordset::hasCurrent() const
{
    return !m_bof && !m_eof && !m_deleted && m_pos >= 0 && m_pos < qint64(m_keys.size());
}

RunError PhotoRecordset::noCurrent() const
{
    return m_deleted ? storeError(PhotoErrors::RecordIsDeleted, QStringLiteral("Record is deleted."))
                     : storeError(PhotoErrors::NoCurrentRecord, QStringLiteral("No current record."));
}

int PhotoRecordset::RecordCount()
{
    ReadAhead();
    return int(m_keys.size());
}

qint64 PhotoRecordset::AbsolutePosition() const
{
    return hasCurrent() ? m_pos : -1;
}

float PhotoRecordset::PercentPosition() const
{
    if (!hasCurrent())
        return 0;
    return 100.0f * float(m_pos) / float(m_keys.size());
}

RunError PhotoRecordset::goTo(qint64 index)
{
    if (!m_db)
        return closed();
    fetchTo(index);
    CancelUpdate();
    m_current.reset();
    m_deleted = false;
    const qint64 n = qint64(m_keys.size());
    m_pos = std::clamp<qint64>(index, -1, n);
    m_bof = m_pos < 0 || n == 0;
    m_eof = m_pos >= n || n == 0;
    return {};
}

RunError PhotoRecordset::MoveFirst()
{
    if (!fetchTo(0))
        return noCurrent();
    return goTo(0);
}

RunError PhotoRecordset::MoveLast()
{
    ReadAhead();
    if (m_keys.empty())
        return noCurrent();
    return goTo(qint64(m_keys.size()) - 1);
}

RunError PhotoRecordset::MoveNext()
{
    if (m_eof)
        return storeError(PhotoErrors::NoCurrentRecord, QStringLiteral("No current record."));
    // After a delete the record that followed the deleted one sits at its place.
    return goTo(m_bof ? 0 : (m_deleted ? m_pos : m_pos + 1));
}

RunError PhotoRecordset::MovePrevious()
{
    if (m_bof)
        return storeError(PhotoErrors::NoCurrentRecord, QStringLiteral("No current record."));
    if (m_eof)
        ReadAhead();
    return goTo(m_eof ? qint64(m_keys.size()) - 1 : m_pos - 1);
}

RunError PhotoRecordset::Move(qint64 index)
{
    if (!fetchTo(index))
        return noCurrent();
    return goTo(index);
}

RunError PhotoRecordset::Reread()
{
    if (m_pending != Pending::None)
        return {};
    if (!hasCurrent())
        return noCurrent();
    m_current.reset();
    ReadAhead(); // a listing still being read would keep this handle on the file as it was
    return readCurrent();
}

RunError PhotoRecordset::readCurrent()
{
    if (!hasCurrent())
        return noCurrent();
    if (m_current)
        return {};
    Values values;
    if (m_source && m_pos == qint64(m_keys.size()) - 1 && m_sourceGeneration == PhotoDatabase::WriteGeneration()) {
        // The listing's own row, read a moment ago and unchanged since.
        for (int i = 0; i < FieldCount; ++i)
            values[std::size_t(i)] = m_source->value(i + 1);
        m_current = values;
        return {};
    }
    // A listing still being read holds the view of the file it started with;
    // after a write anywhere it is read to its end, so this read sees the write.
    m_db->finishStaleReading();
    if (!m_read)
        m_read = std::make_unique<SqliteStatement>(
            m_db->handle(), QStringLiteral("SELECT %1 FROM PhotoData WHERE rowid = ?").arg(ColumnList));
    SqliteStatement& q = *m_read;
    q.reset();
    q.bind(1, m_keys[std::size_t(m_pos)]);
    const bool found = q.step();
    for (int i = 0; found && i < FieldCount; ++i)
        values[std::size_t(i)] = q.value(i);
    const bool failed = q.failed();
    q.reset();
    if (failed)
        return RunError{PhotoErrors::StoreFailed, QStringLiteral("The photo data file \"%1\" could not be read.\r\n%2")
                                                      .arg(m_db->path(), q.errorText())};
    if (!found) // deleted through another handle
        return storeError(PhotoErrors::RecordIsDeleted, QStringLiteral("Record is deleted."));
    m_current = values;
    return {};
}

QVariant PhotoRecordset::Field(const QString& name, RunError* error)
{
    RunError ignored;
    RunError& err = error ? *error : ignored;
    const int index = fieldIndex(name);
    if (index < 0) {
        err = storeError(PhotoErrors::ItemNotFound, QStringLiteral("Item not found in this collection."));
        return {};
    }
    if (m_pending != Pending::None) {
        err = {};
        return m_buffer[std::size_t(index)];
    }
    err = readCurrent();
    return err.failed() ? QVariant() : (*m_current)[std::size_t(index)];
}

QString PhotoRecordset::Text(const QString& name, RunError* error)
{
    return Field(name, error).toString();
}

RunError PhotoRecordset::AddNew()
{
    m_pending = Pending::Add; // abandons a pending edit
    m_buffer = Values{};
    return {};
}

RunError PhotoRecordset::Edit()
{
    CancelUpdate();
    if (const RunError e = readCurrent(); e.failed())
        return e;
    m_buffer = *m_current;
    m_pending = Pending::Edit;
    return {};
}

RunError PhotoRecordset::SetField(const QString& name, const QVariant& value)
{
    if (m_pending == Pending::None)
        return storeError(PhotoErrors::UpdateWithoutAddOrEdit, QStringLiteral("Update without AddNew or Edit."));
    const int index = fieldIndex(name);
    if (index < 0)
        return storeError(PhotoErrors::ItemNotFound, QStringLiteral("Item not found in this collection."));
    QVariant stored = value;
    if (isNumberField(index) && !value.isNull()) {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (!ok || n < std::numeric_limits<std::int16_t>::min() || n > std::numeric_limits<std::int16_t>::max())
            return storeError(3421, QStringLiteral("Data type conversion error."));
        stored = QVariant(int(n));
    } else if (!value.isNull()) {
        stored = QVariant(value.toString());
    }
    m_buffer[std::size_t(index)] = stored;
    return {};
}

RunError PhotoRecordset::Update()
{
    if (m_pending == Pending::None)
        return storeError(PhotoErrors::UpdateWithoutAddOrEdit, QStringLiteral("Update without AddNew or Edit."));
    if (!m_db)
        return closed();
    m_db->finishReading();
    PhotoDatabase::NoteWrite();
    QSqlQuery q(m_db->connection());
    if (m_pending == Pending::Add)
        q.prepare(QStringLiteral("INSERT INTO PhotoData (%1) VALUES (?, ?, ?, ?, ?, ?, ?)").arg(ColumnList));
    else
        q.prepare(QStringLiteral("UPDATE PhotoData SET [Album Name] = ?, [Page Nr] = ?, [Pa] = ?, [Image Nr] = ?, "
                                 "[P2] = ?, [Date] = ?, [Discription] = ? WHERE rowid = ?"));
    for (const QVariant& v : m_buffer)
        q.addBindValue(v);
    if (m_pending == Pending::Edit)
        q.addBindValue(m_keys[std::size_t(m_pos)]);
    // One statement: one transaction, complete on disk or not at all.
    if (!q.exec())
        return m_db->failure(QStringLiteral("written"));
    if (m_pending == Pending::Add) {
        m_lastModified = q.lastInsertId().toLongLong();
        m_keys.push_back(m_lastModified);
        if (m_bof && m_eof) // an empty set: the new record follows the end
            m_pos = -1;
    } else {
        if (q.numRowsAffected() == 0) {
            m_pending = Pending::None;
            return storeError(PhotoErrors::RecordIsDeleted, QStringLiteral("Record is deleted."));
        }
        m_lastModified = m_keys[std::size_t(m_pos)];
        m_current = m_buffer;
    }
    m_pending = Pending::None;
    return {};
}

void PhotoRecordset::CancelUpdate()
{
    m_pending = Pending::None;
}

RunError PhotoRecordset::Delete()
{
    CancelUpdate();
    if (!hasCurrent())
        return noCurrent();
    m_db->finishReading();
    QSqlQuery q(m_db->connection());
    const qint64 key = m_keys[std::size_t(m_pos)];
    if (q.exec(QStringLiteral("SELECT rowid FROM PhotoData WHERE ") + PhotoQuery::PlaceholderRecord()) && q.next() &&
        q.value(0).toLongLong() == key)
        return storeError(PhotoErrors::PlaceholderKept,
                          QStringLiteral("The first record of the photo data file is not a note: it is kept."));
    q.finish();
    PhotoDatabase::NoteWrite();
    q.prepare(QStringLiteral("DELETE FROM PhotoData WHERE rowid = ?"));
    q.addBindValue(key);
    if (!q.exec())
        return m_db->failure(QStringLiteral("changed"));
    m_keys.erase(m_keys.begin() + m_pos);
    m_current.reset();
    m_deleted = true;
    return {};
}

qint64 PhotoRecordset::Bookmark() const
{
    return hasCurrent() ? m_keys[std::size_t(m_pos)] : -1;
}

RunError PhotoRecordset::GoToBookmark(qint64 bookmark)
{
    ReadAhead();
    const auto it = std::find(m_keys.begin(), m_keys.end(), bookmark);
    if (it == m_keys.end())
        return storeError(3159, QStringLiteral("Not a valid bookmark."));
    return goTo(it - m_keys.begin());
}
