#pragma once

#include "form.h"

class QLabel;
class QTimer;

// The full-screen cover shown while the program starts; its timer hands over
// to the options screen.
class FrmCover final : public Form {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmCover)
public:
    FrmCover();

    void Form_Load() override;
    void tmrCover_Timer();

    QLabel* lblName = nullptr;
    QLabel* lblMe = nullptr;
    QLabel* lblLoad = nullptr;
    QTimer* tmrCover = nullptr;
};
