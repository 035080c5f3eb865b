#pragma once

#include <QRectF>

// Where a picture goes on the printed page, in twips (1440 to the inch): its
// short side 7200 twips (5 inches), centred, and moved 451 twips along its
// long side.
namespace PrintLayout {

inline constexpr double ShortSide = 7200;
inline constexpr double Offset = 451;
enum Orientation { Portrait = 1, Landscape = 2 };

// Tall and square pictures print portrait, wide ones landscape.
Orientation OrientationFor(int pictureWidth, int pictureHeight);
// The picture's rectangle on a page of the given size (read in the orientation above).
// A picture that would not fit the printable area (the whole page when none is
// given) is scaled down to fit it, about the same centre, and kept inside it.
QRectF PlaceOnPage(int pictureWidth, int pictureHeight, double pageWidth, double pageHeight,
                   QRectF printable = {});

} // namespace PrintLayout
