#pragma once

#include <QStringList>

#include <functional>

class PhotoDatabase;
class PhotoQuery;
class PhotoRecordset;

// Notes about pictures, stored as the photo data screens store them.
namespace TestNotes {

// A note for slot `slot` of page `page` of `album`, dated "1999".
void Add(PhotoDatabase& db, const QString& album, int page, int slot, const QString& text = {});
// The same in the store of the program folder (session.appPath).
void Add(const QString& album, int page, int slot, const QString& text = {});

// Each record of `rs` from where it stands to its end, as `row` writes it.
// A set that has not ended after `bound` records fails the test there, so a
// broken end of set cannot eat the machine's memory.
QStringList Walk(PhotoRecordset& rs, const std::function<QString(PhotoRecordset&)>& row, int bound = 1000);

// Every record of a listing as "album/key/description", in its order ("<failed>" when it cannot be opened).
QStringList Listing(PhotoDatabase& db, const PhotoQuery& query);

} // namespace TestNotes
