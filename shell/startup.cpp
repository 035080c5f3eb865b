#include "startup.h"

#include "albumpaths.h"
#include "fileops.h"
#include "form.h"
#include "forms.h"
#include "frmcover.h"
#include "photobackups.h"
#include "runerror.h"
#include "screennames.h"
#include "session.h"

#include <QAction>
#include <QFile>
#include <QTimer>

namespace {

// Failing file operations during start-up are noted here and never stop it.
PendingError startErr;
bool startUpRan = false;
// The supplied pictures this start copied into the new album folder.
QStringList copiedThisStart;

// The installed supplied pictures, when the program folder holds none of its own.
QString suppliedPictures;

// A supplied picture: the program folder's own copy, else the installed one.
QString suppliedSource(const QString& name)
{
    const QString own = AlbumPaths::InProgramFolder(session.appPath, name);
    if (suppliedPictures.isEmpty() || QFile::exists(own))
        return own;
    return suppliedPictures + u'/' + name;
}

QString suppliedFolder()
{
    return AlbumPaths::InProgramFolder(session.appPath, ProgramFiles::SuppliedAlbum);
}

void copySuppliedPage(int page)
{
    startErr.clear();
    for (int slot = 0; slot <= 11; ++slot) {
        const QString name = AlbumPaths::SlotFileName(page, slot);
        const QString target = suppliedFolder() + u'/' + name;
        const RunError copied = Files::FileCopy(suppliedSource(name), target);
        if (!copied.failed())
            copiedThisStart << target;
        startErr.note(copied);
        CheckCopy();
    }
    Forms::Refresh(Screen::Cover);
}

void showCover()
{
    Forms::Show(Screen::Cover);
    Forms::Hide(Screen::ReadMe);
    Forms::Refresh(Screen::Cover);
    // Once the window is up, a version of the notes is kept aside on a thread
    // of its own at the lowest priority: no screen waits for it.
    PhotoBackups::KeepInBackground(AlbumPaths::InProgramFolder(session.appPath, ProgramFiles::PhotoDatabase));
}

} // namespace

void StartUp()
{
    startUpRan = true;
    session.appPath = Files::CurDir();
    session.startPath = session.appPath;
    session.appDrive = session.appPath.left(1);
    Forms::Load(Screen::GetFile);
    session.pageNr = QStringLiteral("1");
    Forms::Load(Screen::DisplayPicture);
    Forms::Load(Screen::Option1);
    Forms::Load(Screen::Pbar3);
    Forms::Load(Screen::SelectAlbum1);
    session.suppliedAlbumPresent = 0;
    session.albumName.clear();
    session.viewFromPage = 0;
    session.albumChanged = 0;
    if (Form* page = Forms::Get(Screen::Page1)) {
        if (QAction* pageDown = page->Menu(QStringLiteral("mnuPD")))
            pageDown->setEnabled(false);
    }

    startErr.clear();
    const RunError made = Files::MkDir(suppliedFolder());
    if (made.number == RunError::PathFileAccess) {
        // The folder is there already: not the first run.
        showCover();
        startErr.clear();
        session.suppliedAlbumPresent = 1;
        return;
    }

    // First run (or the folder could not be made: the copies then fail too).
    if (auto* cover = Forms::Get<FrmCover>(Screen::Cover))
        cover->tmrCover->setInterval(22000);
    showCover();
    copiedThisStart.clear();
    CopyPage1();
    // All or nothing: a partly copied album is taken away again, so that a later start tries anew.
    if (copiedThisStart.size() != 120) {
        for (const QString& copied : std::as_const(copiedThisStart))
            QFile::remove(copied);
        session.suppliedAlbumPresent = 0;
    }
    copiedThisStart.clear();

    if (session.suppliedAlbumPresent != 0) {
        startErr.note(Files::SetAttr(suppliedFolder(), Files::ReadOnly));
    } else {
        startErr.note(Files::RmDir(suppliedFolder()));
        Forms::Refresh(Screen::Cover);
    }
    startErr.clear();
}

void SetSuppliedPictures(const QString& folder)
{
    suppliedPictures = folder;
}

void CopyPage1()
{
    copySuppliedPage(1);
    CopyPage2();
}
void CopyPage2()
{
    copySuppliedPage(2);
    CopyPage3();
}
void CopyPage3()
{
    copySuppliedPage(3);
    CopyPage4();
}
void CopyPage4()
{
    copySuppliedPage(4);
    CopyPage5();
}
void CopyPage5()
{
    copySuppliedPage(5);
    CopyPage6();
}
void CopyPage6()
{
    copySuppliedPage(6);
    CopyPage7();
}
void CopyPage7()
{
    copySuppliedPage(7);
    CopyPage8();
}
void CopyPage8()
{
    copySuppliedPage(8);
    CopyPage9();
}
void CopyPage9()
{
    copySuppliedPage(9);
    CopyPage10();
}
void CopyPage10()
{
    copySuppliedPage(10);
}

void CheckCopy()
{
    if (!startErr.pending())
        session.suppliedAlbumPresent = 1;
    else
        startErr.clear();
}

bool StartUpHasRun()
{
    return startUpRan;
}

void ResetStartUp()
{
    PhotoBackups::StopBackground();
    startUpRan = false;
    suppliedPictures.clear();
    startErr.clear();
}
