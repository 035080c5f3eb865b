#pragma once

#include "runerror.h"

// Deleting the open album (its folder, its files and its notes) and the note
// of a single deleted picture.

// Asks, then deletes the files of the album folder one by one, the folder and
// the album's notes, and shows the options screen. The folder must be a real
// folder directly inside the program folder: an empty name, ".", "..", a name
// with a separator, a link or a missing folder deletes nothing and tells the
// user to delete the album by hand.
void DeleteAlbum();
// Deletes the notes of session.albumName (also those stored without its
// apostrophes); never the table's first record.
RunError DeleteAlbumRecords();
// Deletes the note of the picture session.imageNr on page session.pageNr of
// session.albumName; a store failure is shown to the user and returns false.
bool DeletePictureRecord();
