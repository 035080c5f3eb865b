#pragma once

#include <QString>

// The files of a deleted picture.

// The wildcard for slot `slot` of page `page`: "P<page>I<slot>.*", so slot 1
// never touches slots 10 and 11.
QString PictureFilesPattern(const QString& page, int slot);

// Asks, then deletes the files of slot `slot` of the page on screen from the
// album folder at once. Cancel sets session.deleteCancelled and presses the
// page screen's cancel button. Nothing is deleted outside a real album folder
// directly in the program folder; other failures are ignored.
void DeletePictureFiles(int slot);
