#pragma once

#include <QByteArray>
#include <QString>

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

// The file whose bytes are saved as they are for `picture`, or empty when it is
// converted: the private copy of a picture added from a file (not pasted as
// data) in one of the formats above, or the album file an unchanged picture was
// loaded from (saved into another album, it stays as it is).
QString SavedAsItIs(const Picture& picture);

// Gives the private copy the name `temp` in the folder `dir` when it has no
// name yet (no copy made: the album file then is the private copy), with the
// access a new file of this process gets. False when it cannot be linked
// (another file system, a copy already named elsewhere): then it is copied.
bool Link(const KeptFile& kept, int dir, const QByteArray& temp);

} // namespace KeptSlotFile
