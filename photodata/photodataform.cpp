#include "photodataform.h"

#include "accessiblenames.h"
#include "controls.h"
#include "interaction.h"
#include "photodatarules.h"
#include "photorecordset.h"
#include "photostore.h"
#include "session.h"
#include "val.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr double Width = 600;
constexpr double Height = 430;
} // namespace

PhotoDataForm::PhotoDataForm(const QString& name) : Form(name)
{
    SetCaption(QStringLiteral("Photo Data Control"));
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral("#canvas { background: #efe7d6; } QLabel { color: #2b2418; }"));
    SetScale(Width, Height, true);
    Canvas()->setDesignSize(QSize(int(Width), int(Height)));
    resize(int(Width), int(Height));
    CentreOnScreen();

    struct Row {
        QLineEdit*& field;
        QLabel*& label;
        const char* fieldName;
        const char* labelName;
        QString caption;
        QString toolTip;
    };
    const Row rows[] = {
        {txtAlbumName, lblAlbumName, "txtAlbumName", "lblAlbumName", QStringLiteral("Album Name:"),
         QStringLiteral("Name of Album containing the picture.")},
        {txtPageNr, lblPageNr, "txtPageNr", "lblPageNr", QStringLiteral("Page Nr:"),
         QStringLiteral("Page number of the picture in the album.")},
        {txtImageNr, lblImageNr, "txtImageNr", "lblImageNr", QStringLiteral("Image Nr:"),
         QStringLiteral("Image number of the picture in the album")},
        {txtDate, lblDate, "txtDate", "lblDate", QStringLiteral("Date of Photo:"),
         QStringLiteral("Date the picture was taken.")},
        {txtDescription, lblDescription, "txtDescription", "lblDescription", QStringLiteral("Description"),
         QStringLiteral("Discription of the picture.")},
    };
    double top = 20;
    for (const Row& r : rows) {
        r.label = MakeLabel(QLatin1String(r.labelName), r.caption, {}, 10, true, Qt::AlignLeft | Qt::AlignVCenter);
        Place(r.label, 20, top, 110, 26);
        r.field = new QLineEdit;
        r.field->setObjectName(QLatin1String(r.fieldName));
        r.field->setToolTip(r.toolTip);
        r.field->setAccessibleName(r.caption.chopped(r.caption.endsWith(u':') ? 1 : 0));
        r.label->setBuddy(r.field);
        Place(r.field, 135, top, 445, 26);
        top += 36;
    }
    txtAlbumName->setEnabled(false);

    lblFFT = MakeLabel(QStringLiteral("lblFFT"), QStringLiteral("Found"), {}, 10, false, Qt::AlignLeft | Qt::AlignVCenter);
    Place(lblFFT, 20, 200, 50, 22);
    lblFound = MakeLabel(QStringLiteral("lblFound"), {}, {}, 10, true, Qt::AlignCenter);
    lblFound->setToolTip(QStringLiteral("Number of files in the database."));
    AccessibleNames::NameByValue(lblFound, QStringLiteral("Found %1 files"), QStringLiteral("Number of files found"));
    Place(lblFound, 70, 200, 60, 22);
    lblFFT1 = MakeLabel(QStringLiteral("lblFFT1"), QStringLiteral("Files"), {}, 10, false, Qt::AlignLeft | Qt::AlignVCenter);
    Place(lblFFT1, 135, 200, 60, 22);

    cmdAdd = AddButton("cmdAdd", QStringLiteral("&Add"), QStringLiteral("Add new picture data"), 0, 0);
    cmdEdit = AddButton("cmdEdit", QStringLiteral("&Edit"), QStringLiteral("Edit date and discription of the picture"), 1, 0);
    cmdSave = AddButton("cmdSave", QStringLiteral("&Save"), QStringLiteral("Save data to database."), 2, 0);
    cmdCancel = AddButton("cmdCancel", QStringLiteral("&Cancel"), QStringLiteral("Cancel current action"), 3, 0);
    cmdDelete = AddButton("cmdDelete", QStringLiteral("&Delete"), QStringLiteral("Delete picture data from database."), 0, 1);
    cmdFind = AddButton("cmdFind", QStringLiteral("&Find"), {}, 1, 1);
    cmdMovePrevious = AddButton("cmdMovePrevious", QStringLiteral("< Move &Previous"),
                                QStringLiteral("Go to the previous picture in the database."), 2, 1);
    cmdMoveNext = AddButton("cmdMoveNext", QStringLiteral("Move &Next >"),
                            QStringLiteral("Go to the next picture in the database"), 3, 1);
    cmdClose = AddButton("cmdClose", QStringLiteral("C&lose"), QStringLiteral("Exit from the database."), 0, 2);
}

