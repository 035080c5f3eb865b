#include "printlayout.h"

namespace PrintLayout {

Orientation OrientationFor(int w, int h)
{
    return h >= w ? Portrait : Landscape;
}

QRectF PlaceOnPage(int w, int h, double pageWidth, double pageHeight)
{
    if (w <= 0 || h <= 0)
        return {};
    if (h >= w) {
        const float r = float(h) / float(w);
        const double height = double(float(ShortSide * r));
        return {pageWidth / 2 - ShortSide / 2, pageHeight / 2 - height / 2 + Offset, ShortSide, height};
    }
    const float r = float(w) / float(h);
    const double width = double(float(ShortSide * r));
    return {pageWidth / 2 - width / 2 + Offset, pageHeight / 2 - ShortSide / 2, width, ShortSide};
}

} // namespace PrintLayout
