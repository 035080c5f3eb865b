// The page screen's editing modes: add from a file, delete, copy and paste.
#include "albumdeletion.h"
#include "albumguard.h"
#include "albumpaths.h"
#include "clipboardpicture.h"
#include "fitting.h"
#include "forms.h"
#include "frmgetfile.h"
#include "frmpage1.h"
#include "interaction.h"
#include "keptfile.h"
#include "manypictures.h"
#include "killpoint.h"
#include "pageloader.h"
#include "photostore.h"
#include "picturebox.h"
#include "picturefiles.h"
#include "screennames.h"
#include "session.h"
#include "slotclipboard.h"
#include "val.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace {
const QString NormalMode = QStringLiteral("0");
const QString AddMode = QStringLiteral("1");
const QString DeleteMode = QStringLiteral("2");
const QString CopyMode = QStringLiteral("3");
const QString PasteMode = QStringLiteral("4");
const QString CancelAddDelete = QStringLiteral("Cancel Add/Delete");
} // namespace

void FrmPage1::AddDelOnMsgCor()
{
    Menu(QStringLiteral("mnuInst"))->setVisible(false);
    for (const char* name : {"mnuFile", "mnuMenu", "mnuEdit", "mnuPD", "mnuPU", "mnuHelp"})
        Menu(QLatin1String(name))->setEnabled(false);
    lblAddDelIns->hide();
}

void FrmPage1::EndAddDelete()
{
    for (const char* name : {"mnuEdit", "mnuFile", "mnuMenu", "mnuHelp"})
        Menu(QLatin1String(name))->setEnabled(true);
    lblAddDelIns->setText({});
    Menu(QStringLiteral("mnuInst"))->setVisible(true);
    cmdCancelAddDelete->hide();
    const QRectF r = Placed(cmdCancelAddDelete);
    Place(cmdCancelAddDelete, r.left(), CancelButtonTop, r.width(), r.height());
    editMode = NormalMode;
    Menu(QStringLiteral("mnuPD"))->setEnabled(Val(session.pageNr) != 1);
    Menu(QStringLiteral("mnuPU"))->setEnabled(Val(session.pageNr) != 10);
}

void FrmPage1::mnuAddPicture_Click()
{
    if (SuppliedAlbumRefuses())
        return;
    editMode = AddMode;
    AddDelOnMsgCor();
    SetUpFileChooser();
    auto* chooser = Forms::Get<FrmGetFile>(Screen::GetFile);
    if (chooser && !chooser->Tag.isEmpty()) {
        cmdCancelAddDelete->setText(CancelAddDelete);
        cmdCancelAddDelete->show();
        lblAddDelIns->setText(QStringLiteral("Click the blank where you want the picture to appear"));
        lblAddDelIns->show();
    } else {
        // The chooser's Cancel has ended the mode already; however it went away, no mode is left.
        EndAddDelete();
    }
}

void FrmPage1::mnuDeletePicture_Click()
{
    if (SuppliedAlbumRefuses())
        return;
    editMode = DeleteMode;
    AddDelOnMsgCor();
    cmdCancelAddDelete->setText(CancelAddDelete);
    cmdCancelAddDelete->show();
    lblAddDelIns->setText(QStringLiteral("Click the picture that you want to delete"));
    lblAddDelIns->show();
}

void FrmPage1::mnuCopy_Click()
{
    cmdCancelAddDelete->setText(QStringLiteral("Cancel Copy"));
    cmdCancelAddDelete->show();
    editMode = CopyMode;
    AddDelOnMsgCor();
    lblAddDelIns->setText(QStringLiteral("Click the Picture that you want to Copy"));
    lblAddDelIns->show();
}

void FrmPage1::mnuPaste_Click()
{
    if (SuppliedAlbumRefuses())
        return;
    cmdCancelAddDelete->setText(QStringLiteral("Cancel Paste"));
    cmdCancelAddDelete->show();
    editMode = PasteMode;
    AddDelOnMsgCor();
    lblAddDelIns->setText(QStringLiteral("Click the Blank where you want to Paste the picture from Clipboard"));
    lblAddDelIns->show();
}

void FrmPage1::cmdCancelAddDelete_Click()
{
    if (m_batch)
        CancelAdding();
    Menu(QStringLiteral("mnuInst"))->setText(QStringLiteral("Click any Picture to see full size picture' )"));
    EndAddDelete();
}

