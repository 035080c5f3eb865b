#include "albumdeletion.h"

#include "albumpaths.h"
#include "fileops.h"
#include "forms.h"
#include "interaction.h"
#include "photoquery.h"
#include "photostore.h"
#include "screennames.h"
#include "session.h"

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
    const RunError killed = Files::KillAllFiles(folder);
    if (killed.number == RunError::FileNotFound) {
        // A folder with no files: it goes, its notes stay.
        if (Files::RmDir(folder).failed()) {
            ShowDeleteManually();
            return;
        }
        session.albumChanged = 0; // the album is gone: there is no page left to save
        Forms::Show(Screen::Option1);
        return;
    }
    if (killed.failed() || Files::RmDir(folder).failed()) {
        ShowDeleteManually();
        return;
    }
    // The album is gone from disk; a store failure is told, and the options screen follows anyway.
    if (const RunError records = DeleteAlbumRecords(); records.failed())
        ShowStoreFailure(records);
    session.albumChanged = 0;
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

bool DeletePictureRecord()
{
    RunError error;
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, &error);
    if (db)
        error = db->DeletePictureRecords(session.albumName, session.pageNr,
                                         AlbumPaths::PictureKey(session.pageNr, session.imageNr), nullptr,
                                         StoredFormIsOurs(session.albumName));
    if (error.failed())
        ShowStoreFailure(error);
    return !error.failed();
}
