// The readme and options screens as the user meets them.
#include "countingform.h"
#include "forms.h"
#include "frmcover.h"
#include "frmoption1.h"
#include "frmreadme.h"
#include "program.h"
#include "screennames.h"
#include "session.h"
#include "startup.h"
#include "testprogram.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

FrmReadMe* readme()
{
    return Forms::Get<FrmReadMe>(Screen::ReadMe);
}

FrmOption1* options()
{
    return Forms::Get<FrmOption1>(Screen::Option1);
}

// Runs the program up to the options screen.
void reachOptions()
{
    StartUp();
    Forms::Get<FrmCover>(Screen::Cover)->tmrCover_Timer();
}

} // namespace

class TestScreens : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        program = std::make_unique<TestProgram>();
        CountingForm::resetCounts();
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void readmeShownWhenSettingAbsentOrZero_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::newRow("absent") << QString();
        QTest::newRow("0") << QStringLiteral("0");
    }
    void readmeShownWhenSettingAbsentOrZero()
    {
        QFETCH(QString, setting);
        if (!setting.isNull())
            program->setSetting(QStringLiteral("Display Readme"), setting);
        RunProgram();
        QVERIFY(readme()->isVisible());
        QVERIFY(readme()->Check1->isChecked());
        QCOMPARE(readme()->Check1->text(), QStringLiteral("Don't show this page again."));
        QCOMPARE(readme()->Command1->text(), QStringLiteral("&Continue"));
        QCOMPARE(readme()->Caption(), QStringLiteral("ReadMe"));
        QCOMPARE(readme()->Label2->text(), QStringLiteral("What this program is:"));
        QCOMPARE(readme()->Label4->text(), QStringLiteral("Installation:"));
        QCOMPARE(readme()->Label6->text(), QStringLiteral("Uninstall:"));
        QCOMPARE(readme()->Label18->text(), QStringLiteral("    I hope that you enjoy this program."));
        QCOMPARE(session.appDrive, setting.isNull() ? QStringLiteral("0") : setting);
        QVERIFY(!StartUpHasRun());
        QVERIFY(!Forms::IsLoaded(Screen::Cover));
    }

    void readmeSkippedWhenSettingIsOne()
    {
        program->setSetting(QStringLiteral("Display Readme"), QStringLiteral("1"));
        RunProgram();
        QVERIFY(StartUpHasRun());
        QVERIFY(Forms::Get(Screen::Cover)->isVisible());
        QVERIFY(!readme()->isVisible());
        QVERIFY2(!readme()->windowHandle(), "the readme was never put on screen");
        QCOMPARE(session.appDrive, program->folder().left(1)); // start-up took the variable back
    }

    void continueStoresTheTickBox_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("stored");
        QTest::newRow("ticked") << true << QStringLiteral("1");
        QTest::newRow("unticked") << false << QStringLiteral("0");
    }
    void continueStoresTheTickBox()
    {
        QFETCH(bool, ticked);
        QFETCH(QString, stored);
        RunProgram();
        readme()->Check1->setChecked(ticked);
        QTest::keyClick(readme(), Qt::Key_Return); // Enter presses Continue
        QCOMPARE(program->setting(QStringLiteral("Display Readme")), stored);
        QVERIFY(StartUpHasRun());
        QVERIFY(!readme()->isVisible());
        QVERIFY(Forms::Get(Screen::Cover)->isVisible());
    }

    void escOnReadmeAsksBeforeAnything()
    {
        RunProgram();
        program->user.answerButton(vbNo);
        QTest::keyClick(readme(), Qt::Key_Escape);
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.first().title, QStringLiteral("WARNING"));
        QCOMPARE(program->user.programEnds, 0);
        QVERIFY(readme()->isVisible());
        QVERIFY(!StartUpHasRun());
        QCOMPARE(program->setting(QStringLiteral("Display Readme")), QStringLiteral("<absent>"));

        program->user.answerButton(vbYes);
        readme()->cmdEsc->click();
        QCOMPARE(program->user.programEnds, 1);
    }

    void readmeAgainFromOptionsMenu()
    {
        program->setSetting(QStringLiteral("Display Readme"), QStringLiteral("1"));
        RunProgram();
        // The entry is only reachable before the cover hides it.
        options()->mnuReadme_Click();
        QCOMPARE(program->setting(QStringLiteral("Display Readme")), QStringLiteral("0"));
        auto* again = Forms::Get<FrmReadMeAgain>(Screen::ReadMeAgain);
        QVERIFY(again->isVisible());
        QCOMPARE(again->Caption(), QStringLiteral("ReadMe"));
        again->Check1->setChecked(true);
        again->Command1->click();
        QCOMPARE(program->setting(QStringLiteral("Display Readme")), QStringLiteral("1"));
        QVERIFY(options()->isVisible());
        QVERIFY(again->isVisible()); // stays loaded behind the options screen
        QCOMPARE(Forms::Front(), options());
    }

    void optionsCaptionsAndTips()
    {
        reachOptions();
        FrmOption1* o = options();
        QCOMPARE(o->lblFormName->text(), QStringLiteral("Options"));
        QCOMPARE(o->optNewAlbum->text(), QStringLiteral("Create New Album"));
        QCOMPARE(o->optSavedAlbum->text(), QStringLiteral("Stored Album"));
        QCOMPARE(o->optphotoData->text(), QStringLiteral("Photo Data"));
        QCOMPARE(o->cmdSetOptions->text(), QStringLiteral("Press if options correct"));
        QCOMPARE(o->CmdHelp->text(), QStringLiteral("&Help"));
        QCOMPARE(o->optDefault->toolTip(), QStringLiteral("Select To Go To Wren Photo Album Page 1"));
        QCOMPARE(o->optNewAlbum->toolTip(),
                 QStringLiteral("Select To Go To A Empty New Album Page 1 To Start A New Album"));
        QCOMPARE(o->optSavedAlbum->toolTip(), QStringLiteral("Select to Go To The Select Stored Album Page"));
        QCOMPARE(o->optphotoData->toolTip(), QStringLiteral("Select To Go To Stored Data For All Stored Albums"));
        QCOMPARE(o->cmdSetOptions->toolTip(), QStringLiteral("Press To Go To The Selected Option"));
        QCOMPARE(o->CmdHelp->toolTip(), QStringLiteral("Press To Go To Options Page Help"));
        QVERIFY(o->optDefault->isChecked());
    }

    void everyActivationResetsTheSession()
    {
        CountingForm::registerAs(Screen::SelectAlbum1);
        CountingForm::registerAs(Screen::Page1);
        CountingForm::registerAs(QStringLiteral("frmOther"));
        reachOptions();
        const int listLoads = CountingForm::loads.value(Screen::SelectAlbum1);
        QVERIFY(listLoads >= 2); // start-up's load, then the activation's reload

        for (int round = 1; round <= 2; ++round) {
            Forms::Load(Screen::Page1);
            session.albumName = QStringLiteral("Holiday");
            session.albumAttr = 17;
            Forms::Show(QStringLiteral("frmOther"));
            Forms::Hide(QStringLiteral("frmOther")); // the options screen comes to the front again
            QVERIFY(session.albumName.isEmpty());
            QCOMPARE(session.albumAttr, 0);
            QVERIFY(!Forms::IsLoaded(Screen::Page1));
            QVERIFY(Forms::IsLoaded(Screen::SelectAlbum1));
            QCOMPARE(CountingForm::loads.value(Screen::SelectAlbum1), listLoads + round);
        }
    }

    void createNewAlbumShowsAnEmptyPage()
    {
        CountingForm::registerAs(Screen::Page1);
        reachOptions();
        QTest::mouseDClick(options()->optNewAlbum, Qt::LeftButton);
        QVERIFY(options()->optNewAlbum->isChecked());
        Form* page = Forms::Get(Screen::Page1);
        QVERIFY(page->isVisible());
        QCOMPARE(page->Caption(), QStringLiteral("Album \"New Album -- Page 1\""));
        QCOMPARE(session.albumName, QStringLiteral("New Album"));
        QVERIFY(!page->Menu(QStringLiteral("mnuDeleteAlbum"))->isEnabled());
        QCOMPARE(CountingForm::loads.value(Screen::Page1), 2); // discarded by the activation, created anew
    }

    void goButtonActsOnAnyMouseButtonAndTheKeyboard_data()
    {
        QTest::addColumn<QString>("press");
        for (const char* press : {"left", "right", "middle", "Space on it", "Return on it", "Return on the option"})
            QTest::newRow(press) << QString::fromLatin1(press);
    }
    void goButtonActsOnAnyMouseButtonAndTheKeyboard()
    {
        QFETCH(QString, press);
        CountingForm::registerAs(Screen::SelectAlbum1);
        CountingForm::registerAs(Screen::Page1);
        reachOptions();
        options()->optSavedAlbum->setChecked(true);
        options()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(options()));
        QVERIFY(!Forms::Get(Screen::SelectAlbum1)->isVisible());
        QPushButton* go = options()->cmdSetOptions;
        if (press == QLatin1String("left"))
            QTest::mousePress(go, Qt::LeftButton);
        else if (press == QLatin1String("right"))
            QTest::mousePress(go, Qt::RightButton);
        else if (press == QLatin1String("middle"))
            QTest::mousePress(go, Qt::MiddleButton);
        else if (press == QLatin1String("Return on the option")) {
            options()->optSavedAlbum->setFocus();
            QTest::keyClick(options()->optSavedAlbum, Qt::Key_Return);
        } else {
            go->setFocus();
            QTest::keyClick(go, press.startsWith(QLatin1String("Space")) ? Qt::Key_Space : Qt::Key_Return);
        }
        QVERIFY(Forms::Get(Screen::SelectAlbum1)->isVisible());
        QVERIFY(Forms::Get(Screen::Page1)->Menu(QStringLiteral("mnuDeleteAlbum"))->isEnabled());
        QVERIFY(!Forms::Get(Screen::Cover)->isVisible());
    }

    void keyboardReachesTheGoButtonFromTheOptions()
    {
        CountingForm::registerAs(Screen::SelectAlbum1);
        CountingForm::registerAs(Screen::Page1);
        reachOptions();
        options()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(options()));
        // No supplied album in this folder: the first option that can be chosen has the keyboard.
        QVERIFY(!options()->optDefault->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), options()->optNewAlbum);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space); // Space chooses it
        QVERIFY(options()->optNewAlbum->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down); // then the arrows choose another
        QVERIFY(options()->optSavedAlbum->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QVERIFY(options()->optNewAlbum->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // Tab goes on to the go button
        QCOMPARE(QApplication::focusWidget(), options()->cmdSetOptions);
    }

    void photoDataWithNoNotesDeclined()
    {
        reachOptions();
        program->user.answerButton(vbNo);
        options()->optphotoData->setChecked(true);
        options()->GotoIt();
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.last().title, QStringLiteral("NO PHOTO DATA"));
        QCOMPARE(Forms::VisibleScreens(), QStringList{Screen::Option1});
        QVERIFY(options()->isEnabled());
        QVERIFY(options()->cmdSetOptions->isVisible());
    }

    void titleBarClosesTakeTheScreensOwnWayOut()
    {
        reachOptions();
        options()->CmdHelp->click();
        Forms::Get(Screen::OptionHelp)->close(); // as Exit Help: the options screen is given back
        QVERIFY(options()->isEnabled());
        QCOMPARE(Forms::Front(), options());

        Forms::EndWhenNothingOnView(true);
        Form* page = Forms::Get(Screen::Page1);
        page->Show();
        Forms::Hide(Screen::Option1);
        Forms::Show(Screen::PageHelp0);
        page->close(); // unchanged: no question
        QCOMPARE(program->user.programEnds, 0);
        QTest::qWait(1);
        QCOMPARE(program->user.programEnds, 0); // help is still on view
        Forms::Get(Screen::PageHelp0)->close();
        QTest::qWait(1);
        Forms::EndWhenNothingOnView(false);
        QCOMPARE(Forms::VisibleScreens(), QStringList{});
        QCOMPARE(program->user.programEnds, 1); // never running without a window
    }

    void helpDisablesTheOptionsScreen()
    {
        CountingForm::registerAs(Screen::OptionHelp);
        reachOptions();
        options()->CmdHelp->click();
        QVERIFY(!options()->isEnabled());
        QVERIFY(options()->isVisible());
        QCOMPARE(Forms::Front(), Forms::Get(Screen::OptionHelp));
    }

private:
    std::unique_ptr<TestProgram> program;
};

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
