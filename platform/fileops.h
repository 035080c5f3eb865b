#pragma once

#include <cstddef>

#include "runerror.h"

#include <QString>

// File and folder operations the screens call. Each returns a RunError
// (number 0 on success) instead of throwing.
namespace Files {

// Folder attribute bits as the screens test them.
enum Attribute : int { ReadOnly = 1, Directory = 16 };

// A name the file system refuses for its characters.
inline constexpr int BadFileName = 52;

// A folder that is there is error 75, a file of that name 58. A name the file
// system refuses for its characters (FAT: " * / : < > ? \\ |) is error 52,
// whose text names them.
RunError MkDir(const QString& path, unsigned mode = 0777);
// The characters of `name` that FAT file systems refuse in a name, each once,
// quoted ("\":\" \"?\""); empty when there are none.
QString FatRefusedCharacters(const QString& name);
// Puts the finished file `building` into place as `target`, never over a
// file that is there (error 58): a hard link, or where the file system has
// none (FAT), a rename while the name is still free. `building` is gone after.
RunError PlaceNew(const QString& building, const QString& target);
// Makes `path` the owner's alone (`mode`, e.g. 0600 or 0700). Where the file
// system keeps no owner permissions (FAT: changing modes is refused even to
// the owner), there is nothing to set: that is no failure, and `skipped` says so.
RunError SetPrivateMode(const QString& path, unsigned mode, bool* skipped = nullptr);
// Removes an empty folder only; never a file, never a folder with contents.
RunError RmDir(const QString& path);
// Copies src over dst (a reflink where the file system allows, a copy
// elsewhere). The target is replaced atomically: a failed copy leaves an
// existing dst whole.
RunError FileCopy(const QString& src, const QString& dst);
// Deletes the files matching the wildcard pattern in the last part of
// `pattern` (* and ?, letter case ignored). No match is error 53.
RunError Kill(const QString& pattern);
// Deletes every entry of `folder` that is not a folder, one by one: files,
// and links themselves (never what they point to). Never recursive. No such
// entry is error 53; the first failure is returned after trying every entry.
RunError KillAllFiles(const QString& folder);
// True when `path` itself is a folder, not a link to one.
bool IsRealFolder(const QString& path);

// Opens a regular file (also behind a link) for reading, without ever waiting:
// a named pipe, a device or a socket would block its reader for good. Returns
// the descriptor, or -1 with errno set (EISDIR for a folder, EINVAL for anything
// else that is not a regular file).
int OpenRegular(const QString& path);

struct Attributes {
    int value = 0;
    RunError error;
};
// Directory 16 plus read-only 1; read-only is the owner's write bit being off,
// read from the mode bits because root ignores permissions.
Attributes GetAttr(const QString& path);
// Read-only (1) clears every write bit; without it the owner's write bit is set.
RunError SetAttr(const QString& path, int attributes);

RunError ChDir(const QString& path);
QString CurDir();

// True when `name` matches the wildcard `pattern`, letter case ignored.
bool WildcardMatch(const QString& pattern, const QString& name);

// Writes all of `data` to `fd`: a short write (a full disk, the file-size limit) is followed
// by the next one, so a failure always leaves the system's reason in errno.
bool WriteAll(int fd, const char* data, std::size_t size);

} // namespace Files
