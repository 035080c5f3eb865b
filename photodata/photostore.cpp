#include "photostore.h"

#include "likepattern.h"
#include "interaction.h"
#include "photorecordset.h"
#include "val.h"

#include <QAtomicInteger>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>

#include <cerrno>
#include <unistd.h>

namespace {

QAtomicInteger<int> connectionCounter;

QString nextConnectionName()
{
    return QStringLiteral("photodata-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
}

RunError notAStore(const QString& path, const QString& reason)
{
    return RunError{PhotoErrors::NotAPhotoStore,
                    QStringLiteral("The photo data file \"%1\" cannot be used: %2.\r\n"
                                   "It has been left as it is.")
                        .arg(path, reason)};
}

struct Column {
    QString name;
    QString type;
};
// The table as the screens rely on it, field names and types exactly.
const Column Columns[] = {
    {QStringLiteral("Album Name"), QStringLiteral("TEXT")}, {QStringLiteral("Page Nr"), QStringLiteral("TEXT")},
    {QStringLiteral("Pa"), QStringLiteral("SMALLINT")},     {QStringLiteral("Image Nr"), QStringLiteral("TEXT")},
    {QStringLiteral("P2"), QStringLiteral("SMALLINT")},     {QStringLiteral("Date"), QStringLiteral("TEXT")},
    {QStringLiteral("Discription"), QStringLiteral("TEXT")},
};

// Text order ignoring letter case: ASCII folded byte by byte, anything else through Qt.
int compareIgnoringCase(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    const int n = std::min(lengthA, lengthB);
    for (int i = 0; i < n; ++i) {
        unsigned char cx = x[i], cy = y[i];
        if (cx >= 0x80 || cy >= 0x80) {
            return QString::compare(QString::fromUtf8(reinterpret_cast<const char*>(x), lengthA),
                                    QString::fromUtf8(reinterpret_cast<const char*>(y), lengthB),
                                    Qt::CaseInsensitive);
        }
        if (cx >= 'A' && cx <= 'Z')
            cx += 32;
        if (cy >= 'A' && cy <= 'Z')
            cy += 32;
        if (cx != cy)
            return cx < cy ? -1 : 1;
    }
    return lengthA == lengthB ? 0 : (lengthA < lengthB ? -1 : 1);
}

// QUILLLIKE(pattern, text): the search pattern language, compiled once per statement.
void likeFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0);
        return;
    }
    auto* pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(context, 0));
    const bool compiledNow = pattern == nullptr;
    if (compiledNow) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        pattern = new LikePattern(QString::fromUtf8(text, sqlite3_value_bytes(argv[0])));
    }
    const auto* value = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const bool matched = pattern->matchesUtf8(std::string_view(value, std::size_t(sqlite3_value_bytes(argv[1]))));
    sqlite3_result_int(context, matched ? 1 : 0);
    if (compiledNow) // SQLite may free it at once, so only after its use
        sqlite3_set_auxdata(context, 0, pattern, [](void* p) { delete static_cast<LikePattern*>(p); });
}

sqlite3* nativeHandle(const QSqlDatabase& db)
{
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.constData());
}

bool hasSqliteHeader(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}

} // namespace

PhotoDatabase::PhotoDatabase(QString path, QString connectionName)
    : m_path(std::move(path)), m_connectionName(std::move(connectionName))
{
}

