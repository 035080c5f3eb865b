#pragma once

#include "runerror.h"

#include <QString>

// Deleting the open album (its folder, its files and its notes) and the note
// of a single deleted picture.

// Asks, then deletes the album's notes (one transaction; when that fails the
// album is kept whole and the user told), the files of the album folder one by
// one and the folder, and shows the options screen. A folder without files
// goes alone; its notes stay. The folder must be a real
// folder directly inside the program folder: an empty name, ".", "..", a name
// with a separator, a link or a missing folder deletes nothing and tells the
// user to delete the album by hand.
void DeleteAlbum();
// Deletes the notes of session.albumName (also those stored without its
// apostrophes); never the table's first record.
RunError DeleteAlbumRecords();
// Deletes the note of the picture session.imageNr on page session.pageNr of
// session.albumName; returns the store's failure for the caller to tell.
RunError DeletePictureRecord();
// Before a new album's first save into a folder just made for `albumName`: the
// notes stored under that name belong to an album no longer on disk. When
// there are any, the user is asked whether the new album keeps them (Yes) or
// they are deleted (No). False when they could not be deleted (told): the
// caller saves nothing.
bool SettleOldNotes(const QString& albumName);
// The hidden name a deleted picture's file `fileName` waits under in its
// folder until its note is gone too.
QString PictureDeletingName(const QString& fileName);
// A picture delete killed part-way left hidden files in `folder` (their
// process is gone): each picture whose note is still stored comes back, and
// one whose note is gone is deleted for good.
void FinishInterruptedPictureDeletes(const QString& folder);
