#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <vector>

// The intent of one page save, ".P<page>.intent-<pid>" in the album folder:
// which new file goes to which name, and which files were there before, each
// by its identity (inode). It is written and flushed before the first new file
// is put in place and removed once the page is whole again, saved or undone,
// so a save killed part-way is recognised as one save and the next load
// finishes it, or undoes it when it cannot be finished.
namespace SaveIntent {

struct File {
    QByteArray name; // P<page>I<slot>.bmp
    ino_t newFile = 0;
    ino_t oldFile = 0; // 0: the name was free
};

// The intent file's name for `page` in this process.
QByteArray Name(int page);
// Writes and flushes the intent (file and folder); 0 or the system's error number.
int Write(int dir, const QByteArray& name, const std::vector<File>& files);
// For every intent left by a process that is gone: puts all new files in place
// when each of them still can be, else puts back every old file it finds; then
// removes the intent. The hidden files left over are the sweep's.
void FinishInterrupted(int dir);

// The identity of the regular file `name` in `dir`, 0 when there is none.
ino_t FileAt(int dir, const QByteArray& name);
// True when process `pid` is gone (another user's process may still be saving).
bool ProcessGone(pid_t pid);

} // namespace SaveIntent
