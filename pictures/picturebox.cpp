#include "picturebox.h"

#include "scaledcanvas.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

#include <mutex>

namespace {
// Assistive technology hears a picture, not an anonymous frame.
QAccessibleInterface* AccessiblePictureBox(const QString& className, QObject* object)
{
    if (className == QLatin1String("PictureBox") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}
} // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    static std::once_flag factoryInstalled;
    std::call_once(factoryInstalled, [] { QAccessible::installFactory(AccessiblePictureBox); });
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PictureBox::SetPicture(const Picture& picture)
{
    Problem.clear();
    m_picture = picture;
    m_cache = QPixmap();
    if (!m_stretch)
        takeNaturalSize();
    update();
    emit pictureChanged();
}

void PictureBox::SetLeft(float v)
{
    m_left = v;
    updatePlacement();
}

void PictureBox::SetTop(float v)
{
    m_top = v;
    updatePlacement();
}

void PictureBox::SetWidth(float v)
{
    m_width = v;
    updatePlacement();
}

void PictureBox::SetHeight(float v)
{
    m_height = v;
    updatePlacement();
}

void PictureBox::Move(float left, float top, float width, float height)
{
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    updatePlacement();
}

void PictureBox::SetStretch(bool on)
{
    m_stretch = on;
    if (!m_stretch)
        takeNaturalSize();
}

void PictureBox::SetUnitsPerPixel(QSizeF units)
{
    m_unitsPerPixel = units;
}

QSizeF PictureBox::NaturalSize() const
{
    if (m_picture.isNull())
        return {0, 0};
    return {m_picture.natural.width() * m_unitsPerPixel.width(), m_picture.natural.height() * m_unitsPerPixel.height()};
}

void PictureBox::takeNaturalSize()
{
    const QSizeF natural = NaturalSize();
    m_width = float(natural.width());
    m_height = float(natural.height());
    updatePlacement();
}

void PictureBox::updatePlacement()
{
    if (auto* canvas = qobject_cast<ScaledCanvas*>(parentWidget()))
        canvas->place(this, QRectF(m_left, m_top, m_width, m_height));
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    m_cache = QPixmap();
    QWidget::resizeEvent(event);
}

void PictureBox::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull() || width() <= 0 || height() <= 0)
        return;
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (m_picture.shown.size() == pixels) {
        // Already at its size on screen (the full-size view's read-ahead makes it so): drawn as
        // it is, without a copy into a pixmap first.
        QPainter(this).drawImage(0, 0, m_picture.shown);
        return;
    }
    if (m_cache.isNull() || m_cache.size() != pixels) {
        // Scaled once per size, smoothly, so painting stays cheap and sharp.
        m_cache = QPixmap::fromImage(
            m_picture.shown.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_cache.setDevicePixelRatio(dpr);
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_cache);
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    emit mouseDown(event->button(), event->modifiers(), event->position());
    event->accept();
}
