// The full-size view's slide show, its read-ahead of the next and previous pictures, and Back.
#include "albumpaths.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "frmpage1.h"
#include "helpscreen.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "slideshow.h"
#include "slotfocus.h"
#include "testpictures.h"
#include "testprogram.h"
#include "viewhelpers.h"
#include "viewreadahead.h"

#include <QApplication>
#include <QLabel>
#include <QSaveFile>
#include <QTest>
#include <QTextBrowser>
#include <QWheelEvent>

namespace {

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

FrmDisplayPicture* view()
{
    return Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
}

const QList<std::pair<QString, QImage>>& Pictures = ViewHelpers::SteppingAlbum();

// A slide-show second in the tests that let it run, and one no test outlasts.
constexpr int ShortSecond = 5;
constexpr int LongSecond = 600000;

bool running()
{
    return view()->Slides().Running();
}

} // namespace

class TestSlideShow : public ProgramFixture {
    Q_OBJECT

    void openView(int pageNr, int slot)
    {
        if (session.pageNr != QString::number(pageNr))
            page()->mnuP_Click(pageNr);
        QTest::mouseClick(page()->Image1(slot), Qt::LeftButton);
        QCOMPARE(Forms::Front(), static_cast<Form*>(view()));
    }

    void verifyShown(int pageNr, int slot)
    {
        QCOMPARE(session.pageNr, QString::number(pageNr));
        QCOMPARE(int(session.imageNr), slot);
        // The line may show a notice for a moment; what the view shows is its description.
        QCOMPARE(view()->accessibleDescription(), QStringLiteral("Trip, page %1, picture %2").arg(pageNr).arg(slot));
    }

private slots:
    void init()
    {
        SlideShow::SetSecondForTests(LongSecond);
        SlideShow::SetPace(4);
        StartProgram();
        QVERIFY(MakeAlbum(QStringLiteral("Trip"), Pictures));
        OpenAlbum(QStringLiteral("Trip"));
    }
    void cleanup() { QUILL_END_PROGRAM(program); }

