#pragma once

#include <QString>

// The files of a deleted picture.

// The wildcard for slot `slot` of page `page`: "P<page>I<slot>.*", so slot 1
// never touches slots 10 and 11.
QString PictureFilesPattern(const QString& page, int slot);

// Asks, then takes the files of slot `slot` of the page on screen out of the
// album folder at once: they wait under hidden names until the picture's note
// is deleted too (DropPictureFiles), or come back when it cannot be
// (RestorePictureFiles), so a picture never goes without its note nor a note
// without its picture. Cancel sets session.deleteCancelled and presses the
// page screen's cancel button; so does a refusal, which is told: an album
// folder that is not a real folder directly in the program folder (a link),
// or a file that cannot be taken away. An album with no folder has no files.
void DeletePictureFiles(int slot);
// The note is gone: the files taken out go for good.
void DropPictureFiles();
// The note could not be deleted: the files taken out come back.
void RestorePictureFiles();
