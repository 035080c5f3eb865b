#include "photoquery.h"

namespace {
// Text order and text comparison ignore letter case (the store's collation).
const QString ByNumbers = QStringLiteral("[Album Name] COLLATE QUILLCASE, [Pa], [P2]");
const QString ByTexts =
    QStringLiteral("[Album Name] COLLATE QUILLCASE, [Page Nr] COLLATE QUILLCASE, [Image Nr] COLLATE QUILLCASE");

PhotoQuery search(const QString& text, const QString& orderBy)
{
    return {QStringLiteral("QUILLLIKE(?, [Discription])"), {u'*' + text + u'*'}, orderBy};
}
} // namespace

PhotoQuery PhotoQuery::FullListing()
{
    return {{}, {}, ByNumbers};
}

PhotoQuery PhotoQuery::BrowserSearch(const QString& text)
{
    return search(text, ByNumbers);
}

PhotoQuery PhotoQuery::RecordScreenSearch(const QString& text)
{
    return search(text, ByTexts);
}

PhotoQuery PhotoQuery::Picture(const QString& albumName, const QString& pageText, const QString& pictureKey)
{
    return {QStringLiteral("[Album Name] = ? COLLATE QUILLCASE AND [Page Nr] = ? COLLATE QUILLCASE "
                           "AND [Image Nr] = ? COLLATE QUILLCASE"),
            {StoredAlbumName(albumName), pageText, pictureKey},
            {}};
}

PhotoQuery PhotoQuery::Table()
{
    return {};
}

QString StoredAlbumName(const QString& albumName)
{
    QString name = albumName;
    return name.remove(u'\'');
}