PhotoDataForm::~PhotoDataForm()
{
    m_rs.reset();
    m_db.reset();
}

QPushButton* PhotoDataForm::AddButton(const char* name, const QString& caption, const QString& toolTip, int column,
                                      int row)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(QLatin1String(name));
    if (!toolTip.isEmpty())
        b->setToolTip(toolTip);
    Place(b, 20 + column * 142, 240 + row * 60, 132, 44);
    SetBackColour(b, GreenColour);
    return b;
}

void PhotoDataForm::Enable(QWidget* control, bool on)
{
    control->setEnabled(on);
    if (auto* button = qobject_cast<QPushButton*>(control))
        SetBackColour(button, on ? GreenColour : RedColour);
}

bool PhotoDataForm::OpenDatabase()
{
    RunError error;
    m_db = PhotoDatabase::OpenInProgramFolder(session.appPath, &error);
    if (!m_db)
        ShowStoreFailure(error);
    return m_db != nullptr;
}

void PhotoDataForm::CloseDatabase()
{
    m_rs.reset();
    m_db.reset();
}

bool PhotoDataForm::OpenListing(const PhotoQuery& query, Listing listing)
{
    if (!m_db)
        return false;
    RunError error;
    std::unique_ptr<PhotoRecordset> set = m_db->OpenRecordset(query, &error);
    if (!set) {
        ShowStoreFailure(error);
        return false;
    }
    m_rs = std::move(set);
    m_listing = listing;
    m_query = query;
    return true;
}

void PhotoDataForm::CloseRecords()
{
    m_rs.reset();
}

void PhotoDataForm::ClearFields()
{
    for (QLineEdit* f : {txtAlbumName, txtPageNr, txtImageNr, txtDate, txtDescription})
        f->clear();
}

void PhotoDataForm::ShowRecord()
{
    if (!m_rs || m_rs->Eof())
        return;
    const std::pair<QLineEdit*, QString> fields[] = {
        {txtAlbumName, PhotoFields::AlbumName}, {txtPageNr, PhotoFields::PageNr},
        {txtImageNr, PhotoFields::ImageNr},     {txtDate, PhotoFields::Date},
        {txtDescription, PhotoFields::Discription}};
    for (const auto& [field, name] : fields) {
        RunError e;
        const QString text = m_rs->Text(name, &e);
        if (e.number == PhotoErrors::RecordIsDeleted && m_rs->AbsolutePosition() >= 0 && !m_readingAgain) {
            ShowInPlaceOfGoneNote(e); // deleted by another program: never a note that is not there
            return;
        }
        if (!e.failed())
            field->setText(text);
    }
}

bool PhotoDataForm::ShownNoteStillThere()
{
    if (!NoteShown())
        return false;
    const RunError e = m_rs->Reread();
    if (e.number == PhotoErrors::RecordIsDeleted) {
        ShowInPlaceOfGoneNote(e);
        return false;
    }
    ShowRecord();
    return !e.failed();
}

void PhotoDataForm::ShowInPlaceOfGoneNote(const RunError& gone)
{
    const qint64 at = m_rs->AbsolutePosition();
    MsgBox(gone.description + QStringLiteral("\r\nAnother program has deleted the photo data shown here."),
           vbOKOnly | vbExclamation);
    m_readingAgain = true;
    if (OpenListing(m_query, m_listing)) {
        const int n = m_rs->RecordCount();
        if (n > 0)
            m_rs->Move(std::min<qint64>(at, n - 1));
        ClearFields();
        ShowListingAgain();
    }
    m_readingAgain = false;
}

