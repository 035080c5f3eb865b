// The whole open album read ahead into the thumbnail cache, and page 1 of the album
// highlighted on the stored album list.
#include "forms.h"
#include "frmpage1.h"
#include "frmselectalbum1.h"
#include "pageloader.h"
#include "pagereadahead.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "slowquestion.h"
#include "testpictures.h"
#include "testprogram.h"
#include "thumbnailcache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <unistd.h>

namespace {

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

FrmSelectAlbum1* list()
{
    return Forms::Get<FrmSelectAlbum1>(Screen::SelectAlbum1);
}

// The side of the thumbnails kept for the slots.
int keptSize()
{
    const QSize box = SlotPixels();
    return ThumbnailCache::SizeFor(std::max(box.width(), box.height()));
}

bool inCache(const QString& path)
{
    const std::optional<ThumbnailCache::FileFacts> facts = ThumbnailCache::Facts(path);
    return facts && ThumbnailCache::Shared().Find(*facts, keptSize()).has_value();
}

// The files of `pages` of the album in `folder`, sorted.
QStringList filesOf(const QString& folder, std::initializer_list<int> pages)
{
    QStringList files;
    for (int p : pages)
        files << PageFiles(folder + QStringLiteral("/P"), QString::number(p));
    files.sort();
    return files;
}

// Lets the read-ahead look `checks` more times whether it may go on: time enough to start
// something, counted in its own steps rather than by the clock.
void letItCheck(int checks)
{
    const int until = PageReadAhead::Instance().Checks() + checks;
    QTRY_VERIFY_WITH_TIMEOUT(PageReadAhead::Instance().Checks() >= until, 20000);
}

} // namespace

