#include "frmphotodata.h"

#include "albumpaths.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "interaction.h"
#include "photorecordset.h"
#include "photostore.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

FrmPhotoData::FrmPhotoData() : PhotoDataForm(Screen::PhotoData)
{
    Command1 = AddButton("Command1", QStringLiteral("E&xit Program"), {}, 2, 2);
    cndHelp = AddButton("cndHelp", QStringLiteral("&Help"), {}, 3, 2);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    Timer1->setSingleShot(true);

    connect(Timer1, &QTimer::timeout, this, &FrmPhotoData::Timer1_Timer);
    connect(cmdAdd, &QPushButton::clicked, this, &FrmPhotoData::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &FrmPhotoData::cmdEdit_Click);
    connect(cmdSave, &QPushButton::clicked, this, &PhotoDataForm::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &PhotoDataForm::cmdCancel_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &FrmPhotoData::cmdDelete_Click);
    connect(cmdFind, &QPushButton::clicked, this, &PhotoDataForm::cmdFind_Click);
    connect(cmdMoveNext, &QPushButton::clicked, this, &FrmPhotoData::cmdMoveNext_Click);
    connect(cmdMovePrevious, &QPushButton::clicked, this, &FrmPhotoData::cmdMovePrevious_Click);
    connect(cmdClose, &QPushButton::clicked, this, &FrmPhotoData::cmdClose_Click);
    connect(Command1, &QPushButton::clicked, this, &FrmPhotoData::Command1_Click);
    connect(cndHelp, &QPushButton::clicked, this, &FrmPhotoData::cndHelp_Click);
}

void FrmPhotoData::Form_Load()
{
    // Nothing can be done before the picture's records have been looked up.
    for (QPushButton* b : {cmdAdd, cmdEdit, cmdSave, cmdCancel, cmdDelete, cmdFind, cmdMovePrevious, cmdMoveNext,
                           cmdClose, Command1, cndHelp})
        Enable(b, false);
    if (!OpenDatabase() || !OpenListing(PhotoQuery::FullListing(), Listing::All)) {
        // The store cannot be used (the user has been told): the screen gives up without harm.
        QTimer::singleShot(0, this, [] { Forms::Unload(Screen::PhotoData); });
        return;
    }
    Timer1->start();
}

void FrmPhotoData::Timer1_Timer()
{
    Timer1->stop();
    for (QPushButton* b : {cmdClose, Command1, cndHelp})
        Enable(b, true);
    keyAlbum = StoredAlbumName(session.albumName);
    keyPage = session.pageNr;
    keyImage = AlbumPaths::PictureKey(session.pageNr, session.imageNr);
    if (!OpenListing(PhotoQuery::Picture(keyAlbum, keyPage, keyImage), Listing::Picture))
        return;
    if (Records()->RecordCount() != 0) {
        Records()->MoveFirst();
        InitialButtons();
        FillFields();
        return;
    }
    // The picture has no note: a new one is added to its (empty) listing.
    NewData();
}

void FrmPhotoData::FillFields()
{
    ShowRecord();
    RCount();
}

void FrmPhotoData::InitialButtons()
{
    const int n = Records() ? Records()->RecordCount() : 0;
    const bool all = m_listing == Listing::All;
    const bool shown = NoteShown();
    for (QLineEdit* f : {txtAlbumName, txtPageNr, txtImageNr, txtDate, txtDescription})
        f->setEnabled(false);
    // A picture's single note is edited; of several, or of every note, one is deleted.
    Enable(cmdAdd, false);
    Enable(cmdEdit, shown && !all && n == 1);
    Enable(cmdSave, false);
    Enable(cmdCancel, false);
    Enable(cmdDelete, shown && (all || n > 1));
    // A search result can always be searched again.
    Enable(cmdFind, (all ? n > 1 : n > 2) || findingFlag == 1);
    Enable(cmdClose, true);
}

void FrmPhotoData::ShowListingAgain()
{
    // The picture's only note went: a new one for it, as when it had none.
    if (m_listing == Listing::Picture && Records()->RecordCount() == 0) {
        NewData();
        return;
    }
    PhotoDataForm::ShowListingAgain();
}