void PhotoDataForm::ShowListingAgain()
{
    InitialButtons();
    FillFields();
    RCount();
}

bool PhotoDataForm::NoteShown()
{
    if (addingFlag == 1 || !m_rs || m_rs->AbsolutePosition() < 0)
        return false;
    RunError e;
    m_rs->Text(PhotoFields::AlbumName, &e); // deleted through another handle: not there
    return !e.failed();
}

bool PhotoDataForm::DeleteShownNote()
{
    if (!ShownNoteStillThere())
        return false;
    // Deleting cannot be undone: the user says Yes first.
    const QString question = QStringLiteral("Do you want to delete the photo data of\r\n"
                                            "Album \"%1\", page %2, image %3?\r\nIt cannot be undone.")
                                 .arg(m_rs->Text(PhotoFields::AlbumName), m_rs->Text(PhotoFields::PageNr),
                                      m_rs->Text(PhotoFields::ImageNr));
    if (MsgBox(question, vbYesNo | vbQuestion | vbDefaultButton2, QStringLiteral("DELETE PHOTO DATA")) != vbYes)
        return false;
    if (const RunError e = m_rs->Delete(); e.failed()) {
        ShowStoreFailure(e);
        return false;
    }
    return true;
}

bool PhotoDataForm::FieldsReady()
{
    for (QLineEdit* f : {txtAlbumName, txtPageNr, txtImageNr, txtDate, txtDescription}) {
        if (f->text().isEmpty()) {
            MsgBox(QStringLiteral("this is a required field. If you don't have data for it, enter a 'space'"), vbOKOnly,
                   QStringLiteral("DATA ERROR"));
            f->setFocus();
            return false;
        }
    }
    // A note belongs to a picture: its page and key must name one.
    const int page = PhotoDataRules::PageOf(txtPageNr->text());
    if (page == 0) {
        MsgBox(QStringLiteral("The page number must be a whole number from 1 to 10."), vbOKOnly,
               QStringLiteral("DATA ERROR"));
        txtPageNr->setFocus();
        return false;
    }
    if (PhotoDataRules::SlotOf(txtImageNr->text(), page) < 0) {
        MsgBox(QStringLiteral("The image number must be P, the page number, I and a picture number from 0 to 11,\r\n"
                              "for example P%1I5.")
                   .arg(page),
               vbOKOnly, QStringLiteral("DATA ERROR"));
        txtImageNr->setFocus();
        return false;
    }
    return true;
}

bool PhotoDataForm::StoreFields(bool adding)
{
    if (!m_rs)
        return false;
    RunError e = adding ? m_rs->AddNew() : RunError{};
    if (!adding && !e.failed())
        e = m_rs->Edit(); // a record being edited stays so; any other is put into edit mode
    const int page = PhotoDataRules::PageOf(txtPageNr->text());
    const int slot = PhotoDataRules::SlotOf(txtImageNr->text(), page);
    const std::pair<QString, QVariant> values[] = {
        {PhotoFields::AlbumName, txtAlbumName->text()}, {PhotoFields::PageNr, txtPageNr->text()},
        {PhotoFields::Pa, page},                        {PhotoFields::ImageNr, txtImageNr->text()},
        {PhotoFields::P2, slot},                        {PhotoFields::Date, txtDate->text()},
        {PhotoFields::Discription, txtDescription->text()}};
    for (const auto& [name, value] : values) {
        if (!e.failed())
            e = m_rs->SetField(name, value);
    }
    if (!e.failed())
        e = m_rs->Update();
    if (!e.failed())
        e = m_rs->GoToBookmark(m_rs->LastModified());
    if (e.failed()) {
        m_rs->CancelUpdate();
        ShowStoreFailure(e);
    }
    return !e.failed();
}

