#pragma once

// The decoder helper's seal: a seccomp filter, installed before the helper
// reads a byte of the picture, that lets it read what it was handed, write
// its result, manage its memory and threads, and end; any other call (open,
// socket, connect, exec, ptrace, kill, memory made executable, ...) ends the
// process at once.
namespace Seal {

enum class FileOpening {
    Kills,  // a picture decoder never opens a file
    FontsOnly // the metafile renderer reads its fonts as it draws text: it may open files to
              // read, and (where the kernel has Landlock) only those under the font folders
};

// Installs the filter; false when it could not be installed (the helper then stops).
bool Install(FileOpening opening);

} // namespace Seal
