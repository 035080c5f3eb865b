#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "form.h"

// The screens of the program by name, each a single global instance created
// on first reference. Screens reach one another only through here, so a
// screen that is not built into the program is simply absent: referring to
// it does nothing.
//
// The runtime also decides which screen is in front. Showing a screen brings
// it to the front; hiding or unloading the front screen brings the topmost
// remaining visible, enabled screen forward. Each change of front screen runs
// that screen's Form_Activate at once, on every platform, so tests can rely
// on it. Under a desktop session the user's own switching between windows
// does the same.
namespace Forms {

using Factory = std::function<std::unique_ptr<Form>()>;

void Register(const QString& name, Factory factory);
template <class T> void Register(const QString& name)
{
    Register(name, [] { return std::make_unique<T>(); });
}
bool IsRegistered(const QString& name);
// Unloads every screen and forgets every registration (tests).
void Reset();

bool IsLoaded(const QString& name);
// The loaded screen, loading it first; nullptr for a screen the program lacks.
Form* Get(const QString& name);
template <class T> T* Get(const QString& name)
{
    return dynamic_cast<T*>(Get(name));
}

void Load(const QString& name);
void Show(const QString& name);
void Hide(const QString& name);
void Refresh(const QString& name);
// Asks the screen first (Form_QueryUnload): false when it stays loaded.
// Otherwise runs Form_Unload and discards the screen; the next reference
// loads it afresh. True also for a screen that is not loaded.
bool Unload(const QString& name);
// Asks every loaded screen whether it may go (before the program ends);
// false as soon as one must stay.
bool QueryUnloadAll();
// Discards every screen without asking (tests, the end of the program).
void UnloadAll();

Form* Front();
QStringList VisibleScreens();

// The running program ends once no screen is left on view (checked after the
// handler that hid the last one has finished). Off by default: tests hide
// every screen at will.
void EndWhenNothingOnView(bool on);

// Called by Form.
void ScreenShown(Form* form);
void ScreenHidden(Form* form);
void ScreenActivatedByPlatform(Form* form);
void ScreenClosedByUser(Form* form);

} // namespace Forms
