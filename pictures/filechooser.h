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
