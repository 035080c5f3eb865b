#include "zoompane.h"

#include "picturebox.h"
#include "pictureloader.h"

#include <QCursor>
#include <QKeyEvent>
#include <QPainter>
#include <QPromise>
#include <QThreadPool>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// A picture read whole (not a JPEG) is kept at no more pixels than this: 64 MB.
constexpr double MostWholePixels = 16.0 * 1024 * 1024;
// One arrow key moves the picture by this share of the view.
constexpr double ArrowShare = 0.1;
// The sharp part reaches this share of the view beyond each side of it, so that small pans
// (an arrow key, a short drag) show sharp at once: 2.25 screenfuls at most.
constexpr double MarginShare = 0.25;

// The whole picture at a bounded size, for pictures the region decoder does not read.
QImage boundedWhole(const Picture& picture)
{
    const QSize natural = picture.natural;
    if (natural.isEmpty())
        return picture.shown;
    if (!picture.full.isNull())
        return picture.full; // in memory already (a pasted picture)
    const double area = double(natural.width()) * natural.height();
    const double shrink = std::min(1.0, std::sqrt(MostWholePixels / area));
    const QSize box(std::max(1, int(natural.width() * shrink)), std::max(1, int(natural.height() * shrink)));
    QImage whole = Pictures::Reload(picture, box).shown;
    whole.setDevicePixelRatio(1.0);
    return whole;
}

bool plainKey(Qt::KeyboardModifiers modifiers)
{
    // Shift is how some keyboards type +; the keypad's keys count as well.
    return !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

} // namespace

struct ZoomPane::Work {
    Picture picture;
    Done kept; // source and whole picture so far
    QRect region;
    double scale = 1;
};

ZoomPane::ZoomPane(PictureBox* fitted, QWidget* parent) : QWidget(parent), m_fitted(fitted)
{
    setObjectName(QStringLiteral("zoomPane"));
    setAccessibleName(QStringLiteral("Zoomed picture"));
    setCursor(Qt::OpenHandCursor);
    hide();
    connect(m_fitted, &PictureBox::pictureChanged, this, &ZoomPane::newPicture);
    connect(&m_watcher, &QFutureWatcher<Done>::finished, this, &ZoomPane::finished);
    m_fitted->installEventFilter(this);
    newPicture();
}

ZoomPane::~ZoomPane()
{
    // A decode still running finishes on its own; its result goes nowhere.
    m_watcher.disconnect();
}

void ZoomPane::newPicture()
{
    // Stepping to another picture (or the same one loaded again) shows it fitted.
    ++m_generation;
    m_have = Done{};
    m_have.generation = m_generation;
    m_wheel = 0;
    m_zoom.SetPicture(m_fitted->GetPicture().natural);
    changed();
}

void ZoomPane::syncView()
{
    m_zoom.SetView(QSizeF(size()), devicePixelRatioF());
}

void ZoomPane::changed()
{
    const bool zoomed = Zoomed() && m_fitted->HasPicture();
    if (zoomed == isHidden()) {
        m_fitted->setVisible(!zoomed);
        setVisible(zoomed);
        if (zoomed) {
            stackUnder(m_fitted); // below anything raised over the fitted picture (the line)
            setAccessibleDescription(m_fitted->accessibleDescription());
        }
    }
    if (zoomed)
        askSharp();
    update();
}

void ZoomPane::ActualPixels(QPointF anchor)
{
    syncView();
    m_zoom.ZoomTo(m_zoom.ActualScale(), anchor);
    changed();
}

void ZoomPane::FitToView()
{
    m_zoom.Fit();
    changed();
}

void ZoomPane::ZoomIn(QPointF anchor)
{
    syncView();
    m_zoom.ZoomIn(anchor);
    changed();
}

void ZoomPane::ZoomOut(QPointF anchor)
{
    syncView();
    m_zoom.ZoomOut(anchor);
    changed();
}

QPointF ZoomPane::KeyAnchor() const
{
    const QPointF mouse = mapFromGlobal(QCursor::pos());
    if (rect().contains(mouse.toPoint()) && m_zoom.PictureRect().contains(mouse))
        return mouse;
    return QPointF(width() / 2.0, height() / 2.0);
}

bool ZoomPane::Key(QKeyEvent* event)
{
    if (!m_fitted->HasPicture() || !plainKey(event->modifiers()))
        return false;
    if (m_zoom.Fitted())
        syncView(); // the anchor is judged against the picture as it lies now
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomIn(KeyAnchor());
        return true;
    case Qt::Key_Minus:
        ZoomOut(KeyAnchor());
        return true;
    case Qt::Key_1:
        ActualPixels(KeyAnchor());
        return true;
    case Qt::Key_0:
        FitToView();
        return true;
    default:
        break;
    }
    if (!Zoomed())
        return false; // fitted, the arrows step through the album
    const double across = width() * ArrowShare, down = height() * ArrowShare;
    QPointF move;
    switch (event->key()) {
    case Qt::Key_Left: move = {across, 0}; break;
    case Qt::Key_Right: move = {-across, 0}; break;
    case Qt::Key_Up: move = {0, down}; break;
    case Qt::Key_Down: move = {0, -down}; break;
    default: return false;
    }
    m_zoom.PanBy(move);
    changed();
    return true;
}

bool ZoomPane::Wheel(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier) || !m_fitted->HasPicture())
        return false;
    syncView();
    zoomWheel(event, mapFromGlobal(event->globalPosition()));
    return true;
}

