#include "frmoption1.h"

#include "albumpaths.h"
#include "elementscreens.h"
#include "forms.h"
#include "interaction.h"
#include "pageloader.h"
#include "screennames.h"
#include "session.h"
#include "settings.h"
#include "sharedprocs.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

FrmOption1::FrmOption1() : Form(Screen::Option1)
{
    SetCaption(QStringLiteral("Quillbook by Wren"));
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral(
        "#canvas { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #f7f1e3, stop:1 #e6d8b8); }"
        "#lblFormName { color: #3b2f1e; background: transparent; }"
        "QGroupBox { border: 2px solid #8c7851; border-radius: 10px; background: rgba(255,255,255,120); }"
        "QRadioButton { color: #2b2b2b; background: transparent; spacing: 12px; }"
        "QRadioButton:disabled { color: #9a9a9a; }"
        "QRadioButton:checked { color: #16324f; font-weight: bold; }"
        "QRadioButton::indicator { width: 20px; height: 20px; border-radius: 10px;"
        "  border: 2px solid #8c7851; background: white; }"
        "QRadioButton::indicator:checked { background: qradialgradient(cx:0.5, cy:0.5, radius:0.5,"
        "  fx:0.5, fy:0.5, stop:0 #2f6f73, stop:0.55 #2f6f73, stop:0.6 white); }"
        "QRadioButton::indicator:disabled { border-color: #c8c0b0; }"
        "QPushButton { background: #2f6f73; color: white; border-radius: 8px; padding: 6px; }"
        "QPushButton:hover { background: #3d8a8f; }"
        // Where the keyboard is, plainly: a ring on the button or option that has it.
        "QPushButton:focus { border: 4px solid #f2c14e; }"
        "QRadioButton:focus { border: 2px dashed #1f5fbf; border-radius: 6px; }"));

    lblFormName = new QLabel(QStringLiteral("Options"));
    lblFormName->setObjectName(QStringLiteral("lblFormName"));
    QFont titleFont(QStringLiteral("Times New Roman"));
    titleFont.setPointSize(48);
    titleFont.setBold(true);
    lblFormName->setFont(titleFont);
    lblFormName->setAlignment(Qt::AlignCenter);
    Place(lblFormName, 20, 6, 60, 14);

    frmOptions = new QGroupBox;
    frmOptions->setObjectName(QStringLiteral("frmOptions"));
    Place(frmOptions, 28, 24, 44, 46);

    optDefault = makeOption(QStringLiteral("optDefault"), QStringLiteral("Wren Album"),
                            QStringLiteral("Select To Go To Wren Photo Album Page 1"));
    optNewAlbum = makeOption(QStringLiteral("optNewAlbum"), QStringLiteral("Create New Album"),
                             QStringLiteral("Select To Go To A Empty New Album Page 1 To Start A New Album"));
    optSavedAlbum = makeOption(QStringLiteral("optSavedAlbum"), QStringLiteral("Stored Album"),
                               QStringLiteral("Select to Go To The Select Stored Album Page"));
    optphotoData = makeOption(QStringLiteral("optphotoData"), QStringLiteral("Photo Data"),
                              QStringLiteral("Select To Go To Stored Data For All Stored Albums"));
    const QList<QRadioButton*> options{optDefault, optNewAlbum, optSavedAlbum, optphotoData};
    for (int i = 0; i < options.size(); ++i)
        Place(options[i], 33, 28 + i * 10.5, 36, 8);
    optDefault->setChecked(true);

    cmdSetOptions = new QPushButton(QStringLiteral("Press if options correct"));
    cmdSetOptions->setObjectName(QStringLiteral("cmdSetOptions"));
    cmdSetOptions->setToolTip(QStringLiteral("Press To Go To The Selected Option"));
    cmdSetOptions->installEventFilter(this);
    // The keyboard presses it too (Space or Return on it, Return anywhere on the screen).
    connect(cmdSetOptions, &QPushButton::clicked, this, &FrmOption1::cmdSetOptions_Click);
    SetDefaultButton(cmdSetOptions);
    CmdHelp = new QPushButton(QStringLiteral("&Help"));
    CmdHelp->setObjectName(QStringLiteral("CmdHelp"));
    CmdHelp->setToolTip(QStringLiteral("Press To Go To Options Page Help"));
    connect(CmdHelp, &QPushButton::clicked, this, &FrmOption1::CmdHelp_Click);
    for (QPushButton* b : {cmdSetOptions, CmdHelp}) {
        QFont f = b->font();
        f.setPointSize(16);
        b->setFont(f);
    }
    Place(cmdSetOptions, 28, 76, 26, 8);
    Place(CmdHelp, 58, 76, 14, 8);

    cmdExit = new QPushButton(Canvas());
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->hide(); // out of sight; Esc presses it
    connect(cmdExit, &QPushButton::clicked, this, &FrmOption1::cmdExit_Click);
    SetCancelButton(cmdExit);

    QMenu* file = AddMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
    AddMenuItem(file, QStringLiteral("mnuReadme"), QStringLiteral("&Readme Page"), [this] { mnuReadme_Click(); });
    AddSeparator(file, QStringLiteral("mnuSp1"));
    AddMenuItem(file, QStringLiteral("mnuExit"), QStringLiteral("E&xit Program"), [this] { mnuExit_Click(); });
}

