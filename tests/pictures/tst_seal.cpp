// The decoder helper's seal: what an exploited decoder would be after ends the helper or is
// refused (no file opened, no socket, no program run, no memory made to run), while what a
// decoder's libraries ask behind its back (the allocator reading /proc and /sys as threads come
// and go, on any number of processors) fails harmlessly and the picture is shown.
#include "decoderprocess.h"
#include "pictureloader.h"
#include "testpictures.h"

#include <linux/landlock.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <random>
#include <thread>

using namespace Pictures;

namespace {

QByteArray png()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TestPictures::Photo(64, 48).save(&buffer, "PNG");
    return bytes;
}

} // namespace

class TestSeal : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void helperThatTriesWhatNoPictureNeedsIsStopped_data()
    {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QByteArray>("call");
        // Else refused: a file is never opened (an allocator asking /proc is told no and goes on), and
        // the metafile renderer may read its fonts, nothing else.
        QTest::addColumn<bool>("killed");
        QTest::newRow("PNG, open") << png() << QByteArray("open") << false;
        for (const char* call : {"socket", "exec", "execmem"})
            QTest::addRow("PNG, %s", call) << png() << QByteArray(call) << true;
        QTest::newRow("metafile, open") << TestPictures::BlueRectangleMetafile() << QByteArray("open") << false;
        for (const char* call : {"socket", "exec", "execmem"})
            QTest::addRow("metafile, %s", call) << TestPictures::BlueRectangleMetafile() << QByteArray(call) << true;
    }
    void helperThatTriesWhatNoPictureNeedsIsStopped()
    {
        QFETCH(QByteArray, picture);
        QFETCH(QByteArray, call);
        QFETCH(bool, killed);
        if (!killed && QByteArray(QTest::currentDataTag()).startsWith("metafile") &&
            ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION) < 1)
            QSKIP("this kernel has no Landlock: a metafile helper keeps only the seccomp filter's read-only rule");
        const QString path = dir.filePath(QStringLiteral("P1I0.bmp"));
        QVERIFY(TestPictures::WriteBytes(path, picture));
        const QString secret = dir.filePath(QStringLiteral("PhotoData.mdb")); // there, and readable by this user
        QVERIFY(TestPictures::WriteBytes(secret, "notes"));
        qputenv("QUILL_DECODER_PROBE", call);
        qputenv("QUILL_DECODER_PROBE_FILE", QFile::encodeName(secret));
        const LoadResult stopped = LoadPicture(path, QSize(32, 32));
        qunsetenv("QUILL_DECODER_PROBE");
        qunsetenv("QUILL_DECODER_PROBE_FILE");
        QCOMPARE(stopped.error.number, 481);
        QCOMPARE(stopped.error.description.contains(QStringLiteral("stopped")), killed);
        QCOMPARE(LoadPicture(path, QSize(32, 32)).error.number, 0); // the next picture is read as ever
    }

    void helperWhoseAllocatorTouchesProcAndSysShowsThePicture()
    {
        // Many more threads than processors allocate at once, and what the allocator opens lazily
        // (/proc/sys/vm/overcommit_memory, /sys/devices/system/cpu/online) is refused, not fatal.
        const QString path = dir.filePath(QStringLiteral("P1I0.bmp"));
        QVERIFY(TestPictures::WriteBytes(path, png()));
        qputenv("QUILL_DECODER_PROBE", "allocator");
        const LoadResult r = LoadPicture(path, QSize(32, 32));
        qunsetenv("QUILL_DECODER_PROBE");
        QCOMPARE(r.error.number, 0);
        QCOMPARE(r.picture.natural, QSize(64, 48));
    }

    void largeFileHandedAsADescriptor()
    {
        // A picture file goes to the helper as a read-only descriptor, not as bytes over its
        // channel; the helper reads it (and, as above, still opens no file of its own).
        QImage picture(1600, 1200, QImage::Format_RGB32);
        std::minstd_rand noise(29); // little to compress: a file of megabytes
        for (int y = 0; y < picture.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                row[x] = 0xff000000u | (quint32(noise()) & 0xffffffu);
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(picture.save(&buffer, "PNG", 0));
        QVERIFY(bytes.size() > 4'000'000);
        const QString path = dir.filePath(QStringLiteral("large.png"));
        QVERIFY(TestPictures::WriteBytes(path, bytes));
        const int before = DecoderProcess::PicturesByDescriptor();
        const LoadResult r = LoadPicture(path);
        QVERIFY2(r.error.number == 0, qPrintable(r.error.description));
        QCOMPARE(DecoderProcess::PicturesByDescriptor(), before + 1);
        QCOMPARE(r.picture.shown.convertToFormat(QImage::Format_RGB32), picture);
    }

    void phoneGridsDecodedOnMoreThreadsThanProcessors_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("natural");
        QTest::newRow("iPhone HEIC") << QStringLiteral("heic_mobile_iphone_13_pro_max.HEIC") << QSize(3024, 4032);
        QTest::newRow("Nokia HEIF") << QStringLiteral("heic_mobile_HMD_Nokia_8.3_5G.heif") << QSize(3456, 4608);
        QTest::newRow("grid AVIF") << QStringLiteral("grid-2x2.avif") << QSize(400, 600);
    }
    void phoneGridsDecodedOnMoreThreadsThanProcessors()
    {
        // The helper started on one processor: the decoder's threads outnumber the processors on
        // any machine, and its allocator meets what more threads than processors make it do.
        QFETCH(QString, file);
        QFETCH(QSize, natural);
        const QString path = QStringLiteral(QUILL_PUBLIC_PICTURES_DIR "/phones/") + file;
        DecoderProcess::EndIdleHelpers();
        LoadResult r;
        bool oneProcessor = false;
        std::thread([&] {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(sched_getcpu() >= 0 ? sched_getcpu() : 0, &one);
            oneProcessor = ::sched_setaffinity(0, sizeof one, &one) == 0; // this thread, and the helper it starts
            r = LoadPicture(path, QSize(400, 400)); // larger than the iPhone's own thumbnail: the grid is read
        }).join();
        DecoderProcess::EndIdleHelpers(); // no helper on one processor for the tests after
        QVERIFY(oneProcessor);
        QVERIFY2(r.error.number == 0, qPrintable(r.error.description));
        QCOMPARE(r.picture.natural, natural);
    }
private:
    QTemporaryDir dir;
};

QTEST_MAIN(TestSeal)
#include "tst_seal.moc"
