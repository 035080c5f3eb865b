#include "viewzoom.h"

#include "fitting.h"

#include <algorithm>
#include <cmath>

namespace {
// Scales this close are one: a step from the fitted size lands on it again, not a hair beside.
bool same(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(a, b);
}
} // namespace

void ViewZoom::SetPicture(QSize natural)
{
    m_natural = natural;
    Fit();
}

void ViewZoom::SetView(QSizeF view, double devicePixelRatio)
{
    const QPointF centre = PictureAt(QPointF(m_view.width() / 2, m_view.height() / 2));
    m_view = view.expandedTo(QSizeF(1, 1));
    m_dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    if (m_fitted) {
        Fit();
        return;
    }
    m_scale = std::clamp(m_scale, minScale(), maxScale());
    m_origin = QPointF(m_view.width() / 2, m_view.height() / 2) - centre * m_scale;
    clamp();
}

double ViewZoom::FitScale() const
{
    if (m_natural.isEmpty())
        return 1.0;
    // As the fitted picture element: the view less a margin on each side.
    const double share = Fitting::ViewSide / 100.0;
    return share * std::min(m_view.width() / m_natural.width(), m_view.height() / m_natural.height());
}

bool ViewZoom::AtActualPixels() const
{
    return same(m_scale, ActualScale());
}

double ViewZoom::minScale() const
{
    return std::min(FitScale(), ActualScale());
}

double ViewZoom::maxScale() const
{
    return std::max(FitScale(), MostDevicePixels / m_dpr);
}

void ViewZoom::Fit()
{
    m_fitted = true;
    m_scale = FitScale();
    clamp();
}

void ViewZoom::ZoomTo(double scale, QPointF anchor)
{
    const QPointF under = PictureAt(anchor);
    m_scale = std::clamp(scale, minScale(), maxScale());
    if (same(m_scale, FitScale())) {
        Fit();
        return;
    }
    m_fitted = false;
    m_origin = anchor - under * m_scale;
    clamp();
}

void ViewZoom::ZoomIn(QPointF anchor)
{
    double to = m_scale * Step;
    for (double stop : {FitScale(), ActualScale()})
        if (stop > m_scale && !same(stop, m_scale) && stop < to)
            to = stop;
    ZoomTo(to, anchor);
}

void ViewZoom::ZoomOut(QPointF anchor)
{
    double to = m_scale / Step;
    for (double stop : {FitScale(), ActualScale()})
        if (stop < m_scale && !same(stop, m_scale) && stop > to)
            to = stop;
    ZoomTo(to, anchor);
}

void ViewZoom::PanBy(QPointF delta)
{
    m_origin += delta;
    clamp();
}

void ViewZoom::clamp()
{
    // Along each side: fitted, the picture is centred; zoomed, a side shorter than the view stays
    // whole on view (where the mouse put it) and a longer one always covers the view.
    const bool centred = m_fitted;
    auto along = [centred](double origin, double view, double content) {
        if (centred)
            return (view - content) / 2;
        return content <= view ? std::clamp(origin, 0.0, view - content) : std::clamp(origin, view - content, 0.0);
    };
    m_origin.setX(along(m_origin.x(), m_view.width(), m_natural.width() * m_scale));
    m_origin.setY(along(m_origin.y(), m_view.height(), m_natural.height() * m_scale));
}

QRectF ViewZoom::PictureRect() const
{
    return QRectF(m_origin, QSizeF(m_natural) * m_scale);
}

QPointF ViewZoom::PictureAt(QPointF viewPoint) const
{
    return (viewPoint - m_origin) / m_scale;
}

QPointF ViewZoom::ViewAt(QPointF picturePoint) const
{
    return m_origin + picturePoint * m_scale;
}

QRectF ViewZoom::VisiblePart() const
{
    const QRectF shown(PictureAt(QPointF(0, 0)), PictureAt(QPointF(m_view.width(), m_view.height())));
    return shown.intersected(QRectF(QPointF(0, 0), QSizeF(m_natural)));
}
