#pragma once

#include <QString>
#include <QStringList>

// What the picture file chooser computes, apart from its window: the file
// types, the file list of a folder, the chosen path and the preview's place.
namespace FileChooser {

// The six entries of the file-type list, in their order.
QStringList FileTypes();
// The pattern of an entry: the text between its first "(" and its first ")".
QString PatternOf(const QString& entry);
// The files (not folders) of `folder` whose names match `pattern`, letter case
// ignored ("*.*" is every file), sorted by name ignoring case.
QStringList MatchingFiles(const QString& folder, const QString& pattern);
// The subfolders of `folder`, sorted by name ignoring case.
QStringList Subfolders(const QString& folder);
// `folder`, a separator unless it already ends in one, and `name`.
QString InFolder(const QString& folder, const QString& name);
// What OK hands back: the folder plus the highlighted name when the typed
// text is exactly that name (letter case counts); else a full path typed as it
// is, and any other typed name in the folder shown.
QString ChosenPath(const QString& folder, const QString& typed, const QString& highlighted);
// What the name field shows for the files selected in the list (in the list's
// order): several names each in double quotes, separated by blanks; else the
// highlighted name, as with one file.
QString SelectionText(const QStringList& selected, const QString& highlighted);
// The names of a selection text (several names in double quotes); empty for any other text.
QStringList SelectionNames(const QString& text);
// Every path OK hands back: each selected file, in the list's order, while the
// name field shows exactly the selection; else the one path of ChosenPath.
QStringList ChosenPaths(const QString& folder, const QString& typed, const QString& highlighted,
                        const QStringList& selected);

// The preview fit (twips): the long side fills the 1455 box centred at (2350, 4567).
struct Divisors {
    double height = 0;
    double width = 0;
    bool ready() const { return height != 0 && width != 0; }
};
Divisors DivisorsFor(double width, double height);
struct Place {
    double left, top, width, height;
};
Place PreviewPlace(const Divisors& d);

} // namespace FileChooser
