#pragma once

#include "runerror.h"

#include <QString>

// The last versions of "PhotoData.mdb", kept beside it as "PhotoData.mdb.1"
// (the newest) to ".3". Files, never a folder: a folder in the program folder
// would show up as an album.
namespace PhotoBackups {

inline constexpr int Kept = 3;

QString BackupPath(const QString& storePath, int generation);

// Takes a new backup when the store changed since the newest one, and lets
// the oldest go. A missing or unusable store is left alone, and so are the
// backups already kept.
RunError Keep(const QString& storePath);

} // namespace PhotoBackups
