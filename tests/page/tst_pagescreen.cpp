// The page screen: its menus, page navigation and clicks on the pictures.
#include "albumpaths.h"
#include "fitting.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "frmgetfile.h"
#include "frmpage1.h"
#include "frmselectalbum1.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "slotfocus.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

namespace {

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

FrmDisplayPicture* view()
{
    return Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
}

QStringList topLevel(const Form* form)
{
    QStringList names;
    for (QAction* a : form->menuBar()->actions())
        names << a->objectName() + u'=' + a->text();
    return names;
}

QStringList items(const Form* form, const char* menu)
{
    QStringList entries;
    for (QAction* a : form->findChild<QMenu*>(QLatin1String(menu))->actions())
        entries << (a->isSeparator() ? a->objectName() + QStringLiteral("=-")
                                     : a->objectName() + u'=' + a->text() + u' ' + a->shortcut().toString());
    return entries;
}

// A key as the user types it: to whatever has the keyboard.
void type(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : page();
    QTest::keyClick(to, Qt::Key(key), modifiers);
}

// Counts the paint events each watched widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(const QList<QWidget*>& widgets)
    {
        for (QWidget* w : widgets) {
            w->installEventFilter(this);
            counts[w] = 0;
        }
    }
    QHash<QObject*, int> counts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++counts[watched];
        return false;
    }
};

// Lets every posted event and pending repaint run.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

bool activate(Form* form)
{
    form->activateWindow();
    return QTest::qWaitForWindowActive(form);
}

} // namespace

