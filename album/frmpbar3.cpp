#include "frmpbar3.h"

#include "controls.h"
#include "screennames.h"

#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

namespace {

const QStringList Arial{QStringLiteral("Arial")};
// Brush Script where the system has it, else a similar hand.
const QStringList Script{QStringLiteral("Brush Script MT"), QStringLiteral("Brush Script"), QStringLiteral("Z003"),
                         QStringLiteral("URW Chancery L")};

} // namespace

FrmPbar3::FrmPbar3() : Form(Screen::Pbar3)
{
    SetCaption(QStringLiteral("Quillbook by Wren"));
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral(
        "#canvas { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #16324f, stop:1 #2f6f73); }"
        "#Frame1 { border: 2px solid #f2d98c; border-radius: 14px; background: rgba(255,255,255,25); }"
        "QLabel { color: #fdf6e3; background: transparent; }"
        "#lblL, #lblR, #lblADone { color: #f2d98c; }"
        "QProgressBar { border: 1px solid #f2d98c; border-radius: 6px; background: rgba(0,0,0,60); }"
        "QPushButton { color: #16324f; background: #f2d98c; border-radius: 6px; }"
        "QPushButton:focus { border: 2px solid #fdf6e3; }"
        "QProgressBar::chunk { background: #f2d98c; border-radius: 5px; }"));

    Frame1 = new QFrame;
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Place(Frame1, 15, 18, 70, 64);
    lblTitle = MakeLabel(QStringLiteral("lblTitle"), QStringLiteral("Saving Photo Album"), Arial, 40, true);
    lblAName = MakeLabel(QStringLiteral("lblAName"), QStringLiteral("Album"), Arial, 26, false);
    lblSloc = MakeLabel(QStringLiteral("lblSloc"), QStringLiteral("Page"), Arial, 22, false);
    Place(lblTitle, 17, 22, 66, 12);
    Place(lblAName, 17, 36, 66, 9);
    Place(lblSloc, 17, 46, 66, 8);

    pbr2 = new QProgressBar;
    pbr2->setAccessibleName(QStringLiteral("Progress"));
    pbr2->setObjectName(QStringLiteral("pbr2"));
    pbr2->setRange(0, 100);
    pbr2->setValue(0);
    pbr2->setTextVisible(false);
    Place(pbr2, 27, 60, 46, 5);
    lblL = MakeLabel(QStringLiteral("lblL"), QStringLiteral("0%"), Script, 22, false);
    lblR = MakeLabel(QStringLiteral("lblR"), QStringLiteral("100%"), Script, 22, false);
    lblADone = MakeLabel(QStringLiteral("lblADone"), QStringLiteral("0%"), Script, 30, false);
    Place(lblL, 17, 58.5, 9, 8);
    Place(lblR, 74, 58.5, 9, 8);
    Place(lblADone, 40, 67, 20, 10);

    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    Place(cmdCancel, 42, 76, 16, 4);
    cmdCancel->hide();
    cmdCancel->setEnabled(false);

    AddMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
}

void FrmPbar3::Form_Activate()
{
    FillScreen();
    SetScale(100, 100);
    Refresh();
}

void FrmPbar3::SetProgress(int percent)
{
    pbr2->setValue(percent);
    lblADone->setText(QString::number(percent) + u'%');
}
