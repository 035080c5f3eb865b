// Notes changed on the photo data screens: added, deleted, edited, found, cancelled, and
// changed by another program meanwhile, on the record screen and the browser alike.
#include "photodatascreens.h"

using namespace PhotoDataScreens;

class TestPhotoDataNotes : public Fixture {
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

    // An empty store: a note without a date is refused, and after Cancel
    // nothing can be edited or deleted.
    void emptyStoreAddWithoutDateThenCancel()
    {
        program->user.answerButton(vbYes);
        Forms::Show(Screen::Option1);
        Forms::Show(Screen::PhotoDataMain);
        QCOMPARE(browser()->addingFlag, 1);
        browser()->txtAlbumName->setText(QStringLiteral("A"));
        browser()->txtPageNr->setText(QStringLiteral("1"));
        browser()->txtImageNr->setText(QStringLiteral("P1I1"));
        browser()->txtDescription->setText(QStringLiteral("no date"));
        program->user.answerButton(vbOK);
        browser()->cmdSave->click();
        QCOMPARE(program->user.asked.last().title, QStringLiteral("DATA ERROR"));
        QCOMPARE(browser()->focusWidget(), browser()->txtDate);
        QCOMPARE(notes(), QStringList{});

        browser()->cmdCancel->click();
        QCOMPARE(enabledButtons(browser()),
                 (QStringList{QStringLiteral("CmdHelp"), QStringLiteral("cmdAdd"), QStringLiteral("cmdClose"),
                              QStringLiteral("cmdExit"), QStringLiteral("cmdView")}));
        QVERIFY(placeholderKept());
    }

