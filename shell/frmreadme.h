#pragma once

#include "form.h"

class QCheckBox;
class QLabel;
class QPushButton;

// The readme page: what the program is, with "Don't show this page again."
// The first-window copy and the copy opened from the options screen share it.
class ReadmeScreen : public Form {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReadmeScreen)
public:
    explicit ReadmeScreen(const QString& name);

    // Enter presses it.
    virtual void Command1_Click() = 0;
    // Esc presses it.
    void cmdEsc_Click();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label18 = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdEsc = nullptr;

protected:
    // Stores the tick box as the setting "Display Readme".
    void SaveDisplayReadme();
};

// The program's first window.
class FrmReadMe final : public ReadmeScreen {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmReadMe)
public:
    FrmReadMe();
    void Form_Load() override;
    void Command1_Click() override;
};

// The copy opened from the options screen's "&Readme Page".
class FrmReadMeAgain final : public ReadmeScreen {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmReadMeAgain)
public:
    FrmReadMeAgain();
    void Command1_Click() override;
};

// Reads "Display Readme" (default "0").
QString DisplayReadmeSetting();