QString PhotoDataForm::AskSearchText()
{
    const QString text =
        InputBox(QStringLiteral("Enter any Part of a word or phrase that you want to search for from the 'Discription' field"),
                 QStringLiteral("find"));
    if (text.isEmpty())
        MsgBox(QStringLiteral("You either did not enter anything or pressed 'Cancel' !!!"), vbOKOnly | vbExclamation);
    return text;
}

void PhotoDataForm::RCountLoad()
{
    const int n = Records() ? Records()->RecordCount() : 0;
    if (n == 0) {
        session.photoDataAnswer = MsgBox(QStringLiteral("There are no photo data records in memory!\r\n"
                                                        "Do you want to add a photo data record?"),
                                         vbYesNo, QStringLiteral("NO PHOTO DATA"));
        return;
    }
    lblFound->setText(QString::number(n));
    Enable(cmdMovePrevious, false);
    Enable(cmdMoveNext, n > 1);
}

void PhotoDataForm::RCount()
{
    if (!Records())
        return;
    const int n = Records()->RecordCount();
    const qint64 at = Records()->AbsolutePosition();
    lblFound->setText(QString::number(n));
    Enable(cmdMovePrevious, addingFlag == 0 && at > 0);
    Enable(cmdMoveNext, addingFlag == 0 && at >= 0 && at < n - 1);
}

void PhotoDataForm::MoveBy(int step)
{
    if (!Records())
        return;
    const qint64 at = Records()->AbsolutePosition();
    if (step > 0 && at >= 0 && at < Records()->RecordCount() - 1)
        Records()->MoveNext();
    else if (step < 0 && at > 0)
        Records()->MovePrevious();
}

void PhotoDataForm::cmdSave_Click()
{
    if (!FieldsReady() || !StoreFields(addingFlag == 1))
        return;
    InitialButtons();
    for (QLineEdit* f : {txtAlbumName, txtPageNr, txtImageNr})
        f->setEnabled(false);
    addingFlag = 0;
    editingFlag = 0;
    // After a save the screen browses every note from the first, a search
    // result before it or not.
    if (!OpenListing(PhotoQuery::FullListing(), Listing::All))
        return;
    ShowFullListing();
}

void PhotoDataForm::ShowFullListing()
{
    findingFlag = 0;
    Records()->MoveFirst();
    InitialButtons();
    FillFields();
    RCountLoad();
}

void PhotoDataForm::cmdCancel_Click()
{
    if (Records())
        Records()->CancelUpdate();
    const bool pending = addingFlag == 1 || editingFlag == 1;
    addingFlag = 0; // before the buttons: the note on screen is the current one again
    editingFlag = 0;
    InitialButtons();
    ClearFields();
    if (pending)
        FillFields();
    RCount(); // the move buttons the add or edit took away
}

void PhotoDataForm::cmdFind_Click()
{
    const std::int16_t findingBefore = findingFlag;
    findingFlag = 1;
    lblFound->clear();
    Enable(cmdAdd, false);
    Enable(cmdSave, false);
    std::unique_ptr<PhotoRecordset> found;
    const QString text = AskSearchText();
    if (!text.isEmpty() && m_db) {
        RunError error;
        found = m_db->OpenRecordset(SearchQuery(text), &error);
        if (!found) {
            ShowStoreFailure(error);
        } else if (found->RecordCount() == 0) {
            found.reset();
            MsgBox(m_listing == Listing::All ? QStringLiteral("No matching records found. Displaying all records.")
                                             : QStringLiteral("No matching records found."));
        }
    }
    if (found) {
        m_rs = std::move(found);
        m_listing = Listing::Search;
        m_query = SearchQuery(text);
        m_rs->MoveFirst();
        FillFields();
        MsgBox(QStringLiteral("        Found data"));
    } else {
        // Nothing found or nothing asked: the listing shown before stays, at the note it showed.
        findingFlag = findingBefore;
    }
    InitialButtons();
    Enable(cmdAdd, true);
    ClearFields();
    FillFields();
    RCount();
}
