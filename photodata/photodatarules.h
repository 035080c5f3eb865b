#pragma once

#include <QString>

// What a photo data record must hold before it is stored.
namespace PhotoDataRules {

// The page text as a page number 1..10, or 0 when it is not one.
int PageOf(const QString& pageText);
// The slot of a picture key "P<page>I<slot>" of that page, slot 0..11; -1 when it is not one.
int SlotOf(const QString& pictureKey, int page);

} // namespace PhotoDataRules