void FrmPage1::ImgRep(int slot)
{
    if (editMode == AddMode)
        AddPicture(slot);
    else if (editMode == CopyMode) {
        SlotClipboard::Copy(*m_images[std::size_t(slot)], slot);
        Menu(QStringLiteral("mnuInst"))->setText(QStringLiteral("Click any picture to see full size picture' )"));
        EndAddDelete();
    } else if (editMode == PasteMode)
        PastePicture(slot);
    else if (editMode == DeleteMode)
        DeletePicture(slot);
    else if (!m_images[std::size_t(slot)]->Problem.isEmpty())
        MsgBox(QStringLiteral("This picture cannot be shown:\r\n") + m_images[std::size_t(slot)]->Problem,
               vbOKOnly | vbExclamation, QStringLiteral("Picture"));
    else
        PrepareView(slot);
}

void FrmPage1::AddPicture(int slot)
{
    auto* chooser = Forms::Get<FrmGetFile>(Screen::GetFile);
    if (chooser && chooser->ChosenPaths().size() > 1) {
        const QStringList files = chooser->ChosenPaths();
        EndAddDelete(); // adding several enters its own mode
        AddPictures(slot, files);
        return;
    }
    PlaceFile(slot, chooser ? chooser->Tag : QString(), false);
    EndAddDelete();
}

bool FrmPage1::PlaceFile(int slot, const QString& path, bool nameIt)
{
    // The slot keeps a private copy of the file: the picture shown now is the
    // one saved later, whatever becomes of the file.
    const Pictures::LoadResult loaded = Pictures::LoadKeptPicture(path, SlotPixels(), SlotPixelRatio());
    return PlaceLoaded(slot, path, loaded.picture, loaded.error, nameIt);
}

bool FrmPage1::PlaceLoaded(int slot, const QString& path, const Picture& picture, const RunError& error, bool nameIt)
{
    PictureBox* box = m_images[std::size_t(slot)];
    if (error.number == RunError::PathFileAccess) {
        const QString named = nameIt ? QFileInfo(path).fileName() + QStringLiteral("\r\n") : QString();
        MsgBox(QStringLiteral("The picture could not be added.\r\n") + named + error.description,
               vbOKOnly | vbExclamation, QStringLiteral("ERROR"));
        return false;
    }
    if (error.failed()) {
        // The chooser hands on whatever was typed: the slot stays as it was.
        MsgBox(nameIt ? ManyPictures::NotAPictureMessage(path) : QStringLiteral("The file selected is not a picture file"),
               vbOKOnly, QStringLiteral("ERROR"));
        return false;
    }
    box->SetPicture(picture);
    session.albumChanged = 1;
    FitSlotPicture(*box, slot);
    box->Tag = QStringLiteral("1");
    return true;
}

void FrmPage1::PastePicture(int slot)
{
    const Pictures::LoadResult pasted = ClipboardPicture::Take(SlotPixels(), SlotPixelRatio());
    if (pasted.error.failed()) {
        // Nothing to paste: no slot is ever marked as holding a picture without one.
        MsgBox(QStringLiteral("The clipboard holds no picture to paste.\r\n"
                              "Copy a picture first, here or in another program."),
               vbOKOnly | vbExclamation, QStringLiteral("ERROR"));
        EndAddDelete();
        return;
    }
    PictureBox* box = m_images[std::size_t(slot)];
    box->SetPicture(pasted.picture);
    FitSlotPicture(*box, slot);
    Menu(QStringLiteral("mnuInst"))->setText(QStringLiteral("Click any picture to see full size picture')"));
    box->Tag = QStringLiteral("1");
    EndAddDelete();
    session.albumChanged = 1;
}

void FrmPage1::DeletePicture(int slot)
{
    if (!session.albumName.isEmpty()) {
        DeletePictureFiles(slot);
        if (session.deleteCancelled == 1)
            return; // the cancel button has ended the mode
    }
    // The picture and its note go together or not at all: when the note
    // cannot be deleted, the files are back before the user is told why.
    // An album never saved has no notes. A delete killed part-way is
    // finished or undone at the album's next load.
    if (!AlbumPaths::IsUnsavedAlbum(session.albumName)) {
        KillPoint("picture-delete-before-note");
        if (const RunError kept = DeletePictureRecord(); kept.failed()) {
            RestorePictureFiles();
            EndAddDelete();
            ShowStoreFailure(kept);
            return;
        }
        KillPoint("picture-delete-after-note");
    }
    DropPictureFiles();
    PictureBox* box = m_images[std::size_t(slot)];
    box->SetPicture(m_images[12]->GetPicture());
    CorDel(slot);
    box->Tag = QStringLiteral("0");
    session.albumChanged = 1;
    EndAddDelete();
}

void FrmPage1::CorDel(int slot)
{
    PictureBox* box = Image1(slot);
    if (!box)
        return;
    box->SetHeight(Fitting::SlotSide);
    box->SetWidth(Fitting::SlotSide);
    if (slot >= 0 && slot <= 11) {
        box->SetLeft(Fitting::SlotLeft(slot));
        box->SetTop(Fitting::SlotTop(slot));
    }
}
