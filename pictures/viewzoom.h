#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>

// The full-size view's zoom: how large the picture is drawn and where, in the view's own
// (logical) pixels. Fitted it is as large as the view allows with a margin, centred; zoomed it
// is moved about, never so far that a gap opens beside an edge of a picture larger than the
// view, nor that a side shorter than the view leaves it. Plain maths, so the tests reach it
// without a window.
class ViewZoom {
public:
    // The factor between two zoom steps (+ and -, one notch of Ctrl+wheel).
    static constexpr double Step = 1.25;
    // The most: this many screen (device) pixels for one picture pixel.
    static constexpr double MostDevicePixels = 16.0;

    // A new picture (its own, upright size in pixels): fitted.
    void SetPicture(QSize natural);
    // The view's size in logical pixels and its device pixel ratio. Fitted stays fitted; zoomed
    // keeps its scale and the picture point at the view's centre, within the limits.
    void SetView(QSizeF view, double devicePixelRatio);

    bool Fitted() const { return m_fitted; }
    // View pixels for one picture pixel.
    double Scale() const { return m_scale; }
    // Screen (device) pixels for one picture pixel.
    double DeviceScale() const { return m_scale * m_dpr; }
    double FitScale() const;
    // One picture pixel for one screen pixel.
    double ActualScale() const { return 1.0 / m_dpr; }
    bool AtActualPixels() const;

    void Fit();
    // To `scale` (within the limits), the picture point under `anchor` (view pixels) kept there.
    void ZoomTo(double scale, QPointF anchor);
    // One step larger or smaller; a step passing the fitted size or actual pixels stops there.
    void ZoomIn(QPointF anchor);
    void ZoomOut(QPointF anchor);
    // Moves the picture by `delta` view pixels, within the limits.
    void PanBy(QPointF delta);

    // Where the picture lies in the view (view pixels).
    QRectF PictureRect() const;
    // The picture point (picture pixels) under a view point, and back.
    QPointF PictureAt(QPointF viewPoint) const;
    QPointF ViewAt(QPointF picturePoint) const;
    // The part of the picture on view (picture pixels).
    QRectF VisiblePart() const;
    QSizeF View() const { return m_view; }
    QSize Natural() const { return m_natural; }

private:
    double minScale() const;
    double maxScale() const;
    void clamp();

    QSize m_natural;
    QSizeF m_view{1, 1};
    double m_dpr = 1.0;
    double m_scale = 1.0;
    QPointF m_origin; // the picture's top-left corner in the view
    bool m_fitted = true;
};
