#include "photostore.h"

#include "fileops.h"
#include "likepattern.h"
#include "interaction.h"
#include "photorecordset.h"
#include "sqlitestatement.h"
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
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// SQLite maps the store's "-shm" index into memory. Pages of it with no disk
// behind them (a sparse file another program left, on a full disk) would end
// the program with SIGBUS at the first write through the mapping; they are
// given their disk space now, without changing a byte, or the store is not
// opened. A file that cannot be opened for writing is left to SQLite, which
// then maps it read-only.
RunError backSharedMemory(const QString& path)
{
    const QByteArray shm = QFile::encodeName(path) + "-shm";
    const int fd = ::open(shm.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {};
    int failed = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
        ::fallocate(fd, 0, 0, st.st_size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        failed = errno;
    ::close(fd);
    if (failed == 0)
        return {};
    return RunError{PhotoErrors::StoreFailed,
                    QStringLiteral("The photo data file \"%1\" cannot be used: its index \"%2\" cannot be written: %3.\r\n"
                                   "Make room on the disk and try again.")
                        .arg(path, QFile::decodeName(shm), QString::fromLocal8Bit(std::strerror(failed)))};
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
    // The handle keeps the reason of the last statement that failed on it.
    sqlite3* db = handle();
    const QString reason = db && sqlite3_errcode(db) != SQLITE_OK ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
    return failure(what, reason);
}

RunError PhotoDatabase::failure(const QString& what, const QSqlError& error) const
{
    return failure(what, error.databaseText().isEmpty() ? error.driverText() : error.databaseText());
}

RunError PhotoDatabase::failure(const QString& what, const QString& reason) const
{
    const QString why = reason.trimmed().isEmpty() ? QStringLiteral("the reason is unknown") : reason.trimmed();
    return RunError{PhotoErrors::StoreFailed,
                    QStringLiteral("The photo data file \"%1\" could not be %2: %3.").arg(m_path, what, why)};
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
    if (const RunError shm = backSharedMemory(path); shm.failed()) {
        err = shm;
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
            const QSqlError e = db.lastError();
            err = notAStore(path, e.databaseText().isEmpty() ? e.text() : e.databaseText());
            return nullptr;
        }
    }
    err = store->prepare(false);
    if (err.failed())
        return nullptr;
    store->RepairPlaceholder();
    return store;
}

RunError PhotoDatabase::RepairPlaceholder()
{
    QSqlQuery q(connection());
    if (!q.exec(QStringLiteral("SELECT count(*) FROM PhotoData WHERE ") + PhotoQuery::PlaceholderRecord()) || !q.next())
        return failure(QStringLiteral("read"));
    if (q.value(0).toInt() != 0)
        return {};
    q.finish();
    finishReading();
    NoteWrite();
    // A row id below every other one: the table's own order begins with it again.
    if (!q.exec(QStringLiteral("INSERT INTO PhotoData (rowid, [Album Name], [Page Nr], [Pa], [Image Nr], [P2], [Date], "
                               "[Discription]) SELECT coalesce(min(rowid), 1) - 1, ' ', ' ', 0, ' ', 0, ' ', ' ' "
                               "FROM PhotoData")))
        return failure(QStringLiteral("repaired"));
    return {};
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
    // Every update is its own transaction, on disk before it returns.
    if (!q.exec(QStringLiteral("PRAGMA synchronous = FULL")))
        return notAStore(m_path, q.lastError().databaseText());
    if (createTable) {
        QStringList fields;
        for (const Column& c : Columns)
            fields << QStringLiteral("[%1] %2").arg(c.name, c.type);
        if (!q.exec(QStringLiteral("CREATE TABLE PhotoData (%1)").arg(fields.join(QStringLiteral(", ")))) ||
            !q.exec(QStringLiteral("INSERT INTO PhotoData VALUES (' ', ' ', 0, ' ', 0, ' ', ' ')")))
            return failure(QStringLiteral("made"), q.lastError());
    }
    if (!q.exec(QStringLiteral("PRAGMA table_info(PhotoData)")))
        return notAStore(m_path, QStringLiteral("it is damaged (%1)").arg(q.lastError().databaseText()));
    QHash<QString, QString> found;
    while (q.next())
        found.insert(q.value(1).toString(), q.value(2).toString().toUpper());
    if (found.isEmpty())
        return notAStore(m_path, QStringLiteral("it holds no table PhotoData"));
    for (const Column& c : Columns) {
        if (found.value(c.name) != c.type)
            return notAStore(m_path, QStringLiteral("its table PhotoData has no field [%1] of type %2").arg(c.name, c.type));
    }
    // Only a file found to be a photo data store is changed. With a write-ahead
    // log, a listing being read never blocks a save through another handle.
    q.exec(QStringLiteral("PRAGMA journal_mode = WAL")); // a read-only file keeps its journal
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
    // The owner's alone from the start (SQLite would make it readable by all);
    // the write-ahead log and its index take the store's mode.
    const int fd = ::open(QFile::encodeName(building).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return RunError::make(RunError::PathFileAccess, path);
    ::close(fd);
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
    const RunError placed = Files::PlaceNew(building, path);
    if (placed.failed())
        return RunError::make(placed.number == RunError::FileAlreadyExists ? RunError::FileAlreadyExists
                                                                           : RunError::PathFileAccess,
                              path);
    return {};
}

std::unique_ptr<PhotoRecordset> PhotoDatabase::OpenRecordset(const PhotoQuery& query, RunError* error)
{
    return PhotoRecordset::Open(*this, query, error);
}

RunError PhotoDatabase::BackupTo(const QString& target, const std::function<bool()>& stopRequested)
{
    const QString what = QStringLiteral("copied to \"%1\"").arg(target);
    sqlite3* source = handle();
    if (!source)
        return failure(what, QStringLiteral("the SQLite driver cannot be used"));
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(target).constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    // The copy is a new file that only takes its place once whole: it needs
    // no journal of its own, and it is flushed to disk once, at the end.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(copy, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = copy ? QString::fromUtf8(sqlite3_errmsg(copy)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(copy);
        return failure(what, reason);
    }
    // With a write-ahead log, one view of the store for the whole copy: writes
    // through other handles meanwhile neither restart the copy nor wait for it.
    // Without one, a view held open would make every save wait; each step
    // then reads on its own, and a write meanwhile starts the copy again.
    bool logged = false;
    {
        SqliteStatement mode(source, QStringLiteral("PRAGMA journal_mode"));
        logged = mode.step() && mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    }
    const bool ownView = logged && sqlite3_get_autocommit(source) != 0 &&
                         sqlite3_exec(source, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) ==
                             SQLITE_OK;
    QString reason;
    bool stopped = false;
    if (sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main")) {
        // A few megabytes a step, so a stop is heard at once.
        constexpr int PagesPerStep = 1024;
        int waits = 0;
        for (;;) {
            rc = sqlite3_backup_step(backup, PagesPerStep);
            if (rc == SQLITE_DONE)
                break;
            if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++waits < 500) {
                sqlite3_sleep(10);
                continue;
            }
            if (rc != SQLITE_OK)
                break;
            if (stopRequested && stopRequested()) {
                stopped = true;
                break;
            }
        }
        rc = sqlite3_backup_finish(backup);
        if (rc != SQLITE_OK)
            reason = QString::fromUtf8(sqlite3_errmsg(copy));
    } else {
        reason = QString::fromUtf8(sqlite3_errmsg(copy));
    }
    if (ownView)
        sqlite3_exec(source, "COMMIT", nullptr, nullptr, nullptr);
    if (sqlite3_close(copy) != SQLITE_OK && reason.isEmpty())
        reason = QStringLiteral("the copy could not be closed");
    if (stopped)
        return failure(what, QStringLiteral("the copy was stopped before its end"));
    if (!reason.isEmpty())
        return failure(what, reason);
    return {};
}

void ShowStoreFailure(const RunError& error)
{
    MsgBox(error.description, vbOKOnly | vbCritical, QStringLiteral("ERROR"));
}
