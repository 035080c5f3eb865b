#include "frmcover.h"

#include "controls.h"
#include "forms.h"
#include "screennames.h"
#include "sharedprocs.h"
#include "unsavedpictures.h"

#include <QAction>
#include <QLabel>
#include <QTimer>

namespace {
const QStringList Arial{QStringLiteral("Arial")};
} // namespace

FrmCover::FrmCover() : Form(Screen::Cover)
{
    SetCaption(QStringLiteral("Quillbook by Wren"));
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral(
        "#canvas { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #16324f, stop:1 #2f6f73); }"
        "QLabel { color: #fdf6e3; background: transparent; }"
        "#lblLoad { color: #f2d98c; }"));

    lblName = MakeLabel(QStringLiteral("lblName"), QStringLiteral("Quillbook"), Arial, 72, true);
    lblMe = MakeLabel(QStringLiteral("lblMe"), QStringLiteral("By Wren"), Arial, 30);
    lblLoad = MakeLabel(QStringLiteral("lblLoad"), QStringLiteral("Loading Program Data ..... Please Wait"), Arial, 20);
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
    // Pictures a run ended from outside could not save are offered back.
    UnsavedPictures::OfferBack();
}