void FrmPhotoData::AddOrEdit()
{
    if (addingFlag == 1) {
        for (QLineEdit* f : {txtAlbumName, txtPageNr, txtImageNr})
            f->setEnabled(true);
    }
    txtDate->setEnabled(true);
    txtDescription->setEnabled(true);
    Enable(cmdAdd, false);
    Enable(cmdEdit, false);
    Enable(cmdSave, true);
    Enable(cmdCancel, false);
    Enable(cmdDelete, NoteShown()); // the note being edited; never while adding
    Enable(cmdFind, false);
    Enable(cmdClose, false);
    Enable(cmdMovePrevious, false);
    Enable(cmdMoveNext, false);
}

void FrmPhotoData::NewData()
{
    txtAlbumName->setText(keyAlbum);
    txtPageNr->setText(keyPage);
    txtImageNr->setText(keyImage);
    lblFound->setText(QStringLiteral("0"));
    txtPageNr->setEnabled(false);
    txtImageNr->setEnabled(false);
    editingFlag = 1; // as Edit, with no record to put into edit mode: Save adds
    AddOrEdit();
    Enable(cmdDelete, false);
    Enable(cmdCancel, false);
    Enable(cmdClose, true);
    Timer1->stop();
    addingFlag = 1;
    txtDate->setFocus();
}

void FrmPhotoData::cmdEdit_Click()
{
    if (!ShownNoteStillThere())
        return;
    editingFlag = 1;
    if (Records())
        Records()->Edit();
    AddOrEdit();
}

void FrmPhotoData::cmdAdd_Click()
{
    addingFlag = 1;
    AddOrEdit();
    ClearFields();
    RCount();
    for (QLineEdit* f : {txtAlbumName, txtPageNr, txtImageNr})
        f->setEnabled(true);
}

void FrmPhotoData::cmdDelete_Click()
{
    if (!DeleteShownNote())
        return;
    editingFlag = 0; // a note being edited is gone with its edit
    if (Records()->RecordCount() == 0) {
        if (m_listing == Listing::All)
            ClearFields();
        MsgBox(m_listing == Listing::All ? QStringLiteral("No data left in database\r\nwill now exit Data Control")
                                         : QStringLiteral("No data left in 'Find' database\r\nwill now exit Data Control"),
               vbOKOnly | vbInformation, QStringLiteral("DATABASE EMPTY"));
        cmdClose_Click();
        return;
    }
    if (m_listing != Listing::All) {
        findingFlag = 0;
        MsgBox(QStringLiteral("'Find' canceled, returning to Option Page"), vbOKOnly | vbInformation,
               QStringLiteral("Find canceled"));
        cmdClose_Click();
        if (Form* options = Forms::Get(Screen::Option1)) {
            options->setEnabled(true);
            if (auto* go = options->findChild<QPushButton*>(QStringLiteral("cmdSetOptions"))) {
                go->setVisible(true);
                go->setEnabled(true);
            }
            options->Show();
        }
        return;
    }
    Records()->MoveFirst();
    InitialButtons();
    FillFields();
}

PhotoQuery FrmPhotoData::SearchQuery(const QString& text) const
{
    return PhotoQuery::RecordScreenSearch(text);
}

void FrmPhotoData::cmdMoveNext_Click()
{
    MoveBy(1);
    FillFields();
}

void FrmPhotoData::cmdMovePrevious_Click()
{
    MoveBy(-1);
    FillFields();
}

void FrmPhotoData::cmdClose_Click()
{
    findingFlag = 0;
    Timer1->stop();
    CloseRecords();
    Forms::Unload(Screen::PhotoData);
}

void FrmPhotoData::Form_Unload()
{
    Timer1->stop();
    CloseDatabase();
    if (auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture)) {
        // Its exit button stays out of sight, as it always is: Esc presses it.
        view->Menu(QStringLiteral("mnuFile"))->setVisible(true);
        view->Menu(QStringLiteral("mnuBack"))->setVisible(true);
        view->setEnabled(true);
    }
    Forms::Show(Screen::Page1);
    Forms::Hide(Screen::DisplayPicture);
}

void FrmPhotoData::Command1_Click()
{
    cmdClose_Click();
    ConfirmExit();
}

void FrmPhotoData::cndHelp_Click()
{
    Forms::Show(QStringLiteral("frmPhotoDataHelp0"));
}