bool ZoomPane::zoomWheel(QWheelEvent* event, QPointF at)
{
    // One notch (120) is one step; finer wheels add up to one.
    m_wheel += event->angleDelta().y();
    while (m_wheel <= -120 || m_wheel >= 120) {
        const bool in = m_wheel > 0;
        m_wheel += in ? -120 : 120;
        if (in)
            m_zoom.ZoomIn(at);
        else
            m_zoom.ZoomOut(at);
        changed();
    }
    event->accept();
    return true;
}

void ZoomPane::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        zoomWheel(event, event->position());
        return;
    }
    // The plain wheel scrolls: down shows more below; Shift turns it sideways.
    QPointF turn = event->pixelDelta().isNull() ? QPointF(event->angleDelta()) / 120.0 * (height() * ArrowShare)
                                                : QPointF(event->pixelDelta());
    if (event->modifiers() & Qt::ShiftModifier)
        turn = QPointF(turn.y(), turn.x());
    m_zoom.PanBy(turn);
    changed();
    event->accept();
}

void ZoomPane::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragAt = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
    event->accept();
}

void ZoomPane::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    m_zoom.PanBy(event->position() - m_dragAt);
    m_dragAt = event->position();
    changed();
}

void ZoomPane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        setCursor(Qt::OpenHandCursor);
    }
}

void ZoomPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        FitToView();
}

bool ZoomPane::eventFilter(QObject* watched, QEvent* event)
{
    // A double click on the fitted picture shows actual pixels about the point clicked.
    if (watched == m_fitted && event->type() == QEvent::MouseButtonDblClick) {
        auto* click = static_cast<QMouseEvent*>(event);
        if (click->button() == Qt::LeftButton && m_fitted->HasPicture()) {
            ActualPixels(mapFromGlobal(click->globalPosition()));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ZoomPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    syncView();
    if (Zoomed())
        changed();
}

QRect ZoomPane::wantedRegion() const
{
    return m_zoom.VisiblePart().toAlignedRect().intersected(QRect(QPoint(0, 0), m_zoom.Natural()));
}

QRect ZoomPane::withMargin(QRect region) const
{
    const QSizeF view = m_zoom.View() / std::max(m_zoom.Scale(), 1e-9); // picture pixels
    const int across = int(std::ceil(view.width() * MarginShare));
    const int down = int(std::ceil(view.height() * MarginShare));
    return region.adjusted(-across, -down, across, down).intersected(QRect(QPoint(0, 0), m_zoom.Natural()));
}

double ZoomPane::wantedScale() const
{
    return std::min(1.0, m_zoom.DeviceScale());
}

bool ZoomPane::Sharp() const
{
    if (!m_have.whole.isNull())
        return true;
    return !m_have.part.isNull() && std::abs(m_have.scale - wantedScale()) < 1e-9 &&
           m_have.region.contains(wantedRegion());
}

void ZoomPane::askSharp()
{
    if (Sharp())
        return;
    if (m_busy) {
        m_again = true;
        return;
    }
    m_busy = true;
    m_again = false;
    auto work = std::make_shared<Work>();
    work->picture = m_fitted->GetPicture();
    work->kept = m_have;
    work->kept.part = QImage();
    work->region = withMargin(wantedRegion());
    work->scale = wantedScale();
    ++m_decodes;
    auto promise = std::make_shared<QPromise<Done>>();
    m_watcher.setFuture(promise->future());
    QThreadPool::globalInstance()->start([work, promise] {
        promise->start();
        Done done = work->kept;
        if (!done.sourceTried && !work->picture.sourcePath.isEmpty()) {
            done.source = RegionDecoder::Open(work->picture.sourcePath);
            done.sourceTried = true;
        }
        if (done.source) {
            done.part = RegionDecoder::Decode(*done.source, work->region, work->scale);
            done.region = work->region;
            done.scale = work->scale;
        }
        if (done.part.isNull() && done.whole.isNull())
            done.whole = boundedWhole(work->picture);
        promise->addResult(done);
        promise->finish();
    });
}

void ZoomPane::finished()
{
    m_busy = false;
    const QFuture<Done> future = m_watcher.future();
    if (future.resultCount() > 0) {
        const Done done = future.result();
        if (done.generation == m_generation) {
            m_have = done;
            update();
            if (Sharp())
                emit sharpShown();
        }
    }
    if (Zoomed() && (m_again || !Sharp()))
        askSharp();
}

void ZoomPane::paintEvent(QPaintEvent*)
{
    const Picture& picture = m_fitted->GetPicture();
    if (picture.isNull())
        return;
    QPainter p(this);
    const QRectF whole = m_zoom.PictureRect();
    const bool smooth = m_zoom.DeviceScale() < 2.0; // larger, the pixels show as they are
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    // At once: the fitted picture enlarged.
    p.drawImage(whole, picture.shown);
    if (!m_have.whole.isNull()) {
        const QRectF shown = m_zoom.VisiblePart();
        const double sx = double(m_have.whole.width()) / m_zoom.Natural().width();
        const double sy = double(m_have.whole.height()) / m_zoom.Natural().height();
        const QRectF from(shown.left() * sx, shown.top() * sy, shown.width() * sx, shown.height() * sy);
        p.drawImage(QRectF(m_zoom.ViewAt(shown.topLeft()), shown.size() * m_zoom.Scale()), m_have.whole, from);
    } else if (!m_have.part.isNull()) {
        // On whole screen pixels, so that actual pixels are drawn one for one.
        const qreal dpr = devicePixelRatioF();
        const QPointF at = m_zoom.ViewAt(m_have.region.topLeft());
        const QPointF snapped(std::round(at.x() * dpr) / dpr, std::round(at.y() * dpr) / dpr);
        p.drawImage(QRectF(snapped, QSizeF(m_have.region.size()) * m_zoom.Scale()), m_have.part);
    }
}
