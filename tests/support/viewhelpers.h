#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QString>

#include <utility>

class QWidget;
struct Picture;

// What the tests of the full-size view share.
namespace ViewHelpers {

// An album to step through: page 3 is empty, and every picture has its own size.
const QList<std::pair<QString, QImage>>& SteppingAlbum();
// One notch of the mouse wheel on `on` at `at` (its own coordinates): `notches` > 0 away from
// the user, as a wheel turned up.
void Wheel(QWidget* on, QPointF at, int notches, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// The full-size view showing `picture` fitted, as a click on a slot shows it.
void ShowFitted(const Picture& picture);

} // namespace ViewHelpers
