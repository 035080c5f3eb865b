#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Deterministic pictures for the supplied album and the empty slot.
namespace Scenes {

// The size of the supplied picture of page 1-10, slot 0-11: varied on purpose
// (wide, tall, square, tiny, large) so that picture fitting is exercised.
QSize SuppliedSize(int page, int slot);
// True for the pictures stored with a 256-colour palette to keep the album small.
bool StoredWithPalette(int page, int slot);
// A landscape scene with the page and slot drawn in.
QImage SuppliedPicture(int page, int slot);
// The placeholder an empty slot shows.
QImage EmptyPicture();

} // namespace Scenes
