#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// The full-size view's slide show: a picture at a time, at a pace the user changes with
// + and -. While it runs, every key and click goes to it first: Space stops it, + and -
// change the pace, Esc stops it and still asks whether to end the program, and any other key,
// a click or a wheel turn only stops it. The pace lasts for the session.
class SlideShow final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SlideShow)
public:
    // What a tick does: shows the next picture; false when the show must end there.
    using Step = std::function<bool()>;
    // `window`: the view, whose keys and clicks stop the show; `step` runs at every tick.
    SlideShow(QWidget& window, Step step, std::function<void(const QString&)> notice);
    ~SlideShow() override;

    // The paces offered, in seconds.
    static constexpr int Paces[] = {1, 2, 3, 4, 6, 8, 10, 15};
    // Tests shorten every second to this many milliseconds.
    static void SetSecondForTests(int milliseconds);

    void Start();
    void Stop();
    void Toggle();
    bool Running() const { return m_running; }
    // The next slower (+1) or faster (-1) pace; stays at either end. The new pace in seconds.
    int ChangePace(int by);
    // The pace in seconds, and setting it (one of Paces; the program starts at 4).
    static int Pace();
    static void SetPace(int seconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void tick();
    bool ownEvent(QObject* watched) const;
    // True when the key was the show's own (nothing else may act on it).
    bool key(int key);

    QWidget& m_window;
    Step m_step;
    std::function<void(const QString&)> m_notice;
    QTimer m_timer;
    bool m_running = false;
    bool m_stepping = false; // a tick's step is loading (a page may ask its save check)
    bool m_filtering = false;
};
