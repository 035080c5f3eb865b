#pragma once

#include "form.h"

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

// The full-screen progress screen shown while a page loads or is saved.
class FrmPbar3 final : public Form {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmPbar3)
public:
    FrmPbar3();

    void Form_Activate() override;

    // Sets the bar and the percentage label together.
    void SetProgress(int percent);

    QLabel* lblTitle = nullptr;
    QLabel* lblAName = nullptr;
    QLabel* lblSloc = nullptr;
    QProgressBar* pbr2 = nullptr;
    QLabel* lblL = nullptr;
    QLabel* lblR = nullptr;
    QLabel* lblADone = nullptr;
    QFrame* Frame1 = nullptr;
    // Shown only while pictures are added (they may be stopped); hidden otherwise.
    QPushButton* cmdCancel = nullptr;
};
