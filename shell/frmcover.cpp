#include "frmcover.h"

#include "forms.h"
#include "screennames.h"
#include "sharedprocs.h"

#include <QAction>
#include <QLabel>
#include <QTimer>

namespace {
QLabel* coverLabel(const QString& name, const QString& text, int pointSize, bool bold)
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(pointSize);
    f.setBold(bold);
    label->setFont(f);
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

FrmCover::FrmCover() : Form(Screen::Cover)
{
    SetCaption(QStringLiteral("Quillbook by Wren"));
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral(
        "#canvas { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #16324f, stop:1 #2f6f73); }"
        "QLabel { color: #fdf6e3; background: transparent; }"
        "#lblLoad { color: #f2d98c; }"));

    lblName = coverLabel(QStringLiteral("lblName"), QStringLiteral("Quillbook"), 72, true);
    lblMe = coverLabel(QStringLiteral("lblMe"), QStringLiteral("By Wren"), 30, false);
    lblLoad = coverLabel(QStringLiteral("lblLoad"), QStringLiteral("Loading Program Data ..... Please Wait"), 20, false);
    Place(lblName, 5, 22, 90, 22);
    Place(lblMe, 5, 45, 90, 10);
    Place(lblLoad, 5, 72, 90, 8);

    tmrCover = new QTimer(this);
    tmrCover->setObjectName(QStringLiteral("tmrCover"));
    tmrCover->setSingleShot(false);
    tmrCover->setInterval(4000);
    connect(tmrCover, &QTimer::timeout, this, &FrmCover::tmrCover_Timer);
    tmrCover->start(); // enabled from the moment the screen is loaded
}

void FrmCover::Form_Load()
{
    FillScreen();
    SetScale(100, 100);
}

void FrmCover::tmrCover_Timer()
{
    tmrCover->stop();
    Forms::Show(Screen::Option1);
    HideCover();
    if (Form* options = Forms::Get(Screen::Option1)) {
        if (QAction* readme = options->Menu(QStringLiteral("mnuReadme")))
            readme->setVisible(false);
        if (QAction* sep = options->Menu(QStringLiteral("mnuSp1")))
            sep->setVisible(false);
    }
}
