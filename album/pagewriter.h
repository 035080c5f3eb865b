#pragma once

#include "picture.h"
#include "runerror.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Writes the pictures of one page into an album folder as P<page>I<slot>.bmp.
//
// Every file is first written whole beside its target (the hidden
// ".P<page>I<slot>.bmp.saving-<pid>"), synced, and only when all of them are
// written are they put in place. A page is saved all or nothing: each new
// file is swapped with the old one (the old one then waits under the hidden
// name), and when any file of the page cannot be put in place, every file
// already swapped is swapped back, so the page is as it was. Only when the
// last file is in place are the old ones removed. Before the first file is put
// in place, the save's intent is written, so a save killed part-way is
// finished or undone at the next load. A picture added from a file in a
// format the program reads (keptslotfile.h) is saved as that file's own bytes,
// under the slot's name all the same; one that came from a bitmap file is
// copied as it is; any other (pasted as data, a metafile) is converted to a
// bitmap. A slot whose picture is already its own target file is left alone.
namespace PageWriter {

struct Slot {
    int slot = 0; // 0..11
    Picture picture;
};

// `progress` runs after each of slots 0..11 (also those not written).
// On failure the error's text names the file that could not be written, the
// system's reason, and what became of the page's files ("No picture file of
// this page was changed." when all of them are as before).
// A slot unchanged since it was loaded (no private copy) whose file has gone
// since is not written; its file name goes to `goneUnchanged`.
RunError WritePage(const QString& folder, int page, const std::vector<Slot>& pictures,
                   const std::function<void(int slot)>& progress = {}, QStringList* goneUnchanged = nullptr);

// Finishes or undoes the saves killed part-way in `folder` (their intent,
// pagesaveintent.h), then removes the hidden files they left: only
// ".P<page>I<slot>.bmp.saving-<pid>" and ".P<page>I<slot>.bmp.kept-<pid>"
// regular files whose process is gone; nothing else, nothing outside the
// folder. Returns how many were removed.
int RemoveLeftovers(const QString& folder);

// How new files are put in place. `Swap` is the normal way; where the file
// system cannot swap two names the writer keeps the old file under a hard
// link (`Link`), and where it has no hard links either it can only rename
// (`Rename`: a failure part-way is told with the files already replaced).
enum class PlaceWay { Swap, Link, Rename };
// For tests: the way the writer starts with (the file system may still make
// it fall back further).
void StartWith(PlaceWay way);

} // namespace PageWriter
