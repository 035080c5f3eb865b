#include "albumsaving.h"

#include "albumdeletion.h"
#include "albumguard.h"
#include "albumpaths.h"
#include "elementscreens.h"
#include "fileops.h"
#include "forms.h"
#include "frmpbar3.h"
#include "interaction.h"
#include "pagewriter.h"
#include "picturebox.h"
#include "screennames.h"
#include "session.h"
#include "val.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include <utility>

namespace {

QString slotText;

void SetSlotText(int slot)
{
    if (slot >= 0 && slot <= 11)
        slotText = QString::number(slot);
}

// The progress after each slot as the bar and its label show it.
constexpr int SavedPercent[12] = {8, 16, 24, 33, 41, 50, 58, 66, 75, 83, 91, 100};

// The longest name the file system takes for a folder, in bytes.
constexpr int MaxNameBytes = 255;

} // namespace

QString AlbumNameProblem(const QString& name)
{
    if (!AlbumPaths::IsPlainAlbumName(name))
        return QStringLiteral("An album name may not be \".\" or \"..\", nor hold \"/\", \"\\\" or a control character.");
    if (name == AlbumPaths::NewAlbum)
        return QStringLiteral("\"New Album\" is the name of an album that has not been saved yet;\r\n"
                              "an album needs a name of its own.");
    if (QFile::encodeName(name).size() > MaxNameBytes)
        return QStringLiteral("The album name is too long.");
    return {};
}

void CheckPagePictures(SlotScreen& page)
{
    session.pageHasPictures = 0;
    for (int s = 0; s <= 11; ++s) {
        if (PictureBox* slot = page.Image1(s); slot && Val(slot->Tag) == 1)
            session.pageHasPictures = 1;
    }
}

RunError WritePagePictures(SlotScreen& screen, bool folderMadeNow)
{
    session.pagePaths[0] += u'/';
    for (int n = 1; n <= 10; ++n)
        session.pagePaths[std::size_t(n)] = session.pagePaths[0] + QStringLiteral("P%1I").arg(n);
    const int page = int(Val(session.pageNr));
    if (page < 1 || page > 10)
        return RunError{RunError::PathNotFound,
                        QStringLiteral("There is no page %1.\r\nNo picture file of this page was changed.").arg(session.pageNr)};

    std::vector<PageWriter::Slot> pictures;
    for (int s = 0; s <= 11; ++s) {
        PictureBox* box = screen.Image1(s);
        if (box && Val(box->Tag) == 1)
            pictures.push_back({s, box->GetPicture()});
    }
    auto* bar = Forms::Get<FrmPbar3>(Screen::Pbar3);
    QString folder = session.pagePaths[0];
    folder.chop(1);
    // A named album's folder that went away meanwhile (another program deleted
    // the album) is made again, so the changed pictures can still be saved.
    if (!folderMadeNow && !pictures.empty() && !QFileInfo::exists(folder) &&
        AlbumPaths::IsPlainAlbumName(QFileInfo(folder).fileName()))
        folderMadeNow = !Files::MkDir(folder).failed();
    QStringList gone;
    const RunError written = PageWriter::WritePage(
        folder, page, pictures,
        [bar](int s) {
            SetSlotText(s);
            if (bar) {
                bar->SetProgress(SavedPercent[s]);
                bar->lblADone->setText(QString::number(SavedPercent[s]) + u'%');
                bar->Refresh();
            }
        },
        &gone);
    if (folderMadeNow && (written.failed() || QDir(folder).isEmpty()))
        Files::RmDir(folder); // a save never leaves behind an empty folder of its own making
    if (!written.failed() && !gone.isEmpty())
        MsgBox(QStringLiteral("The page was saved, but these pictures of it were not: %1.\r\n"
                              "Their files were removed from the album folder by another program while the page "
                              "was on screen, so there was nothing left to save.")
                   .arg(gone.join(QStringLiteral(", "))),
               vbOKOnly | vbInformation, QStringLiteral("WARNING"));
    return written;
}

RunError SavePageWithProgress(SlotScreen& screen, bool folderMadeNow)
{
    auto* bar = Forms::Get<FrmPbar3>(Screen::Pbar3);
    if (bar) {
        bar->Show();
        bar->lblTitle->setText(QStringLiteral("Saving"));
        bar->SetProgress(0);
        bar->lblSloc->setText(QStringLiteral("At ") + session.appPath);
    }
    const RunError written = WritePagePictures(screen, folderMadeNow);
    Forms::Hide(Screen::Pbar3);
    return written;
}

void ShowWriteFailure(const RunError& error)
{
    MsgBox(QStringLiteral("The page could not be saved:\r\n") + error.description +
               QStringLiteral("\r\n\r\nThe page stays on screen with its changes."),
           vbOKOnly | vbCritical, QStringLiteral("ERROR"));
}

