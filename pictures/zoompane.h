#pragma once

#include "regiondecoder.h"
#include "viewzoom.h"

#include <QFutureWatcher>
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <memory>

class PictureBox;
class QKeyEvent;
class QWheelEvent;

// The full-size view's picture while it is zoomed: drawn in place of the fitted picture element
// (hidden meanwhile), dragged about and scrolled. The fitted picture, enlarged, shows at once;
// the sharp part on view follows from a decoder thread: for a JPEG only that part, with a margin
// of a quarter view around it, at the scale shown (RegionDecoder), for other pictures the whole
// at a bounded size, decoded once.
class ZoomPane final : public QWidget {
    Q_OBJECT
public:
    // Over `fitted`, which shows the picture while it is fitted; the same parent covers the view.
    ZoomPane(PictureBox* fitted, QWidget* parent);
    ~ZoomPane() override;

    const ViewZoom& Zoom() const { return m_zoom; }
    bool Zoomed() const { return !m_zoom.Fitted(); }

    // + and - zoom a step, 1 shows actual pixels, 0 fits; while zoomed the arrows move the
    // picture. About the mouse when it is over the picture, else the centre. False: not a key
    // of the zoom (or no picture), for the view to use.
    bool Key(QKeyEvent* event);
    // A wheel turn over the fitted view: Ctrl zooms about the mouse. False: not for the zoom.
    bool Wheel(QWheelEvent* event);

    void ActualPixels(QPointF anchor);
    void FitToView();
    void ZoomIn(QPointF anchor);
    void ZoomOut(QPointF anchor);
    // The sharp picture for what is on view has been drawn.
    bool Sharp() const;
    // Parts (or whole pictures) sent to the decoder thread since the pane was made.
    int Decodes() const { return m_decodes; }
    // Where a key zooms about: the mouse over the picture, else the centre (pane pixels).
    QPointF KeyAnchor() const;

    // The sharp part in the making and the work behind it: one part at a time, the last
    // view asked for next.
    struct Work;
    struct Done {
        QImage part;    // the region at `scale`, or null
        QRect region;   // picture pixels
        double scale = 0;
        QImage whole;   // the whole picture at a bounded size, for pictures without a region decoder
        std::shared_ptr<const RegionDecoder::Source> source;
        bool sourceTried = false;
        int generation = 0;
    };

signals:
    // The sharp picture for the view arrived and is drawn.
    void sharpShown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void newPicture();
    void syncView();
    void changed();
    bool zoomWheel(QWheelEvent* event, QPointF at);
    void askSharp();
    void finished();
    QRect wantedRegion() const;
    QRect withMargin(QRect region) const;
    double wantedScale() const;

    PictureBox* m_fitted;
    ViewZoom m_zoom;
    Done m_have; // the sharp picture drawn, and what the decoder keeps for the next part
    QFutureWatcher<Done> m_watcher;
    bool m_busy = false;
    bool m_again = false; // the view changed while a part was being decoded
    int m_generation = 0;
    int m_decodes = 0;
    bool m_dragging = false;
    QPointF m_dragAt;
    int m_wheel = 0;
};
