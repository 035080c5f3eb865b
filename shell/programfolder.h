#pragma once

#include <QString>
#include <QStringList>

// Which folder the program works in, and laying it out.
namespace ProgramFolder {

struct Choice {
    QString folder;  // empty when none can be used
    QString problem; // why, for the user
};

// `--program-folder DIR` when given; else the current folder when it holds
// the program's files ("Empty.bmp"); else the user's own program folder,
// $XDG_DATA_HOME/Quillbook. Never the home folder or any folder of the user's
// that is not a program folder.
Choice Choose(const QStringList& arguments, const QString& currentFolder);

// The user's own program folder.
QString UserFolder();

// Where the installed data lies ("Empty.bmp", the supplied pictures, the empty
// photo data file): beside the program, in ../share/quillbook, or in the build tree.
QString InstalledData();

// Copies from `data` into `folder` what the folder needs of its own and is
// missing there ("Empty.bmp", "PhotoData.mdb"; the supplied pictures stay in
// `data`, see SetSuppliedPictures); a file that is there (changed by the user
// or not) and every album folder are left as they are. False with `problem`
// when the folder cannot be made or a file cannot be copied.
bool LayOut(const QString& folder, const QString& data, QString* problem);

} // namespace ProgramFolder
