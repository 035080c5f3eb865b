#include "frmphotodatamain.h"

#include "albumpaths.h"
#include "fitting.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "interaction.h"
#include "photodatarules.h"
#include "photorecordset.h"
#include "photostore.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

FrmPhotoDataMain::FrmPhotoDataMain() : PhotoDataForm(Screen::PhotoDataMain)
{
    cmdFind->setToolTip(QStringLiteral("Find pictures containing search words in the discription."));
    cmdView = AddButton("cmdView", QStringLiteral("&View Picture"), QStringLiteral("View the picture of the active photo data."),
                        1, 2);
    cmdExit = AddButton("cmdExit", QStringLiteral("E&xit Program"), QStringLiteral("Exit the program and return to Window's"),
                        2, 2);
    CmdHelp = AddButton("CmdHelp", QStringLiteral("&Help"), QStringLiteral("Go to the Database Help Page"), 3, 2);

    connect(cmdAdd, &QPushButton::clicked, this, &FrmPhotoDataMain::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &FrmPhotoDataMain::cmdEdit_Click);
    connect(cmdSave, &QPushButton::clicked, this, &PhotoDataForm::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &PhotoDataForm::cmdCancel_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &FrmPhotoDataMain::cmdDelete_Click);
    connect(cmdFind, &QPushButton::clicked, this, &PhotoDataForm::cmdFind_Click);
    connect(cmdMoveNext, &QPushButton::clicked, this, &FrmPhotoDataMain::cmdMoveNext_Click);
    connect(cmdMovePrevious, &QPushButton::clicked, this, &FrmPhotoDataMain::cmdMovePrevious_Click);
    connect(cmdView, &QPushButton::clicked, this, &FrmPhotoDataMain::cmdView_Click);
    connect(cmdClose, &QPushButton::clicked, this, &FrmPhotoDataMain::cmdClose_Click);
    connect(cmdExit, &QPushButton::clicked, this, &FrmPhotoDataMain::cmdExit_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &FrmPhotoDataMain::CmdHelp_Click);
}

void FrmPhotoDataMain::Form_Load()
{
    // Each opening asks afresh; an earlier No must not close this one.
    session.photoDataAnswer = 0;
    if (!OpenDatabase() || !OpenListing(PhotoQuery::FullListing(), Listing::All)) {
        // The store cannot be used (the user has been told): back to the options screen.
        session.photoDataAnswer = vbNo;
        return;
    }
    ShowFullListing();
    m_loaded = true;
}

void FrmPhotoDataMain::Form_Activate()
{
    session.viewFromPage = 0;
    Form* options = Forms::Get(Screen::Option1);
    if (options) {
        options->setEnabled(false);
        if (auto* go = options->findChild<QPushButton*>(QStringLiteral("cmdSetOptions")))
            go->setVisible(false);
        if (QAction* file = options->Menu(QStringLiteral("mnuFile")))
            file->setVisible(false);
    }
    if (session.photoDataAnswer == vbYes) {
        if (txtAlbumName->text().isEmpty())
            cmdAdd_Click();
    }
    if (session.photoDataAnswer == vbNo) {
        cmdClose_Click();
        GiveBackOptions(true);
    }
}

void FrmPhotoDataMain::GiveBackOptions(bool show)
{
    Form* options = Forms::Get(Screen::Option1);
    if (!options)
        return;
    options->setEnabled(true);
    if (auto* go = options->findChild<QPushButton*>(QStringLiteral("cmdSetOptions")))
        go->setVisible(true);
    if (show)
        options->Show();
}

void FrmPhotoDataMain::FillFields()
{
    ShowRecord();
}

void FrmPhotoDataMain::InitialButtons()
{
    const int n = Records() ? Records()->RecordCount() : 0;
    const bool shown = NoteShown();
    for (QLineEdit* f : {txtAlbumName, txtPageNr, txtImageNr, txtDate, txtDescription})
        f->setEnabled(false);
    Enable(cmdAdd, true);
    Enable(cmdEdit, shown);
    Enable(cmdSave, false);
    Enable(cmdCancel, false);
    Enable(cmdDelete, shown);
    // A search result can always be searched again.
    Enable(cmdFind, n > 1 || findingFlag == 1);
    Enable(cmdClose, true);
}

void FrmPhotoDataMain::AddOrEdit()
{
    for (QLineEdit* f : {txtAlbumName, txtPageNr, txtImageNr})
        f->setEnabled(addingFlag == 1 || editingFlag == 1);
    txtDate->setEnabled(true);
    txtDescription->setEnabled(true);
    Enable(cmdAdd, false);
    Enable(cmdEdit, false);
    Enable(cmdSave, true);
    Enable(cmdCancel, true);
    Enable(cmdDelete, false);
    Enable(cmdFind, false);
    Enable(cmdClose, false);
    Enable(cmdMovePrevious, false);
    Enable(cmdMoveNext, false);
}

