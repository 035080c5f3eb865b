#pragma once

#include <QString>

class PictureBox;

// Copy of a slot for other programs: the picture as ClipboardPicture::Put
// offers it and, when the slot shows its album's saved file, that file as a
// file (`text/uri-list`, and the copied-files list GNOME's file managers paste).
namespace SlotClipboard {

// The saved file of `slot` on the page on screen (album folder, "P<page>I<slot>.bmp")
// when the slot shows exactly that file; empty otherwise (an empty slot, a picture
// added or pasted and not yet saved, a new album's page).
QString SavedFile(const PictureBox& box, int slot);

void Copy(const PictureBox& box, int slot);

} // namespace SlotClipboard
