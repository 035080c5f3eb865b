#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

class SlotScreen;

// Loading a page of the open album into the page screen's twelve slots,
// with the progress screen counting from "0%" to "100%".

// Fills `pageScreen`'s slots with `page` ("1" to "10"). Reads albumFilePrefix, appPath,
// albumFolderName and pageNr; leaves the progress screen showing "100%" for the caller to hide.
void LoadPage(SlotScreen& pageScreen, const QString& page);

// The twelve slot files of `page` ("1" to "10") of the album whose files begin with `albumFilePrefix`.
QStringList PageFiles(const QString& albumFilePrefix, const QString& page);

// Opens the supplied album at page 1 in `pageScreen`.
void ShowWrenAlbum(SlotScreen& pageScreen);

// The device pixels a slot's picture is read at, and the screen's pixel ratio.
QSize SlotPixels();
qreal SlotPixelRatio();

// The progress the bar shows after slot 0..10 (slot 11 has none: the bar then reaches 100).
int SlotProgress(int slot);
