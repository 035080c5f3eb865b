#include "scaledcanvas.h"

#include <algorithm>
#include <cmath>

ScaledCanvas::ScaledCanvas(QWidget* parent) : QWidget(parent) {}

void ScaledCanvas::setScale(QSizeF units, bool uniform)
{
    if (units.width() > 0 && units.height() > 0)
        m_units = units;
    m_uniform = uniform;
    relayout();
}

void ScaledCanvas::setDesignSize(QSize pixels)
{
    if (!pixels.isEmpty())
        m_design = pixels;
    relayout();
}

void ScaledCanvas::place(QWidget* child, QRectF unitsRect)
{
    // Entries of deleted children are dropped here rather than on their
    // destroyed() signal, which can arrive while this canvas is being torn down.
    m_placements.removeIf([](const auto& entry) { return entry.value().widget.isNull(); });
    auto it = m_placements.find(child);
    if (it == m_placements.end()) {
        it = m_placements.insert(child, Placement{child, unitsRect, child->font().pointSizeF()});
    } else {
        it->units = unitsRect;
    }
    apply(*it);
}

QRectF ScaledCanvas::placed(QWidget* child) const
{
    const auto it = m_placements.constFind(child);
    return it == m_placements.constEnd() || it->widget.isNull() ? QRectF() : it->units;
}

ScaledCanvas::Mapping ScaledCanvas::mapping() const
{
    Mapping m{width() / m_units.width(), height() / m_units.height(), 0, 0};
    if (m_uniform) {
        const qreal s = std::min(m.sx, m.sy);
        m.ox = (width() - s * m_units.width()) / 2;
        m.oy = (height() - s * m_units.height()) / 2;
        m.sx = m.sy = s;
    }
    return m;
}

QRect ScaledCanvas::toPixels(QRectF r) const
{
    const Mapping m = mapping();
    const int left = int(std::lround(m.ox + r.left() * m.sx));
    const int top = int(std::lround(m.oy + r.top() * m.sy));
    const int right = int(std::lround(m.ox + r.right() * m.sx));
    const int bottom = int(std::lround(m.oy + r.bottom() * m.sy));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QPointF ScaledCanvas::toUnits(QPointF px) const
{
    const Mapping m = mapping();
    return {(px.x() - m.ox) / m.sx, (px.y() - m.oy) / m.sy};
}

qreal ScaledCanvas::fontFactor() const
{
    if (width() <= 0 || height() <= 0)
        return 1.0;
    return std::clamp(std::min(qreal(width()) / m_design.width(), qreal(height()) / m_design.height()), 0.5, 4.0);
}

void ScaledCanvas::apply(Placement& p) const
{
    if (!p.widget)
        return;
    p.widget->setGeometry(toPixels(p.units));
    if (p.basePointSize > 0) {
        QFont f = p.widget->font();
        f.setPointSizeF(p.basePointSize * fontFactor());
        p.widget->setFont(f);
    }
}

void ScaledCanvas::relayout()
{
    for (auto& p : m_placements)
        apply(p);
}

void ScaledCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}
