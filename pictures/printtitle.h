#pragma once

#include <QString>

struct Picture;

// The name a print job carries (the printer queue's document name, a PDF's
// title): the picture's album, page and slot, else its file name.
namespace PrintTitle {

// `fromPage` says the view was opened from the page screen, whose album, page
// and slot are `albumName`, `pageNr` and `slot`. Otherwise an album picture
// file (".../<album>/P<page>I<slot>.bmp") names its album, page and slot
// itself; any other file gives its file name. Never empty.
QString For(const Picture& picture, bool fromPage, const QString& albumName, const QString& pageNr, int slot);

} // namespace PrintTitle
