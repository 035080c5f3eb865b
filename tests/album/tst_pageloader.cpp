// Loading a page of an album into the page screen, with progress.
#include "fileops.h"
#include "fitting.h"
#include "forms.h"
#include "frmcover.h"
#include "frmoption1.h"
#include "frmpage1.h"
#include "frmpbar3.h"
#include "memoryprobe.h"
#include "pageloader.h"
#include "pagereadahead.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "slowquestion.h"
#include "startup.h"
#include "testpictures.h"
#include "testprogram.h"
#include "thumbnailcache.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>

namespace {

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

FrmPbar3* bar()
{
    return Forms::Get<FrmPbar3>(Screen::Pbar3);
}

const QList<int> FullRun{0, 8, 16, 24, 33, 41, 50, 58, 66, 75, 83, 91, 100};

} // namespace

class TestPageLoader : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram(false);
        QVERIFY(MakeAlbum(QStringLiteral("Trip")));
        session.albumFilePrefix = album + QStringLiteral("/P");
        session.albumFolderName = QStringLiteral("Trip");
        page()->Show();
        QObject::connect(bar()->pbr2, &QProgressBar::valueChanged, [this](int v) { progress << v; });
    }
    void cleanup()
    {
        PageReadAhead::Instance().SetEnabled(false);
        PageReadAhead::Instance().WaitUntilIdle(20000); // nothing left reading this test's files
        ThumbnailCache::UseShared({});
        progress.clear();
        QUILL_END_PROGRAM(program);
    }

    void pageWithoutFilesShowsPlaceholders()
    {
        progress << bar()->pbr2->value();
        LoadPage(*page(), QStringLiteral("1"));
        QCOMPARE(progress, FullRun);
        QCOMPARE(bar()->lblADone->text(), QStringLiteral("100%"));
        QCOMPARE(bar()->lblTitle->text(), QStringLiteral("Loading"));
        QCOMPARE(bar()->lblAName->text(), QStringLiteral("Trip"));
        QVERIFY(bar()->isVisible()); // the caller hides it
        for (int s = 0; s <= 11; ++s) {
            PictureBox* slot = page()->Image1(s);
            QCOMPARE(slot->Tag, QStringLiteral("0"));
            QCOMPARE(slot->GetPicture().natural, QSize(111, 111));
            QCOMPARE(slot->Left(), Fitting::SlotLeft(s));
            QCOMPARE(slot->Top(), Fitting::SlotTop(s));
            QCOMPARE(slot->Width(), 83.25f);
        }
        QVERIFY(program->user.asked.isEmpty());
    }

    void picturesAreFittedAndTagged()
    {
        QVERIFY(TestPictures::Save(TestPictures::Photo(640, 480), album + QStringLiteral("/P1I5.bmp"), "JPEG"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(300, 600), album + QStringLiteral("/P1I6.bmp"), "BMP"));
        QVERIFY(TestPictures::WriteBytes(album + QStringLiteral("/P1I7.bmp"), "not a picture at all"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(50, 50), album + QStringLiteral("/P1I10.bmp"), "PNG"));
        LoadPage(*page(), QStringLiteral("1"));
        PictureBox* wide = page()->Image1(5);
        QCOMPARE(wide->Tag, QStringLiteral("1"));
        QCOMPARE(wide->GetPicture().natural, QSize(640, 480));
        QCOMPARE(wide->Width(), 83.25f);
        QCOMPARE(wide->Height(), 62.4375f);
        QCOMPARE(wide->Top(), 136.40625f);
        PictureBox* tall = page()->Image1(6);
        QCOMPARE(tall->Tag, QStringLiteral("1"));
        QCOMPARE(tall->Height(), 83.25f);
        QCOMPARE(tall->Width(), 41.625f);
        QCOMPARE(page()->Image1(7)->Tag, QStringLiteral("0")); // not a picture: placeholder, no message
        QCOMPARE(page()->Image1(7)->GetPicture().natural, QSize(111, 111));
        QCOMPARE(page()->Image1(10)->Tag, QStringLiteral("1"));
        QCOMPARE(page()->Image1(10)->Width(), 83.25f);
        QCOMPARE(page()->Image1(0)->Tag, QStringLiteral("0"));
        QVERIFY(program->user.asked.isEmpty());
    }

    void nextPageClearsSlotsItLacks()
    {
        QVERIFY(TestPictures::Save(TestPictures::Photo(800, 200), album + QStringLiteral("/P1I3.bmp"), "BMP"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(800, 200), album + QStringLiteral("/P1I4.bmp"), "BMP"));
        QVERIFY(TestPictures::WriteBytes(album + QStringLiteral("/P2I3.bmp"), "BM corrupt")); // slot 4: no file
        LoadPage(*page(), QStringLiteral("1"));
        QCOMPARE(page()->Image1(3)->Tag, QStringLiteral("1"));
        QVERIFY(page()->Image1(3)->Height() < 83.25f);
        session.pageNr = QStringLiteral("2");
        LoadPage(*page(), QStringLiteral("2"));
        for (int s : {3, 4}) {
            QCOMPARE(page()->Image1(s)->Tag, QStringLiteral("0"));
            QCOMPARE(page()->Image1(s)->GetPicture().natural, QSize(111, 111)); // the placeholder, not page 1's picture
            QCOMPARE(page()->Image1(s)->Height(), 83.25f);
            QCOMPARE(page()->Image1(s)->Top(), Fitting::SlotTop(s));
        }
        QCOMPARE(bar()->lblSloc->text(), QStringLiteral("Page 2"));
    }

    void progressLabelFollowsPageNrNotTheArgument()
    {
        session.pageNr = QStringLiteral("7");
        LoadPage(*page(), QStringLiteral("3"));
        QCOMPARE(bar()->lblSloc->text(), QStringLiteral("Page 7"));
    }

    void missingPlaceholderFile()
    {
        QVERIFY(TestPictures::Save(TestPictures::Photo(640, 480), album + QStringLiteral("/P1I0.bmp"), "BMP"));
        LoadPage(*page(), QStringLiteral("1"));
        QCOMPARE(page()->Image1(0)->GetPicture().natural, QSize(640, 480));
        QVERIFY(QFile::remove(program->path(QStringLiteral("Empty.bmp"))));
        // Slot 0's file is now broken: never the picture it showed before.
        QVERIFY(TestPictures::WriteBytes(album + QStringLiteral("/P1I0.bmp"), "broken"));
        LoadPage(*page(), QStringLiteral("1"));
        for (int s : {0, 1}) {
            QCOMPARE(page()->Image1(s)->Tag, QStringLiteral("0"));
            QCOMPARE(page()->Image1(s)->GetPicture().natural, QSize(111, 111)); // drawn by the program
        }
        QVERIFY(page()->Image1(0)->Problem.contains(album + QStringLiteral("/P1I0.bmp")));
        QVERIFY(page()->Image1(1)->Problem.isEmpty()); // simply empty
    }

    void pageOfHostileFilesInBoundedMemory()
    {
        // Every slot holds a hostile file; the page loads, in bounded memory, and says what it could not show.
        QStringList hostile = QDir(QStringLiteral(QUILL_CORPUS_DIR)).entryList({QStringLiteral("*.*")}, QDir::Files);
        hostile.removeAll(QStringLiteral("README.md"));
        QVERIFY(hostile.size() >= 8);
        for (int s = 0; s <= 11; ++s)
            QVERIFY(QFile::copy(QStringLiteral(QUILL_CORPUS_DIR) + u'/' + hostile[s % hostile.size()],
                                album + QStringLiteral("/P1I%1.bmp").arg(s)));
        MemoryProbe::ResetPeak();
        const qint64 before = MemoryProbe::ResidentKb();
        LoadPage(*page(), QStringLiteral("1"));
        QVERIFY(MemoryProbe::PeakResidentKb() - before < 400 * 1024);
        for (int s = 0; s <= 11; ++s)
            QVERIFY(page()->Image1(s)->Tag == QStringLiteral("1") || !page()->Image1(s)->Problem.isEmpty());
    }

    void neighbourReadAheadIsNeverStale()
    {
        ThumbnailCache::UseShared(program->path(QStringLiteral("thumbnails")));
        for (int s = 0; s <= 11; ++s)
            QVERIFY(TestPictures::Save(TestPictures::Photo(900, 600, s), album + QStringLiteral("/P2I%1.bmp").arg(s), "JPEG"));
        PageReadAhead& ahead = PageReadAhead::Instance();
        ahead.SetEnabled(true);
        ahead.SetIdleDelay(0);
        const int started = ahead.PicturesStarted(), handed = ahead.PicturesHandedOver();
        LoadPage(*page(), QStringLiteral("1"));
        Forms::Hide(Screen::Pbar3);
        QVERIFY(ahead.WaitUntilIdle(60000));
        QCOMPARE(ahead.PicturesStarted() - started, 12); // page 2; page 1 has no page before it

        // Saved over as the page writer does (a new file renamed into place), and deleted.
        QImage red(900, 600, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(TestPictures::Save(red, album + QStringLiteral("/new.bmp"), "BMP"));
        QVERIFY(::rename(QFile::encodeName(album + QStringLiteral("/new.bmp")).constData(),
                         QFile::encodeName(album + QStringLiteral("/P2I3.bmp")).constData()) == 0);
        QVERIFY(QFile::remove(album + QStringLiteral("/P2I4.bmp")));
        progress.clear();
        session.pageNr = QStringLiteral("2");
        LoadPage(*page(), QStringLiteral("2"));
        QCOMPARE(ahead.PicturesHandedOver() - handed, 10);
        QCOMPARE(progress, FullRun); // the progress screen runs however fast the page comes
        QCOMPARE(page()->Image1(0)->GetPicture().natural, QSize(900, 600));
        QCOMPARE(QColor(page()->Image1(3)->GetPicture().shown.pixel(20, 20)), QColor(Qt::red));
        QCOMPARE(page()->Image1(4)->Tag, QStringLiteral("0"));
        QCOMPARE(page()->Image1(4)->GetPicture().natural, QSize(111, 111));
        QVERIFY(QDir(album).entryList(QDir::Files).size() == 11); // nothing written beside the pictures
    }

    void readAheadGivesWayToTheUser()
    {
        for (int s = 0; s <= 11; ++s)
            QVERIFY(TestPictures::Save(TestPictures::Photo(300, 200, s), album + QStringLiteral("/P2I%1.bmp").arg(s), "JPEG"));
        PageReadAhead& ahead = PageReadAhead::Instance();
        ahead.SetEnabled(true);
        ahead.SetIdleDelay(0);
        const int started = ahead.PicturesStarted();
        LoadPage(*page(), QStringLiteral("1"));
        Forms::Hide(Screen::Pbar3);

        // A question that stays open a while, as a user takes time to answer.
        QCOMPARE(PicturesStartedDuringAQuestion([] { QTest::qWait(300); }, program->user), 0);

        page()->mnuDeletePicture_Click();
        QTest::qWait(300);
        QCOMPARE(ahead.PicturesStarted() - started, 0);
        page()->cmdCancelAddDelete_Click();
        QVERIFY(ahead.WaitUntilIdle(60000));
        QCOMPARE(ahead.PicturesStarted() - started, 12);

        // A key pressed while page 3 is being read ahead: nothing more starts.
        for (int s = 0; s <= 11; ++s)
            QVERIFY(TestPictures::Save(TestPictures::Photo(2400, 1600, s), album + QStringLiteral("/P3I%1.bmp").arg(s), "JPEG"));
        ahead.SetIdleDelay(1000);
        session.pageNr = QStringLiteral("2");
        LoadPage(*page(), QStringLiteral("2"));
        Forms::Hide(Screen::Pbar3);
        const int beforePage3 = ahead.PicturesStarted();
        QTRY_VERIFY_WITH_TIMEOUT(ahead.PicturesStarted() > beforePage3, 60000);
        QTest::keyClick(page(), Qt::Key_Shift);
        const int atKey = ahead.PicturesStarted();
        QTest::qWait(300);
        QVERIFY2(ahead.PicturesStarted() - atKey <= 2, qPrintable(QString::number(ahead.PicturesStarted() - atKey)));
        QVERIFY(ahead.Working());
    }

    void unreadablePictureIsNotAnEmptySlot()
    {
        QVERIFY(TestPictures::WriteBytes(album + QStringLiteral("/P1I4.bmp"), "BM not really"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(40, 30), album + QStringLiteral("/P1I2.bmp"), "BMP"));
        session.albumName = QStringLiteral("Trip");
        session.pageNr = QStringLiteral("1");
        LoadPage(*page(), QStringLiteral("1"));
        // Screen readers hear every slot for what it is.
        QTRY_COMPARE(page()->Image1(2)->accessibleName(), QStringLiteral("Page 1, picture 2"));
        QCOMPARE(page()->Image1(2)->accessibleDescription(), QStringLiteral("P1I2.bmp"));
        QCOMPARE(page()->Image1(3)->accessibleName(), QStringLiteral("Page 1, slot 3, empty"));
        QCOMPARE(page()->Image1(4)->accessibleName(), QStringLiteral("Page 1, picture 4, cannot be shown"));
        QCOMPARE(QAccessible::queryAccessibleInterface(page()->Image1(3))->role(), QAccessible::Graphic);
        PictureBox* slot = page()->Image1(4);
        QCOMPARE(slot->Tag, QStringLiteral("0"));
        QVERIFY(slot->GetPicture().shown.pixel(5, 55) != page()->Image1(3)->GetPicture().shown.pixel(5, 55));
        program->user.answerButton(vbOK);
        QTest::mouseClick(slot, Qt::LeftButton);
        QCOMPARE(program->user.asked.size(), 1);
        QVERIFY(program->user.asked[0].prompt.contains(album + QStringLiteral("/P1I4.bmp")));
        QVERIFY(!Forms::IsLoaded(Screen::DisplayPicture) || !Forms::Get(Screen::DisplayPicture)->isVisible());
    }

    void loadingTwiceWritesNothing()
    {
        QVERIFY(TestPictures::Save(TestPictures::Photo(64, 48), album + QStringLiteral("/P1I1.bmp"), "BMP"));
        const QByteArray before = QFile(album + QStringLiteral("/P1I1.bmp")).exists() ? QByteArray("x") : QByteArray();
        LoadPage(*page(), QStringLiteral("1"));
        LoadPage(*page(), QStringLiteral("1"));
        QCOMPARE(QDir(album).entryList(QDir::Files), QStringList{QStringLiteral("P1I1.bmp")});
        QCOMPARE(page()->Image1(1)->Tag, QStringLiteral("1"));
        QVERIFY(!before.isEmpty());
    }

    void wrenAlbumFromTheOptionsScreen()
    {
        program.reset(); // a fresh session: start-up takes its own program folder
        program = std::make_unique<TestProgram>();
        program->addEmptyPicture();
        program->addSuppliedPictures();
        StartUp();
        Forms::Get<FrmCover>(Screen::Cover)->tmrCover_Timer();
        auto* options = Forms::Get<FrmOption1>(Screen::Option1);
        QTest::mouseDClick(options->optDefault, Qt::LeftButton);
        QCOMPARE(session.albumName, QStringLiteral("Wren Photo Album"));
        QCOMPARE(session.albumFolderName, QStringLiteral("Wren Photo Album"));
        QVERIFY(page()->isVisible());
        QVERIFY(!bar()->isVisible());
        QVERIFY(!options->isVisible());
        QCOMPARE(Files::CurDir(), program->path(QStringLiteral("Wren Photo Album")));
        QCOMPARE(page()->Image1(0)->Tag, QStringLiteral("1"));
        QCOMPARE(page()->Image1(5)->Tag, QStringLiteral("1"));
        QCOMPARE(page()->Image1(5)->GetPicture().natural, QSize(16, 16));
        QVERIFY(program->user.asked.isEmpty());
    }

    void repeatedLoadsGiveTheSamePage()
    {
        // The pictures are decoded on two threads; every load must see every file.
        for (int s = 0; s <= 11; ++s)
            QVERIFY(QFile::copy(MadeAsset(QStringLiteral("P1I%1.bmp").arg(s)),
                                album + QStringLiteral("/P1I%1.bmp").arg(s)));
        for (int round = 0; round < 20; ++round) {
            LoadPage(*page(), QStringLiteral("1"));
            for (int s = 0; s <= 11; ++s)
                QVERIFY2(page()->Image1(s)->Tag == QStringLiteral("1"), qPrintable(QString::number(round)));
        }
    }

    void wrenAlbumMissingLoadsNothing()
    {
        session.albumName.clear();
        ShowWrenAlbum(*page());
        QVERIFY(session.albumName.isEmpty());
        QVERIFY(!bar()->isVisible());
        for (int s = 0; s <= 11; ++s)
            QCOMPARE(page()->Image1(s)->Tag, QStringLiteral("0"));
    }

private:
    QList<int> progress;
};

QTEST_MAIN(TestPageLoader)
#include "tst_pageloader.moc"
