#include "frmreadme.h"

#include "controls.h"
#include "forms.h"
#include "screennames.h"
#include "session.h"
#include "settings.h"
#include "sharedprocs.h"
#include "startup.h"
#include "val.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString StartupSection = QStringLiteral("Startup");
const QString DisplayReadmeKey = QStringLiteral("Display Readme");

QLabel* readmeLabel(const QString& name, const QString& text, int pointSize, bool bold, bool wrap)
{
    QLabel* label = MakeLabel(name, text, {QStringLiteral("Arial")}, pointSize, bold, Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(wrap);
    return label;
}

} // namespace

QString DisplayReadmeSetting()
{
    return Settings::GetSetting(ProgramFiles::AppName, StartupSection, DisplayReadmeKey, QStringLiteral("0"));
}

ReadmeScreen::ReadmeScreen(const QString& name) : Form(name)
{
    SetCaption(QStringLiteral("ReadMe"));
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral("#canvas { background: #fffdf7; }"
                                           "#Label1 { color: #16324f; }"
                                           "#Label2, #Label4, #Label6 { color: #2f6f73; }"));

    Label1 = readmeLabel(QStringLiteral("Label1"), QStringLiteral("Quillbook"), 26, true, false);
    Label1->setAlignment(Qt::AlignCenter);
    Label2 = readmeLabel(QStringLiteral("Label2"), QStringLiteral("What this program is:"), 13, true, false);
    Label3 = readmeLabel(
        QStringLiteral("Label3"),
        QStringLiteral("Quillbook is a simple way to keep and look at your photos and other pictures. Take them "
                       "from any drive or folder, or scan them and bring them in through the clipboard, and "
                       "paste scanned pictures straight into a stored album. Each album has ten pages of twelve "
                       "pictures, and every picture can carry a dated note."),
        11, false, true);
    Label4 = readmeLabel(QStringLiteral("Label4"), QStringLiteral("Installation:"), 13, true, false);
    Label5 = readmeLabel(
        QStringLiteral("Label5"),
        QStringLiteral("Install the package (quillbook) the way your system installs programs; there is nothing "
                       "more to do: the program lays out its own folder, ~/.local/share/Quillbook, with the demo "
                       "album, the first time it runs. This page comes first so that you read it at least once."),
        11, false, true);
    Label6 = readmeLabel(QStringLiteral("Label6"), QStringLiteral("Uninstall:"), 13, true, false);
    Label7 = readmeLabel(
        QStringLiteral("Label7"),
        QStringLiteral("Remove the package the way your system removes programs. Your albums and notes stay "
                       "in ~/.local/share/Quillbook until you delete that folder (its demo album is read-only: "
                       "give write permission back first, chmod -R u+w ~/.local/share/Quillbook)."),
        11, false, true);
    Label16 = readmeLabel(
        QStringLiteral("Label16"),
        QStringLiteral("This program comes without any warranty. No responsibility is accepted for any damage "
                       "caused by its use."),
        10, false, true);
    Label18 = readmeLabel(QStringLiteral("Label18"), QStringLiteral("    I hope that you enjoy this program."),
                          12, false, false);

    Check1 = new QCheckBox(QStringLiteral("Don't show this page again."));
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setChecked(true);
    Command1 = new QPushButton(QStringLiteral("&Continue"));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command1->setMinimumWidth(140);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    SetDefaultButton(Command1);
    cmdEsc = new QPushButton(Canvas());
    cmdEsc->setObjectName(QStringLiteral("cmdEsc"));
    cmdEsc->hide(); // out of sight; Esc presses it
    connect(cmdEsc, &QPushButton::clicked, this, &ReadmeScreen::cmdEsc_Click);
    SetCancelButton(cmdEsc);

    auto* column = new QVBoxLayout(Canvas());
    column->setContentsMargins(32, 24, 32, 24);
    column->setSpacing(8);
    column->addWidget(Label1);
    for (QLabel* l : {Label2, Label3, Label4, Label5, Label6, Label7})
        column->addWidget(l);
    column->addSpacing(8);
    column->addWidget(Label16);
    column->addWidget(Label18);
    column->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Check1);
    bottom->addStretch(1);
    bottom->addWidget(Command1);
    column->addLayout(bottom);
    resize(720, 600);
    CentreOnScreen();
}

void ReadmeScreen::cmdEsc_Click()
{
    ConfirmExit();
}

void ReadmeScreen::SaveDisplayReadme()
{
    Settings::SaveSetting(ProgramFiles::AppName, StartupSection, DisplayReadmeKey,
                          Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

FrmReadMe::FrmReadMe() : ReadmeScreen(Screen::ReadMe) {}

void FrmReadMe::Form_Load()
{
    session.appDrive = DisplayReadmeSetting();
    if (Val(session.appDrive) == 1)
        StartUp();
}

void FrmReadMe::Command1_Click()
{
    SaveDisplayReadme();
    StartUp();
}

FrmReadMeAgain::FrmReadMeAgain() : ReadmeScreen(Screen::ReadMeAgain) {}

void FrmReadMeAgain::Command1_Click()
{
    SaveDisplayReadme();
    Forms::Show(Screen::Option1);
}
