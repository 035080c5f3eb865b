#include "pageforview.h"

#include "albumpaths.h"
#include "frmpage1.h"
#include "picturebox.h"
#include "photorecordset.h"
#include "photostore.h"
#include "screennames.h"
#include "session.h"
#include "slotfocus.h"

#include <QFileInfo>

int PageForView::PageShown() const
{
    return session.pageNr.toInt();
}

bool PageForView::Filled(int page, int slot)
{
    if (page == PageShown()) {
        // The page on screen as it is now, unsaved changes and all; a picture that cannot be shown is passed over.
        const PictureBox* box = m_page.Image1(slot);
        return box && box->Tag == QStringLiteral("1") && box->Problem.isEmpty();
    }
    if (AlbumPaths::IsUnsavedAlbum(session.albumName))
        return false; // no folder yet: only the page on screen has pictures
    return QFileInfo(storedFile(page, slot)).isFile();
}

QString PageForView::storedFile(int page, int slot)
{
    return AlbumPaths::InProgramFolder(session.appPath, session.albumName) + u'/' +
           AlbumPaths::PictureKey(page, slot) + QStringLiteral(".bmp");
}

Picture PageForView::PictureAt(int page, int slot)
{
    if (page == PageShown())
        return SlotPicture(slot);
    Picture stored;
    if (!AlbumPaths::IsUnsavedAlbum(session.albumName))
        stored.sourcePath = storedFile(page, slot);
    return stored;
}

void PageForView::BackAt(int slot)
{
    if (SlotFocus* keys = m_page.SlotKeys())
        keys->MoveTo(slot);
}

bool PageForView::TurnTo(int page)
{
    m_page.mnuP_Click(page);
    return PageShown() == page;
}

Picture PageForView::SlotPicture(int slot)
{
    const PictureBox* box = m_page.Image1(slot);
    return box ? box->GetPicture() : Picture{};
}

std::optional<PictureNote> PageForView::NoteOf(int slot)
{
    // Only a stored album keeps notes; a missing store is not made for a look-up.
    if (AlbumPaths::IsUnsavedAlbum(session.albumName) ||
        !QFileInfo(AlbumPaths::InProgramFolder(session.appPath, ProgramFiles::PhotoDatabase)).isFile())
        return std::nullopt;
    RunError error;
    const std::unique_ptr<PhotoDatabase> db = PhotoDatabase::OpenInProgramFolder(session.appPath, &error);
    if (!db)
        return std::nullopt; // the line names the picture; the notes screens tell of a broken store
    const std::unique_ptr<PhotoRecordset> notes = db->OpenRecordset(
        PhotoQuery::Picture(StoredAlbumName(session.albumName), session.pageNr,
                            AlbumPaths::PictureKey(session.pageNr, slot)),
        &error);
    if (!notes || notes->RecordCount() == 0 || notes->MoveFirst().failed())
        return std::nullopt;
    return PictureNote{notes->Text(PhotoFields::Date), notes->Text(PhotoFields::Discription)};
}
