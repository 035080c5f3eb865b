#pragma once

#include <QString>
#include <QStringList>

// Which folder the program works in, and laying it out.
namespace ProgramFolder {

struct Choice {
    QString folder;  // empty when none can be used
    QString problem; // why, for the user
};

// The user's base folders by the XDG rules: $XDG_DATA_HOME (or
// $XDG_CACHE_HOME) when it is an absolute path, else $HOME/.local/share (or
// $HOME/.cache). A relative value is ignored. Empty when HOME is not set to an
// absolute path either: there is then no folder of the user's to work in.
QString DataHome();
QString CacheHome();

// `--program-folder DIR` when given (refused when DIR is a folder holding
// other files but neither "Empty.bmp" nor "PhotoData.mdb"); else the current
// folder when it holds the program's files ("Empty.bmp"); else the user's
// own program folder, DataHome()/Quillbook. Never the home folder or any
// folder of the user's that is not a program folder.
Choice Choose(const QStringList& arguments, const QString& currentFolder);

// The user's own program folder; empty when DataHome() is.
QString UserFolder();

// Where the installed data lies ("Empty.bmp", the supplied pictures, the empty
// photo data file): beside the program, in ../share/quillbook, or in the build tree.
QString InstalledData();

// Copies from `data` into `folder` what the folder needs of its own and is
// missing there ("Empty.bmp", "PhotoData.mdb"; the supplied pictures stay in
// `data`, see SetSuppliedPictures); a file that is there (changed by the user
// or not) and every album folder are left as they are. Folders it makes are the
// owner's alone (0700), and so is the photo data file (0600), where the file
// system keeps owners' modes (FAT keeps none: there they are skipped). False
// with `problem` when the folder cannot be made or a file cannot be copied;
// whatever this call made is then taken away again.
bool LayOut(const QString& folder, const QString& data, QString* problem);

} // namespace ProgramFolder
