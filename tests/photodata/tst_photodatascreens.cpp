// The photo data screens: the record screen of a right-clicked picture and
// the browser, grouped by screen, as a user meets them.
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
#include <QTest>

namespace {

// What a screen reader hears as the name of a widget.
QString heard(QWidget* widget)
{
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
    return a ? a->text(QAccessible::Name) : QStringLiteral("(nothing)");
}

FrmPhotoData* record()
{
    return Forms::Get<FrmPhotoData>(Screen::PhotoData);
}

FrmPhotoDataMain* browser()
{
    return Forms::Get<FrmPhotoDataMain>(Screen::PhotoDataMain);
}

// The enabled buttons by name; each must wear its colour.
QStringList enabledButtons(const Form* form)
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

// Every note as "album|page|Pa|key|P2|date|description", placeholder left out.
QStringList notes()
{
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
    auto rs = db->OpenRecordset(PhotoQuery::FullListing(), nullptr);
    QStringList rows;
    for (rs->MoveNext(); !rs->Eof(); rs->MoveNext()) {
        QStringList f;
        for (const QString& n : {PhotoFields::AlbumName, PhotoFields::PageNr, PhotoFields::Pa, PhotoFields::ImageNr,
                                 PhotoFields::P2, PhotoFields::Date, PhotoFields::Discription})
            f << rs->Text(n);
        rows << f.join(u'|');
    }
    return rows;
}

} // namespace

