#pragma once

#include <QString>

// Start-up: fixes the program folder, preloads the main screens, installs the
// supplied album on the first run and shows the cover.
void StartUp();

// The first-run copy of the supplied pictures, a page at a time; each page
// copies its twelve pictures and then runs the next.
void CopyPage1();
void CopyPage2();
void CopyPage3();
void CopyPage4();
void CopyPage5();
void CopyPage6();
void CopyPage7();
void CopyPage8();
void CopyPage9();
void CopyPage10();

// After each copy: a copy that worked marks the supplied album present; a
// failed one is skipped without a word.
void CheckCopy();

// Where the first run takes the supplied pictures from when the program folder
// does not hold them itself: the installed data, read where it is installed
// (empty: the program folder only).
void SetSuppliedPictures(const QString& folder);

// True once StartUp has run in this session.
bool StartUpHasRun();
// Forgets that StartUp ran, and stops a backup it began (tests starting a
// second session in one process).
void ResetStartUp();