    void deletingTheOnlyNote()
    {
        TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("only"));
        openBrowser();
        program->user.answerButton(vbYes);
        program->user.answerButton(vbOK);
        browser()->cmdDelete->click();
        QCOMPARE(program->user.asked.last().prompt,
                 QStringLiteral("No photo data left in database\r\nwill return to Option page"));
        QCOMPARE(program->user.asked.last().title, QStringLiteral("OUT OF DATA"));
        QVERIFY(!Forms::IsLoaded(Screen::PhotoDataMain));
        QCOMPARE(notes(), QStringList{});
        QVERIFY(placeholderKept());
    }

    // Each Delete inside a search result takes the note on screen, then shows
    // the next one found; when none is left, every note again.
    void deletingInsideASearchResult()
    {
        for (int slot = 1; slot <= 3; ++slot)
            TestNotes::Add(QStringLiteral("A"), 1, slot, QStringLiteral("dog %1").arg(slot));
        TestNotes::Add(QStringLiteral("B"), 1, 1, QStringLiteral("cat"));
        openBrowser();
        program->user.answerText(QStringLiteral("dog"));
        program->user.answerButton(vbOK);
        browser()->cmdFind->click();
        const auto descriptions = [] {
            QStringList d;
            for (const QString& n : notes())
                d << n.section(u'|', 6);
            return d;
        };
        const struct {
            bool next;
            const char* shownAfter;
            const char* count;
            QStringList left;
        } steps[] = {
            {false, "dog 2", "2", texts({"dog 2", "dog 3", "cat"})},
            {true, "dog 2", "1", texts({"dog 2", "cat"})}, // the last one found: the one before it is shown
            {false, "cat", "1", texts({"cat"})},           // none found is left: every note
        };
        for (const auto& step : steps) {
            if (step.next)
                browser()->cmdMoveNext->click();
            const QString shown = browser()->txtDescription->text();
            QVERIFY(browser()->cmdDelete->isEnabled());
            program->user.answerButton(vbYes);
            browser()->cmdDelete->click();
            QVERIFY(!descriptions().contains(shown));
            QCOMPARE(descriptions(), step.left);
            QCOMPARE(browser()->txtDescription->text(), QLatin1String(step.shownAfter));
            QCOMPARE(browser()->lblFound->text(), QLatin1String(step.count));
            QVERIFY(browser()->cmdDelete->isEnabled());
        }
        QCOMPARE(reachable(browser()), QStringList{QStringLiteral("cat")});
    }

    // Among every note, Delete takes the note on screen, then shows the first.
    void deletingAmongAllNotes_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("record screen") << int(RecordScreen);
        QTest::newRow("browser") << int(Browser);
    }
    void deletingAmongAllNotes()
    {
        QFETCH(int, screen);
        for (int slot = 1; slot <= 3; ++slot)
            TestNotes::Add(QStringLiteral("A"), 1, slot, QStringLiteral("note %1").arg(slot));
        openOnAllNotes(screen);
        PhotoDataForm* f = form(screen);
        f->cmdMoveNext->click();
        QCOMPARE(f->txtDescription->text(), QStringLiteral("note 2"));
        program->user.answerButton(vbYes);
        f->cmdDelete->click();
        QCOMPARE(program->user.asked.last().title, QStringLiteral("DELETE PHOTO DATA"));
        QCOMPARE(notes(), (QStringList{QStringLiteral("A|1|1|P1I1|1|1999|note 1"),
                                       QStringLiteral("A|1|1|P1I3|3|1999|note 3")}));
        QCOMPARE(f->lblFound->text(), QStringLiteral("2"));
        QCOMPARE(reachable(f), (QStringList{QStringLiteral("note 1"), QStringLiteral("note 3")}));
        QVERIFY(f->cmdDelete->isEnabled());
    }

    // Add, then Delete: nothing goes, the note typed is saved once.
    void deleteWhileAdding_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("record screen") << int(RecordScreen);
        QTest::newRow("browser") << int(Browser);
    }
    void deleteWhileAdding()
    {
        QFETCH(int, screen);
        TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("a dog"));
        TestNotes::Add(QStringLiteral("B"), 2, 3, QStringLiteral("a cat"));
        openOnAllNotes(screen);
        PhotoDataForm* f = form(screen);
        const QStringList before = notes();
        program->user.answerText(QStringLiteral("dog"));
        program->user.answerButton(vbOK);
        f->cmdFind->click(); // Add is offered after a Find on both screens
        f->cmdAdd->click();
        QVERIFY(!f->cmdDelete->isEnabled());
        if (screen == Browser) // as if the button could be pressed
            browser()->cmdDelete_Click();
        else
            record()->cmdDelete_Click();
        QCOMPARE(notes(), before);
        f->txtAlbumName->setText(QStringLiteral("C"));
        f->txtPageNr->setText(QStringLiteral("4"));
        f->txtImageNr->setText(QStringLiteral("P4I4"));
        f->txtDate->setText(QStringLiteral("2002"));
        f->txtDescription->setText(QStringLiteral("a bird"));
        f->cmdSave->click();
        QCOMPARE(notes(), before + QStringList{QStringLiteral("C|4|4|P4I4|4|2002|a bird")});
    }

    // The placeholder record is in no listing: every note the move buttons
    // reach is a real one, counted exactly, and the placeholder stays.
    void placeholderIsNeverReached_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("route");
        for (const auto& [screen, name] : {std::pair{RecordScreen, "record screen"}, std::pair{Browser, "browser"}}) {
            for (const char* route : {"?", "*", "#", "all notes", "find, add, save, previous", "store without it"})
                QTest::addRow("%s: %s", name, route) << int(screen) << QString::fromLatin1(route);
        }
    }
    void placeholderIsNeverReached()
    {
        QFETCH(int, screen);
        QFETCH(QString, route);
        TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("a dog 1"));
        TestNotes::Add(QStringLiteral("B"), 2, 3, QStringLiteral("the cat 2"));
        QStringList expected{QStringLiteral("a dog 1"), QStringLiteral("the cat 2")};
        if (route == QStringLiteral("store without it")) {
            auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
            QSqlQuery q(db->connection());
            QVERIFY(q.exec(QStringLiteral("DELETE FROM PhotoData WHERE [Album Name] = ' '")));
            QCOMPARE(q.numRowsAffected(), 1);
        }
        openOnAllNotes(screen);
        PhotoDataForm* f = form(screen);
        if (route.size() == 1) {
            program->user.answerText(route);
            program->user.answerButton(vbOK);
            QVERIFY(f->cmdFind->isEnabled());
            f->cmdFind->click();
            QCOMPARE(program->user.asked.last().prompt, QStringLiteral("        Found data"));
        } else if (route.startsWith(QStringLiteral("find"))) {
            program->user.answerText(QStringLiteral("dog"));
            program->user.answerButton(vbOK);
            f->cmdFind->click();
            f->cmdAdd->click();
            f->txtAlbumName->setText(QStringLiteral("C"));
            f->txtPageNr->setText(QStringLiteral("3"));
            f->txtImageNr->setText(QStringLiteral("P3I3"));
            f->txtDate->setText(QStringLiteral("2001"));
            f->txtDescription->setText(QStringLiteral("a bird 3"));
            f->cmdSave->click();
            expected << QStringLiteral("a bird 3");
            QCOMPARE(f->txtDescription->text(), QStringLiteral("a dog 1"));
            QVERIFY(!f->cmdMovePrevious->isEnabled());
        }
        QCOMPARE(reachable(f), expected);
        QCOMPARE(f->lblFound->text(), QString::number(expected.size()));
        QVERIFY(placeholderKept());
    }

    // A Find that finds nothing, or is cancelled, leaves the listing as it was.
    void failedFindKeepsTheListing_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("message");
        for (const auto& [screen, name] : {std::pair{RecordScreen, "record screen"}, std::pair{Browser, "browser"}}) {
            QTest::addRow("%s: no match", name) << int(screen) << QStringLiteral("zzz")
                                                << QStringLiteral("No matching records found. Displaying all records.");
            QTest::addRow("%s: cancelled", name) << int(screen) << QString()
                                                 << QStringLiteral("You either did not enter anything or pressed 'Cancel' !!!");
        }
    }
    void failedFindKeepsTheListing()
    {
        QFETCH(int, screen);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        for (int slot = 1; slot <= 3; ++slot)
            TestNotes::Add(QStringLiteral("A"), 1, slot, QStringLiteral("note %1").arg(slot));
        openOnAllNotes(screen);
        PhotoDataForm* f = form(screen);
        f->cmdMoveNext->click();
        const auto state = [f] {
            return QStringList{f->txtDescription->text(), f->lblFound->text(),
                               QString::number(f->cmdMovePrevious->isEnabled()),
                               QString::number(f->cmdMoveNext->isEnabled())};
        };
        const QStringList before = state();
        QCOMPARE(before, (QStringList{QStringLiteral("note 2"), QStringLiteral("3"), QStringLiteral("1"),
                                      QStringLiteral("1")}));
        program->user.answerText(answer);
        program->user.answerButton(vbOK);
        f->cmdFind->click();
        QCOMPARE(program->user.asked.last().prompt, message);
        QCOMPARE(state(), before);
        QCOMPARE(reachable(f), (QStringList{QStringLiteral("note 1"), QStringLiteral("note 2"), QStringLiteral("note 3")}));
        if (screen == Browser) {
            f->cmdEdit->click();
            f->cmdCancel->click();
            QVERIFY(f->cmdFind->isEnabled());
        }
    }

    // Edit, then Save: the same note changes, no other.
    void editThenSave_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("changed");
        QTest::newRow("record screen: date and description") << int(RecordScreen) << QStringLiteral("A|1|1|P1I1|1");
        QTest::newRow("browser: album, page and key too") << int(Browser) << QStringLiteral("C|4|4|P4I5|5");
    }
    void editThenSave()
    {
        QFETCH(int, screen);
        QFETCH(QString, changed);
        TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("one"));
        TestNotes::Add(QStringLiteral("B"), 2, 3, QStringLiteral("two"));
        const QStringList before = notes(true);
        if (screen == Browser) {
            openBrowser();
        } else {
            rightClick(QStringLiteral("A"), 1, 1);
            QTRY_VERIFY(record()->cmdEdit->isEnabled());
        }
        PhotoDataForm* f = form(screen);
        QCOMPARE(f->txtDescription->text(), QStringLiteral("one"));
        f->cmdEdit->click();
        const QStringList key = changed.split(u'|');
        for (const auto& [field, text] : {std::pair{f->txtAlbumName, key[0]}, std::pair{f->txtPageNr, key[1]},
                                          std::pair{f->txtImageNr, key[3]}}) {
            QCOMPARE(field->isEnabled(), screen == Browser);
            if (field->isEnabled())
                field->setText(text);
        }
        f->txtDate->setText(QStringLiteral("2002"));
        f->txtDescription->setText(QStringLiteral("one, edited"));
        f->cmdSave->click();
        QStringList after = notes(true);
        after.sort();
        QCOMPARE(after, (QStringList{before[0].section(u'|', 0, 0) + u'|' + changed + QStringLiteral("|2002|one, edited"),
                                     before[1]}));
    }

    // Another program changes or deletes the note on screen: the screen shows
    // it as it is now, or says "Record is deleted." and shows the note now in
    // its place; Edit and Delete act only on a note that is there.
    void noteChangedByAnotherProgram_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("found");
        for (const char* action : {"Edit", "Delete", "Move Next"})
            QTest::addRow("browser: deleted, %s", action) << int(Browser) << QStringLiteral("deleted")
                                                           << QString::fromLatin1(action) << QStringLiteral("note 3")
                                                           << QStringLiteral("2");
        QTest::newRow("browser: changed, Edit") << int(Browser) << QStringLiteral("changed") << QStringLiteral("Edit")
                                                << QStringLiteral("note 2, changed") << QStringLiteral("3");
        QTest::newRow("record screen: deleted, Edit") << int(RecordScreen) << QStringLiteral("deleted")
                                                      << QStringLiteral("Edit") << QString() << QStringLiteral("0");
        QTest::newRow("record screen: changed, Edit") << int(RecordScreen) << QStringLiteral("changed")
                                                      << QStringLiteral("Edit") << QStringLiteral("note 2, changed")
                                                      << QStringLiteral("1");
    }
    void noteChangedByAnotherProgram()
    {
        QFETCH(int, screen);
        QFETCH(QString, change);
        QFETCH(QString, action);
        QFETCH(QString, shown);
        QFETCH(QString, found);
        for (int slot = 1; slot <= 3; ++slot)
            TestNotes::Add(QStringLiteral("A"), 1, slot, QStringLiteral("note %1").arg(slot));
        if (screen == Browser) {
            openBrowser();
            if (action != QStringLiteral("Move Next"))
                browser()->cmdMoveNext->click();
        } else {
            rightClick(QStringLiteral("A"), 1, 2);
            QTRY_VERIFY(record()->cmdEdit->isEnabled());
        }
        PhotoDataForm* f = form(screen);
        {
            auto other = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr); // as another program
            QSqlQuery q(other->connection());
            QVERIFY(q.exec(change == QStringLiteral("deleted")
                               ? QStringLiteral("DELETE FROM PhotoData WHERE Discription = 'note 2'")
                               : QStringLiteral("UPDATE PhotoData SET Discription = 'note 2, changed' "
                                                "WHERE Discription = 'note 2'")));
        }
        const QStringList before = notes();
        const bool told = change == QStringLiteral("deleted");
        if (told)
            program->user.answerButton(vbOK);
        (action == QStringLiteral("Edit") ? f->cmdEdit : action == QStringLiteral("Delete") ? f->cmdDelete
                                                                                          : f->cmdMoveNext)
            ->click();
        QCOMPARE(program->user.asked.size(), told ? 1 : 0);
        if (told)
            QCOMPARE(program->user.asked[0].prompt,
                     QStringLiteral("Record is deleted.\r\nAnother program has deleted the photo data shown here."));
        QCOMPARE(f->txtDescription->text(), shown);
        QCOMPARE(f->lblFound->text(), found);
        if (!told && action == QStringLiteral("Edit")) { // the note as it is now is edited
            f->txtDate->setText(QStringLiteral("2003"));
            f->cmdSave->click();
            QCOMPARE(notes(), QStringList(before).replaceInStrings(QStringLiteral("1999|note 2, changed"),
                                                                    QStringLiteral("2003|note 2, changed")));
            return;
        }
        QCOMPARE(notes(), before); // nothing acted on what was not there
        // What is shown is a note of the store, or the picture's new one; Edit
        // and Delete are offered (green) only for a note that is there.
        const QStringList fields{f->txtAlbumName->text(), f->txtPageNr->text(), f->txtImageNr->text(), shown};
        const bool aNote = found != QStringLiteral("0");
        QVERIFY(!aNote || std::any_of(before.cbegin(), before.cend(), [&fields](const QString& note) {
                    const QStringList n = note.split(u'|');
                    return QStringList{n[0], n[1], n[3], n[6]} == fields;
                }));
        const QStringList on = enabledButtons(f);
        QCOMPARE(on.contains(QStringLiteral("cmdDelete")), aNote);
        QCOMPARE(on.contains(QStringLiteral("cmdEdit")), aNote && screen == Browser);
        if (!aNote)
            QCOMPARE(on, (QStringList{QStringLiteral("Command1"), QStringLiteral("cmdClose"), QStringLiteral("cmdSave"),
                                      QStringLiteral("cndHelp")}));
    }

    void browserCancelWritesNothing()
    {
        TestNotes::Add(QStringLiteral("A"), 1, 1, QStringLiteral("one"));
        TestNotes::Add(QStringLiteral("A"), 1, 2, QStringLiteral("two"));
        const QStringList before = notes(true);
        openBrowser();
        const QStringList browsing = enabledButtons(browser());
        QVERIFY(browsing.contains(QStringLiteral("cmdMoveNext")));
        for (QPushButton* start : {browser()->cmdEdit, browser()->cmdAdd}) {
            start->click();
            for (QLineEdit* field : {browser()->txtAlbumName, browser()->txtPageNr, browser()->txtImageNr,
                                     browser()->txtDate, browser()->txtDescription})
                field->setText(QStringLiteral("2"));
            browser()->txtImageNr->setText(QStringLiteral("P2I2"));
            browser()->cmdCancel->click();
            QCOMPARE(notes(true), before);
            QCOMPARE(browser()->txtAlbumName->text(), QStringLiteral("A"));
            QCOMPARE(browser()->txtDescription->text(), QStringLiteral("one"));
            QCOMPARE(enabledButtons(browser()), browsing);
        }
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
};

QTEST_MAIN(TestPhotoDataNotes)
#include "tst_photodatanotes.moc"
