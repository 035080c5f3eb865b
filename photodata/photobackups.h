#pragma once

#include "runerror.h"

#include <QString>

#include <functional>

// The last versions of "PhotoData.mdb", kept beside it as "PhotoData.mdb.1"
// (the newest) to ".3". Files, never a folder: a folder in the program folder
// would show up as an album. Each is the owner's alone (0600).
namespace PhotoBackups {

inline constexpr int Kept = 3;

QString BackupPath(const QString& storePath, int generation);

// Takes a new backup when the store changed since the newest one, and lets
// the oldest go. A missing or unusable store is left alone, and so are the
// backups already kept. The copy is made whole under a passing name
// ("PhotoData.mdb.backup-<pid>") and only then takes its place, so a copy
// that stops half-way (asked to by `stopRequested`, or killed) never
// replaces a good backup; passing copies of processes that are gone are
// removed first. One program at a time takes a backup of a store (a lock on
// "PhotoData.mdb.backups-lock"): a program that finds another one taking it
// leaves it to that one, and one that finds the newest backup holding this
// version of the notes takes none, so two programs started together never
// move the same generations on twice.
RunError Keep(const QString& storePath, const std::function<bool()>& stopRequested = {});

// Keep on a thread of its own at the lowest processor and disk priority, so
// start-up does not wait for it; one at a time.
void KeepInBackground(const QString& storePath);
// Waits until a backup taken in the background is done (tests, benchmarks).
void WaitForBackground();
// Stops a backup being taken in the background and waits for its thread; the
// backups already kept stay as they are. The program calls it before it ends.
void StopBackground();

} // namespace PhotoBackups
