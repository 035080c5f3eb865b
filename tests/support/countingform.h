#pragma once

#include "form.h"
#include "forms.h"

#include <QAction>
#include <QHash>
#include <QMenu>

#include <functional>

// A stand-in screen that counts its lifecycle calls, by screen name.
class CountingForm final : public Form {
public:
    explicit CountingForm(const QString& name) : Form(name)
    {
        QMenu* file = AddMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
        AddMenuItem(file, QStringLiteral("mnuDeleteAlbum"), QStringLiteral("&Delete Album from Disk"), {});
        AddMenuItem(nullptr, QStringLiteral("mnuPD"), QStringLiteral("<-- Page Down"), {});
    }
    void Form_Load() override { ++loads[Name()]; }
    void Form_Activate() override
    {
        ++activations;
        if (onActivate)
            onActivate();
    }
    void Form_Unload() override { ++unloads[Name()]; }

    std::function<void()> onActivate;
    int activations = 0;
    static inline QHash<QString, int> loads;
    static inline QHash<QString, int> unloads;
    static void resetCounts()
    {
        loads.clear();
        unloads.clear();
    }
    static void registerAs(const QString& name)
    {
        Forms::Register(name, [name] { return std::make_unique<CountingForm>(name); });
    }
};