QRadioButton* FrmOption1::makeOption(const QString& name, const QString& caption, const QString& tip)
{
    auto* option = new QRadioButton(caption);
    option->setObjectName(name);
    option->setToolTip(tip);
    QFont f = option->font();
    f.setPointSize(20);
    option->setFont(f);
    option->installEventFilter(this);
    return option;
}

void FrmOption1::Form_Load()
{
    FillScreen();
    SetScale(100, 100);
}

void FrmOption1::Form_Activate()
{
    if (session.suppliedAlbumPresent == 0) {
        optDefault->setText(QStringLiteral("Not Active This Setup"));
        optDefault->setEnabled(false);
    }
    Refresh();
    // Whoever brought this screen forward (the page's Options, a photo data
    // screen, the user switching windows), the page screen goes only after
    // its save check; a changed page that could not be written comes back.
    if (!Forms::Unload(Screen::Page1)) {
        Forms::Show(Screen::Page1);
        Hide();
        return;
    }
    session.albumName.clear();
    session.albumAttr = 0;
    Forms::Unload(Screen::SelectAlbum1);
    Forms::Load(Screen::SelectAlbum1);
}

void FrmOption1::actOnSelection(bool unloadDeclinedBrowser)
{
    session.albumName.clear();
    if (optDefault->isChecked() || optNewAlbum->isChecked()) {
        // Every album opens at page 1, unchanged, whatever page was on screen before.
        session.pageNr = QStringLiteral("1");
        session.albumChanged = 0;
    }
    if (optDefault->isChecked()) {
        Forms::Show(Screen::Page1);
        if (auto* page = Forms::Get<SlotScreen>(Screen::Page1))
            ShowWrenAlbum(*page);
        Forms::Refresh(Screen::Page1);
    }
    if (optNewAlbum->isChecked()) {
        if (Form* page = Forms::Get(Screen::Page1)) {
            if (QAction* deleteAlbum = page->Menu(QStringLiteral("mnuDeleteAlbum")))
                deleteAlbum->setEnabled(false);
            session.albumName = AlbumPaths::NewAlbum;
            page->SetCaption(AlbumPaths::PageCaption(session.albumName, session.pageNr));
            page->Show();
        }
    }
    if (optSavedAlbum->isChecked()) {
        Forms::Show(Screen::SelectAlbum1);
        HideCover();
        if (Form* page = Forms::Get(Screen::Page1)) {
            if (QAction* deleteAlbum = page->Menu(QStringLiteral("mnuDeleteAlbum")))
                deleteAlbum->setEnabled(true);
        }
    }
    if (optphotoData->isChecked()) {
        Forms::Show(Screen::PhotoDataMain);
        if (unloadDeclinedBrowser && session.photoDataAnswer == vbNo)
            Forms::Unload(Screen::PhotoDataMain);
    }
}

void FrmOption1::GotoIt()
{
    actOnSelection(true);
}

void FrmOption1::cmdSetOptions_MouseDown(Qt::MouseButton)
{
    actOnSelection(false);
}

void FrmOption1::cmdSetOptions_Click()
{
    actOnSelection(false);
}

void FrmOption1::optDefault_DblClick()
{
    optDefault->setChecked(true);
    GotoIt();
}

void FrmOption1::optNewAlbum_DblClick()
{
    optNewAlbum->setChecked(true);
    GotoIt();
}

void FrmOption1::optSavedAlbum_DblClick()
{
    optSavedAlbum->setChecked(true);
    GotoIt();
}

void FrmOption1::optphotoData_DblClick()
{
    optphotoData->setChecked(true);
    GotoIt();
}

void FrmOption1::CmdHelp_Click()
{
    if (!Forms::IsRegistered(Screen::OptionHelp))
        return; // no help screens in this build: keep the screen usable
    setEnabled(false);
    Forms::Show(Screen::OptionHelp);
}

void FrmOption1::cmdExit_Click()
{
    ConfirmExit();
}

void FrmOption1::mnuExit_Click()
{
    ConfirmExit();
}

void FrmOption1::mnuReadme_Click()
{
    Settings::SaveSetting(ProgramFiles::AppName, QStringLiteral("Startup"), QStringLiteral("Display Readme"),
                          QStringLiteral("0"));
    Forms::Show(Screen::ReadMeAgain);
}

bool FrmOption1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cmdSetOptions && event->type() == QEvent::MouseButtonPress && cmdSetOptions->isEnabled()) {
        // Any mouse button going down presses the go button (the keyboard presses it through its click).
        cmdSetOptions_MouseDown(static_cast<QMouseEvent*>(event)->button());
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        auto* option = qobject_cast<QRadioButton*>(watched);
        if (option && option->isEnabled()) {
            if (option == optDefault)
                optDefault_DblClick();
            else if (option == optNewAlbum)
                optNewAlbum_DblClick();
            else if (option == optSavedAlbum)
                optSavedAlbum_DblClick();
            else if (option == optphotoData)
                optphotoData_DblClick();
            return true;
        }
    }
    return Form::eventFilter(watched, event);
}