bool SaveAlbum(SlotScreen& screen)
{
    CheckPagePictures(screen);
    if (session.pageHasPictures == 0) {
        MsgBox(QStringLiteral("There are no pictures in the album\r\n    and it will not be saved."),
               vbOKOnly | vbInformation, QStringLiteral("WARNING"));
        return true;
    }
    session.saveAlbumName = InputBox(QStringLiteral("Enter the name of the album that you want to save."),
                                     QStringLiteral("Save Album"), session.albumName);
    if (session.saveAlbumName.isEmpty()) {
        session.saveAlbumResult = MsgBox(QStringLiteral("You either did not enter a name or pressed Cancel"),
                                         vbOKCancel | vbInformation, QStringLiteral("WARNING"));
        if (session.saveAlbumResult == vbCancel)
            return true;
        return SaveAlbum(screen);
    }
    if (const QString problem = AlbumNameProblem(session.saveAlbumName); !problem.isEmpty()) {
        MsgBox(problem + QStringLiteral("\r\nPlease type another name."), vbOKOnly | vbExclamation,
               QStringLiteral("WARNING"));
        return SaveAlbum(screen);
    }
    session.pagePaths[0] = AlbumPaths::InProgramFolder(session.appPath, session.saveAlbumName);
    const RunError made = Files::MkDir(session.pagePaths[0]);
    if (!made.failed() && !SettleOldNotes(session.saveAlbumName)) {
        Files::RmDir(session.pagePaths[0]);
        return false;
    }
    auto write = [&screen, &made](bool naming) {
        if (auto* bar = Forms::Get<FrmPbar3>(Screen::Pbar3); bar && naming)
            bar->lblAName->setText(session.saveAlbumName);
        const RunError written = SavePageWithProgress(screen, !made.failed());
        if (written.failed())
            ShowWriteFailure(written);
        return !written.failed();
    };
    if (!made.failed())
        return write(true);
    if (made.number == RunError::PathFileAccess && session.saveAlbumName == session.albumName)
        return write(false); // the open album under its own name: its files of this page are replaced
    if (made.number == RunError::PathFileAccess) {
        MsgBox(QStringLiteral("You have allready saved a Album named ( ") + session.saveAlbumName + QStringLiteral(" )"),
               vbOKOnly | vbExclamation);
        session.deletePictureAnswer = QString::number(
            MsgBox(QStringLiteral("Are you sure that you want to change the saved Album ( ") + session.saveAlbumName +
                       QStringLiteral(" )"),
                   vbYesNo | vbInformation, QStringLiteral("WARNING")));
        if (session.deletePictureAnswer == QStringLiteral("7")) {
            const bool saved = SaveAlbum(screen);
            session.deletePictureAnswer.clear();
            return saved;
        }
        return write(true);
    }
    // The folder could not be made: the name is asked again.
    MsgBox(QStringLiteral("The album folder \"") + session.pagePaths[0] + QStringLiteral("\" could not be made:\r\n") +
               made.description + QStringLiteral("\r\nPlease type another name."),
           vbOKOnly | vbExclamation, QStringLiteral("WARNING"));
    return SaveAlbum(screen);
}

void AskSaveAlbum()
{
    if (session.albumChanged != 0) {
        session.saveAlbumAnswer = QString::number(
            MsgBox(QStringLiteral("    If you have changed any picture\r\n"
                                  "                       or\r\n"
                                  "            created a new Album.\r\n"
                                  "       You should save the album\r\n"
                                  "before going to the Select Album Page\r\n"
                                  "\r\n"
                                  "    Do you want to save the Album?"),
                   vbYesNo | vbInformation, QStringLiteral("WARNING")));
    } else {
        session.saveAlbumAnswer = QStringLiteral("7");
    }
}

bool SelectNewAlbum(SlotScreen& screen)
{
    // The list is read afresh each time, so an album saved since it was last shown is in it.
    auto showFreshList = [] {
        Forms::Unload(Screen::SelectAlbum1);
        Forms::Show(Screen::SelectAlbum1);
    };
    CheckSuppliedAlbum();
    if (session.albumAttr == Files::Directory + Files::ReadOnly) {
        session.albumName.clear();
        showFreshList();
        Forms::Hide(Screen::Cover);
        return false;
    }
    AskSaveAlbum();
    if (session.saveAlbumAnswer == QStringLiteral("6")) {
        // Cancel at the name (then at the question that follows) keeps the page, as a failed write does.
        const std::int32_t before = std::exchange(session.saveAlbumResult, 0);
        const bool written = SaveAlbum(screen);
        if (session.saveAlbumResult == 0)
            session.saveAlbumResult = before; // only the empty-name question sets it
        if (!written || session.saveAlbumResult == vbCancel)
            return false; // the page stays on screen with its changes
    }
    session.albumChanged = 0; // the user has decided: the page screen goes without asking again
    session.albumName.clear();
    showFreshList();
    return true;
}
