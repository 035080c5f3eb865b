#include "slotfocus.h"

#include "fitting.h"
#include "form.h"
#include "forms.h"
#include "picturebox.h"

#include <QKeyEvent>
#include <QPointer>

namespace {
// How far the ring stands out around a slot, in page units (the slot's frame stands out 1.5).
constexpr double RingMargin = 3;
constexpr int Columns = 4;
} // namespace

SlotFocus::SlotFocus(Form& page, const QList<PictureBox*>& boxes, Press press)
    : QObject(&page), m_page(page), m_slots(boxes), m_press(std::move(press))
{
    // First in the page's focus chain: activation gives the keyboard to the page, not to a slot.
    page.Canvas()->setFocusPolicy(Qt::TabFocus);
    for (PictureBox* slot : m_slots) {
        slot->setFocusPolicy(Qt::TabFocus); // reached by Tab; a click does not move the keyboard
        slot->installEventFilter(this);
    }
    m_ring = new QWidget(page.Canvas());
    m_ring->setObjectName(QStringLiteral("slotFocusRing"));
    m_ring->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    m_ring->setAttribute(Qt::WA_StyledBackground, true);
    m_ring->setFocusPolicy(Qt::NoFocus);
    m_ring->setStyleSheet(QStringLiteral(
        "#slotFocusRing { border: 4px solid #1f5fbf; border-radius: 6px; background: transparent; }"));
    m_ring->hide();
}

int SlotFocus::Focused() const
{
    for (qsizetype i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i]->hasFocus())
            return int(i);
    }
    return -1;
}

void SlotFocus::MoveTo(int slot)
{
    // The page is behind the view: its focus widget is the slot that had the keyboard.
    QWidget* had = m_page.focusWidget();
    if (slot < 0 || slot >= int(m_slots.size()) || !m_slots.contains(had) || had == m_slots[slot])
        return;
    m_slots[slot]->setFocus(Qt::OtherFocusReason);
    if (!m_slots[slot]->hasFocus())
        showRing(slot); // the page is not active yet; its focus-in follows
}

void SlotFocus::showRing(int slot)
{
    m_page.Place(m_ring, Fitting::SlotLeft(slot) - RingMargin, Fitting::SlotTop(slot) - RingMargin,
                 Fitting::SlotSide + 2 * RingMargin, Fitting::SlotSide + 2 * RingMargin);
    m_ring->raise();
    m_ring->show();
}

void SlotFocus::press(int slot, Qt::MouseButton button)
{
    QPointer<PictureBox> box = m_slots[slot];
    m_press(slot, button);
    // Fitting a new picture hides its slot for a moment, and Qt hands the keyboard on
    // to the next one: while the page is still in front, the keyboard stays on this slot.
    if (!box || Forms::Front() != &m_page || !box->isVisible())
        return;
    QWidget* now = m_page.focusWidget();
    if (now != box && (!now || now == m_page.Canvas() || m_slots.contains(now)))
        box->setFocus(Qt::OtherFocusReason);
}

bool SlotFocus::eventFilter(QObject* watched, QEvent* event)
{
    const int slot = int(m_slots.indexOf(static_cast<PictureBox*>(watched)));
    if (slot < 0)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        showRing(slot);
        break;
    case QEvent::FocusOut:
        if (Focused() < 0)
            m_ring->hide();
        break;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (mods == Qt::ShiftModifier && key->key() == Qt::Key_F10) {
            press(slot, Qt::RightButton);
            return true;
        }
        if (mods != Qt::NoModifier)
            break;
        int to = -1;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            press(slot, Qt::LeftButton);
            return true;
        case Qt::Key_Menu:
            press(slot, Qt::RightButton);
            return true;
        case Qt::Key_Left:
            to = slot % Columns == 0 ? slot : slot - 1;
            break;
        case Qt::Key_Right:
            to = slot % Columns == Columns - 1 ? slot : slot + 1;
            break;
        case Qt::Key_Up:
            to = slot < Columns ? slot : slot - Columns;
            break;
        case Qt::Key_Down:
            to = slot + Columns >= int(m_slots.size()) ? slot : slot + Columns;
            break;
        default:
            return false;
        }
        m_slots[to]->setFocus(Qt::TabFocusReason);
        return true;
    }
    case QEvent::ContextMenu:
        return true; // the Menu key has been answered as a key; nothing else opens a menu here
    default:
        break;
    }
    return false;
}
