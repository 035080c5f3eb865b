#pragma once

#include <QList>
#include <QObject>

#include <functional>

class Form;
class PictureBox;
class QWidget;

// The keyboard on the page's twelve slots. The page itself holds the keyboard
// first, so Left and Right turn pages until Tab (or Shift+Tab) reaches a slot;
// then the arrow keys move across the grid and a ring shows the slot that has
// the keyboard. Return, Enter and Space on it do what the left mouse button
// does, the Menu key and Shift+F10 what the right one does; the keyboard stays on
// the slot after (a picture added or pasted there). Tab past the last
// slot gives the keyboard back to the page. The mouse is not changed.
class SlotFocus final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SlotFocus)
public:
    using Press = std::function<void(int slot, Qt::MouseButton button)>;
    SlotFocus(Form& page, const QList<PictureBox*>& boxes, Press press);

    // The slot that has the keyboard, or -1.
    int Focused() const;
    // Gives the keyboard to `slot` when another slot has it (the view went back from there).
    void MoveTo(int slot);
    // The ring drawn around the slot that has the keyboard (hidden when none has).
    QWidget* Ring() const { return m_ring; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showRing(int slot);
    // Presses the slot; the keyboard (and the ring) stays on it.
    void press(int slot, Qt::MouseButton button);

    Form& m_page;
    QList<PictureBox*> m_slots;
    Press m_press;
    QWidget* m_ring = nullptr;
};