class TestReadAhead : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram(false);
        cacheFolder = std::make_unique<QTemporaryDir>(); // not a subfolder of the program folder: no album
        ThumbnailCache::UseShared(cacheFolder->path());
        PageReadAhead& ahead = PageReadAhead::Instance();
        ahead.SetEnabled(true);
        ahead.SetIdleDelay(0);
    }
    void cleanup()
    {
        PageReadAhead::Instance().SetEnabled(false);
        PageReadAhead::Instance().WaitUntilIdle(20000); // nothing left reading this test's files
        ThumbnailCache::UseShared({});
        cacheFolder.reset();
        QUILL_END_PROGRAM(program);
    }

    void everyPageInTheCacheTheNextInMemory()
    {
        const QString album = makeAlbum(QStringLiteral("Trip"), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, keptSize() + 60);
        openAlbum(album);
        PageReadAhead& ahead = PageReadAhead::Instance();
        session.pageNr = QStringLiteral("5");
        LoadPage(*page(), QStringLiteral("5"));
        Forms::Hide(Screen::Pbar3);
        QVERIFY(ahead.WaitUntilIdle(60000));

        for (const QString& file : filesOf(album, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}))
            QVERIFY2(inCache(file), qPrintable(file));
        QStringList held = ahead.Held();
        held.sort();
        QCOMPARE(held, filesOf(album, {6})); // the next page; the previous one in the cache
        const QSize box = SlotPixels();
        QVERIFY(ahead.BytesHeld() <= 24LL * box.width() * box.height() * 4);
        QCOMPARE(QDir(album).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 120);

        // A page of the rest of the album then comes from the cache, and is read again into it
        // once its file has changed.
        const QString changed = album + QStringLiteral("/P9I0.bmp");
        QVERIFY(QFile::remove(changed));
        QVERIFY(TestPictures::Save(TestPictures::Photo(keptSize() + 60, (keptSize() + 60) * 2 / 3, 77), changed, "JPEG"));
        QVERIFY(!inCache(changed));
        session.pageNr = QStringLiteral("6");
        const int handedOver = ahead.PicturesHandedOver();
        LoadPage(*page(), QStringLiteral("6"));
        Forms::Hide(Screen::Pbar3);
        QVERIFY(ahead.WaitUntilIdle(60000));
        QVERIFY(inCache(changed));
        held = ahead.Held();
        held.sort();
        QCOMPARE(held, filesOf(album, {7}));
        // Read ahead into memory and into the cache at the size the page paints them at.
        QCOMPARE(ahead.PicturesHandedOver() - handedOver, 11); // one file's links changed its ctime
        QCOMPARE(slotsNotAtPaintedSize().join(u"; "), QString());
        LoadPage(*page(), QStringLiteral("9"));
        QCOMPARE(slotsNotAtPaintedSize().join(u"; "), QString());
        Forms::Hide(Screen::Pbar3);

        // The next run of the program reads its next page into memory again, and leaves
        // the rest of the album where it is: in the cache, unread.
        ahead.Forget();
        const int started = ahead.PicturesStarted();
        LoadPage(*page(), QStringLiteral("6"));
        Forms::Hide(Screen::Pbar3);
        QVERIFY(ahead.WaitUntilIdle(60000));
        QCOMPARE(ahead.PicturesStarted() - started, 12);
    }

    void withoutACacheBothNeighboursInMemory_data()
    {
        QTest::addColumn<bool>("cacheThere");
        QTest::newRow("no cache") << false;
        QTest::newRow("a cache that cannot be written") << true;
    }
    void withoutACacheBothNeighboursInMemory()
    {
        QFETCH(bool, cacheThere);
        // A file where a folder of the cache would be: nothing can be written under it.
        const QString blocked = cacheFolder->filePath(QStringLiteral("file"));
        QVERIFY(TestPictures::WriteBytes(blocked, "x"));
        ThumbnailCache::UseShared(cacheThere ? blocked + QStringLiteral("/thumbnails") : QString());
        const QString album = makeAlbum(QStringLiteral("Trip"), {1, 4, 5, 6}, keptSize() + 60);
        openAlbum(album);
        PageReadAhead& ahead = PageReadAhead::Instance();
        const int started = ahead.PicturesStarted();
        LoadPage(*page(), QStringLiteral("5"));
        Forms::Hide(Screen::Pbar3);
        QVERIFY(ahead.WaitUntilIdle(60000));
        QStringList held = ahead.Held();
        held.sort();
        QCOMPARE(held, filesOf(album, {4, 6}));
        QCOMPARE(ahead.PicturesStarted() - started, 24); // nothing read for a cache alone

        // Turned back, the page comes from memory.
        const int handedOver = ahead.PicturesHandedOver();
        LoadPage(*page(), QStringLiteral("4"));
        Forms::Hide(Screen::Pbar3);
        QCOMPARE(ahead.PicturesHandedOver() - handedOver, 12);
    }

    void notKeptAtThePaintedSizeOfAnotherWindowSize()
    {
        const QString album = makeAlbum(QStringLiteral("Trip"), {4, 5}, keptSize() + 60);
        openAlbum(album);
        PageReadAhead& ahead = PageReadAhead::Instance();
        LoadPage(*page(), QStringLiteral("4"));
        Forms::Hide(Screen::Pbar3);
        QList<QSize> oldSizes;
        for (std::int16_t s = 0; s <= 11; ++s)
            oldSizes << (QSizeF(page()->Image1(s)->size()) * page()->Image1(s)->devicePixelRatioF()).toSize();
        page()->resize(page()->size() * 3 / 4); // before anything is read ahead
        QVERIFY(ahead.WaitUntilIdle(60000));
        const int handedOver = ahead.PicturesHandedOver();
        LoadPage(*page(), QStringLiteral("5"));
        Forms::Hide(Screen::Pbar3);
        QCOMPARE(ahead.PicturesHandedOver() - handedOver, 12);
        for (std::int16_t s = 0; s <= 11; ++s)
            QVERIFY2(page()->Image1(s)->GetPicture().shown.size() != oldSizes[s], qPrintable(QString::number(s)));
    }

    void notHandedOverScaledForASmallerWindow()
    {
        // Read ahead at the painted sizes of a small window, which then grows: the next page is
        // not handed over from memory, to be shown scaled up.
        const QString album = makeAlbum(QStringLiteral("Trip"), {4, 5}, keptSize() + 60);
        openAlbum(album);
        const QSize full = page()->size();
        page()->resize(full * 3 / 4);
        PageReadAhead& ahead = PageReadAhead::Instance();
        LoadPage(*page(), QStringLiteral("4"));
        LoadPage(*page(), QStringLiteral("5"));
        LoadPage(*page(), QStringLiteral("4")); // every slot's painted size learned
        Forms::Hide(Screen::Pbar3);
        QVERIFY(ahead.WaitUntilIdle(60000));
        page()->resize(full);
        const int handedOver = ahead.PicturesHandedOver();
        LoadPage(*page(), QStringLiteral("5"));
        Forms::Hide(Screen::Pbar3);
        QCOMPARE(ahead.PicturesHandedOver() - handedOver, 0);
    }

    void memoryStaysBoundedWhileNothingMayRun()
    {
        // Pages turned while the read-ahead may not run (here: an editing mode, as when the
        // machine is busy): the cache entries waiting to be written do not pile up.
        const QString album = makeAlbum(QStringLiteral("Trip"), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, keptSize() + 60);
        openAlbum(album);
        page()->mnuDeletePicture_Click();
        for (int p = 1; p <= 10; ++p) {
            session.pageNr = QString::number(p);
            LoadPage(*page(), session.pageNr);
        }
        Forms::Hide(Screen::Pbar3);
        const QSize box = SlotPixels();
        const qint64 twoPages = 24LL * box.width() * box.height() * 4;
        const qint64 twoPagesOfEntries = 24LL * keptSize() * keptSize() * 4;
        QVERIFY2(PageReadAhead::Instance().BytesHeld() <= twoPages + twoPagesOfEntries,
                 qPrintable(QString::number(PageReadAhead::Instance().BytesHeld())));
        page()->cmdCancelAddDelete_Click();
    }

    void wholeAlbumGivesWayToTheUser()
    {
        // Page 2 empty, so that the read-ahead is soon past the neighbour pages.
        const QString album = makeAlbum(QStringLiteral("Trip"), {1, 3, 4, 5, 6, 7, 8, 9, 10}, 1000);
        openAlbum(album);
        PageReadAhead& ahead = PageReadAhead::Instance();
        const int started = ahead.PicturesStarted();
        LoadPage(*page(), QStringLiteral("1"));
        Forms::Hide(Screen::Pbar3);
        QTRY_VERIFY_WITH_TIMEOUT(ahead.PicturesStarted() - started > 13, 60000); // into page 3

        // A question that stays open while the read-ahead looks a few times whether to go on.
        QCOMPARE(PicturesStartedDuringAQuestion([] { letItCheck(4); }, program->user), 0);
        QVERIFY(ahead.Working());

        // A key: nothing new starts until the user has been idle again (here 300 ms).
        ahead.SetIdleDelay(300);
        const int afterQuestion = ahead.PicturesStarted();
        QTRY_VERIFY_WITH_TIMEOUT(ahead.PicturesStarted() > afterQuestion, 60000); // going again
        QTest::keyClick(page(), Qt::Key_Shift);
        QElapsedTimer sinceKey;
        sinceKey.start();
        const int atKey = ahead.PicturesStarted();
        QTRY_VERIFY_WITH_TIMEOUT(ahead.PicturesStarted() > atKey, 60000);
        QVERIFY2(sinceKey.elapsed() >= 250, qPrintable(QString::number(sinceKey.elapsed())));
        QVERIFY(ahead.Working());

        // An editing mode: nothing starts while it is open.
        ahead.SetIdleDelay(0);
        page()->mnuDeletePicture_Click();
        letItCheck(1); // the mode is seen at the next look (a click or key that opens it pauses at once)
        const int inMode = ahead.PicturesStarted();
        letItCheck(4);
        QCOMPARE(ahead.PicturesStarted(), inMode);
        page()->cmdCancelAddDelete_Click();

        // Then it goes on to the end of the album.
        QVERIFY(ahead.WaitUntilIdle(120000));
        for (const QString& file : filesOf(album, {1, 3, 4, 5, 6, 7, 8, 9, 10}))
            QVERIFY2(inCache(file), qPrintable(file));
        QStringList held = ahead.Held();
        held.sort();
        QCOMPARE(held, filesOf(album, {2})); // the only neighbour: its slots are empty
        QCOMPARE(ahead.BytesHeld(), 0);
    }

    void highlightedAlbumsFirstPageFromTheList()
    {
        const QString alpha = makeAlbum(QStringLiteral("Alpha"), {1}, keptSize() + 60);
        const QString beta = makeAlbum(QStringLiteral("Beta"), {1, 2}, keptSize() + 60);
        const auto stamps = [](const QString& folder) {
            QStringList entries;
            for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                                 QDir::NoDotAndDotDot))
                entries << f.fileName() + QString::number(f.lastModified().toMSecsSinceEpoch());
            return entries;
        };
        const QStringList betaBefore = stamps(beta);
        list()->Show();
        QCOMPARE(list()->lstAlbumList->currentItem()->text(), QStringLiteral("Alpha"));
        QTest::keyClick(list()->lstAlbumList, Qt::Key_Down);
        QCOMPARE(list()->lstAlbumList->currentItem()->text(), QStringLiteral("Beta"));
        PageReadAhead& ahead = PageReadAhead::Instance();
        QVERIFY(ahead.WaitUntilIdle(60000));

        for (const QString& file : filesOf(beta, {1}))
            QVERIFY2(inCache(file), qPrintable(file));
        for (const QString& file : filesOf(beta, {2}))
            QVERIFY2(!inCache(file), qPrintable(file)); // only the page that opens
        QVERIFY(ahead.Held().isEmpty());
        QCOMPARE(stamps(beta), betaBefore); // nothing written into the album folder

        QVERIFY(!inCache(alpha + QStringLiteral("/P1I0.bmp"))); // highlighted no longer than a moment

        // Opened, it writes nothing either.
        list()->cmdSelect_Click();
        QCOMPARE(page()->Image1(0)->Tag, QStringLiteral("1"));
        QCOMPARE(stamps(beta), betaBefore);

        // Nothing is read while the list is out of sight.
        list()->Show(); // Alpha highlighted
        list()->cmdBackToOptions_Click();
        const int started = ahead.PicturesStarted();
        letItCheck(4);
        QCOMPARE(ahead.PicturesStarted(), started);
        QVERIFY(!inCache(alpha + QStringLiteral("/P1I0.bmp")));
    }

