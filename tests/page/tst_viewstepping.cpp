// Stepping through an album in the full-size view, the line over the picture, and the view's keys.
#include "albumpaths.h"
#include "filesizelimit.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "frmpage1.h"
#include "frmphotodatamain.h"
#include "helpscreen.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "testnotes.h"
#include "testpictures.h"
#include "testprogram.h"
#include "viewhelpers.h"
#include "zoompane.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTextBrowser>
#include <QWheelEvent>

#include <sys/resource.h>

#include <csignal>

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

QSize sizeOf(int page, int slot)
{
    for (const auto& [file, image] : Pictures)
        if (file == AlbumPaths::PictureKey(page, slot) + QStringLiteral(".bmp"))
            return image.size();
    return {};
}

// A key as the user types it on the view, or a turn of the mouse wheel by one notch.
void press(const QString& how)
{
    if (how.startsWith(QLatin1String("Wheel"))) {
        ViewHelpers::Wheel(view(), QPointF(view()->width() / 2.0, view()->height() / 2.0),
                           how == QLatin1String("WheelDown") ? -1 : 1);
        return;
    }
    static const QHash<QString, Qt::Key> keys{
        {QStringLiteral("Right"), Qt::Key_Right},   {QStringLiteral("Left"), Qt::Key_Left},
        {QStringLiteral("PageDown"), Qt::Key_PageDown}, {QStringLiteral("PageUp"), Qt::Key_PageUp},
        {QStringLiteral("Home"), Qt::Key_Home},     {QStringLiteral("End"), Qt::Key_End},
        {QStringLiteral("I"), Qt::Key_I}};
    QTest::keyClick(view(), keys.value(how));
}

} // namespace

class TestViewStepping : public ProgramFixture {
    Q_OBJECT

    // The view on `slot` of `pageNr`, opened by a left click as the user does.
    void openView(int pageNr, int slot)
    {
        if (session.pageNr != QString::number(pageNr))
            page()->mnuP_Click(pageNr);
        QTest::mouseClick(page()->Image1(slot), Qt::LeftButton);
        QCOMPARE(Forms::Front(), static_cast<Form*>(view()));
    }

    // The view shows `slot` of `pageNr`, on the page screen turned to that page behind it.
    void verifyShown(int pageNr, int slot, const QSize& natural)
    {
        QCOMPARE(session.pageNr, QString::number(pageNr));
        QCOMPARE(int(session.imageNr), slot);
        QCOMPARE(page()->windowTitle(), AlbumPaths::PageCaption(QStringLiteral("Trip"), QString::number(pageNr)));
        QCOMPARE(view()->img1()->GetPicture().natural, natural);
        QCOMPARE(view()->LineText(), QStringLiteral("Trip, page %1, picture %2").arg(pageNr).arg(slot));
        QCOMPARE(Forms::Front(), static_cast<Form*>(view()));
    }

private slots:
    void init()
    {
        StartProgram();
        QVERIFY(MakeAlbum(QStringLiteral("Trip"), Pictures));
        OpenAlbum(QStringLiteral("Trip"));
    }
    void cleanup() { QUILL_END_PROGRAM(program); }

    void stepsThroughFilledSlots_data()
    {
        QTest::addColumn<int>("fromPage");
        QTest::addColumn<int>("fromSlot");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("toPage");
        QTest::addColumn<int>("toSlot");
        QTest::newRow("Right, within the page") << 1 << 2 << "Right" << 1 << 7;
        QTest::newRow("Right, across the page") << 1 << 7 << "Right" << 2 << 0;
        QTest::newRow("Page Down, past an empty page") << 2 << 0 << "PageDown" << 4 << 11;
        QTest::newRow("Left, across the page") << 2 << 0 << "Left" << 1 << 7;
        QTest::newRow("Page Up, back over the empty page") << 4 << 11 << "PageUp" << 2 << 0;
        QTest::newRow("wheel down") << 1 << 7 << "WheelDown" << 2 << 0;
        QTest::newRow("wheel up") << 2 << 0 << "WheelUp" << 1 << 7;
        QTest::newRow("Home") << 4 << 11 << "Home" << 1 << 2;
        QTest::newRow("End") << 1 << 2 << "End" << 4 << 11;
        QTest::newRow("Left at the first picture") << 1 << 2 << "Left" << 1 << 2;
        QTest::newRow("Right at the last picture") << 4 << 11 << "Right" << 4 << 11;
    }
    void stepsThroughFilledSlots()
    {
        QFETCH(int, fromPage);
        QFETCH(int, fromSlot);
        QFETCH(QString, how);
        QFETCH(int, toPage);
        QFETCH(int, toSlot);
        openView(fromPage, fromSlot);
        press(how);
        verifyShown(toPage, toSlot, sizeOf(toPage, toSlot));
        QVERIFY(program->user.asked.isEmpty()); // an unchanged page turns without a question
        // Back returns to the page of the picture shown.
        view()->mnuBack_Click();
        QCOMPARE(Forms::Front(), static_cast<Form*>(page()));
        QCOMPARE(session.pageNr, QString::number(toPage));
    }

