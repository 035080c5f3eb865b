#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Where several pictures added at once go: the slot clicked and the empty
// slots after it, then, page by page, the empty slots from slot 0. The texts
// the page screen shows on the way.
namespace ManyPictures {

// The slots, in slot order, that take pictures on a page whose slot tags are
// `tags` (twelve, "1" filled): `first` itself when it is not negative (it is
// replaced like a single add), then every empty slot after it.
QList<int> TargetSlots(const QStringList& tags, int first);
// The question when `left` pictures did not fit on page `page`.
QString DidNotFitQuestion(int left, int page);
// What is told when the last page is full with `left` pictures still to place.
QString LeftOutMessage(int left);
// The message for a file among several that holds no picture: it names the file.
QString NotAPictureMessage(const QString& path);

} // namespace ManyPictures
