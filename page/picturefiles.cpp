#include "picturefiles.h"

#include "albumpaths.h"
#include "fileops.h"
#include "forms.h"
#include "frmpage1.h"
#include "interaction.h"
#include "screennames.h"
#include "session.h"
#include "val.h"

#include <QPushButton>

QString PictureFilesPattern(const QString& page, int slot)
{
    return QStringLiteral("P") + page + QStringLiteral("I") + QString::number(slot) + QStringLiteral(".*");
}

void DeletePictureFiles(int slot)
{
    session.deleteCancelled = 0;
    const int answer = MsgBox(QStringLiteral("This will delete the photo from your saved file ") + session.albumName,
                              vbOKCancel | vbInformation, QStringLiteral("WARNING"));
    session.deletePictureAnswer = QString::number(answer);
    if (answer == vbCancel) {
        session.deleteCancelled = 1;
        if (auto* page = Forms::Get<FrmPage1>(Screen::Page1))
            page->cmdCancelAddDelete->click();
        return;
    }
    if (AlbumPaths::IsUnsavedAlbum(session.albumName))
        return; // never saved: no folder on disk is this album's, whatever its name
    const int page = int(Val(session.pageNr));
    if (page < 1 || page > 10)
        return;
    session.pageFilePrefix = QStringLiteral("P%1I").arg(page);
    const QString folder = AlbumPaths::InProgramFolder(session.appPath, session.albumName);
    if (!AlbumPaths::IsPlainAlbumName(session.albumName) || !Files::IsRealFolder(folder))
        return;
    Files::Kill(folder + u'/' + PictureFilesPattern(QString::number(page), slot));
}
