#include "slideshow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QWidget>

#include <algorithm>
#include <iterator>

namespace {
int secondLength = 1000;
// Seconds a picture stays on: kept from show to show while the program runs.
int pace = 4;
} // namespace

SlideShow::SlideShow(QWidget& window, Step step, std::function<void(const QString&)> notice)
    : QObject(&window), m_window(window), m_step(std::move(step)), m_notice(std::move(notice))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SlideShow::tick);
}

SlideShow::~SlideShow()
{
    if (m_filtering)
        qApp->removeEventFilter(this);
}

void SlideShow::SetSecondForTests(int milliseconds)
{
    secondLength = milliseconds;
}

int SlideShow::Pace()
{
    return pace;
}

void SlideShow::SetPace(int seconds)
{
    if (std::find(std::begin(Paces), std::end(Paces), seconds) != std::end(Paces))
        pace = seconds;
}

void SlideShow::Start()
{
    if (m_running)
        return;
    m_running = true;
    // Every key and click of the program passes here first while the show runs: menu
    // shortcuts included, so a key stops the show and does nothing else.
    qApp->installEventFilter(this);
    m_filtering = true;
    m_notice(QStringLiteral("Slide show: a picture every %1 s (+ faster, - slower, Space stops)").arg(Pace()));
    m_timer.start(Pace() * secondLength);
}

void SlideShow::Stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_timer.stop();
    if (m_filtering)
        qApp->removeEventFilter(this);
    m_filtering = false;
}

void SlideShow::Toggle()
{
    if (m_running) {
        Stop();
        m_notice(QStringLiteral("Slide show stopped"));
    } else {
        Start();
    }
}

int SlideShow::ChangePace(int by)
{
    const int* at = std::find(std::begin(Paces), std::end(Paces), Pace());
    const int index = std::clamp(int(at - std::begin(Paces)) + by, 0, int(std::size(Paces)) - 1);
    pace = Paces[index];
    m_notice(QStringLiteral("Slide show: a picture every %1 s").arg(Pace()));
    if (m_timer.isActive())
        m_timer.start(Pace() * secondLength); // the new pace counts from now
    return Pace();
}

void SlideShow::tick()
{
    if (!m_running || !m_window.isVisible() || !m_window.isEnabled()) {
        Stop();
        return;
    }
    // A step may load a page (and a question may wait for the user): no tick meanwhile.
    m_stepping = true;
    const bool goesOn = m_step();
    m_stepping = false;
    if (!goesOn)
        Stop();
    else if (m_running)
        m_timer.start(Pace() * secondLength);
}

bool SlideShow::ownEvent(QObject* watched) const
{
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget && widget->window() == &m_window;
}

bool SlideShow::key(int key)
{
    switch (key) {
    case Qt::Key_Space:
        Toggle();
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ChangePace(-1);
        return true;
    case Qt::Key_Minus:
        ChangePace(+1);
        return true;
    case Qt::Key_Escape:
        Stop();
        return false; // Esc still asks whether to end the program
    default:
        Stop();
        m_notice(QStringLiteral("Slide show stopped"));
        return true;
    }
}

bool SlideShow::eventFilter(QObject* watched, QEvent* event)
{
    if (!ownEvent(watched))
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claimed, so that a menu shortcut arrives as a key press the show answers.
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
            event->accept();
        return false;
    case QEvent::KeyPress: {
        const auto* press = static_cast<QKeyEvent*>(event);
        if (press->key() == Qt::Key_Shift || press->key() == Qt::Key_Control || press->key() == Qt::Key_Alt ||
            press->key() == Qt::Key_Meta)
            return false; // on the way to + on most keyboards
        return key(press->key());
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        Stop();
        m_notice(QStringLiteral("Slide show stopped"));
        // A click on the menu still opens it; on the picture it only stops the show.
        return !qobject_cast<QMenuBar*>(watched);
    default:
        return QObject::eventFilter(watched, event);
    }
}
