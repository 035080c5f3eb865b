#include "albumdeletion.h"

#include "albumpaths.h"
#include "fileops.h"
#include "forms.h"
#include "interaction.h"
#include "photoquery.h"
#include "photostore.h"
#include "screennames.h"
#include "session.h"

#include "pagesaveintent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int deleteAlbumAnswer = 0;

void ShowDeleteManually()
{
    MsgBox(QStringLiteral("Supplied Album, Wren Photo Album\r\n"
                          "            is a Read only File\r\n"
                          "   and must be Deleted Manually"),
           vbOKOnly | vbInformation, QStringLiteral("WARNING"));
}

// The notes the photo data screens stored without the name's apostrophes are
// this album's too, unless a stored album goes by that form itself.
bool StoredFormIsOurs(const QString& albumName)
{
    const QString stored = StoredAlbumName(albumName);
    return stored == albumName || !Files::IsRealFolder(AlbumPaths::InProgramFolder(session.appPath, stored));
}

// True when `folder` holds anything but folders: what deleting the album's files would touch.
bool HoldsFiles(const QString& folder)
{
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    return std::any_of(names.begin(), names.end(),
                       [&folder](const QString& name) { return !Files::IsRealFolder(folder + u'/' + name); });
}

} // namespace

void DeleteAlbum()
{
    deleteAlbumAnswer = MsgBox(QStringLiteral("Are you sure that you want to delete saved ") + session.albumName,
                               vbYesNo | vbQuestion, QStringLiteral("WARNING"));
    if (deleteAlbumAnswer == vbNo)
        return;
    const QString folder = AlbumPaths::InProgramFolder(session.appPath, session.albumName);
    if (!AlbumPaths::IsPlainAlbumName(session.albumName) || AlbumPaths::IsUnsavedAlbum(session.albumName) ||
        !Files::IsRealFolder(folder)) {
        ShowDeleteManually();
        return;
    }
    // A folder with no files goes alone, its notes stay. Otherwise the notes go
    // first, in one transaction: when they cannot, the album stays whole, and
    // no folder is ever gone while its notes wait for a new album of its name.
    if (HoldsFiles(folder)) {
        if (const RunError records = DeleteAlbumRecords(); records.failed()) {
            MsgBox(records.description + QStringLiteral("\r\nThe album and its notes are kept."), vbOKOnly | vbCritical,
                   QStringLiteral("ERROR"));
            return;
        }
        if (Files::KillAllFiles(folder).failed()) {
            ShowDeleteManually();
            return;
        }
    }
    if (Files::RmDir(folder).failed()) {
        ShowDeleteManually();
        return;
    }
    session.albumChanged = 0; // the album is gone: there is no page left to save
    Forms::Show(Screen::Option1);
}

RunError DeleteAlbumRecords()
{
    RunError error;
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, &error);
    if (!db)
        return error;
    return db->DeleteAlbumRecords(session.albumName, nullptr, StoredFormIsOurs(session.albumName));
}

RunError DeletePictureRecord()
{
    RunError error;
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, &error);
    if (db)
        error = db->DeletePictureRecords(session.albumName, session.pageNr,
                                         AlbumPaths::PictureKey(session.pageNr, session.imageNr), nullptr,
                                         StoredFormIsOurs(session.albumName));
    return error;
}

bool SettleOldNotes(const QString& albumName)
{
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
    const bool storedFormToo = StoredFormIsOurs(albumName);
    int count = 0;
    if (!db || db->CountRecords(albumName, &count, storedFormToo).failed() || count == 0)
        return true; // no old notes (a store that cannot be read shows none either)
    const int answer =
        MsgBox(QStringLiteral("The notes still hold %1 %2 of an earlier album named \"%3\", which is no longer on disk.\r\n"
                              "\r\n"
                              "Keep them for the new album \"%3\"? They will belong to its pictures in the same "
                              "places.\r\n"
                              "\r\n"
                              "Yes keeps the old notes, No deletes them.")
                   .arg(count)
                   .arg(count == 1 ? QStringLiteral("note") : QStringLiteral("notes"))
                   .arg(albumName),
               vbYesNo | vbQuestion, QStringLiteral("OLD NOTES"));
    if (answer == vbYes)
        return true;
    if (const RunError dropped = db->DeleteAlbumRecords(albumName, nullptr, storedFormToo); dropped.failed()) {
        MsgBox(dropped.description + QStringLiteral("\r\nThe old notes are kept, and the album is not saved."),
               vbOKOnly | vbCritical, QStringLiteral("ERROR"));
        return false;
    }
    return true;
}

namespace {

const QRegularExpression& deletingName()
{
    // ".<P<page>I<slot>.<extension>>.deleting-<pid>"
    static const QRegularExpression name(
        QStringLiteral("^\\.(P([1-9]|10)I([0-9]|1[01])\\.[^/]*)\\.deleting-([1-9][0-9]{0,8})$"));
    return name;
}

} // namespace

QString PictureDeletingName(const QString& fileName)
{
    return QStringLiteral(".%1.deleting-%2").arg(fileName).arg(::getpid());
}

void FinishInterruptedPictureDeletes(const QString& folder)
{
    const QString albumName = QFileInfo(folder).fileName();
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return;
    // The leftovers of processes that are gone, by picture: (page, slot) -> (hidden, name).
    QMap<std::pair<int, int>, QList<std::pair<QByteArray, QByteArray>>> pictures;
    for (const QString& entry : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch m = deletingName().match(entry);
        if (m.hasMatch() && SaveIntent::ProcessGone(pid_t(m.captured(4).toLong())))
            pictures[{m.captured(2).toInt(), m.captured(3).toInt()}].append(
                {QFile::encodeName(entry), QFile::encodeName(m.captured(1))});
    }
    if (pictures.isEmpty()) {
        ::close(dir);
        return; // nothing interrupted: a page load costs no sync
    }
    const std::unique_ptr<PhotoDatabase> db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it) {
        // The note still there: the delete did not get that far, and the picture
        // comes back. The note gone: the delete is finished. A store that cannot
        // be read keeps the picture.
        const QString page = QString::number(it.key().first);
        int notes = 0;
        const bool noteGone = db &&
                              !db->CountRecords(albumName, &notes, StoredFormIsOurs(albumName), page,
                                                AlbumPaths::PictureKey(page, it.key().second))
                                   .failed() &&
                              notes == 0;
        for (const auto& [hidden, name] : it.value()) {
            if (noteGone)
                ::unlinkat(dir, hidden.constData(), 0);
            else if (::renameat2(dir, hidden.constData(), dir, name.constData(), RENAME_NOREPLACE) != 0 &&
                     errno != EEXIST && ::faccessat(dir, name.constData(), F_OK, AT_SYMLINK_NOFOLLOW) != 0)
                ::renameat(dir, hidden.constData(), dir, name.constData()); // no RENAME_NOREPLACE here
            // never over a file that took the name since
        }
    }
    ::fsync(dir);
    ::close(dir);
}