PhotoDatabase::~PhotoDatabase()
{
    // Closing the database closes its record sets, as the screens expect.
    for (PhotoRecordset* set : std::vector<PhotoRecordset*>(m_sets))
        set->Close();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

void PhotoDatabase::attach(PhotoRecordset* set)
{
    m_sets.push_back(set);
}

void PhotoDatabase::detach(PhotoRecordset* set)
{
    std::erase(m_sets, set);
}

void PhotoDatabase::finishReading()
{
    for (PhotoRecordset* set : m_sets)
        set->ReadAhead();
}

namespace {
QAtomicInteger<quint64> writeGeneration;
} // namespace

quint64 PhotoDatabase::WriteGeneration()
{
    return writeGeneration.loadRelaxed();
}

void PhotoDatabase::NoteWrite()
{
    writeGeneration.fetchAndAddRelaxed(1);
}

sqlite3* PhotoDatabase::handle() const
{
    return nativeHandle(connection());
}

void PhotoDatabase::finishStaleReading()
{
    for (PhotoRecordset* set : m_sets) {
        if (set->ReadsAnOlderView())
            set->ReadAhead();
    }
}

QSqlDatabase PhotoDatabase::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

RunError PhotoDatabase::failure(const QString& what) const
{
    const QString reason = connection().lastError().text();
    return RunError{PhotoErrors::StoreFailed, QStringLiteral("The photo data file \"%1\" could not be %2.\r\n%3")
                                                  .arg(m_path, what, reason)};
}

std::unique_ptr<PhotoDatabase> PhotoDatabase::OpenInProgramFolder(const QString& appPath, RunError* error)
{
    return Open(appPath + QStringLiteral("/PhotoData.mdb"), error);
}

std::unique_ptr<PhotoDatabase> PhotoDatabase::Open(const QString& path, RunError* error)
{
    RunError ignored;
    RunError& err = error ? *error : ignored;
    err = {};
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        const RunError made = Create(path);
        if (made.failed() && made.number != RunError::FileAlreadyExists) {
            err = made;
            return nullptr;
        }
    }
    if (!QFileInfo(path).isFile()) {
        err = notAStore(path, QStringLiteral("it is not a regular file"));
        return nullptr;
    }
    if (!hasSqliteHeader(path)) {
        err = notAStore(path, QStringLiteral("it is not a photo data file or it is damaged"));
        return nullptr;
    }
    std::unique_ptr<PhotoDatabase> store(new PhotoDatabase(path, nextConnectionName()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), store->m_connectionName);
        // mode=rw: opening never makes a new, empty file in place of the store.
        QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        url.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            err = notAStore(path, db.lastError().text());
            return nullptr;
        }
    }
    err = store->prepare(false);
    if (err.failed())
        return nullptr;
    return store;
}

RunError PhotoDatabase::prepare(bool createTable)
{
    QSqlDatabase db = connection();
    sqlite3* handle = nativeHandle(db);
    if (!handle || sqlite3_create_collation_v2(handle, "QUILLCASE", SQLITE_UTF8, nullptr, compareIgnoringCase,
                                               nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(handle, "QUILLLIKE", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   likeFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        return RunError{PhotoErrors::StoreFailed, QStringLiteral("The SQLite driver cannot be used for photo data.")};

    QSqlQuery q(db);
    // Every update is its own transaction, on disk before it returns. With a
    // write-ahead log, a listing being read never blocks a save through
    // another handle.
    if (!q.exec(QStringLiteral("PRAGMA synchronous = FULL")))
        return notAStore(m_path, db.lastError().text());
    q.exec(QStringLiteral("PRAGMA journal_mode = WAL")); // a read-only file keeps its journal
    if (createTable) {
        QStringList fields;
        for (const Column& c : Columns)
            fields << QStringLiteral("[%1] %2").arg(c.name, c.type);
        if (!q.exec(QStringLiteral("CREATE TABLE PhotoData (%1)").arg(fields.join(QStringLiteral(", ")))) ||
            !q.exec(QStringLiteral("INSERT INTO PhotoData VALUES (' ', ' ', 0, ' ', 0, ' ', ' ')")))
            return failure(QStringLiteral("made"));
    }
    if (!q.exec(QStringLiteral("PRAGMA table_info(PhotoData)")))
        return notAStore(m_path, QStringLiteral("it is damaged (%1)").arg(q.lastError().text()));
    QHash<QString, QString> found;
    while (q.next())
        found.insert(q.value(1).toString(), q.value(2).toString().toUpper());
    if (found.isEmpty())
        return notAStore(m_path, QStringLiteral("it holds no table PhotoData"));
    for (const Column& c : Columns) {
        if (found.value(c.name) != c.type)
            return notAStore(m_path, QStringLiteral("its table PhotoData has no field [%1] of type %2").arg(c.name, c.type));
    }
    // The full listing's order; a file that cannot take it still works, only slower.
    q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS PhotoDataOrder ON PhotoData "
                          "([Album Name] COLLATE NOCASE, [Pa], [P2])"));
    return {};
}

RunError PhotoDatabase::Create(const QString& path)
{
    // Built beside the target, then linked into place: never over an existing file.
    const QString building = path + QStringLiteral(".new-%1").arg(::getpid());
    QFile::remove(building);
    RunError made;
    {
        PhotoDatabase store(building, nextConnectionName());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), store.m_connectionName);
            db.setDatabaseName(building);
            if (!db.open())
                made = RunError::make(RunError::PathFileAccess, path);
        }
        if (!made.failed())
            made = store.prepare(true);
    }
    if (made.failed()) {
        QFile::remove(building);
        return made;
    }
    const int linked = ::link(QFile::encodeName(building).constData(), QFile::encodeName(path).constData());
    const int linkError = errno;
    QFile::remove(building);
    if (linked != 0)
        return RunError::make(linkError == EEXIST ? RunError::FileAlreadyExists : RunError::PathFileAccess, path);
    return {};
}

