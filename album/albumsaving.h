#pragma once

#include "runerror.h"

class SlotScreen;

// Saving the page on screen into an album folder: "Save Page to Disk", the
// page writer both it and the page-change save use, and the question asked
// before the page screen is left. The page screen hands itself in as the
// slots to read.

// Sets session.pageHasPictures: 1 when any slot of the page screen holds a picture.
void CheckPagePictures(SlotScreen& page);
// "Save Page to Disk": asks for the album's name and writes the page there.
// Never changes albumName. Returns false when a picture file could not be
// written (the user has been told which).
bool SaveAlbum(SlotScreen& screen);
// The page writer with the progress screen shown around it.
RunError SavePageWithProgress(SlotScreen& screen, bool folderMadeNow = false);
// Writes every slot tagged "1" as P<pageNr>I<slot>.bmp into the folder in
// session.pagePaths[0]; sets pagePaths[1..10] and the progress screen's
// percentage after each slot. All or nothing: when a file cannot be put in
// place, the page's files are as they were (the error says so, or names the
// files the file system would not let be put back). A folder this save made
// (`folderMadeNow`, or a named album's folder gone meanwhile, made again) is
// removed again when the save fails or leaves it empty. Unchanged pictures
// whose files went away meanwhile are not written; a note names them.
RunError WritePagePictures(SlotScreen& screen, bool folderMadeNow = false);
// The question before the page screen is left; session.saveAlbumAnswer "6" or "7".
void AskSaveAlbum();
// Tells the user the writer's error (the file, the system's reason, what became
// of the page's files) and that the page is kept on screen with its changes.
void ShowWriteFailure(const RunError& error);
// Why `name` cannot be an album folder's name ("New Album" included: it
// stands for an album not yet saved), or empty when it can.
QString AlbumNameProblem(const QString& name);
// "Select New Album": the save question, then the stored album list. True when
// the page screen is to go (it unloads itself); false when it stays on screen.
bool SelectNewAlbum(SlotScreen& screen);
