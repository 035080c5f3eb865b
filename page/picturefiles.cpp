#include "picturefiles.h"

#include "albumdeletion.h"
#include "albumpaths.h"
#include "fileops.h"
#include "forms.h"
#include "frmpage1.h"
#include "interaction.h"
#include "screennames.h"
#include "session.h"
#include "val.h"

#include <QDir>
#include <QFile>
#include <QPushButton>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The files of the picture being deleted, under hidden names in its folder.
struct TakenOut {
    int folder = -1;
    QList<std::pair<QByteArray, QByteArray>> names; // (name, hidden name)
};
TakenOut takenOut;

void Forget()
{
    if (takenOut.folder >= 0)
        ::close(takenOut.folder);
    takenOut = {};
}

void PutBack()
{
    for (const auto& [name, hidden] : takenOut.names)
        ::renameat(takenOut.folder, hidden.constData(), takenOut.folder, name.constData());
    Forget();
}

// Moves the files matching `pattern` in `folder` to hidden names, the slot's
// own picture file last; empty, or why one could not be moved (then none is).
QString TakeOut(const QString& folder, const QString& pattern, const QString& ownFile)
{
    Forget();
    takenOut.folder = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (takenOut.folder < 0)
        return QStringLiteral("\"%1\" cannot be opened: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeIf([&pattern](const QString& n) { return !Files::WildcardMatch(pattern, n); });
    std::stable_partition(names.begin(), names.end(), [&ownFile](const QString& n) { return n != ownFile; });
    for (const QString& n : names) {
        const QByteArray name = QFile::encodeName(n);
        const QByteArray hidden = QFile::encodeName(PictureDeletingName(n));
        if (::renameat(takenOut.folder, name.constData(), takenOut.folder, hidden.constData()) != 0) {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            PutBack();
            return QStringLiteral("\"%1\" cannot be deleted: %2").arg(folder + u'/' + n, why);
        }
        takenOut.names.append({name, hidden});
    }
    return {};
}

} // namespace

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
    Forget();
    if (AlbumPaths::IsUnsavedAlbum(session.albumName))
        return; // never saved: no folder on disk is this album's, whatever its name
    const int page = int(Val(session.pageNr));
    if (page < 1 || page > 10)
        return;
    session.pageFilePrefix = QStringLiteral("P%1I").arg(page);
    const QString folder = AlbumPaths::InProgramFolder(session.appPath, session.albumName);
    struct stat st {};
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0 && errno == ENOENT)
        return; // an album never saved: no file to delete
    QString refusal;
    if (!AlbumPaths::IsPlainAlbumName(session.albumName) || !Files::IsRealFolder(folder))
        refusal = QStringLiteral("\"%1\" is not a folder of its own (it is a link to another place, or no folder "
                                 "at all), so no picture is deleted from it.")
                      .arg(folder);
    else
        refusal = TakeOut(folder, PictureFilesPattern(QString::number(page), slot),
                          AlbumPaths::SlotFileName(page, slot));
    if (refusal.isEmpty())
        return;
    MsgBox(QStringLiteral("The picture cannot be deleted:\r\n") + refusal +
               QStringLiteral("\r\nThe picture and its notes are kept."),
           vbOKOnly | vbExclamation, QStringLiteral("WARNING"));
    session.deleteCancelled = 1;
    if (auto* screen = Forms::Get<FrmPage1>(Screen::Page1))
        screen->cmdCancelAddDelete->click();
}

void DropPictureFiles()
{
    for (const auto& pair : takenOut.names)
        ::unlinkat(takenOut.folder, pair.second.constData(), 0);
    Forget();
}

void RestorePictureFiles()
{
    PutBack();
}