std::unique_ptr<PhotoRecordset> PhotoDatabase::OpenRecordset(const PhotoQuery& query, RunError* error)
{
    return PhotoRecordset::Open(*this, query, error);
}

namespace {
// The table's first record (the placeholder) is never deleted.
const QString NotFirstRecord = QStringLiteral("rowid <> (SELECT min(rowid) FROM PhotoData)");
} // namespace

RunError PhotoDatabase::DeleteAlbumRecords(const QString& albumName, int* count, bool storedFormToo)
{
    finishReading();
    NoteWrite();
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("DELETE FROM PhotoData WHERE %1 AND ([Album Name] = ? OR [Album Name] = ?)")
                  .arg(NotFirstRecord));
    q.addBindValue(albumName);
    q.addBindValue(storedFormToo ? StoredAlbumName(albumName) : albumName);
    if (!q.exec())
        return failure(QStringLiteral("changed"));
    if (count)
        *count = q.numRowsAffected();
    return {};
}

RunError PhotoDatabase::DeletePictureRecords(const QString& albumName, const QString& pageNr,
                                             const QString& pictureKey, int* count, bool storedFormToo)
{
    finishReading();
    NoteWrite();
    QSqlDatabase db = connection();
    if (!db.transaction())
        return failure(QStringLiteral("changed"));
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT rowid, [Page Nr] FROM PhotoData WHERE %1 AND ([Album Name] = ? OR "
                                "[Album Name] = ?) AND [Image Nr] = ?")
                     .arg(NotFirstRecord));
    find.addBindValue(albumName);
    find.addBindValue(storedFormToo ? StoredAlbumName(albumName) : albumName);
    find.addBindValue(pictureKey);
    QList<qint64> doomed;
    if (find.exec()) {
        while (find.next()) {
            if (Val(find.value(1).toString()) == Val(pageNr))
                doomed << find.value(0).toLongLong();
        }
    }
    bool ok = find.lastError().type() == QSqlError::NoError;
    find.finish();
    QSqlQuery remove(db);
    remove.prepare(QStringLiteral("DELETE FROM PhotoData WHERE rowid = ?"));
    for (qint64 id : std::as_const(doomed)) {
        remove.bindValue(0, id);
        ok = ok && remove.exec();
    }
    if (!ok || !db.commit()) {
        const RunError e = failure(QStringLiteral("changed"));
        db.rollback();
        return e;
    }
    if (count)
        *count = int(doomed.size());
    return {};
}

RunError PhotoDatabase::BackupTo(const QString& target)
{
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("VACUUM INTO ?"));
    q.addBindValue(target);
    if (!q.exec())
        return failure(QStringLiteral("copied to \"%1\"").arg(target));
    return {};
}

void ShowStoreFailure(const RunError& error)
{
    MsgBox(error.description, vbOKOnly | vbCritical, QStringLiteral("ERROR"));
}
