#include "filechooser.h"

#include "fileops.h"

#include <QDir>

namespace FileChooser {

QStringList FileTypes()
{
    return {QStringLiteral("All Files (*.*)"),   QStringLiteral("Bitmap (*.BMP)"),
            QStringLiteral("Jpeg (*.JPG)"),      QStringLiteral("Gif files (*.GIF)"),
            QStringLiteral("Icon files (*.ICO)"), QStringLiteral("Metafile files (*.MTF)")};
}

QString PatternOf(const QString& entry)
{
    const qsizetype open = entry.indexOf(u'(');
    const qsizetype close = entry.indexOf(u')');
    if (open < 0 || close <= open)
        return {};
    return entry.mid(open + 1, close - open - 1);
}

QStringList MatchingFiles(const QString& folder, const QString& pattern)
{
    const QStringList all = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    if (pattern == QStringLiteral("*.*") || pattern == QStringLiteral("*"))
        return all;
    QStringList matching;
    for (const QString& name : all) {
        if (Files::WildcardMatch(pattern, name))
            matching << name;
    }
    return matching;
}

QStringList Subfolders(const QString& folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

QString InFolder(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString ChosenPath(const QString& folder, const QString& typed, const QString& highlighted)
{
    if (typed == highlighted)
        return InFolder(folder, highlighted);
    // A name typed without a folder is in the folder shown, never the program's current one.
    return QDir::isAbsolutePath(typed) ? typed : InFolder(folder, typed);
}

QString SelectionText(const QStringList& selected, const QString& highlighted)
{
    if (selected.size() < 2)
        return highlighted;
    return u'"' + selected.join(QStringLiteral("\" \"")) + u'"';
}

QStringList SelectionNames(const QString& text)
{
    if (text.size() < 2 || !text.startsWith(u'"') || !text.endsWith(u'"'))
        return {};
    const QStringList names = text.mid(1, text.size() - 2).split(QStringLiteral("\" \""));
    return names.size() > 1 ? names : QStringList();
}

QStringList ChosenPaths(const QString& folder, const QString& typed, const QString& highlighted,
                        const QStringList& selected)
{
    if (selected.size() < 2 || typed != SelectionText(selected, highlighted))
        return {ChosenPath(folder, typed, highlighted)};
    QStringList paths;
    for (const QString& name : selected)
        paths << InFolder(folder, name);
    return paths;
}

Divisors DivisorsFor(double width, double height)
{
    if (height > width)
        return {1, height / width};
    if (width > height)
        return {width / height, 1};
    return {1, 1};
}

Place PreviewPlace(const Divisors& d)
{
    const double height = 1455 / d.height;
    const double width = 1455 / d.width;
    return {2350 - width / 2, 4567 - height / 2, width, height};
}

} // namespace FileChooser
