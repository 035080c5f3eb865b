#include "printtitle.h"

#include "picture.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace PrintTitle {
namespace {

QString Place(const QString& album, const QString& page, const QString& slot)
{
    return QStringLiteral("%1, page %2, picture %3").arg(album, page, slot);
}

} // namespace

QString For(const Picture& picture, bool fromPage, const QString& albumName, const QString& pageNr, int slot)
{
    const QString page = pageNr.trimmed();
    if (fromPage && !albumName.trimmed().isEmpty() && !page.isEmpty() && slot >= 0 && slot <= 11)
        return Place(albumName.trimmed(), page, QString::number(slot));
    if (!picture.sourcePath.isEmpty()) {
        const QFileInfo file(picture.sourcePath);
        static const QRegularExpression key(QStringLiteral("^P(10|[1-9])I(1[01]|[0-9])$"),
                                            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = key.match(file.completeBaseName());
        const QString album = file.dir().dirName();
        if (m.hasMatch() && !album.isEmpty())
            return Place(album, m.captured(1), m.captured(2));
        if (!file.fileName().isEmpty())
            return file.fileName();
    }
    return QStringLiteral("Quillbook picture");
}

} // namespace PrintTitle
