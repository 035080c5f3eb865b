#pragma once

#include <QByteArray>

struct Picture;
class KeptFile;

// A slot picture added from a picture file is saved as that file's own bytes,
// taken from its private copy, under the slot's name "P<page>I<slot>.bmp":
// nothing is decoded or encoded again, so EXIF (date, place, orientation) and
// the colour profile stay, and the album is as small as the photos. Every
// reader of album files tells the format from the content, not the name.
// Pictures pasted as image data, metafiles and bitmaps are saved as bitmaps.
namespace KeptSlotFile {

// True when the start of a file is JPEG, PNG, GIF, WebP, TIFF, HEIC/HEIF, AVIF or an icon.
bool KeptAsItIs(const QByteArray& head);

// True when `picture` is saved as its own file's bytes: added from a file (not
// pasted as data) whose private copy holds one of the formats above.
bool SavedAsItIs(const Picture& picture);

// Gives the private copy the name `temp` in the folder `dir` when it has no
// name yet (no copy made: the album file then is the private copy), with the
// access a new file of this process gets. False when it cannot be linked
// (another file system, a copy already named elsewhere): then it is copied.
bool Link(const KeptFile& kept, int dir, const QByteArray& temp);

} // namespace KeptSlotFile
