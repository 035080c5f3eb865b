#include "photoquery.h"

namespace {
// Text order ignores letter case. The full listing's order is the one the
// store's index keeps, so a listing opens without sorting every note.
const QString ByNumbers = QStringLiteral("[Album Name] COLLATE NOCASE, [Pa], [P2]");
const QString ByTexts =
    QStringLiteral("[Album Name] COLLATE QUILLCASE, [Page Nr] COLLATE QUILLCASE, [Image Nr] COLLATE QUILLCASE");

// The placeholder record: the table's first record when its album name is a single
// blank. The subquery runs once per statement and reads one row id.
const QString Placeholder =
    QStringLiteral("(rowid = (SELECT min(rowid) FROM PhotoData) AND [Album Name] = ' ')");
const QString NotPlaceholder = QStringLiteral("NOT ") + Placeholder;

PhotoQuery search(const QString& text, const QString& orderBy)
{
    // Every description is read anyway: sorting the few that match beats
    // walking the index and fetching each record out of order.
    return {NotPlaceholder + QStringLiteral(" AND QUILLLIKE(?, [Discription])"), {u'*' + text + u'*'}, orderBy, true};
}
} // namespace

PhotoQuery PhotoQuery::FullListing()
{
    return {NotPlaceholder, {}, ByNumbers};
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
    return {NotPlaceholder + QStringLiteral(" AND [Album Name] = ? COLLATE QUILLCASE AND [Page Nr] = ? COLLATE "
                                            "QUILLCASE AND [Image Nr] = ? COLLATE QUILLCASE"),
            {StoredAlbumName(albumName), pageText, pictureKey},
            {}};
}

PhotoQuery PhotoQuery::Table()
{
    return {};
}

QString PhotoQuery::PlaceholderRecord()
{
    return Placeholder;
}

QString StoredAlbumName(const QString& albumName)
{
    QString name = albumName;
    return name.remove(u'\'');
}
