#pragma once

#include <QString>
#include <QVariantList>

// The listings the photo data screens and album deletion open. Every value
// reaches SQLite as a bound parameter: no search text or album name can
// change a query. No listing but the table holds the placeholder record (the
// table's first record when its album name is a single blank): a screen never
// shows, reaches or deletes it, wherever it would sort and whether it is
// there or not.
struct PhotoQuery {
    QString where;       // SQL condition, or empty for every record
    QVariantList values; // bound in order to the condition's `?`
    QString orderBy;     // SQL ordering; the record's row id breaks ties
    bool scan = false;   // read every record and sort what matches, not along the index

    // Every note, by album, then page and slot as numbers (page 10 after page 9).
    static PhotoQuery FullListing();
    // Records whose description contains `text` in the search pattern
    // language (see LikePattern), ordered as the full listing.
    static PhotoQuery BrowserSearch(const QString& text);
    // The same records, ordered by the texts: page "10" before page "2".
    static PhotoQuery RecordScreenSearch(const QString& text);
    // The records of one picture; apostrophes are taken out of the album
    // name, as the photo data screen stores it.
    static PhotoQuery Picture(const QString& albumName, const QString& pageText, const QString& pictureKey);
    // All records in the table's own order, the placeholder first.
    static PhotoQuery Table();

    // SQL condition true for the placeholder record alone.
    static QString PlaceholderRecord();
};

// The album name as the photo data screen stores it: without apostrophes.
QString StoredAlbumName(const QString& albumName);