class TestPhotoDataScreens : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        program = std::make_unique<TestProgram>();
        program->addEmptyPicture();
        program->addPhotoData();
        program->takeAsProgramFolder();
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    // The record screen of a picture.

    void pictureWithoutNoteGetsOne()
    {
        rightClick(QStringLiteral("Ann's Trip"), 10, 11);
        QCOMPARE(enabledButtons(record()), QStringList{}); // nothing before the lookup
        QTRY_COMPARE(record()->lblFound->text(), QStringLiteral("0"));
        QCOMPARE(record()->txtAlbumName->text(), QStringLiteral("Anns Trip"));
        QCOMPARE(record()->txtPageNr->text(), QStringLiteral("10"));
        QCOMPARE(record()->txtImageNr->text(), QStringLiteral("P10I11"));
        QVERIFY(!record()->txtAlbumName->isEnabled() && !record()->txtPageNr->isEnabled() &&
                !record()->txtImageNr->isEnabled());
        QCOMPARE(enabledButtons(record()),
                 (QStringList{QStringLiteral("Command1"), QStringLiteral("cmdClose"), QStringLiteral("cmdSave"),
                              QStringLiteral("cndHelp")}));

        record()->txtDate->setText(QStringLiteral("May 2001"));
        program->user.answerButton(vbOK);
        record()->cmdSave->click(); // no description yet
        QCOMPARE(program->user.asked.last().prompt,
                 QStringLiteral("this is a required field. If you don't have data for it, enter a 'space'"));
        QCOMPARE(program->user.asked.last().title, QStringLiteral("DATA ERROR"));
        QCOMPARE(record()->focusWidget(), record()->txtDescription);
        QCOMPARE(notes(), QStringList{});

        record()->txtDescription->setText(QStringLiteral("Ann on the pier"));
        record()->cmdSave->click();
        QCOMPARE(program->user.asked.size(), 1); // one note now: no empty-store question
        QCOMPARE(notes(), QStringList{QStringLiteral("Anns Trip|10|10|P10I11|11|May 2001|Ann on the pier")});
        QCOMPARE(record()->txtDescription->text(), QStringLiteral("Ann on the pier")); // the first real record
        QCOMPARE(record()->lblFound->text(), QStringLiteral("1"));
        record()->cmdClose->click();

        // Found again on reopening, with its apostrophe-less name.
        rightClick(QStringLiteral("Ann's Trip"), 10, 11);
        QTRY_COMPARE(record()->txtDescription->text(), QStringLiteral("Ann on the pier"));
        QCOMPARE(record()->lblFound->text(), QStringLiteral("1"));
        QCOMPARE(enabledButtons(record()),
                 (QStringList{QStringLiteral("Command1"), QStringLiteral("cmdClose"), QStringLiteral("cmdEdit"),
                              QStringLiteral("cndHelp")}));
    }

    void twoNotesForOnePicture()
    {
        TestNotes::Add(QStringLiteral("New Album 2"), 1, 4, QStringLiteral("first"));
        TestNotes::Add(QStringLiteral("New Album 2"), 1, 4, QStringLiteral("second"));
        rightClick(QStringLiteral("New Album 2"), 1, 4); // a stored album, named alike
        QTRY_VERIFY(record()->cmdDelete->isEnabled());
        QVERIFY(!record()->cmdEdit->isEnabled());
        program->user.answerButton(vbOK);
        record()->cmdDelete->click();
        QCOMPARE(program->user.asked.last().prompt, QStringLiteral("'Find' canceled, returning to Option Page"));
        QCOMPARE(program->user.asked.last().title, QStringLiteral("Find canceled"));
        QVERIFY(!Forms::IsLoaded(Screen::PhotoData));
        QVERIFY(Forms::Get(Screen::Option1)->isVisible());
        QCOMPARE(notes().size(), 1);
        // Closing gave the view back and hid it.
        auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
        QVERIFY(view->isEnabled() && !view->isVisible() && view->Menu(QStringLiteral("mnuBack"))->isVisible());
    }

    void findOnTheRecordScreen()
    {
        TestNotes::Add(QStringLiteral("Holiday"), 2, 1, QStringLiteral("a dog"));
        TestNotes::Add(QStringLiteral("Holiday"), 10, 1, QStringLiteral("the dog again"));
        TestNotes::Add(QStringLiteral("Holiday"), 3, 3, QStringLiteral("cat"));
        rightClick(QStringLiteral("Holiday"), 2, 1);
        QTRY_VERIFY(record()->cmdEdit->isEnabled());
        program->user.answerText(QStringLiteral("d?g"));
        program->user.answerButton(vbOK);
        record()->cmdFind_Click(); // its button is enabled over three or more notes
        QCOMPARE(program->user.asked.size(), 2);
        QCOMPARE(program->user.asked[0].title, QStringLiteral("find"));
        QCOMPARE(program->user.asked[1].prompt, QStringLiteral("        Found data"));
        QCOMPARE(record()->lblFound->text(), QStringLiteral("2"));
        QCOMPARE(heard(record()->lblFound), QStringLiteral("Found 2 files")); // a screen reader hears the count
        QCOMPARE(record()->txtImageNr->text(), QStringLiteral("P10I1")); // text order: "10" before "2"

        program->user.answerText({});
        program->user.answerButton(vbOK);
        record()->cmdFind_Click();
        QCOMPARE(program->user.asked.size(), 4);
        QCOMPARE(program->user.asked[3].prompt, QStringLiteral("You either did not enter anything or pressed 'Cancel' !!!"));
        QCOMPARE(program->user.asked[3].style, int(vbOKOnly | vbExclamation));
        QCOMPARE(record()->txtDescription->text(), QStringLiteral("a dog")); // the table's first real record
    }

    // The browser.

    void browsingTwoNotes()
    {
        TestNotes::Add(QStringLiteral("Holiday"), 1, 1, QStringLiteral("one"));
        TestNotes::Add(QStringLiteral("Holiday"), 1, 2, QStringLiteral("two"));
        openBrowser();
        QCOMPARE(browser()->lblFound->text(), QStringLiteral("2"));
        QCOMPARE(browser()->txtDescription->text(), QStringLiteral("one"));
        QVERIFY(!browser()->cmdMovePrevious->isEnabled() && browser()->cmdMoveNext->isEnabled());
        browser()->cmdMoveNext->click();
        QCOMPARE(browser()->txtDescription->text(), QStringLiteral("two"));
        QVERIFY(browser()->cmdMovePrevious->isEnabled() && !browser()->cmdMoveNext->isEnabled());
        browser()->cmdMovePrevious->click();
        QCOMPARE(browser()->txtDescription->text(), QStringLiteral("one"));
        QVERIFY(!browser()->cmdMovePrevious->isEnabled());
        auto* options = Forms::Get<FrmOption1>(Screen::Option1);
        QVERIFY(!options->isEnabled() && !options->cmdSetOptions->isVisible());
        browser()->cmdClose->click();
        QVERIFY(options->isEnabled() && options->cmdSetOptions->isVisible());
        QVERIFY(options->Menu(QStringLiteral("mnuFile"))->isVisible());
    }

    void searchesInTheBrowser_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("count");
        QTest::newRow("apostrophe") << "Ann's" << "Ann's boat" << "1";
        QTest::newRow("star") << "b*t" << "Ann's boat" << "2";
        QTest::newRow("one character, page order") << "d?g" << "dig page 9" << "2";
        QTest::newRow("digit") << "page #" << "dig page 9" << "2";
    }
    void searchesInTheBrowser()
    {
        QFETCH(QString, search);
        QFETCH(QString, first);
        QFETCH(QString, count);
        TestNotes::Add(QStringLiteral("A"), 10, 1, QStringLiteral("dog page 10"));
        TestNotes::Add(QStringLiteral("A"), 9, 1, QStringLiteral("dig page 9"));
        TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("Ann's boat"));
        TestNotes::Add(QStringLiteral("A"), 2, 1, QStringLiteral("best"));
        openBrowser();
        program->user.answerText(search);
        program->user.answerButton(vbOK);
        browser()->cmdFind->click();
        QCOMPARE(browser()->lblFound->text(), count);
        QCOMPARE(heard(browser()->lblFound), QStringLiteral("Found %1 files").arg(count));
        QCOMPARE(QAccessible::queryAccessibleInterface(browser()->lblFound)->text(QAccessible::Value), count);
        QCOMPARE(browser()->txtDescription->text(), first);
        browser()->cmdMoveNext->click();
        browser()->cmdMovePrevious->click(); // no placeholder stepped over in a search result
        QCOMPARE(browser()->txtDescription->text(), first);
        browser()->cmdDelete_Click();
        QCOMPARE(browser()->txtDescription->text(), QString()); // the deleted note is not shown on
        QCOMPARE(notes().size(), 3);
    }

    void addingChecksPageAndKey()
    {
        TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("one"));
        openBrowser();
        browser()->cmdAdd->click();
        QCOMPARE(browser()->focusWidget(), browser()->txtAlbumName);
        const QList<std::pair<QString, QString>> wrong{{QStringLiteral("11"), QStringLiteral("P11I1")},
                                                      {QStringLiteral("two"), QStringLiteral("P2I1")},
                                                      {QStringLiteral("3"), QStringLiteral("P3I12")},
                                                      {QStringLiteral("3"), QStringLiteral("P4I1")}};
        for (const auto& [page, key] : wrong) {
            browser()->txtAlbumName->setText(QStringLiteral("B"));
            browser()->txtPageNr->setText(page);
            browser()->txtImageNr->setText(key);
            browser()->txtDate->setText(QStringLiteral(" "));
            browser()->txtDescription->setText(QStringLiteral("x"));
            program->user.answerButton(vbOK);
            browser()->cmdSave->click();
            QCOMPARE(program->user.asked.last().title, QStringLiteral("DATA ERROR"));
            QVERIFY(browser()->focusWidget() == browser()->txtPageNr || browser()->focusWidget() == browser()->txtImageNr);
        }
        QCOMPARE(notes().size(), 1);
        browser()->txtPageNr->setText(QStringLiteral("3"));
        browser()->txtImageNr->setText(QStringLiteral("P3I0"));
        browser()->cmdSave->click();
        QCOMPARE(notes().last(), QStringLiteral("B|3|3|P3I0|0| |x"));
    }

    void emptyStore_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(vbYes);
        QTest::newRow("no") << int(vbNo);
    }
    void emptyStore()
    {
        QFETCH(int, answer);
        program->user.answerButton(answer);
        Forms::Show(Screen::Option1);
        Forms::Show(Screen::PhotoDataMain);
        QCOMPARE(program->user.asked[0].prompt, QStringLiteral("There are no photo data records in memory!\r\n"
                                                               "Do you want to add a photo data record?"));
        QCOMPARE(program->user.asked[0].style, int(vbYesNo));
        QCOMPARE(program->user.asked[0].title, QStringLiteral("NO PHOTO DATA"));
        if (answer == vbYes) {
            QCOMPARE(browser()->addingFlag, 1);
            QVERIFY(browser()->txtAlbumName->isEnabled());
        } else {
            QVERIFY(!Forms::IsLoaded(Screen::PhotoDataMain));
            QVERIFY(Forms::Get<FrmOption1>(Screen::Option1)->cmdSetOptions->isVisible());
            // Once there are notes, the browser opens again: the earlier No is not kept.
            TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("now"));
            openBrowser();
            QCOMPARE(browser()->txtDescription->text(), QStringLiteral("now"));
        }
    }

    void deletingTheOnlyNote()
    {
        TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("only"));
        openBrowser();
        program->user.answerButton(vbOK);
        browser()->cmdDelete->click();
        QCOMPARE(program->user.asked.last().prompt,
                 QStringLiteral("No photo data left in database\r\nwill return to Option page"));
        QCOMPARE(program->user.asked.last().title, QStringLiteral("OUT OF DATA"));
        QVERIFY(!Forms::IsLoaded(Screen::PhotoDataMain));
        QCOMPARE(notes(), QStringList{});
    }

    void viewPicture()
    {
        const QString supplied = program->path(ProgramFiles::SuppliedAlbum);
        QVERIFY(QDir().mkdir(supplied));
        QVERIFY(TestPictures::Save(TestPictures::Photo(90, 60), supplied + QStringLiteral("/P2I3.bmp"), "BMP"));
        TestNotes::Add(ProgramFiles::SuppliedAlbum, 2, 3, QStringLiteral("wren"));
        TestNotes::Add(QStringLiteral("Gone"), 2, 4, QStringLiteral("missing"));
        openBrowser();
        program->user.answerButton(vbOK);
        browser()->cmdView->click(); // "Gone": no such album folder
        QCOMPARE(program->user.asked.size(), 1);
        QVERIFY(program->user.asked.last().prompt.contains(program->path(QStringLiteral("Gone/P2I4.bmp"))));
        QCOMPARE(browser()->txtDescription->text(), QStringLiteral("missing"));
        QVERIFY(!Forms::IsLoaded(Screen::DisplayPicture) || !Forms::Get(Screen::DisplayPicture)->isVisible());

        browser()->cmdMoveNext->click();
        browser()->cmdView->click();
        auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
        QVERIFY(view->isVisible());
        QCOMPARE(view->img1()->GetPicture().natural, QSize(90, 60));
        view->mnuBack_Click();
        QVERIFY(!Forms::IsLoaded(Screen::DisplayPicture));
        QVERIFY(!Forms::IsLoaded(Screen::Page1) || !Forms::Get(Screen::Page1)->isVisible());
    }

private:
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

    std::unique_ptr<TestProgram> program;
};

QTEST_MAIN(TestPhotoDataScreens)
#include "tst_photodatascreens.moc"
