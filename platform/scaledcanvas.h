#pragma once

#include <QHash>
#include <QPointer>
#include <QRectF>
#include <QWidget>

// The inner area of a screen with its own coordinate scale, such as
// (0, 0)-(100, 100). Children are placed in scale units and follow the
// window's size; their fonts grow and shrink with it from a design size.
class ScaledCanvas final : public QWidget {
    Q_OBJECT
public:
    explicit ScaledCanvas(QWidget* parent = nullptr);

    // `uniform` keeps the proportions (the same factor on both axes, centred).
    void setScale(QSizeF units, bool uniform);
    QSizeF scale() const { return m_units; }
    // The window size at which the fonts have their given point sizes.
    void setDesignSize(QSize pixels);

    void place(QWidget* child, QRectF unitsRect);
    QRectF placed(QWidget* child) const;
    QRect toPixels(QRectF unitsRect) const;
    QPointF toUnits(QPointF pixels) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The canvas draws nothing that shows the keyboard: taking or losing it repaints nothing.
    void focusInEvent(QFocusEvent*) override {}
    void focusOutEvent(QFocusEvent*) override {}

private:
    // Pixels per unit across and down, and where unit (0, 0) sits.
    struct Mapping {
        qreal sx, sy, ox, oy;
    };
    Mapping mapping() const;

    struct Placement {
        QPointer<QWidget> widget;
        QRectF units;
        qreal basePointSize = 0;
    };
    void apply(Placement& p) const;
    void relayout();
    qreal fontFactor() const;

    QSizeF m_units{100, 100};
    bool m_uniform = false;
    QSize m_design{1024, 768};
    QHash<QWidget*, Placement> m_placements;
};