    // A step off a changed page runs the page screen's save check first.
    void stepOffAChangedPage_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("writeFails");
        QTest::newRow("Yes: saved, then on") << int(vbYes) << false;
        QTest::newRow("No: on without saving") << int(vbNo) << false;
        QTest::newRow("Yes, the write fails: the view stays") << int(vbYes) << true;
    }
    void stepOffAChangedPage()
    {
        QFETCH(int, answer);
        QFETCH(bool, writeFails);
        const QImage pasted = TestPictures::Photo(600, 600, 9); // about 1 MB as a bitmap
        Paste(9, pasted);
        openView(1, 7);
        press(QStringLiteral("Right")); // the unsaved picture on the page is stepped to
        verifyShown(1, 9, pasted.size());
        program->user.answerButton(answer);
        if (writeFails) {
            program->user.answerButton(vbOK);
            const FileSizeLimit limit(256 * 1024);
            press(QStringLiteral("Right"));
        } else {
            press(QStringLiteral("Right"));
        }
        QVERIFY(program->user.asked.size() >= 1);
        QCOMPARE(program->user.asked[0].prompt, QStringLiteral("Do you want to save changes to Page 1"));
        const QString saved = album + QStringLiteral("/P1I9.bmp");
        if (writeFails) {
            QCOMPARE(program->user.asked.size(), 2); // what failed
            verifyShown(1, 9, pasted.size());
            QCOMPARE(session.albumChanged, 1);
            QVERIFY(!QFileInfo::exists(saved));
        } else {
            QCOMPARE(program->user.asked.size(), 1);
            verifyShown(2, 0, sizeOf(2, 0));
            QCOMPARE(QFileInfo::exists(saved), answer == vbYes);
        }
    }

    // Zoomed, Left and Right move the picture instead of stepping; a step (Page Down) shows the
    // next picture fitted.
    void zoomedArrowsMoveAndAStepFits()
    {
        openView(1, 2);
        QTest::keyClick(view(), Qt::Key_1);
        QVERIFY(view()->zoom()->Zoomed());
        press(QStringLiteral("Right"));
        press(QStringLiteral("Left"));
        verifyShown(1, 2, sizeOf(1, 2));
        QVERIFY(view()->zoom()->Zoomed());
        press(QStringLiteral("PageDown"));
        verifyShown(1, 7, sizeOf(1, 7));
        QVERIFY(!view()->zoom()->Zoomed() && view()->img1()->isVisible());
    }

    // The line over the picture names it, with its note; screen readers hear the same.
    void lineSaysWhatItShows_data()
    {
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("line");
        QTest::newRow("no note") << QString() << "Trip, page 1, picture 7";
        QTest::newRow("a note") << "Beach at dusk" << "Trip, page 1, picture 7, 1999: Beach at dusk";
    }
    void lineSaysWhatItShows()
    {
        QFETCH(QString, note);
        QFETCH(QString, line);
        if (!note.isEmpty())
            TestNotes::Add(QStringLiteral("Trip"), 1, 7, note);
        TestNotes::Add(QStringLiteral("Trip"), 1, 2, QStringLiteral("another picture's note"));
        openView(1, 7);
        QCOMPARE(view()->LineText(), line);
        QVERIFY(view()->findChild<QLabel*>(QStringLiteral("lblShown"))->isVisible());
        QCOMPARE(view()->windowTitle(), QString()); // no caption of its own
        QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(view());
        QVERIFY(heard);
        QCOMPARE(heard->text(QAccessible::Description), line);
        // I hides the line and shows it again; a step keeps it as the user left it.
        press(QStringLiteral("I"));
        QVERIFY(!view()->LineShown());
        press(QStringLiteral("Left"));
        QVERIFY(!view()->LineShown());
        press(QStringLiteral("I"));
        QVERIFY(view()->LineShown());
        QCOMPARE(view()->LineText(), QStringLiteral("Trip, page 1, picture 2, 1999: another picture's note"));
    }

    // Shown as the notes screens show it (View Picture), the view has its one picture.
    void viewFromTheNotesDoesNotStep()
    {
        // The view behind a picture's photo data stays loaded, hidden, when the photo data closes.
        QTest::mouseClick(page()->Image1(7), Qt::RightButton);
        QVERIFY(Forms::IsLoaded(Screen::PhotoData));
        Forms::Unload(Screen::PhotoData);
        QVERIFY(Forms::IsLoaded(Screen::DisplayPicture) && !view()->isVisible());
        TestNotes::Add(QStringLiteral("Trip"), 1, 2, QStringLiteral("a note to browse"));
        auto* browser = Forms::Get<FrmPhotoDataMain>(Screen::PhotoDataMain);
        QVERIFY(browser);
        browser->Show();
        browser->txtAlbumName->setText(QStringLiteral("Trip"));
        browser->txtPageNr->setText(QStringLiteral("1"));
        browser->txtImageNr->setText(QStringLiteral("P1I2"));
        browser->cmdView_Click();
        QCOMPARE(Forms::Front(), static_cast<Form*>(view()));
        press(QStringLiteral("Right"));
        press(QStringLiteral("End"));
        QCOMPARE(session.pageNr, QStringLiteral("1"));
        QCOMPARE(view()->img1()->GetPicture().natural, sizeOf(1, 2));
        QCOMPARE(view()->LineText(), QString());
        QVERIFY(!view()->LineShown());
    }

    void helpNamesEveryKey_data()
    {
        QTest::addColumn<QString>("key");
        for (const char* key : {"Right, Page Down:", "Left, Page Up:", "Home, End:", "I:", "mouse wheel", "Esc:", "+, -:",
                                 "1:", "0:", "Ctrl with the mouse wheel", "double click", "Arrow keys, dragging:"})
            QTest::newRow(key) << QString::fromLatin1(key);
    }
    void helpNamesEveryKey()
    {
        QFETCH(QString, key);
        view()->mnuHelp_Click();
        auto* help = Forms::Get<HelpScreen>(Screen::DisplayPictureHelp0);
        QVERIFY(help && help->isVisible());
        QVERIFY2(help->txtHelp->toPlainText().contains(key), qPrintable(help->txtHelp->toPlainText()));
    }
};

QTEST_MAIN(TestViewStepping)
#include "tst_viewstepping.moc"
