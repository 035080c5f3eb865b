#include "albumpaths.h"

namespace AlbumPaths {

QString PictureKey(const QString& page, int slot)
{
    return QStringLiteral("P") + page + QStringLiteral("I") + QString::number(slot);
}

QString PictureKey(int page, int slot)
{
    return PictureKey(QString::number(page), slot);
}

QString SlotFileName(const QString& page, int slot)
{
    return PictureKey(page, slot) + QStringLiteral(".bmp");
}

QString SlotFileName(int page, int slot)
{
    return SlotFileName(QString::number(page), slot);
}

QString InProgramFolder(const QString& appPath, const QString& name)
{
    return appPath + u'/' + name;
}

bool IsPlainAlbumName(const QString& name)
{
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral(".."))
        return false;
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString PageCaption(const QString& albumName, const QString& pageNr)
{
    return QStringLiteral("Album \"") + albumName + QStringLiteral(" -- Page ") + pageNr + u'"';
}

} // namespace AlbumPaths

bool AlbumPaths::IsUnsavedAlbum(const QString& albumName)
{
    return albumName.isEmpty() || albumName == NewAlbum;
}
