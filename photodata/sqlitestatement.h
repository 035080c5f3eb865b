#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// One prepared SQLite statement on the store's own handle, for the reads that
// run once per record, where going through Qt's driver would cost more than
// the read itself.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool prepared() const { return m_stmt != nullptr; }
    bool bind(int index, const QVariant& value); // index from 1
    // Steps to the next row: true on a row; false at the end or on an error (see failed()).
    bool step();
    bool failed() const { return m_failed; }
    // SQLite's reason for the failure, as it was when it happened.
    QString errorText() const;
    void reset();

    qint64 int64(int column) const;
    QVariant value(int column) const;

private:
    void noteError();

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_failed = false;
    QString m_error;
};
