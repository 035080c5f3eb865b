#include "form.h"

#include "forms.h"
#include "interaction.h"
#include "scaledcanvas.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

Form::Form(const QString& name) : m_name(name)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_canvas = new ScaledCanvas(this);
    m_canvas->setObjectName(QStringLiteral("canvas"));
    setCentralWidget(m_canvas);
}

Form::~Form() = default;

void Form::Show()
{
    if (!isVisible()) {
        placeOnScreen();
        if (m_fillScreen && !isMinimized())
            showMaximized();
        else
            show();
    }
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        raise();
        activateWindow();
    }
    Forms::ScreenShown(this);
}

void Form::ShowModal()
{
    Question q;
    q.kind = Question::Kind::ModalScreen;
    q.screen = m_name;
    q.title = windowTitle();
    const QuestionOpen open;
    CurrentInteraction().showModal(*this, q);
}

void Form::Hide()
{
    const bool wasVisible = isVisible();
    hide();
    if (wasVisible)
        emit hidden();
    Forms::ScreenHidden(this);
}

void Form::Refresh()
{
    if (isVisible())
        repaint();
}

void Form::Minimize()
{
    showMinimized();
}

void Form::FillScreen()
{
    m_fillScreen = true;
    placeOnScreen();
}

void Form::placeOnScreen()
{
    if (!m_fillScreen && !m_centre)
        return;
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    if (!m_fillScreen) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
        return;
    }
    // The available area keeps the caption and menus visible under a window
    // manager; without one it is the whole screen. Shown maximized, the window
    // manager fits the frame in as well.
    const QRect area = s->availableGeometry();
    move(area.topLeft());
    resize(area.size());
}

void Form::SetScale(double width, double height, bool uniform)
{
    m_canvas->setScale(QSizeF(width, height), uniform);
}

void Form::Place(QWidget* child, double left, double top, double width, double height)
{
    if (child->parentWidget() != m_canvas)
        child->setParent(m_canvas);
    m_canvas->place(child, QRectF(left, top, width, height));
}

QRectF Form::Placed(QWidget* child) const
{
    return m_canvas->placed(child);
}

QMenu* Form::AddMenu(const QString& name, const QString& caption)
{
    QMenu* menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction* Form::AddMenuItem(QMenu* menu, const QString& name, const QString& caption,
                           std::function<void()> handler, const QKeySequence& shortcut)
{
    QAction* action = menu ? menu->addAction(caption) : menuBar()->addAction(caption);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    if (handler) {
        // An item of a disabled menu does nothing, also through its shortcut.
        connect(action, &QAction::triggered, this, [menu, handler = std::move(handler)] {
            if (!menu || menu->menuAction()->isEnabled())
                handler();
        });
    }
    return action;
}

QAction* Form::AddSeparator(QMenu* menu, const QString& name)
{
    QAction* sep = menu->addSeparator();
    sep->setObjectName(name);
    return sep;
}

QAction* Form::Menu(const QString& name) const
{
    return findChild<QAction*>(name);
}

bool Form::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && QApplication::activeWindow() == this) {
        if (isVisible()) {
            Forms::ScreenActivatedByPlatform(this);
        } else if (Form* front = Forms::Front(); front && front != this && front->isVisible()) {
            // The window system's focus arrived after this screen was hidden (a progress
            // screen, say): the keyboard goes to the screen in front, with no click needed.
            front->activateWindow();
        }
    }
    return QMainWindow::event(event);
}

void Form::keyPressEvent(QKeyEvent* event)
{
    const bool plain = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (plain && event->key() == Qt::Key_Escape && m_cancel && m_cancel->isEnabled()) {
        m_cancel->click();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (plain && enter) {
        // Return on a focused button presses it, as Space does.
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        if (focused && focused->isEnabled() && focused->isVisible() && !focused->isCheckable()) {
            focused->click();
            return;
        }
    }
    if (plain && enter && m_default && m_default->isEnabled()) {
        m_default->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void Form::closeEvent(QCloseEvent* event)
{
    event->ignore();
    CloseByUser();
}

void Form::CloseByUser()
{
    Forms::ScreenClosedByUser(this);
}