    // While the show runs, any key or click stops it and does nothing else; Esc still asks.
    void keyOrClickStopsTheShow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("questions");
        QTest::newRow("Space") << "Space" << 0;
        QTest::newRow("Right does not step") << "Right" << 0;
        QTest::newRow("End does not step") << "End" << 0;
        QTest::newRow("Ctrl+P does not print") << "Ctrl+P" << 0;
        QTest::newRow("a click") << "click" << 0;
        QTest::newRow("the wheel does not step") << "wheel" << 0;
        QTest::newRow("Esc: the exit question, No") << "Esc" << 1;
    }
    void keyOrClickStopsTheShow()
    {
        QFETCH(QString, how);
        QFETCH(int, questions);
        openView(1, 2);
        QTest::keyClick(view(), Qt::Key_Space);
        QVERIFY(running());
        if (how == QLatin1String("click")) {
            QTest::mouseClick(view()->img1(), Qt::LeftButton);
        } else if (how == QLatin1String("wheel")) {
            ViewHelpers::Wheel(view(), QPointF(view()->width() / 2.0, view()->height() / 2.0), -1);
        } else if (how == QLatin1String("Ctrl+P")) {
            QTest::keyClick(view(), Qt::Key_P, Qt::ControlModifier);
        } else {
            if (how == QLatin1String("Esc"))
                program->user.answerButton(vbNo);
            static const QHash<QString, Qt::Key> keys{{QStringLiteral("Space"), Qt::Key_Space},
                                                      {QStringLiteral("Right"), Qt::Key_Right},
                                                      {QStringLiteral("End"), Qt::Key_End},
                                                      {QStringLiteral("Esc"), Qt::Key_Escape}};
            QTest::keyClick(view(), keys.value(how));
        }
        QVERIFY(!running());
        QCOMPARE(program->user.asked.size(), questions);
        if (questions)
            QCOMPARE(program->user.asked[0].title, QStringLiteral("WARNING")); // the exit question
        verifyShown(1, 2);
        QCOMPARE(Forms::Front(), static_cast<Form*>(view()));
    }

    // A picture shown on its own (as the notes show it) has no album to show.
    void lonePictureHasNoShow()
    {
        openView(1, 2);
        view()->SetPictureFrom(view()->img1()->GetPicture());
        QTest::keyClick(view(), Qt::Key_Space);
        QVERIFY(!running());
    }

    // Left to run, the show goes through the album, across unchanged pages without a question,
    // and stops at the last picture.
    void showRunsToTheLastPicture()
    {
        openView(1, 2);
        SlideShow::SetSecondForTests(ShortSecond);
        QTest::keyClick(view(), Qt::Key_Space);
        QTRY_VERIFY(!running());
        verifyShown(4, 11);
        QCOMPARE(view()->LineText(), QStringLiteral("Slide show ended: this is the album's last picture"));
        QVERIFY(program->user.asked.isEmpty());
    }

    // The next picture is on another page and the page on screen has unsaved changes: the show
    // stops, and the save check asks before anything loads.
    void changedPageAsksBeforeTheShowTurns_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("toPage");
        QTest::addColumn<int>("toSlot");
        QTest::newRow("Yes: saved, then the next page") << int(vbYes) << 2 << 0;
        QTest::newRow("No: the next page unsaved") << int(vbNo) << 2 << 0;
    }
    void changedPageAsksBeforeTheShowTurns()
    {
        QFETCH(int, answer);
        QFETCH(int, toPage);
        QFETCH(int, toSlot);
        Paste(9, TestPictures::Photo(60, 40, 9));
        openView(1, 7);
        program->user.answerButton(answer);
        SlideShow::SetSecondForTests(ShortSecond);
        QTest::keyClick(view(), Qt::Key_Space);
        QTRY_COMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked[0].prompt, QStringLiteral("Do you want to save changes to Page 1"));
        QVERIFY(!running());
        verifyShown(toPage, toSlot);
        QCOMPARE(view()->LineText(), QStringLiteral("Slide show stopped: page 1 had unsaved changes"));
        QCOMPARE(QFileInfo::exists(album + QStringLiteral("/P1I9.bmp")), answer == vbYes);
    }

    // + shortens the time a picture stays, - lengthens it, within 1 and 15 s; the line says so,
    // and the pace lasts for the session. Without a show the keys leave the pace alone.
    void plusAndMinusChangeThePace_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("pace");
        QTest::newRow("+ from 4") << 4 << "+" << 3;
        QTest::newRow("- from 4") << 4 << "-" << 6;
        QTest::newRow("+ + - -") << 4 << "++--" << 4;
        QTest::newRow("- - - from 8") << 8 << "---" << 15;
        QTest::newRow("+ at 1") << 1 << "+" << 1;
    }
    void plusAndMinusChangeThePace()
    {
        QFETCH(int, from);
        QFETCH(QString, keys);
        QFETCH(int, pace);
        SlideShow::SetPace(from);
        openView(1, 2);
        QTest::keyClicks(view(), QStringLiteral("+-"));
        QCOMPARE(SlideShow::Pace(), from); // no show: the keys are not the show's
        QTest::keyClick(view(), Qt::Key_Space);
        QTest::keyClicks(view(), keys);
        QVERIFY(running());
        QCOMPARE(SlideShow::Pace(), pace);
        QCOMPARE(view()->LineText(), QStringLiteral("Slide show: a picture every %1 s").arg(pace));
        QVERIFY(view()->LineShown());
        view()->mnuBack_Click();
        openView(1, 2);
        QCOMPARE(SlideShow::Pace(), pace);
    }

    // After a picture is shown, the next one is decoded at view size behind it and a step shows
    // it from memory, unless its file changed since.
    void stepShowsThePictureReadAhead_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("unchanged: from memory") << false;
        QTest::newRow("file replaced: read again") << true;
    }
    void stepShowsThePictureReadAhead()
    {
        QFETCH(bool, replaced);
        openView(1, 7);
        QVERIFY(view()->ReadAhead().WaitUntilIdle(10000));
        QCOMPARE(view()->ReadAhead().Ready(), 2); // 1,2 and 2,0
        QSize expected = Pictures[2].second.size();
        if (replaced) {
            const QImage other = TestPictures::Photo(50, 36, 7);
            QSaveFile file(album + QStringLiteral("/P2I0.bmp"));
            QVERIFY(file.open(QIODevice::WriteOnly) && other.save(&file, "BMP") && file.commit());
            expected = other.size();
        }
        QTest::keyClick(view(), Qt::Key_Right);
        verifyShown(2, 0);
        QCOMPARE(view()->img1()->GetPicture().natural, expected);
        QCOMPARE(view()->ReadAhead().HandedOver(), replaced ? 0 : 1);
        if (!replaced) // read at the size it is painted: the paint has nothing to scale
            QCOMPARE(view()->img1()->GetPicture().shown.size(),
                     (QSizeF(view()->img1()->size()) * view()->devicePixelRatioF()).toSize());
    }

    // Back from a view that stepped on: the page's keyboard is on the picture last shown.
    void backPutsTheKeyboardOnThePictureShown()
    {
        page()->Image1(2)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(page()->Image1(2), Qt::Key_Return);
        QCOMPARE(Forms::Front(), static_cast<Form*>(view()));
        QTest::keyClick(view(), Qt::Key_Right);
        QTest::keyClick(view(), Qt::Key_Right);
        verifyShown(2, 0);
        view()->mnuBack_Click();
        QCOMPARE(Forms::Front(), static_cast<Form*>(page()));
        QCOMPARE(page()->focusWidget(), static_cast<QWidget*>(page()->Image1(0)));
        QTRY_VERIFY(page()->SlotKeys()->Ring()->isVisible());
        QVERIFY(page()->SlotKeys()->Ring()->geometry().contains(page()->Image1(0)->geometry().center()));
    }

    // The line over the picture is read from a distance: its letters follow the view's size.
    void lineIsReadable()
    {
        openView(1, 2);
        const auto* line = view()->findChild<QLabel*>(QStringLiteral("lblShown"));
        QVERIFY(line && line->isVisible());
        QVERIFY2(QFontInfo(line->font()).pixelSize() * 50 >= std::min(view()->width(), view()->height()),
                 qPrintable(QStringLiteral("%1 px letters on a %2 px view").arg(QFontInfo(line->font()).pixelSize()).arg(view()->height())));
        QVERIFY(line->height() >= QFontMetrics(line->font()).height());
    }

    void helpNamesTheShowsKeys_data()
    {
        QTest::addColumn<QString>("key");
        for (const char* key : {"Space:", "+, - (during a slide show):"})
            QTest::newRow(key) << QString::fromLatin1(key);
    }
    void helpNamesTheShowsKeys()
    {
        QFETCH(QString, key);
        openView(1, 2);
        view()->mnuHelp_Click();
        auto* help = Forms::Get<HelpScreen>(Screen::DisplayPictureHelp0);
        QVERIFY(help && help->isVisible());
        QVERIFY2(help->txtHelp->toPlainText().contains(key), qPrintable(help->txtHelp->toPlainText()));
    }
};

QTEST_MAIN(TestSlideShow)
#include "tst_slideshow.moc"
