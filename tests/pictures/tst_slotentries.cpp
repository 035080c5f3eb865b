// The slot entries of the thumbnail cache: each slot picture kept as it is
// shown, read back whole, ignored and written again when damaged or stale, and
// a folder that keeps within its budget.
#include "pictureloader.h"
#include "slotreader.h"
#include "slotreading.h"
#include "testpictures.h"
#include "thumbnailcache.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>

using SlotReader::ReadSlotPicture;

namespace {

const QSize Box(200, 200);

} // namespace

class TestSlotEntries : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        cache = ThumbnailCache(dir->filePath(QStringLiteral("cache/thumbnails")));
        picture = dir->filePath(QStringLiteral("P1I0.bmp"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(1200, 800, 3), picture, "JPEG"));
    }

    void slotEntryRoundTrip()
    {
        const SlotReader::Read first = ReadAndKeep(picture, Box, cache);
        const ThumbnailCache::FileFacts facts = *ThumbnailCache::Facts(picture);
        const QString entry = cache.SlotPath(facts, Box);
        QVERIFY2(QFile::exists(entry), qPrintable(entry));
        QCOMPARE(ModeOf(entry), mode_t(0600));
        QCOMPARE(QDir(cache.SlotFolder()).entryList(QDir::Files).size(), 1); // no temporary left
        // Read back exactly as it was shown, fitted to the slot, with nothing to decode or keep.
        const std::optional<ThumbnailCache::SlotPicture> kept = cache.FindSlot(facts, Box);
        QVERIFY(kept);
        QCOMPARE(kept->natural, QSize(1200, 800));
        QCOMPARE(kept->shown, first.result.picture.shown.convertToFormat(QImage::Format_RGB32));
        const SlotReader::Read again = ReadSlotPicture(picture, Box, 2.0, cache);
        QVERIFY(again.fromCache);
        QVERIFY(!again.keep);
        QCOMPARE(again.result.picture.shown.devicePixelRatio(), 2.0);
        QCOMPARE(again.result.picture.natural, QSize(1200, 800));
        // Another slot size is an entry of its own.
        QVERIFY(!cache.FindSlot(facts, QSize(201, 200)));
    }

    void keptAtThePaintedSize()
    {
        // The page paints the slot a pixel smaller each way than it was read: kept at that size,
        // scaled as the page would scale it.
        SlotReader::Read read = ReadSlotPicture(picture, Box, 1.0, cache);
        QVERIFY(read.keep);
        const QSize painted = read.result.picture.shown.size() - QSize(1, 1);
        read.keep->painted = painted;
        QVERIFY(SlotReader::Keep(cache, *read.keep));
        const SlotReader::Read again = ReadSlotPicture(picture, Box, 1.0, cache);
        QVERIFY(again.fromCache);
        QCOMPARE(again.result.picture.shown,
                 read.result.picture.shown.scaled(painted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32));
        QCOMPARE(again.result.picture.natural, QSize(1200, 800));
    }

    void readAgainRatherThanScaledUp()
    {
        // Kept for a small window, then painted larger: the entry is made from the picture read
        // again, never from the small one scaled up.
        SlotReader::Read read = ReadSlotPicture(picture, Box, 1.0, cache);
        const QImage direct = read.result.picture.shown;
        read.keep->painted = direct.size() / 2;
        QVERIFY(SlotReader::Keep(cache, *read.keep));
        SlotReader::Read small = ReadSlotPicture(picture, Box, 1.0, cache);
        QCOMPARE(small.result.picture.shown.size(), direct.size() / 2);
        const QSize larger = direct.size() - QSize(1, 1);
        QVERIFY(SlotReader::Keep(cache, {*small.facts, 0, {}, small.result.picture.natural, {}, Box,
                                         small.result.picture.shown, larger}));
        QCOMPARE(ReadSlotPicture(picture, Box, 1.0, cache).result.picture.shown,
                 direct.scaled(larger, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32));
    }

    void badSlotEntryIsIgnoredAndRedone_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("cut short") << QStringLiteral("truncated");
        QTest::newRow("a longer file") << QStringLiteral("longer");
        QTest::newRow("a garbled header") << QStringLiteral("header");
        QTest::newRow("garbled pixels") << QStringLiteral("pixels");
        QTest::newRow("empty") << QStringLiteral("empty");
        QTest::newRow("another file's entry") << QStringLiteral("other");
        QTest::newRow("the source replaced, same size and time") << QStringLiteral("replaced");
    }
    void badSlotEntryIsIgnoredAndRedone()
    {
        QFETCH(QString, damage);
        const SlotReader::Read first = ReadAndKeep(picture, Box, cache);
        const QString entry = cache.SlotPath(*ThumbnailCache::Facts(picture), Box);
        QByteArray bytes = TestPictures::ReadBytes(entry);
        QVERIFY(bytes.size() > 200 * 133 * 4);
        QImage expected = first.result.picture.shown;
        if (damage == QStringLiteral("truncated"))
            bytes.chop(1000);
        else if (damage == QStringLiteral("longer"))
            bytes += QByteArray(4, '\0');
        else if (damage == QStringLiteral("header"))
            bytes[33] = char(bytes[33] ^ 0x5a); // the picture's own width: only the header's hash tells
        else if (damage == QStringLiteral("pixels"))
            bytes[bytes.size() - 5000] = char(bytes[bytes.size() - 5000] ^ 0x5a);
        else if (damage == QStringLiteral("empty"))
            bytes.clear();
        if (damage == QStringLiteral("other")) {
            // Another picture's entry put in this one's place.
            const QString other = dir->filePath(QStringLiteral("other.jpg"));
            QVERIFY(TestPictures::Save(TestPictures::Photo(1200, 800, 9), other, "JPEG"));
            ReadAndKeep(other, Box, cache);
            QVERIFY(QFile::remove(entry));
            QVERIFY(QFile::copy(cache.SlotPath(*ThumbnailCache::Facts(other), Box), entry));
        } else if (damage == QStringLiteral("replaced")) {
            // Another picture of the same size and time renamed into the file's place.
            const ThumbnailCache::FileFacts before = *ThumbnailCache::Facts(picture);
            QImage red(1200, 800, QImage::Format_RGB888);
            red.fill(Qt::red);
            QByteArray redBytes;
            QBuffer buffer(&redBytes);
            buffer.open(QIODevice::WriteOnly);
            QVERIFY(red.save(&buffer, "JPEG"));
            redBytes = redBytes.leftJustified(qsizetype(before.size), '\0', true);
            const QString beside = picture + QStringLiteral(".new");
            QVERIFY(TestPictures::WriteBytes(beside, redBytes));
            SetMTime(beside, before.mtimeNs);
            QVERIFY(::rename(QFile::encodeName(beside).constData(), QFile::encodeName(picture).constData()) == 0);
            QCOMPARE(ThumbnailCache::Facts(picture)->size, before.size);
            QCOMPARE(ThumbnailCache::Facts(picture)->mtimeNs, before.mtimeNs);
            // Its thumbnail cannot tell the files apart (same size and time): only the slot entry's
            // inode can; both go, so the picture is read again.
            QVERIFY(QFile::remove(cache.ThumbnailPath(before, 256)));
            expected = Pictures::LoadPicture(picture, Box, 1.0).picture.shown;
        } else {
            QVERIFY(TestPictures::WriteBytes(entry, bytes));
        }
        const ThumbnailCache::FileFacts facts = *ThumbnailCache::Facts(picture);
        QVERIFY(!cache.FindSlot(facts, Box));
        QVERIFY(!cache.HasSlot(facts, Box) || damage == QStringLiteral("pixels")); // only its header is looked at
        const SlotReader::Read read = ReadSlotPicture(picture, Box, 1.0, cache);
        QVERIFY(!read.result.error.failed());
        QVERIFY(read.keep && !read.keep->slot.isNull()); // redone
        QVERIFY(TestPictures::Psnr(read.result.picture.shown, expected) >= 35.0);
        QVERIFY(SlotReader::Keep(cache, *read.keep));
        QVERIFY(cache.FindSlot(facts, Box));
    }

    void slotFolderStaysWithinItsBudget()
    {
        const ThumbnailCache::FileFacts facts = *ThumbnailCache::Facts(picture);
        QImage shown(150, 100, QImage::Format_RGB32);
        shown.fill(Qt::blue);
        const qint64 entryBytes = 150 * 100 * 4 + 104;
        ThumbnailCache::SetSlotBudget(3 * entryBytes);
        for (int side = 150; side < 160; ++side)
            QVERIFY(cache.StoreSlot(facts, QSize(side, side), shown, QSize(1500, 1000)));
        ThumbnailCache::SetSlotBudget(192ll << 20);
        qint64 total = 0;
        const QDir folder(cache.SlotFolder());
        for (const QFileInfo& file : folder.entryInfoList(QDir::Files))
            total += file.size();
        QVERIFY2(total <= 3 * entryBytes, qPrintable(QString::number(total)));
        QVERIFY(cache.FindSlot(facts, QSize(159, 159))); // the newest stays
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
    ThumbnailCache cache;
    QString picture;
};

QTEST_MAIN(TestSlotEntries)
#include "tst_slotentries.moc"
