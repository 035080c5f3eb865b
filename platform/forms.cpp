#include "forms.h"

#include "form.h"
#include "interaction.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTimer>

namespace Forms {
namespace {

struct Runtime {
    QHash<QString, Factory> factories;
    QHash<QString, QPointer<Form>> loaded;
    QList<QPointer<Form>> zOrder; // visible screens, front last
    QPointer<Form> front;
};

Runtime& rt()
{
    static Runtime r;
    return r;
}

void pruneZOrder()
{
    rt().zOrder.removeIf([](const QPointer<Form>& f) { return f.isNull() || !f->isVisible(); });
}

void makeFront(Form* form)
{
    Runtime& r = rt();
    r.zOrder.removeAll(form);
    r.zOrder.append(form);
    if (r.front != form) {
        r.front = form;
        form->Form_Activate();
    }
}

void activateTopmost()
{
    Runtime& r = rt();
    pruneZOrder();
    for (qsizetype i = r.zOrder.size() - 1; i >= 0; --i) {
        Form* f = r.zOrder[i];
        if (f->isEnabled()) {
            makeFront(f);
            return;
        }
    }
    r.front = nullptr;
}

bool platformSwitchesWindows()
{
    // Under the offscreen and minimal platforms only the program itself brings
    // screens to the front, which keeps activation deterministic in tests.
    const QString p = QGuiApplication::platformName();
    return p != QLatin1String("offscreen") && p != QLatin1String("minimal");
}

} // namespace

void Register(const QString& name, Factory factory)
{
    rt().factories.insert(name, std::move(factory));
}

bool IsRegistered(const QString& name)
{
    return rt().factories.contains(name);
}

void Reset()
{
    UnloadAll();
    rt().factories.clear();
}

bool IsLoaded(const QString& name)
{
    const auto it = rt().loaded.constFind(name);
    return it != rt().loaded.constEnd() && !it->isNull();
}

Form* Get(const QString& name)
{
    Runtime& r = rt();
    if (IsLoaded(name))
        return r.loaded.value(name);
    const auto factory = r.factories.constFind(name);
    if (factory == r.factories.constEnd())
        return nullptr;
    Form* form = (*factory)().release();
    r.loaded.insert(name, form);
    form->Form_Load();
    return IsLoaded(name) ? form : nullptr;
}

void Load(const QString& name)
{
    Get(name);
}

void Show(const QString& name)
{
    if (Form* f = Get(name))
        f->Show();
}

void Hide(const QString& name)
{
    if (Form* f = Get(name))
        f->Hide();
}

void Refresh(const QString& name)
{
    if (Form* f = Get(name))
        f->Refresh();
}

namespace {

void discard(const QString& name)
{
    Runtime& r = rt();
    Form* form = r.loaded.value(name);
    form->Form_Unload();
    r.loaded.remove(name);
    // Hide first so that the screen behind comes to the front; delete later,
    // since the screen may be unloading itself from one of its own handlers.
    form->Hide();
    r.zOrder.removeAll(form);
    form->deleteLater();
}

} // namespace

bool Unload(const QString& name)
{
    if (!IsLoaded(name))
        return true;
    if (!rt().loaded.value(name)->Form_QueryUnload())
        return false;
    if (IsLoaded(name)) // asking may have unloaded it already
        discard(name);
    return true;
}

bool QueryUnloadAll()
{
    const QStringList names = rt().loaded.keys();
    for (const QString& name : names) {
        if (IsLoaded(name) && !rt().loaded.value(name)->Form_QueryUnload())
            return false;
    }
    return true;
}

void UnloadAll()
{
    const QStringList names = rt().loaded.keys();
    for (const QString& name : names) {
        if (IsLoaded(name))
            discard(name);
    }
    rt().front = nullptr;
    rt().zOrder.clear();
}

Form* Front()
{
    return rt().front;
}

QStringList VisibleScreens()
{
    pruneZOrder();
    QStringList names;
    for (const auto& f : rt().zOrder)
        names << f->Name();
    return names;
}

void ScreenShown(Form* form)
{
    makeFront(form);
}

namespace {
bool endWhenNothingOnView = false;

void checkSomethingOnView()
{
    if (!endWhenNothingOnView)
        return;
    // After the handler that hid a screen has run its course: a program with
    // no screen on view would run on unseen.
    QTimer::singleShot(0, [] {
        pruneZOrder();
        if (endWhenNothingOnView && rt().zOrder.isEmpty())
            EndProgram();
    });
}
} // namespace

void EndWhenNothingOnView(bool on)
{
    endWhenNothingOnView = on;
}

void ScreenHidden(Form* form)
{
    checkSomethingOnView();
    Runtime& r = rt();
    const bool wasFront = r.front == form;
    r.zOrder.removeAll(form);
    if (wasFront) {
        r.front = nullptr;
        activateTopmost();
    }
}

void ScreenActivatedByPlatform(Form* form)
{
    if (!platformSwitchesWindows() || !form->isVisible() || !form->isEnabled())
        return;
    if (!IsLoaded(form->Name()) || rt().loaded.value(form->Name()) != form)
        return;
    makeFront(form);
}

void ScreenClosedByUser(Form* form)
{
    if (!Unload(form->Name()))
        return; // the screen keeps itself (a changed page that could not be written)
    // With no screen left on view the program would run on unseen: end it.
    pruneZOrder();
    if (rt().zOrder.isEmpty())
        QCoreApplication::quit();
}

} // namespace Forms
