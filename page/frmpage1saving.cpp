// The page screen's saving: "Save Page to Disk", the save check before every
// page change, and the question before the screen is left.
#include "albumdeletion.h"
#include "albumguard.h"
#include "albumpaths.h"
#include "albumsaving.h"
#include "fileops.h"
#include "forms.h"
#include "frmpage1.h"
#include "frmpbar3.h"
#include "interaction.h"
#include "picturebox.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"

#include <QLabel>

void FrmPage1::mnuSaveAlbum_Click()
{
    if (SuppliedAlbumRefuses())
        return;
    const bool written = SaveAlbum(*this);
    if (session.saveAlbumResult != vbCancel && written) {
        HideCover();
        session.albumChanged = 0;
    }
}

void FrmPage1::SavePage()
{
    CheckPagePictures(*this);
    session.savePageAnswer = MsgBox(QStringLiteral("Do you want to save changes to Page ") + session.pageNr,
                                    vbYesNo | vbQuestion, QStringLiteral("SAVE CHANGES"));
    if (session.savePageAnswer == vbYes) {
        if (auto* bar = Forms::Get<FrmPbar3>(Screen::Pbar3))
            bar->lblAName->setText(QStringLiteral("Page changes to disk"));
    }
}

bool FrmPage1::ChPgSave(bool leaving)
{
    session.newAlbumName = NoNameMarker;
    CheckPagePictures(*this);
    if (session.pageHasPictures != 1 || session.albumChanged == 0)
        return true;
    // The supplied album is saved like any other once the user has made it writable.
    if (session.albumName == ProgramFiles::SuppliedAlbum) {
        CheckSuppliedAlbum();
        if (session.albumAttr == Files::Directory + Files::ReadOnly)
            return true;
    }
    SavePage();
    if (session.savePageAnswer == vbNo)
        return true;
    const QString namedBefore = session.albumName;
    bool folderMadeNow = false;
    if (AlbumPaths::IsUnsavedAlbum(session.albumName)) {
        for (;;) {
            session.newAlbumName = InputBox(QStringLiteral("Enter the name of the album that you want to save"),
                                            QStringLiteral("SAVE ALBUM"), session.albumName);
            if (session.newAlbumName.isEmpty() || session.newAlbumName == NoNameMarker) {
                // A page turn goes on without saving; a way off the page keeps it, in front.
                if (!leaving)
                    return true;
                Show();
                return false;
            }
            if (const QString problem = AlbumNameProblem(session.newAlbumName); !problem.isEmpty()) {
                MsgBox(problem + QStringLiteral("\r\nPlease type another name."), vbOKOnly | vbExclamation,
                       QStringLiteral("WARNING"));
                continue;
            }
            const QString folder = AlbumPaths::InProgramFolder(session.appPath, session.newAlbumName);
            const RunError made = Files::MkDir(folder);
            if (made.number == RunError::PathFileAccess) {
                MsgBox(QStringLiteral("Filename ") + session.newAlbumName + QStringLiteral(" allready used"), vbOKOnly,
                       QStringLiteral("WARNING"));
                return ChPgSave(leaving);
            }
            if (made.failed()) {
                MsgBox(QStringLiteral("The album folder \"") + folder + QStringLiteral("\" could not be made:\r\n") +
                           made.description + QStringLiteral("\r\nPlease type another name."),
                       vbOKOnly | vbExclamation, QStringLiteral("WARNING"));
                continue;
            }
            if (!SettleOldNotes(session.newAlbumName)) {
                Files::RmDir(folder);
                return false;
            }
            folderMadeNow = true;
            session.albumName = session.newAlbumName;
            break;
        }
    }
    session.pagePaths[0] = AlbumPaths::InProgramFolder(session.appPath, session.albumName);
    if (const RunError written = WritePagePictures(*this, folderMadeNow); written.failed()) {
        if (folderMadeNow)
            session.albumName = namedBefore; // its folder is gone again: the album is still unsaved
        Forms::Hide(Screen::Pbar3);
        ShowWriteFailure(written);
        SetCaption(AlbumPaths::PageCaption(session.albumName, session.pageNr));
        return false;
    }
    if (leaving) {
        session.albumChanged = 0;
        return true;
    }
    for (int s = 0; s <= 11; ++s)
        Image1(s)->SetPicture(Image1(12)->GetPicture());
    Show();
    Forms::Hide(Screen::Pbar3);
    Refresh();
    PageChange();
    session.albumChanged = 0;
    SetCaption(AlbumPaths::PageCaption(session.albumName, session.pageNr));
    return true;
}

bool FrmPage1::MayLeave()
{
    if (!ChPgSave(true))
        return false;
    session.albumChanged = 0;
    return true;
}

bool FrmPage1::Form_QueryUnload()
{
    CancelAdding(); // the user is leaving: what is in stays, for the save check
    return MayLeave();
}
