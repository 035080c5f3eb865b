#include "printlayout.h"

#include <algorithm>

namespace PrintLayout {

Orientation OrientationFor(int w, int h)
{
    return h >= w ? Portrait : Landscape;
}

namespace {

QRectF computed(int w, int h, double pageWidth, double pageHeight)
{
    if (h >= w) {
        const float r = float(h) / float(w);
        const double height = double(float(ShortSide * r));
        return {pageWidth / 2 - ShortSide / 2, pageHeight / 2 - height / 2 + Offset, ShortSide, height};
    }
    const float r = float(w) / float(h);
    const double width = double(float(ShortSide * r));
    return {pageWidth / 2 - width / 2 + Offset, pageHeight / 2 - ShortSide / 2, width, ShortSide};
}

} // namespace

QRectF PlaceOnPage(int w, int h, double pageWidth, double pageHeight, QRectF printable)
{
    if (w <= 0 || h <= 0)
        return {};
    const QRectF place = computed(w, h, pageWidth, pageHeight);
    if (printable.isEmpty())
        printable = QRectF(0, 0, pageWidth, pageHeight);
    if (place.width() <= printable.width() && place.height() <= printable.height())
        return place;
    const double shrink = std::min(printable.width() / place.width(), printable.height() / place.height());
    QRectF fitted(0, 0, place.width() * shrink, place.height() * shrink);
    fitted.moveCenter(place.center());
    // About the same centre, but never off the printable area.
    fitted.moveLeft(std::clamp(fitted.left(), printable.left(), printable.right() - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), printable.top(), printable.bottom() - fitted.height()));
    return fitted;
}

} // namespace PrintLayout
