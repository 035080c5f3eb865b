// The notes of one album or one picture: counted and deleted.
#include "photostore.h"

#include "killpoint.h"
#include "photoquery.h"
#include "val.h"

#include <QSqlQuery>

namespace {
// The table's first record (the placeholder) is never deleted.
const QString NotFirstRecord = QStringLiteral("rowid <> (SELECT min(rowid) FROM PhotoData)");
} // namespace

RunError PhotoDatabase::DeleteAlbumRecords(const QString& albumName, int* count, bool storedFormToo)
{
    finishReading();
    NoteWrite();
    QSqlDatabase db = connection();
    if (!db.transaction())
        return failure(QStringLiteral("changed"), db.lastError());
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM PhotoData WHERE %1 AND ([Album Name] = ? OR [Album Name] = ?)")
                  .arg(NotFirstRecord));
    q.addBindValue(albumName);
    q.addBindValue(storedFormToo ? StoredAlbumName(albumName) : albumName);
    QSqlError failed;
    if (!q.exec())
        failed = q.lastError();
    const int deleted = q.numRowsAffected();
    q.finish();
    KillPoint("album-delete-notes");
    if (failed.type() == QSqlError::NoError && !db.commit())
        failed = db.lastError();
    if (failed.type() != QSqlError::NoError) {
        const RunError e = failure(QStringLiteral("changed"), failed);
        db.rollback();
        return e;
    }
    if (count)
        *count = deleted;
    return {};
}

RunError PhotoDatabase::CountRecords(const QString& albumName, int* count, bool storedFormToo, const QString& pageNr,
                                     const QString& pictureKey)
{
    *count = 0;
    QSqlQuery find(connection());
    find.prepare(QStringLiteral("SELECT [Page Nr] FROM PhotoData WHERE %1 AND ([Album Name] = ? OR [Album Name] = ?)%2")
                     .arg(NotFirstRecord, pictureKey.isEmpty() ? QString() : QStringLiteral(" AND [Image Nr] = ?")));
    find.addBindValue(albumName);
    find.addBindValue(storedFormToo ? StoredAlbumName(albumName) : albumName);
    if (!pictureKey.isEmpty())
        find.addBindValue(pictureKey);
    if (!find.exec())
        return failure(QStringLiteral("read"), find.lastError());
    while (find.next()) {
        if (pictureKey.isEmpty() || Val(find.value(0).toString()) == Val(pageNr))
            ++*count;
    }
    if (find.lastError().type() != QSqlError::NoError)
        return failure(QStringLiteral("read"), find.lastError());
    return {};
}

RunError PhotoDatabase::DeletePictureRecords(const QString& albumName, const QString& pageNr,
                                             const QString& pictureKey, int* count, bool storedFormToo)
{
    finishReading();
    NoteWrite();
    QSqlDatabase db = connection();
    if (!db.transaction())
        return failure(QStringLiteral("changed"), db.lastError());
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
    QSqlError failed = find.lastError();
    find.finish();
    QSqlQuery remove(db);
    remove.prepare(QStringLiteral("DELETE FROM PhotoData WHERE rowid = ?"));
    for (qint64 id : std::as_const(doomed)) {
        if (failed.type() != QSqlError::NoError)
            break;
        remove.bindValue(0, id);
        if (!remove.exec())
            failed = remove.lastError();
    }
    if (failed.type() == QSqlError::NoError && !db.commit())
        failed = db.lastError();
    if (failed.type() != QSqlError::NoError) {
        const RunError e = failure(QStringLiteral("changed"), failed);
        db.rollback();
        return e;
    }
    if (count)
        *count = int(doomed.size());
    return {};
}
