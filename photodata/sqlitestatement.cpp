#include "sqlitestatement.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3* db, const QString& sql) : m_db(db)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK) {
        noteError();
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        m_failed = true;
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

bool SqliteStatement::bind(int index, const QVariant& value)
{
    if (!m_stmt)
        return false;
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong) {
        rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
    } else {
        const QByteArray text = value.toString().toUtf8();
        rc = sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK && !m_failed)
        noteError();
    m_failed = m_failed || rc != SQLITE_OK;
    return rc == SQLITE_OK;
}

bool SqliteStatement::step()
{
    if (!m_stmt || m_failed)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    m_failed = rc != SQLITE_DONE;
    if (m_failed)
        noteError();
    return false;
}

void SqliteStatement::noteError()
{
    // Read at once: any later call on the handle replaces it.
    m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
}

QString SqliteStatement::errorText() const
{
    return m_error.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(m_db)) : m_error;
}

void SqliteStatement::reset()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    m_failed = m_stmt == nullptr;
}

qint64 SqliteStatement::int64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QVariant SqliteStatement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(int(sqlite3_column_int(m_stmt, column)));
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column)));
    }
    }
}
