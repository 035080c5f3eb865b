#pragma once

#include <QString>

// How albums lie on disk: a folder per album in the program folder, a file
// per filled slot named from its page and slot ("P3I5.bmp" is slot 5 of page 3).
namespace AlbumPaths {

// "P" + page + "I" + slot: the picture key and the file's stem.
QString PictureKey(int page, int slot);
QString PictureKey(const QString& page, int slot);
// The key plus ".bmp".
QString SlotFileName(int page, int slot);
QString SlotFileName(const QString& page, int slot);
// A file or folder directly in the program folder.
QString InProgramFolder(const QString& appPath, const QString& name);

// True for a name that can only stand for a folder directly inside the
// program folder: not empty, not "." or "..", no path separator and no
// control character.
bool IsPlainAlbumName(const QString& name);

// The name a new album carries until its first page is saved under a name of its own.
inline const QString NewAlbum = QStringLiteral("New Album");
// An album never saved: no folder on disk is its own (empty name or "New Album").
bool IsUnsavedAlbum(const QString& albumName);

// The page screen's caption: Album "<album name> -- Page <page>".
QString PageCaption(const QString& albumName, const QString& pageNr);

} // namespace AlbumPaths