private:
    // The slots whose picture the page would have to scale to paint it.
    static QStringList slotsNotAtPaintedSize()
    {
        QStringList wrong;
        for (std::int16_t s = 0; s <= 11; ++s) {
            const PictureBox* slot = page()->Image1(s);
            const QSize painted = (QSizeF(slot->size()) * slot->devicePixelRatioF()).toSize();
            if (slot->GetPicture().shown.size() != painted)
                wrong << QStringLiteral("%1: %2x%3 painted %4x%5")
                             .arg(s)
                             .arg(slot->GetPicture().shown.width())
                             .arg(slot->GetPicture().shown.height())
                             .arg(painted.width())
                             .arg(painted.height());
        }
        return wrong;
    }

    // An album of `pages`, twelve photo-like JPEGs `width` wide on each; every page's files
    // are hard links to the same twelve, but every name is a picture of its own to the cache.
    QString makeAlbum(const QString& name, std::initializer_list<int> pages, int width)
    {
        const QString folder = program->path(name);
        if (!QDir().mkpath(folder))
            return {};
        QStringList sources;
        for (int s = 0; s <= 11; ++s) {
            sources << program->path(QStringLiteral("source-%1-%2.jpg").arg(name).arg(s));
            if (!TestPictures::Save(TestPictures::Photo(width, width * 2 / 3, s), sources.last(), "JPEG"))
                return {};
        }
        for (int p : pages)
            for (int s = 0; s <= 11; ++s)
                ::link(QFile::encodeName(sources[(s + p) % 12]).constData(),
                       QFile::encodeName(folder + QStringLiteral("/P%1I%2.bmp").arg(p).arg(s)).constData());
        return folder;
    }

    void openAlbum(const QString& folder)
    {
        session.albumFilePrefix = folder + QStringLiteral("/P");
        session.albumFolderName = QFileInfo(folder).fileName();
        session.albumName = session.albumFolderName;
        page()->Show();
        // At its final size before a page is loaded: the slots' painted sizes hold from then on.
        QVERIFY(QTest::qWaitForWindowExposed(page()));
        QCoreApplication::processEvents();
    }

    std::unique_ptr<QTemporaryDir> cacheFolder;
};

QTEST_MAIN(TestReadAhead)
#include "tst_readahead.moc"
