#pragma once

#include "scaledcanvas.h"

#include <QMainWindow>
#include <QString>

#include <functional>

class QAbstractButton;
class QAction;
class QMenu;


// A screen of the program: one global instance per name (see Forms), loaded
// without showing, shown modeless or modal, hidden, unloaded. Subclasses
// override the lifecycle handlers; the runtime calls them.
class Form : public QMainWindow {
    Q_OBJECT
public:
    explicit Form(const QString& name);
    ~Form() override;

    const QString& Name() const { return m_name; }

    // Runs once per load, right after the screen is created.
    virtual void Form_Load() {}
    // Runs each time the screen comes to the front.
    virtual void Form_Activate() {}
    // Runs before the screen is unloaded (by any route, also before the
    // program ends after the exit question); false keeps it loaded.
    virtual bool Form_QueryUnload() { return true; }
    // Runs when the screen is unloaded.
    virtual void Form_Unload() {}
    // The window's title-bar close button: unloads the screen, unless the
    // screen has its own way out, which it then takes.
    virtual void CloseByUser();

    void Show();
    void ShowModal();
    void Hide();
    void Refresh();
    void Minimize();
    void SetCaption(const QString& caption) { setWindowTitle(caption); }
    QString Caption() const { return windowTitle(); }

    QString Tag;

    // Left 0, top 0, the screen's width and height; kept while the screen is shown.
    void FillScreen();
    bool FillsScreen() const { return m_fillScreen; }
    // A screen of its own size, placed in the middle of the screen when shown.
    void CentreOnScreen() { m_centre = true; }
    // Inner coordinate system, e.g. (0, 0)-(100, 100); uniform keeps proportions.
    void SetScale(double width, double height, bool uniform = false);
    void Place(QWidget* child, double left, double top, double width, double height);
    QRectF Placed(QWidget* child) const;
    ScaledCanvas* Canvas() const { return m_canvas; }

    // Menus: every item carries its control name as object name.
    QMenu* AddMenu(const QString& name, const QString& caption);
    QAction* AddMenuItem(QMenu* menu, const QString& name, const QString& caption,
                         std::function<void()> handler, const QKeySequence& shortcut = {});
    QAction* AddSeparator(QMenu* menu, const QString& name);
    QAction* Menu(const QString& name) const;

    // Esc presses the cancel button; Enter presses the focused button, else the default button,
    // as long as they are enabled.
    void SetCancelButton(QAbstractButton* button) { m_cancel = button; }
    void SetDefaultButton(QAbstractButton* button) { m_default = button; }

signals:
    void hidden();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void placeOnScreen();

    QString m_name;
    ScaledCanvas* m_canvas = nullptr;
    QAbstractButton* m_cancel = nullptr;
    QAbstractButton* m_default = nullptr;
    bool m_fillScreen = false;
    bool m_centre = false;
};