class TestPageScreen : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram(false);
        QVERIFY(MakeAlbum(QStringLiteral("Holiday")));
        for (int p = 1; p <= 10; ++p)
            QVERIFY(TestPictures::Save(TestPictures::Photo(64 + p, 48, p),
                                       album + u'/' + AlbumPaths::SlotFileName(p, p % 12), "BMP"));
        session.albumName = QStringLiteral("Holiday");
        session.pageNr = QStringLiteral("1");
        page()->Show();
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void menuBarInItsOrder()
    {
        QCOMPARE(topLevel(page()),
                 (QStringList{QStringLiteral("mnuPD=<-- Page Down"), QStringLiteral("mnuSp97= "),
                              QStringLiteral("mnuFile=&File"), QStringLiteral("mnuSp96= "),
                              QStringLiteral("mnuEdit=&Edit"), QStringLiteral("mnuSep94= "),
                              QStringLiteral("mnuMenu=&Menu"), QStringLiteral("mnuSp3= "),
                              QStringLiteral("mnuHelp=&Help     "), QStringLiteral("mnuSp4= "),
                              QStringLiteral("mnuInst=(' Click any picture to see full size picture   ' )"),
                              QStringLiteral("mnuSp980= "), QStringLiteral("mnuPU=Page Up -->")}));
        QCOMPARE(items(page(), "mnuFile"),
                 (QStringList{QStringLiteral("mnuOptions=&Options Ctrl+O"), QStringLiteral("mnuspoo9=-"),
                              QStringLiteral("mnuop=Select &New Album Ctrl+N"), QStringLiteral("mnuSep98=-"),
                              QStringLiteral("mnuSaveAlbum=&Save Page to Disk Ctrl+S"), QStringLiteral("mnuSp98=-"),
                              QStringLiteral("mnuDeleteAlbum=&Delete Album from Disk Ctrl+L"),
                              QStringLiteral("mnuSep3=-"), QStringLiteral("mnuMin=&Minimize to the Taskbar Ctrl+M"),
                              QStringLiteral("mnuSep1=-"), QStringLiteral("mnuExit=E&xit Program Ctrl+X")}));
        QCOMPARE(items(page(), "mnuEdit"),
                 (QStringList{QStringLiteral("mnuAddPicture=&Add Picture from a Disk file Ctrl+A"),
                              QStringLiteral("mnuSep2=-"),
                              QStringLiteral("mnuDeletePicture=De&lete Picture from the Album Ctrl+D"),
                              QStringLiteral("mnuSep4=-"), QStringLiteral("mnuCopy=&Copy Picture to the Clipboard Ctrl+C"),
                              QStringLiteral("mnuSep5=-"),
                              QStringLiteral("mnuPaste=&Paste Picture from the Clipboard Ctrl+P")}));
        QCOMPARE(items(page(), "mnuMenu").size(), 10);
        QCOMPARE(page()->Caption(), QStringLiteral("Quillbook "));
        QVERIFY(page()->Menu(QStringLiteral("mnuP1"))->isChecked());
        QVERIFY(!page()->Menu(QStringLiteral("mnuP1"))->isEnabled());
        QVERIFY(!page()->Menu(QStringLiteral("mnuPD"))->isEnabled());
    }

    void emptySlotsOfANewAlbumAreNamedAtOnce()
    {
        // A new album's page is shown without loading a page: its slots are named all the same.
        Forms::Unload(Screen::Page1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        session.albumName = QStringLiteral("New Album");
        session.pageNr = QStringLiteral("1");
        page()->Show();
        for (int i = 0; i <= 11; ++i) {
            QAccessibleInterface* slot = QAccessible::queryAccessibleInterface(page()->Image1(i));
            QCOMPARE(slot->text(QAccessible::Name), QStringLiteral("Page 1, slot %1, empty").arg(i));
        }
    }

    void everyPageThroughTheMenu()
    {
        // Page 1's own item is disabled while page 1 shows: go round and end on it.
        for (int n : {2, 3, 4, 5, 6, 7, 8, 9, 10, 1}) {
            page()->Menu(QStringLiteral("mnuP%1").arg(n))->trigger();
            QCOMPARE(session.pageNr, QString::number(n));
            QCOMPARE(page()->Caption(), QStringLiteral("Album \"Holiday -- Page %1\"").arg(n));
            for (int m = 1; m <= 10; ++m) {
                QAction* item = page()->Menu(QStringLiteral("mnuP%1").arg(m));
                QCOMPARE(item->isChecked(), m == n);
                QCOMPARE(item->isEnabled(), m != n);
            }
            QCOMPARE(page()->Menu(QStringLiteral("mnuPU"))->isEnabled(), n != 10);
            QCOMPARE(page()->Menu(QStringLiteral("mnuPD"))->isEnabled(), n != 1);
            for (int s = 0; s <= 11; ++s) {
                QCOMPARE(page()->Label1(s)->text(), QStringLiteral("P%1I%2").arg(n).arg(s));
                QCOMPARE(page()->Image1(s)->Tag, s == n % 12 ? QStringLiteral("1") : QStringLiteral("0"));
            }
            QCOMPARE(session.albumChanged, 0);
            QVERIFY(!Forms::Get(Screen::Pbar3)->isVisible());
        }
    }

    void aLoadPaintsThePageOnce_data()
    {
        QTest::addColumn<bool>("fromTheList");
        QTest::newRow("page turn") << false;
        QTest::newRow("album opened from the list") << true;
    }
    void aLoadPaintsThePageOnce()
    {
        // The page is painted after all twelve slots hold their new pictures, not before or again.
        QFETCH(bool, fromTheList);
        QVERIFY(QTest::qWaitForWindowExposed(page()));
        auto* list = Forms::Get<FrmSelectAlbum1>(Screen::SelectAlbum1);
        if (fromTheList) {
            list->Show();
            list->lstAlbumList->setCurrentRow(0);
        }
        settle();
        QList<QWidget*> watched{page()};
        for (int s = 0; s <= 11; ++s)
            watched << page()->Image1(s);
        PaintCounter paints(watched);
        if (fromTheList)
            list->cmdSelect_Click();
        else
            page()->Menu(QStringLiteral("mnuP2"))->trigger();
        settle();
        QCOMPARE(session.pageNr, fromTheList ? QStringLiteral("1") : QStringLiteral("2"));
        for (QWidget* w : watched) {
            const int n = paints.counts.value(w);
            QVERIFY2(n == 1, qPrintable(w->objectName() + QStringLiteral(" painted %1 times").arg(n)));
        }
    }

    void pageUpAndDownStopAtTheEnds()
    {
        page()->mnuPD_Click(); // page 1: nothing
        QCOMPARE(session.pageNr, QStringLiteral("1"));
        QCOMPARE(page()->Caption(), QStringLiteral("Quillbook "));
        for (int n = 2; n <= 10; ++n) {
            page()->Menu(QStringLiteral("mnuPU"))->trigger();
            QCOMPARE(session.pageNr, QString::number(n));
        }
        page()->mnuPU_Click(); // page 10: nothing
        QCOMPARE(session.pageNr, QStringLiteral("10"));
        page()->Menu(QStringLiteral("mnuPD"))->trigger();
        QCOMPARE(session.pageNr, QStringLiteral("9"));
        QCOMPARE(page()->Label1(11)->text(), QStringLiteral("P9I11"));
    }

    void leftClickOpensTheFittedView()
    {
        page()->Menu(QStringLiteral("mnuP3"))->trigger();
        QTest::mouseClick(page()->Image1(3), Qt::LeftButton);
        QVERIFY(view()->isVisible());
        QCOMPARE(session.imageNr, 3);
        QCOMPARE(session.viewFromPage, 1);
        QCOMPARE(session.pageFilePrefix, QStringLiteral("P1I"));
        PictureBox* img1 = view()->img1();
        QCOMPARE(img1->GetPicture().natural, QSize(67, 48));
        QVERIFY(img1->Stretch());
        // Wide: the full width of the view, centred down.
        QCOMPARE(img1->Width(), 97.5f);
        QCOMPARE(img1->Left(), 1.25f);
        QVERIFY(qAbs(img1->Top() - (100.0f - img1->Height()) / 2.0f) < 0.001f);
        // The view shows the file again, not the slot's small copy.
        QCOMPARE(img1->GetPicture().sourcePath, album + QStringLiteral("/P3I3.bmp"));

        // Back returns to the page screen and unloads the view.
        view()->Menu(QStringLiteral("mnuBack"))->trigger();
        QVERIFY(!Forms::IsLoaded(Screen::DisplayPicture));
        QVERIFY(page()->isVisible());
        QCOMPARE(Forms::Front(), page());
    }

    void rightClickOnANewAlbumIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("new album") << QStringLiteral("New Album");
        QTest::newRow("no album name") << QString();
    }
    void rightClickOnANewAlbumIsRefused()
    {
        QFETCH(QString, name);
        session.albumName = name;
        page()->SetCaption(AlbumPaths::PageCaption(name, QStringLiteral("1")));
        program->user.answerButton(vbOK);
        QTest::mouseClick(page()->Image1(4), Qt::RightButton);
        QCOMPARE(program->user.asked.size(), 1);
        const Question q = program->user.asked.first();
        QCOMPARE(q.prompt, QStringLiteral("You may not look at, edit or store Photo Data in a New Album\r\n"
                                          "      This option may only be used on a stored Album.\r\n"
                                          "Save the Page, go to the Option page and select the album as a stored album"));
        QCOMPARE(q.style, int(vbOKOnly));
        QCOMPARE(q.title, QStringLiteral("Quillbook"));
        QVERIFY(!Forms::IsLoaded(Screen::DisplayPicture) || !view()->isVisible());
    }

    void rightClickOnAStoredAlbumPreparesTheView()
    {
        page()->Menu(QStringLiteral("mnuP2"))->trigger();
        QTest::mouseClick(page()->Image1(2), Qt::RightButton);
        QVERIFY(program->user.asked.isEmpty());
        QVERIFY(view()->isVisible());
        QCOMPARE(session.imageNr, 2);
        QCOMPARE(view()->img1()->GetPicture().natural, QSize(66, 48));
    }

    void middleButtonOnlyResetsThreeVariables()
    {
        session.pageFilePrefix = QStringLiteral("P7I");
        session.viewFromPage = 0;
        session.deleteCancelled = 1;
        session.imageNr = 9;
        QTest::mouseClick(page()->Image1(5), Qt::MiddleButton);
        QCOMPARE(session.pageFilePrefix, QStringLiteral("P1I"));
        QCOMPARE(session.viewFromPage, 1);
        QCOMPARE(session.deleteCancelled, 0);
        QCOMPARE(session.imageNr, 5); // the slot clicked is noted whatever the button
        QVERIFY(!Forms::IsLoaded(Screen::DisplayPicture));
        QCOMPARE(session.pageNr, QStringLiteral("1"));
        QVERIFY(program->user.asked.isEmpty());
    }

    void keysReachTheSlotsAndMoveTheRing()
    {
        page()->mnuP_Click(1);
        QVERIFY(activate(page()));
        SlotFocus* keys = page()->SlotKeys();
        QCOMPARE(keys->Focused(), -1); // the page has the keyboard first
        QVERIFY(keys->Ring()->isHidden());
        type(Qt::Key_Tab);
        QCOMPARE(keys->Focused(), 0);
        // (key, slot after it): across, down, back, at the left edge, up, at the top edge.
        const QList<std::pair<int, int>> moves{{Qt::Key_Right, 1}, {Qt::Key_Down, 5}, {Qt::Key_Left, 4},
                                               {Qt::Key_Left, 4},  {Qt::Key_Up, 0},   {Qt::Key_Up, 0},
                                               {Qt::Key_Tab, 1},   {Qt::Key_Down, 5}, {Qt::Key_Down, 9},
                                               {Qt::Key_Down, 9},  {Qt::Key_Right, 10}, {Qt::Key_Right, 11},
                                               {Qt::Key_Right, 11}};
        for (const auto& [key, slot] : moves) {
            type(key);
            QCOMPARE(keys->Focused(), slot);
            QVERIFY(keys->Ring()->isVisible());
            const QRectF ring = page()->Placed(keys->Ring());
            QVERIFY(ring.contains(QRectF(Fitting::SlotLeft(slot), Fitting::SlotTop(slot), Fitting::SlotSide,
                                         Fitting::SlotSide)));
            QVERIFY(ring.width() < Fitting::SlotSide + 10);
        }
        QCOMPARE(session.pageNr, QStringLiteral("1")); // arrows on a slot never turn the page
        type(Qt::Key_Tab); // past the last slot: the page has the keyboard again
        QCOMPARE(keys->Focused(), -1);
        QVERIFY(keys->Ring()->isHidden());
        type(Qt::Key_Right);
        QCOMPARE(session.pageNr, QStringLiteral("2"));
        type(Qt::Key_Left);
        QCOMPARE(session.pageNr, QStringLiteral("1"));
        type(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(keys->Focused(), 11);
        QVERIFY(program->user.asked.isEmpty());
    }

    void keysOnASlotPressItLikeTheMouse_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("right"); // as the right button: the photo data, refused on a new album
        QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << false;
        QTest::newRow("Enter") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << false;
        QTest::newRow("Space") << int(Qt::Key_Space) << Qt::KeyboardModifiers() << false;
        QTest::newRow("Menu") << int(Qt::Key_Menu) << Qt::KeyboardModifiers() << true;
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << Qt::KeyboardModifiers(Qt::ShiftModifier) << true;
    }
    void keysOnASlotPressItLikeTheMouse()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, right);
        page()->mnuP_Click(3);
        session.albumName = QStringLiteral("New Album");
        QVERIFY(activate(page()));
        for (int i = 0; i < 4; ++i)
            type(Qt::Key_Tab);
        QCOMPARE(page()->SlotKeys()->Focused(), 3);
        if (right)
            program->user.answerButton(vbOK);
        type(key, modifiers);
        QCOMPARE(session.imageNr, 3);
        QCOMPARE(session.viewFromPage, 1);
        QCOMPARE(program->user.asked.size(), right ? 1 : 0);
        if (right) {
            QVERIFY(program->user.asked.first().prompt.startsWith(
                QStringLiteral("You may not look at, edit or store Photo Data in a New Album")));
            return;
        }
        QVERIFY(view()->isVisible());
        QCOMPARE(view()->img1()->GetPicture().sourcePath, album + QStringLiteral("/P3I3.bmp"));
        // Back: the keyboard is on the same slot again.
        view()->Menu(QStringLiteral("mnuBack"))->trigger();
        QVERIFY(activate(page()));
        QTRY_COMPARE(page()->SlotKeys()->Focused(), 3);
        QVERIFY(page()->SlotKeys()->Ring()->isVisible());
    }

    void returnOnASlotInAnEditingModeDoesTheMode()
    {
        page()->mnuP_Click(5);
        QVERIFY(activate(page()));
        page()->mnuCopy_Click();
        for (int i = 0; i < 6; ++i)
            type(Qt::Key_Tab);
        QCOMPARE(page()->SlotKeys()->Focused(), 5);
        type(Qt::Key_Return);
        QCOMPARE(page()->editMode, QStringLiteral("0"));
        QCOMPARE(QImage::fromData(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png"))).size(),
                 QSize(69, 48));
        QVERIFY(!Forms::IsLoaded(Screen::DisplayPicture) || !view()->isVisible());
    }

    // Return adds or pastes into the slot with the ring; the ring stays there, so the Menu key
    // then asks for that slot's notes.
    void ringStaysOnTheSlotReturnFilled_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::newRow("add from a file") << true;
        QTest::newRow("paste") << false;
    }
    void ringStaysOnTheSlotReturnFilled()
    {
        QFETCH(bool, fromFile);
        page()->mnuP_Click(5);
        session.albumName = QStringLiteral("New Album");
        QVERIFY(activate(page()));
        const QImage picture = TestPictures::Photo(80, 40, 7);
        if (fromFile) {
            const QString file = program->path(QStringLiteral("beach.png"));
            QVERIFY(TestPictures::Save(picture, file, "PNG"));
            program->user.answerModal([file](Form& f) {
                auto& chooser = static_cast<FrmGetFile&>(f);
                chooser.txtFileName->setText(file);
                chooser.cmdOK->click();
            });
            page()->mnuAddPicture_Click();
            QVERIFY(activate(page()));
        } else {
            auto* data = new QMimeData;
            data->setImageData(picture);
            QGuiApplication::clipboard()->setMimeData(data);
            page()->mnuPaste_Click();
        }
        for (int i = 0; i < 3; ++i)
            type(Qt::Key_Tab);
        QCOMPARE(page()->SlotKeys()->Focused(), 2);
        type(Qt::Key_Return);
        QCOMPARE(page()->Image1(2)->Tag, QStringLiteral("1"));
        QCOMPARE(page()->editMode, QStringLiteral("0"));
        QCOMPARE(page()->SlotKeys()->Focused(), 2);
        QVERIFY(page()->Placed(page()->SlotKeys()->Ring()).contains(
            QRectF(Fitting::SlotLeft(2), Fitting::SlotTop(2), Fitting::SlotSide, Fitting::SlotSide)));
        program->user.answerButton(vbOK); // a new album keeps no notes
        type(Qt::Key_Menu);
        QCOMPARE(session.imageNr, 2);
    }

    void escAsksTheExitQuestion()
    {
        program->user.answerButton(vbNo);
        QTest::keyClick(page(), Qt::Key_Escape);
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.first().title, QStringLiteral("WARNING"));
        QVERIFY(page()->isVisible());
        QCOMPARE(program->user.programEnds, 0);
    }

    void optionsMinimizeAndSelectNewAlbum()
    {
        page()->Menu(QStringLiteral("mnuP4"))->trigger();
        page()->Menu(QStringLiteral("mnuOptions"))->trigger();
        QVERIFY(Forms::Get(Screen::Option1)->isVisible());
        // The options screen's activation discards the page screen.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Forms::IsLoaded(Screen::Page1));

        session.albumName = QStringLiteral("Holiday");
        page()->Show();
        page()->Menu(QStringLiteral("mnuMin"))->trigger();
        QVERIFY(page()->isMinimized());
        QVERIFY(!Forms::Get(Screen::Option1)->isVisible());

        page()->Menu(QStringLiteral("mnuop"))->trigger();
        QVERIFY(session.albumName.isEmpty());
        QVERIFY(!Forms::IsLoaded(Screen::Page1));
        QVERIFY(Forms::Get(Screen::SelectAlbum1)->isVisible());
    }

};

QTEST_MAIN(TestPageScreen)
#include "tst_pagescreen.moc"
