// The photo data screens as a user first meets them: the record screen of a right-clicked
// picture, and the browser.
#include "photodatascreens.h"

using namespace PhotoDataScreens;

class TestPhotoDataScreens : public Fixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram();
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
        QCOMPARE(record()->txtDescription->text(), QStringLiteral("Ann on the pier")); // the first note
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
        QCOMPARE(record()->lblFound->text(), QStringLiteral("2"));
        QCOMPARE(reachable(record()), (QStringList{QStringLiteral("first"), QStringLiteral("second")}));

        program->user.answerButton(vbNo);
        record()->cmdDelete->click(); // at "second", the last reached
        QCOMPARE(program->user.asked.last().prompt,
                 QStringLiteral("Do you want to delete the photo data of\r\nAlbum \"New Album 2\", page 1, image P1I4?\r\n"
                                "It cannot be undone."));
        QCOMPARE(program->user.asked.last().style, int(vbYesNo | vbQuestion | vbDefaultButton2)); // Enter keeps the note
        QCOMPARE(program->user.asked.last().title, QStringLiteral("DELETE PHOTO DATA"));
        QCOMPARE(notes().size(), 2);

        program->user.answerButton(vbYes);
        program->user.answerButton(vbOK);
        record()->cmdDelete->click();
        QCOMPARE(program->user.asked.last().prompt, QStringLiteral("'Find' canceled, returning to Option Page"));
        QCOMPARE(program->user.asked.last().title, QStringLiteral("Find canceled"));
        QVERIFY(!Forms::IsLoaded(Screen::PhotoData));
        QVERIFY(Forms::Get(Screen::Option1)->isVisible());
        QCOMPARE(notes(), QStringList{QStringLiteral("New Album 2|1|1|P1I4|4|1999|first")});
        // Closing gave the view back and hid it.
        auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
        QVERIFY(view->isEnabled() && !view->isVisible() && view->Menu(QStringLiteral("mnuBack"))->isVisible());
    }

    void closingLeavesTheViewsExitButtonHidden()
    {
        rightClick(QStringLiteral("A"), 1, 1);
        QTRY_VERIFY(record()->cmdClose->isEnabled());
        record()->cmdClose->click();
        auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
        view->Show();
        QVERIFY(view->isEnabled() && view->Menu(QStringLiteral("mnuFile"))->isVisible());
        QVERIFY(!view->cmdExit->isVisible());
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
        QVERIFY(record()->cmdFind->isEnabled() && record()->cmdAdd->isEnabled());
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
        QTest::addColumn<QStringList>("found");
        QTest::newRow("apostrophe") << "Ann's" << texts({"Ann's boat"});
        QTest::newRow("star") << "b*t" << texts({"Ann's boat", "best"});
        QTest::newRow("one character, page order") << "d?g" << texts({"dig page 9", "dog page 10"});
        QTest::newRow("digit") << "page #" << texts({"dig page 9", "dog page 10"});
    }
    void searchesInTheBrowser()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, found);
        TestNotes::Add(QStringLiteral("A"), 10, 1, QStringLiteral("dog page 10"));
        TestNotes::Add(QStringLiteral("A"), 9, 1, QStringLiteral("dig page 9"));
        TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("Ann's boat"));
        TestNotes::Add(QStringLiteral("A"), 2, 1, QStringLiteral("best"));
        openBrowser();
        program->user.answerText(search);
        program->user.answerButton(vbOK);
        browser()->cmdFind->click();
        const QString count = QString::number(found.size());
        QCOMPARE(browser()->lblFound->text(), count);
        QCOMPARE(heard(browser()->lblFound), QStringLiteral("Found %1 files").arg(count)); // a screen reader hears the count
        QCOMPARE(QAccessible::queryAccessibleInterface(browser()->lblFound)->text(QAccessible::Value), count);
        QCOMPARE(reachable(browser()), found); // no placeholder stepped over in a search result
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
};

QTEST_MAIN(TestPhotoDataScreens)
#include "tst_photodatascreens.moc"
