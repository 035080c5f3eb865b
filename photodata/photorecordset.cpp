#include "photorecordset.h"

#include "photostore.h"

#include <QSqlError>

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

std::unique_ptr<PhotoRecordset> PhotoRecordset::Open(PhotoDatabase& db, const PhotoQuery& query, RunError* error)
{
    RunError ignored;
    RunError& err = error ? *error : ignored;
    err = {};
    QString sql = QStringLiteral("SELECT rowid FROM PhotoData");
    if (!query.where.isEmpty())
        sql += QStringLiteral(" WHERE ") + query.where;
    sql += QStringLiteral(" ORDER BY ") + (query.orderBy.isEmpty() ? QString() : query.orderBy + QStringLiteral(", ")) +
           QStringLiteral("rowid");

    std::unique_ptr<PhotoRecordset> set(new PhotoRecordset(db));
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        err = db.failure(QStringLiteral("read"));
        return nullptr;
    }
    for (const QVariant& v : query.values)
        q.addBindValue(v);
    if (!q.exec()) {
        err = db.failure(QStringLiteral("read"));
        return nullptr;
    }
    while (q.next())
        set->m_keys.push_back(q.value(0).toLongLong());
    if (q.lastError().type() != QSqlError::NoError) {
        err = db.failure(QStringLiteral("read"));
        return nullptr;
    }
    if (!set->m_keys.empty()) {
        set->m_pos = 0;
        set->m_bof = set->m_eof = false;
    }
    return set;
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

float PhotoRecordset::PercentPosition() const
{
    if (!hasCurrent())
        return 0;
    return 100.0f * float(m_pos) / float(m_keys.size());
}

RunError PhotoRecordset::goTo(qint64 index)
{
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
    if (m_keys.empty())
        return noCurrent();
    return goTo(0);
}

RunError PhotoRecordset::MoveLast()
{
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
    return goTo(m_eof ? qint64(m_keys.size()) - 1 : m_pos - 1);
}

RunError PhotoRecordset::readCurrent()
{
    if (!hasCurrent())
        return noCurrent();
    if (m_current)
        return {};
    QSqlQuery q(m_db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM PhotoData WHERE rowid = ?").arg(ColumnList));
    q.addBindValue(m_keys[std::size_t(m_pos)]);
    if (!q.exec())
        return m_db.failure(QStringLiteral("read"));
    if (!q.next()) // deleted through another handle
        return storeError(PhotoErrors::RecordIsDeleted, QStringLiteral("Record is deleted."));
    Values values;
    for (int i = 0; i < FieldCount; ++i)
        values[std::size_t(i)] = q.value(i);
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
    QSqlQuery q(m_db.connection());
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
        return m_db.failure(QStringLiteral("written"));
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
    QSqlQuery q(m_db.connection());
    q.prepare(QStringLiteral("DELETE FROM PhotoData WHERE rowid = ?"));
    q.addBindValue(m_keys[std::size_t(m_pos)]);
    if (!q.exec())
        return m_db.failure(QStringLiteral("changed"));
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
    const auto it = std::find(m_keys.begin(), m_keys.end(), bookmark);
    if (it == m_keys.end())
        return storeError(3159, QStringLiteral("Not a valid bookmark."));
    return goTo(it - m_keys.begin());
}
