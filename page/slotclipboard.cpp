#include "slotclipboard.h"

#include "albumpaths.h"
#include "clipboardpicture.h"
#include "picturebox.h"
#include "session.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace SlotClipboard {

QString SavedFile(const PictureBox& box, int slot)
{
    if (box.Tag != QLatin1String("1") || !box.Problem.isEmpty() || slot < 0 || slot > 11 ||
        !AlbumPaths::IsPlainAlbumName(session.albumName))
        return {};
    const QString source = box.GetPicture().sourcePath;
    if (source.isEmpty())
        return {};
    const QFileInfo saved(AlbumPaths::InProgramFolder(session.appPath, session.albumName) + u'/' +
                          AlbumPaths::SlotFileName(session.pageNr, slot));
    const QString savedPath = saved.canonicalFilePath(); // empty when there is no such file
    if (savedPath.isEmpty() || !saved.isFile() || savedPath != QFileInfo(source).canonicalFilePath())
        return {};
    return savedPath;
}

void Copy(const PictureBox& box, int slot)
{
    ClipboardPicture::Put(box.GetPicture());
    const QString file = SavedFile(box, slot);
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* offered = clipboard->mimeData();
    if (file.isEmpty() || !offered || offered->formats().isEmpty())
        return;
    // The clipboard's data is replaced as a whole: the picture's formats, then the file.
    auto* data = new QMimeData;
    if (offered->hasImage())
        data->setImageData(offered->imageData());
    for (const QString& format : offered->formats()) {
        if (format != QLatin1String("application/x-qt-image"))
            data->setData(format, offered->data(format));
    }
    const QUrl url = QUrl::fromLocalFile(file);
    data->setUrls({url});
    data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
    clipboard->setMimeData(data);
}

} // namespace SlotClipboard
