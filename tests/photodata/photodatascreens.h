#pragma once

// What the tests of the photo data screens share: the screens, what a screen reader hears, the
// buttons on, the notes in the store, and the ways a user comes to the screens.
#include "albumpaths.h"
#include "controls.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "frmoption1.h"
#include "frmpage1.h"
#include "frmphotodata.h"
#include "frmphotodatamain.h"
#include "photorecordset.h"
#include "photostore.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "testnotes.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

namespace PhotoDataScreens {

// What a screen reader hears as the name of a widget.
inline QString heard(QWidget* widget)
{
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
    return a ? a->text(QAccessible::Name) : QStringLiteral("(nothing)");
}

inline FrmPhotoData* record()
{
    return Forms::Get<FrmPhotoData>(Screen::PhotoData);
}

inline FrmPhotoDataMain* browser()
{
    return Forms::Get<FrmPhotoDataMain>(Screen::PhotoDataMain);
}

// The enabled buttons by name; each must wear its colour.
inline QStringList enabledButtons(const Form* form)
{
    QStringList on;
    for (const QPushButton* b : form->findChildren<QPushButton*>()) {
        if (b->objectName() == QStringLiteral("cmdExc") || !b->isVisibleTo(form))
            continue;
        if (b->isEnabled() != (BackColour(b) == GreenColour))
            on << b->objectName() + QStringLiteral("(wrong colour)");
        else if (b->isEnabled())
            on << b->objectName();
    }
    on.sort();
    return on;
}

// Every note as "album|page|Pa|key|P2|date|description" (with its row id
// first when asked), in the full listing's order.
inline QStringList notes(bool withIds = false)
{
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
    auto rs = db->OpenRecordset(PhotoQuery::FullListing(), nullptr);
    return TestNotes::Walk(*rs, [withIds](PhotoRecordset& r) {
        QStringList f;
        if (withIds)
            f << QString::number(r.Bookmark());
        for (const QString& n : {PhotoFields::AlbumName, PhotoFields::PageNr, PhotoFields::Pa, PhotoFields::ImageNr,
                                 PhotoFields::P2, PhotoFields::Date, PhotoFields::Discription})
            f << r.Text(n);
        return f.join(u'|');
    });
}

// The table's first record is the placeholder.
inline bool placeholderKept()
{
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
    auto rs = db->OpenRecordset(PhotoQuery::Table(), nullptr);
    return rs->Text(PhotoFields::AlbumName) == QStringLiteral(" ") && rs->Text(PhotoFields::Discription) == QStringLiteral(" ");
}

// The descriptions the move buttons reach, from the first note to the last;
// a placeholder reached shows as " ".
inline QStringList reachable(PhotoDataForm* f)
{
    for (int i = 0; i < 100 && f->cmdMovePrevious->isEnabled(); ++i)
        f->cmdMovePrevious->click();
    QStringList seen{f->txtDescription->text()};
    for (int i = 0; i < 100 && f->cmdMoveNext->isEnabled(); ++i) {
        f->cmdMoveNext->click();
        seen << f->txtDescription->text();
    }
    return seen;
}

enum Which { RecordScreen, Browser };

inline QStringList texts(std::initializer_list<const char*> list)
{
    QStringList l;
    for (const char* t : list)
        l << QString::fromUtf8(t);
    return l;
}

// The ways a user comes to the screens.
class Fixture : public ProgramFixture {
protected:
    // A right click on slot `slot` of page `page` of a stored album.
    void rightClick(const QString& album, int page, int slot)
    {
        session.albumName = album;
        session.pageNr = QString::number(page);
        auto* p = Forms::Get<FrmPage1>(Screen::Page1);
        p->Show();
        QTest::mouseClick(p->Image1(slot), Qt::RightButton);
        QVERIFY(Forms::IsLoaded(Screen::PhotoData));
        QVERIFY(!Forms::Get(Screen::DisplayPicture)->isEnabled());
    }

    void openBrowser()
    {
        Forms::Show(Screen::Option1);
        Forms::Show(Screen::PhotoDataMain);
        QVERIFY(browser()->isVisible());
    }

    // The screen over every note, at the first: the browser as it opens, the
    // record screen after Edit and Save on the one note of slot 1 of page 1 of "A".
    void openOnAllNotes(int screen)
    {
        if (screen == Browser) {
            openBrowser();
            return;
        }
        rightClick(QStringLiteral("A"), 1, 1);
        QTRY_VERIFY(record()->cmdEdit->isEnabled());
        record()->cmdEdit->click();
        record()->cmdSave->click();
        QVERIFY(record()->cmdFind->isEnabled());
    }

    static PhotoDataForm* form(int screen)
    {
        return screen == Browser ? static_cast<PhotoDataForm*>(browser()) : record();
    }
};

} // namespace PhotoDataScreens
