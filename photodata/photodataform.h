#pragma once

#include "form.h"
#include "photoquery.h"
#include "runerror.h"

#include <memory>

class PhotoDatabase;
class PhotoRecordset;
class QLabel;
class QLineEdit;
class QPushButton;

// What the photo data screen of a picture and the photo data browser share:
// the five fields with their labels, the count row, the buttons (painted
// green when enabled and red when disabled), the database handle and the
// record set, and the steps both take the same way.
class PhotoDataForm : public Form {
    Q_OBJECT
public:
    explicit PhotoDataForm(const QString& name);
    ~PhotoDataForm() override;

    QLineEdit* txtAlbumName = nullptr;
    QLineEdit* txtPageNr = nullptr;
    QLineEdit* txtImageNr = nullptr;
    QLineEdit* txtDate = nullptr;
    QLineEdit* txtDescription = nullptr;
    QLabel* lblAlbumName = nullptr;
    QLabel* lblPageNr = nullptr;
    QLabel* lblImageNr = nullptr;
    QLabel* lblDate = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblFFT = nullptr;
    QLabel* lblFound = nullptr;
    QLabel* lblFFT1 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdMovePrevious = nullptr;
    QPushButton* cmdMoveNext = nullptr;
    QPushButton* cmdClose = nullptr;

    std::int16_t addingFlag = 0;
    std::int16_t editingFlag = 0;
    std::int16_t findingFlag = 0;

    PhotoRecordset* Records() const { return m_rs.get(); }

    // The same on both screens.
    void cmdSave_Click();
    void cmdCancel_Click();
    // The search prompt, then the notes found; when nothing is found or the
    // search is cancelled, the listing shown before stays as it was.
    void cmdFind_Click();

protected:
    // What the record set on screen holds: every note, a search result, or
    // the notes of the record screen's picture. No listing holds the
    // placeholder record.
    enum class Listing { All, Search, Picture };

    // What each screen shows of the current record, and its browse state of the buttons.
    virtual void FillFields() = 0;
    virtual void InitialButtons() = 0;
    // Find's listing of the descriptions holding `text`.
    virtual PhotoQuery SearchQuery(const QString& text) const = 0;
    // The count and the move buttons right after every note has been opened;
    // the "NO PHOTO DATA" question when there is none.
    void RCountLoad();
    // The count and the move buttons for the note on screen: Previous while a
    // note is before it, Next while one follows; neither while adding.
    void RCount();
    // Every note, shown from the first with its count and buttons.
    void ShowFullListing();
    // Moves one note on or back; never past the first or the last.
    void MoveBy(int step);

    // A button placed in the button rows, with its caption and tool tip.
    QPushButton* AddButton(const char* name, const QString& caption, const QString& toolTip, int column, int row);
    // Enables a control; a button is painted green, or red when disabled.
    static void Enable(QWidget* control, bool on);

    // Opens the database; false (and the user told) when it cannot be used.
    bool OpenDatabase();
    void CloseDatabase();
    // Replaces the record set by a listing; false (and the user told, the set
    // on screen kept) on failure.
    bool OpenListing(const PhotoQuery& query, Listing listing);
    void CloseRecords();

    void ClearFields();
    // The current record into the five fields; with none they keep their text.
    void ShowRecord();
    // A saved note is current and in the fields (not while adding).
    bool NoteShown();
    // The note on screen as the store holds it now, before it is acted on:
    // changed by another program, it is shown as it is now; deleted there, the
    // user is told ("Record is deleted.") and false comes back.
    bool ShownNoteStillThere();
    // After the note on screen was found deleted by another program: the user
    // is told, the listing is read again and the note now in its place shown.
    void ShowInPlaceOfGoneNote(const RunError& gone);
    // The browse state over a listing read again; the record screen opens a
    // new note for its picture when none is left.
    virtual void ShowListingAgain();
    // Asks first, then deletes the note on screen; false when nothing was deleted.
    bool DeleteShownNote();
    // The "DATA ERROR" checks of Save, in field order; false with the focus on the field to mend.
    bool FieldsReady();
    // Stores the fields into a new record (adding) or the record being edited,
    // and makes it the current record; false (and the user told) on failure.
    bool StoreFields(bool adding);
    // The search text, or empty after the "did not enter anything" message.
    QString AskSearchText();

    Listing m_listing = Listing::All;
    PhotoQuery m_query; // the listing on screen, to read it again
    bool m_readingAgain = false;
    std::unique_ptr<PhotoDatabase> m_db;
    std::unique_ptr<PhotoRecordset> m_rs;
};
