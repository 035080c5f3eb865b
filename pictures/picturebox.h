#pragma once

#include "picture.h"

#include <QPixmap>
#include <QSizeF>
#include <QWidget>

// A picture element of a screen (a slot of the page, the full-size view's
// picture): its place and size in the screen's own units, a stretch switch,
// a tag text. With stretching off the element takes the picture's own size,
// measured in the screen's units; with it on, the picture fills the element.
class PictureBox final : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    void SetPicture(const Picture& picture);
    const Picture& GetPicture() const { return m_picture; }
    bool HasPicture() const { return !m_picture.isNull(); }

    float Left() const { return m_left; }
    float Top() const { return m_top; }
    float Width() const { return m_width; }
    float Height() const { return m_height; }
    void SetLeft(float v);
    void SetTop(float v);
    void SetWidth(float v);
    void SetHeight(float v);
    void Move(float left, float top, float width, float height);

    bool Stretch() const { return m_stretch; }
    void SetStretch(bool on);

    bool Visible() const { return !isHidden(); }
    void SetVisible(bool on) { setVisible(on); }

    // How many of the screen's units one picture pixel measures, across and down.
    void SetUnitsPerPixel(QSizeF units);
    // The picture's own size in the screen's units (0 by 0 without a picture).
    QSizeF NaturalSize() const;

    QString Tag;
    // Why the picture meant for this element cannot be shown (its file and the
    // reason); empty when it shows what it should. Set after SetPicture, which clears it.
    QString Problem;

signals:
    // SetPicture ran (the element's tag and problem are set right after it).
    void pictureChanged();
    // A mouse button went down on the element; the point is in the element's pixels.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF at);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void takeNaturalSize();
    void updatePlacement();

    Picture m_picture;
    QPixmap m_cache; // the shown picture at the element's on-screen size
    QSizeF m_unitsPerPixel{1, 1};
    float m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    bool m_stretch = true;
};
