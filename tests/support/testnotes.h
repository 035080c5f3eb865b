#pragma once

#include <QString>

class PhotoDatabase;

// Notes about pictures, stored as the photo data screens store them.
namespace TestNotes {

// A note for slot `slot` of page `page` of `album`, dated "1999".
void Add(PhotoDatabase& db, const QString& album, int page, int slot, const QString& text = {});
// The same in the store of the program folder (session.appPath).
void Add(const QString& album, int page, int slot, const QString& text = {});

} // namespace TestNotes