void FrmPhotoDataMain::cmdAdd_Click()
{
    addingFlag = 1;
    AddOrEdit();
    ClearFields();
    for (QLineEdit* f : {txtAlbumName, txtPageNr, txtImageNr})
        f->setEnabled(true);
    txtAlbumName->setFocus();
}

void FrmPhotoDataMain::cmdEdit_Click()
{
    if (!ShownNoteStillThere())
        return;
    editingFlag = 1;
    AddOrEdit();
    if (Records())
        Records()->Edit();
    txtAlbumName->setEnabled(true);
    txtAlbumName->setFocus();
}

void FrmPhotoDataMain::cmdDelete_Click()
{
    if (!DeleteShownNote())
        return;
    if (m_listing == Listing::Search) {
        // The note that followed the deleted one is shown, or the one before it.
        if (Records()->MoveNext().failed() || Records()->Eof())
            Records()->MovePrevious();
        if (NoteShown()) {
            InitialButtons();
            FillFields();
            RCount();
            return;
        }
        // No note of the search result is left: every note again.
        if (!OpenListing(PhotoQuery::FullListing(), Listing::All))
            return;
        findingFlag = 0;
    }
    if (Records()->RecordCount() == 0) {
        ClearFields();
        MsgBox(QStringLiteral("No photo data left in database\r\nwill return to Option page"), vbOKOnly,
               QStringLiteral("OUT OF DATA"));
        cmdClose_Click();
        return;
    }
    Records()->MoveFirst();
    InitialButtons();
    FillFields();
    RCountLoad();
}

PhotoQuery FrmPhotoDataMain::SearchQuery(const QString& text) const
{
    return PhotoQuery::BrowserSearch(text);
}

void FrmPhotoDataMain::cmdMoveNext_Click()
{
    MoveBy(1);
    FillFields();
    RCount();
}

void FrmPhotoDataMain::cmdMovePrevious_Click()
{
    MoveBy(-1);
    FillFields();
    RCount();
}

void FrmPhotoDataMain::cmdView_Click()
{
    const QString name = txtAlbumName->text();
    const int page = PhotoDataRules::PageOf(txtPageNr->text());
    const QString key = txtImageNr->text().trimmed();
    const QString path = session.startPath + u'/' + name + u'/' + key + QStringLiteral(".bmp");
    // Only a picture file of an album folder is ever opened.
    const bool plain = AlbumPaths::IsPlainAlbumName(name) && PhotoDataRules::SlotOf(key, page) >= 0;
    const Pictures::LoadResult loaded = plain ? Pictures::LoadPicture(path, QSize(256, 256))
                                              : Pictures::LoadResult{{}, RunError::make(RunError::FileNotFound)};
    auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
    if (loaded.error.failed() || !view) {
        MsgBox(QStringLiteral("The picture of this photo data cannot be shown:\r\n\"") + path + u'"' +
                   (loaded.error.number == RunError::FileNotFound ? QStringLiteral("\r\nis not there.")
                                                                  : QStringLiteral("\r\nholds no picture.")),
               vbOKOnly | vbExclamation, QStringLiteral("ERROR"));
        return;
    }
    PictureBox* img1 = view->img1();
    img1->SetStretch(false);
    view->SetPictureFrom(loaded.picture);
    session.picWidth = img1->Width();
    session.picHeight = img1->Height();
    FitViewPicture(*img1);
    img1->SetStretch(true);
    view->Show();
}

void FrmPhotoDataMain::cmdClose_Click()
{
    findingFlag = 0;
    CloseRecords();
    GiveBackOptions(false);
    Forms::Unload(Screen::PhotoDataMain);
}

void FrmPhotoDataMain::Form_Unload()
{
    CloseDatabase();
    if (Form* options = Forms::Get(Screen::Option1)) {
        if (QAction* file = options->Menu(QStringLiteral("mnuFile")))
            file->setVisible(true);
    }
    if (Forms::IsLoaded(Screen::DisplayPicture)) {
        auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
        view->Menu(QStringLiteral("mnuFile"))->setVisible(true);
        view->Menu(QStringLiteral("mnuBack"))->setVisible(true);
        view->setEnabled(true);
        Forms::Unload(Screen::DisplayPicture);
    }
}

void FrmPhotoDataMain::cmdExit_Click()
{
    cmdClose_Click();
    ConfirmExit();
}

void FrmPhotoDataMain::CmdHelp_Click()
{
    Forms::Show(QStringLiteral("frmPhotoDataHelp0"));
}
