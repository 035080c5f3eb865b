#pragma once

#include <QString>

// What an ended run had not saved, kept for the next start. The page screen's
// added and pasted pictures live in nameless private copies that vanish with
// the program; when the program is ended from outside (SIGTERM, the desktop
// session ending without a question), `Keep` gives the copies of the changed
// page names in the kept-files folder ("unsaved-<pid>-P<page>I<slot>") and
// writes a small record beside them ("unsaved-<pid>.json": the program folder,
// the album, the page, each slot and the name of the file it came from),
// whole or not at all. The next start of the same program folder offers each
// record back, oldest first (`OfferBack`): Yes puts the pictures onto their
// page as unsaved changes (onto a new album when the album has gone or was
// never named), No discards them. One page at a time can hold changes, so
// after a Yes the other records wait for a later start.
namespace UnsavedPictures {

// Keeps the unsaved pictures of the page on screen; how many. Nothing when the
// page is unchanged. A second call replaces what this run kept before.
int Keep();
// Offers back what ended runs kept for this program folder.
void OfferBack();
// The question for a record ("Pictures added to album X page n were not saved. Restore them?").
QString Question(const QString& album, int page);

} // namespace UnsavedPictures
