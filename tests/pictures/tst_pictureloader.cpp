// The picture loader: every format, EXIF turns, sizes, and files that are not pictures.
#include "bmpreader.h"
#include "memoryprobe.h"
#include "fileops.h"
#include "pictureloader.h"
#include "testpictures.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>

using namespace Pictures;

namespace {

QRgb centre(const QImage& image)
{
    return image.pixel(image.width() / 2, image.height() / 2);
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

class TestPictureLoader : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void missingFileIs53AndNonPicturesAre481()
    {
        QCOMPARE(LoadPicture(dir.filePath(QStringLiteral("none.bmp"))).error.number, 53);
        QCOMPARE(LoadPicture(QString()).error.number, 53);
        QCOMPARE(LoadPicture(dir.path()).error.number, 481);

        QVERIFY(TestPictures::WriteBytes(dir.filePath(QStringLiteral("empty.bmp")), {}));
        QCOMPARE(LoadPicture(dir.filePath(QStringLiteral("empty.bmp"))).error.number, 481);

        QByteArray noise(50000, '\0');
        quint32 s = 7;
        for (char& c : noise) {
            s = s * 1103515245u + 12345u;
            c = char(s >> 16);
        }
        QVERIFY(TestPictures::WriteBytes(dir.filePath(QStringLiteral("noise.bmp")), noise));
        QCOMPARE(LoadPicture(dir.filePath(QStringLiteral("noise.bmp"))).error.number, 481);
        QVERIFY(TestPictures::WriteBytes(dir.filePath(QStringLiteral("text.jpg")), "just some words\n"));
        QCOMPARE(LoadPicture(dir.filePath(QStringLiteral("text.jpg"))).error.number, 481);
    }

    void truncatedFilesAreNotPictures()
    {
        const QImage photo = TestPictures::Photo(320, 240);
        for (const char* format : {"BMP", "JPEG"}) {
            const QString whole = dir.filePath(QStringLiteral("whole.") + QLatin1String(format));
            QVERIFY(TestPictures::Save(photo, whole, format));
            QFile f(whole);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            const QString cut = dir.filePath(QStringLiteral("cut.bmp"));
            QVERIFY(TestPictures::WriteBytes(cut, bytes.left(bytes.size() / 2)));
            QCOMPARE(LoadPicture(cut).error.number, 481);
            QVERIFY(TestPictures::WriteBytes(cut, bytes.left(30)));
            QCOMPARE(LoadPicture(cut).error.number, 481);
            QCOMPARE(LoadPicture(whole).error.number, 0);
        }
    }

    void bitmapHeaderClaimingAHugeSizeFailsAtOnce()
    {
        QByteArray bytes = TestPictures::Bitmap(QImage(4, 4, QImage::Format_RGB32), 24, false);
        auto* d = reinterpret_cast<uchar*>(bytes.data());
        qToLittleEndian<qint32>(100000, d + 18);
        qToLittleEndian<qint32>(100000, d + 22);
        const QString path = dir.filePath(QStringLiteral("huge.bmp"));
        QVERIFY(TestPictures::WriteBytes(path, bytes));
        QElapsedTimer t;
        t.start();
        QCOMPARE(LoadPicture(path, QSize(256, 256)).error.number, 481);
        QCOMPARE(LoadPicture(path).error.number, 481);
        QVERIFY(t.elapsed() < 1000);
    }

    void formatIsToldFromTheContent()
    {
        const QImage photo = TestPictures::Photo(400, 300);
        const QString path = dir.filePath(QStringLiteral("P1I0.bmp"));
        QVERIFY(TestPictures::Save(photo, path, "JPEG"));
        const LoadResult r = LoadPicture(path, QSize(200, 200));
        QCOMPARE(r.error.number, 0);
        QCOMPARE(r.picture.natural, QSize(400, 300));
        QCOMPARE(r.picture.shown.size(), QSize(200, 150));
        QCOMPARE(r.picture.sourcePath, path);
        QVERIFY(TestPictures::Psnr(r.picture.shown, photo.scaled(200, 150, Qt::IgnoreAspectRatio,
                                                                   Qt::SmoothTransformation)) > 30);

        const QString png = dir.filePath(QStringLiteral("picture.jpg"));
        QVERIFY(TestPictures::Save(photo, png, "PNG"));
        QCOMPARE(LoadPicture(png).picture.natural, QSize(400, 300));
    }

    void everyKindOfPictureAlbumsHold_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("error");
        for (const char* f : {"PNG", "WEBP", "JPEG", "TIFF"})
            QTest::newRow(f) << QByteArray(f) << 0;
    }
    void everyKindOfPictureAlbumsHold()
    {
        QFETCH(QByteArray, format);
        QFETCH(int, error);
        const QImage photo = TestPictures::Photo(90, 60, 2);
        const QString path = dir.filePath(QStringLiteral("P4I4.bmp"));
        QVERIFY(TestPictures::Save(photo, path, format.constData()));
        const LoadResult r = LoadPicture(path);
        QCOMPARE(r.error.number, error);
        if (error)
            return;
        QCOMPARE(r.picture.natural, QSize(90, 60));
        QVERIFY(TestPictures::Psnr(r.picture.shown, photo) > 28);
    }

    void hugeProgressiveJpegIsRefusedBeforeDecoding()
    {
        const QString path = dir.filePath(QStringLiteral("progressive.jpg"));
        QImageWriter writer(path, "JPEG");
        writer.setProgressiveScanWrite(true);
        QVERIFY(writer.write(TestPictures::Photo(64, 48)));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        f.close();
        const auto* d = reinterpret_cast<const uchar*>(bytes.constData());
        QVERIFY(ScanJpeg(d, bytes.size()).complete);
        QVERIFY(ScanJpeg(d, bytes.size()).progressive);
        QVERIFY(!ScanJpeg(d, bytes.size() - 10).complete);
        // Claim 40000 x 40000 in the frame header.
        const qsizetype sof = bytes.indexOf(QByteArray::fromHex("ffc2"));
        QVERIFY(sof > 0);
        bytes[sof + 5] = char(0x9C);
        bytes[sof + 6] = char(0x40);
        bytes[sof + 7] = char(0x9C);
        bytes[sof + 8] = char(0x40);
        QVERIFY(TestPictures::WriteBytes(path, bytes));
        MemoryProbe::ResetPeak();
        const qint64 before = MemoryProbe::ResidentKb();
        QElapsedTimer t;
        t.start();
        QCOMPARE(LoadPicture(path, QSize(250, 250)).error.number, 481);
        QVERIFY(t.elapsed() < 2000);
        QVERIFY(MemoryProbe::PeakResidentKb() - before < 50 * 1024);
    }

    void exifTurnStandsThePictureUpright_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("upright");
        QTest::addColumn<QPoint>("band"); // where the stored left band lands, in the upright picture (0..1 scaled)
        QTest::newRow("quarter clockwise (6)") << 6 << QSize(40, 60) << QPoint(50, 5);
        QTest::newRow("half turn (3)") << 3 << QSize(60, 40) << QPoint(95, 50);
        QTest::newRow("quarter anticlockwise (8)") << 8 << QSize(40, 60) << QPoint(50, 95);
    }
    void exifTurnStandsThePictureUpright()
    {
        QFETCH(int, orientation);
        QFETCH(QSize, upright);
        QFETCH(QPoint, band);
        QImage landscape(60, 40, QImage::Format_RGB32);
        landscape.fill(Qt::white);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 10; ++x)
                landscape.setPixel(x, y, qRgb(255, 0, 0)); // a red band on the left
        const QString path = dir.filePath(QStringLiteral("camera.jpg"));
        QVERIFY(TestPictures::WriteBytes(path, TestPictures::JpegWithOrientation(landscape, orientation)));
        auto check = [&](const Picture& p, QSize shown) {
            QCOMPARE(p.natural, upright);
            QCOMPARE(p.shown.size(), shown);
            const QPoint red(band.x() * (shown.width() - 1) / 100, band.y() * (shown.height() - 1) / 100);
            const QPoint white((100 - band.x()) * (shown.width() - 1) / 100, (100 - band.y()) * (shown.height() - 1) / 100);
            QVERIFY(near(p.shown.pixel(red), qRgb(255, 0, 0), 70));
            QVERIFY(near(p.shown.pixel(white), qRgb(255, 255, 255), 70));
        };
        const LoadResult slot = LoadPicture(path, QSize(20, 20)); // the slot
        QCOMPARE(slot.error.number, 0);
        check(slot.picture, upright.scaled(20, 20, Qt::KeepAspectRatio));
        check(Reload(slot.picture, {}), upright); // the full-size view
        check(Reload(slot.picture, upright * 2), upright); // print: never enlarged
    }

    void gifIconAndMetafile()
    {
        const QString gif = dir.filePath(QStringLiteral("anim.gif"));
        QVERIFY(TestPictures::WriteBytes(gif, TestPictures::TwoFrameGif()));
        const LoadResult g = LoadPicture(gif);
        QCOMPARE(g.error.number, 0);
        QCOMPARE(g.picture.natural, QSize(4, 3));
        QVERIFY(near(centre(g.picture.shown), qRgb(255, 0, 0), 0)); // the first frame

        QImage iconImage(32, 32, QImage::Format_ARGB32);
        iconImage.fill(qRgb(0, 160, 0));
        const QString ico = dir.filePath(QStringLiteral("icon.ico"));
        QVERIFY(TestPictures::Save(iconImage, ico, "ICO"));
        const LoadResult i = LoadPicture(ico);
        QCOMPARE(i.error.number, 0);
        QCOMPARE(i.picture.natural, QSize(32, 32));
        QVERIFY(near(centre(i.picture.shown), qRgb(0, 160, 0), 2));

        const QString wmf = dir.filePath(QStringLiteral("P2I2.bmp"));
        QVERIFY(TestPictures::WriteBytes(wmf, TestPictures::BlueRectangleMetafile()));
        const LoadResult m = LoadPicture(wmf);
        QCOMPARE(m.error.number, 0);
        QVERIFY(m.picture.natural.width() > m.picture.natural.height());
        QVERIFY2(near(centre(m.picture.shown), qRgb(0, 0, 255), 10), "the rectangle is drawn blue");

        QByteArray brokenMetafile = TestPictures::BlueRectangleMetafile();
        brokenMetafile.truncate(30);
        QVERIFY(TestPictures::WriteBytes(wmf, brokenMetafile));
        QCOMPARE(LoadPicture(wmf).error.number, 481);
    }

    void bitmapsOfEveryDepthReadExactly_data()
    {
        QTest::addColumn<int>("bpp");
        QTest::addColumn<bool>("topDown");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("24 bottom-up") << 24 << false << 0;
        QTest::newRow("24 top-down") << 24 << true << 0;
        QTest::newRow("32") << 32 << false << 0;
        QTest::newRow("16 bit fields") << 16 << true << 8;
    }
    void bitmapsOfEveryDepthReadExactly()
    {
        QFETCH(int, bpp);
        QFETCH(bool, topDown);
        QFETCH(int, tolerance);
        const QImage photo = TestPictures::Photo(37, 23, 3);
        const QString path = dir.filePath(QStringLiteral("depth.bmp"));
        QVERIFY(TestPictures::WriteBytes(path, TestPictures::Bitmap(photo, bpp, topDown)));
        const LoadResult r = LoadPicture(path);
        QCOMPARE(r.error.number, 0);
        QCOMPARE(r.picture.shown.size(), photo.size());
        for (int y = 0; y < photo.height(); y += 5)
            for (int x = 0; x < photo.width(); x += 3)
                QVERIFY2(near(r.picture.shown.pixel(x, y), photo.pixel(x, y), tolerance),
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
    }

    void suppliedPaletteBitmapAndDownscaleQuality()
    {
        const LoadResult r = LoadPicture(QStringLiteral(QUILL_ASSET_DIR "/P1I0.bmp"), QSize(111, 111));
        QCOMPARE(r.error.number, 0);
        QCOMPARE(r.picture.natural, QSize(640, 480));
        QCOMPARE(r.picture.shown.size(), QSize(111, 83));

        // Area-averaged downscale of a 24-bit bitmap against a careful reference.
        const QImage photo = TestPictures::Photo(1200, 800, 5);
        const QString path = dir.filePath(QStringLiteral("photo.bmp"));
        QVERIFY(TestPictures::Save(photo, path, "BMP"));
        const LoadResult small = LoadPicture(path, QSize(300, 300), 2.0);
        QCOMPARE(small.picture.shown.size(), QSize(300, 200));
        QCOMPARE(small.picture.shown.devicePixelRatio(), 2.0);
        const QImage reference = photo.scaled(300, 200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(TestPictures::Psnr(small.picture.shown, reference) > 35);
    }

    void hugeBitmapLoadsInBoundedMemory()
    {
        // 10000 x 10000 one-bit bitmap: 100 megapixels, 400 MB if held whole.
        const int side = 10000;
        const int stride = ((side + 31) / 32) * 4;
        QByteArray header = TestPictures::Bitmap(QImage(1, 1, QImage::Format_RGB32), 24, false).left(54);
        auto* d = reinterpret_cast<uchar*>(header.data());
        qToLittleEndian<qint32>(side, d + 18);
        qToLittleEndian<qint32>(side, d + 22);
        qToLittleEndian<quint16>(1, d + 28);
        qToLittleEndian<quint32>(54 + 8, d + 10);
        header.append(QByteArray::fromHex("000000ff" "ffffff00")); // palette: black, white
        const QString path = dir.filePath(QStringLiteral("big.bmp"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(header);
            const QByteArray row(stride, char(0xF0)); // stripes: 4 white, 4 black
            for (int y = 0; y < side; ++y)
                f.write(row);
        }
        MemoryProbe::ResetPeak();
        const qint64 before = MemoryProbe::ResidentKb();
        const LoadResult r = LoadPicture(path, QSize(250, 250));
        const qint64 grew = MemoryProbe::PeakResidentKb() - before;
        QCOMPARE(r.error.number, 0);
        QCOMPARE(r.picture.natural, QSize(side, side));
        QCOMPARE(r.picture.shown.size(), QSize(250, 250));
        QVERIFY(near(centre(r.picture.shown), qRgb(128, 128, 128), 2)); // stripes average to grey
        QVERIFY2(grew < 100 * 1024, qPrintable(QStringLiteral("peak grew by %1 kB").arg(grew)));

        // Asked for the full picture, it comes at the largest size the budget allows.
        const LoadResult full = LoadPicture(path);
        QCOMPARE(full.error.number, 0);
        QVERIFY(qint64(full.picture.shown.width()) * full.picture.shown.height() * 4 <= MemoryBudgetBytes);
        QFile::remove(path);
    }

    void overlongPicturesAreRefusedBeforeDecoding()
    {
        // A sparse one-bit bitmap of 40000 x 40000 (200 MB, nearly all holes): too many pixels to read.
        const QString sparse = dir.filePath(QStringLiteral("sparse.bmp"));
        QByteArray header = TestPictures::Bitmap(QImage(1, 1, QImage::Format_RGB32), 24, false).left(54);
        auto* d = reinterpret_cast<uchar*>(header.data());
        qToLittleEndian<qint32>(40000, d + 18);
        qToLittleEndian<qint32>(40000, d + 22);
        qToLittleEndian<quint16>(1, d + 28);
        qToLittleEndian<quint32>(54 + 8, d + 10);
        header.append(QByteArray::fromHex("000000ffffffff00"));
        {
            QFile f(sparse);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(header) == header.size());
            QVERIFY(f.resize(54 + 8 + qint64(5000) * 40000));
        }
        // A real progressive JPEG whose last scan comes again 3,000 times: each is a pass over every coefficient.
        QByteArray jpeg;
        {
            QBuffer buffer(&jpeg);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "JPEG");
            writer.setProgressiveScanWrite(true);
            QVERIFY(writer.write(TestPictures::Photo(1024, 1024)));
        }
        // The smallest scan, from its marker to the next one.
        QByteArray scan;
        const QByteArray sos = QByteArray::fromHex("ffda");
        for (qsizetype at = jpeg.indexOf(sos); at > 0;) {
            const qsizetype next = jpeg.indexOf(sos, at + 2);
            const qsizetype end = next > 0 ? next : jpeg.size() - 2;
            if (scan.isEmpty() || end - at < scan.size())
                scan = jpeg.mid(at, end - at);
            at = next;
        }
        QVERIFY(!scan.isEmpty() && jpeg.endsWith(QByteArray::fromHex("ffd9")));
        jpeg.chop(2);
        for (int again = 0; again < 3000; ++again)
            jpeg += scan;
        jpeg += QByteArray::fromHex("ffd9");
        QVERIFY(jpeg.size() < 64 << 20);
        const QString scans = dir.filePath(QStringLiteral("scans.jpg"));
        QVERIFY(TestPictures::WriteBytes(scans, jpeg));
        for (const QString& path : {sparse, scans}) {
            QElapsedTimer t;
            t.start();
            QCOMPARE(LoadPicture(path, QSize(250, 250)).error.number, 481);
            QVERIFY2(t.elapsed() < 1000, qPrintable(path));
        }
    }

    void hugePngFailsCleanly()
    {
        // A PNG header for 30000 x 30000: more than the budget, refused before decoding.
        QByteArray png = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452");
        QByteArray ihdr;
        for (quint32 v : {30000u, 30000u}) {
            ihdr.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
        }
        ihdr.append(char(8)).append(char(2)).append(char(0)).append(char(0)).append(char(0));
        png += ihdr + QByteArray(4, '\0');
        const QString path = dir.filePath(QStringLiteral("huge.png"));
        QVERIFY(TestPictures::WriteBytes(path, png));
        MemoryProbe::ResetPeak();
        const qint64 before = MemoryProbe::ResidentKb();
        QCOMPARE(LoadPicture(path, QSize(250, 250)).error.number, 481);
        QVERIFY(MemoryProbe::PeakResidentKb() - before < 50 * 1024);
    }

    void fileShrinkingWhileReadFailsCleanly()
    {
        const QString path = dir.filePath(QStringLiteral("shrinking.bmp"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(800, 600), path, "BMP"));
        Bmp::AfterMappingForTests = [](const QString& mapped) { QFile::resize(mapped, 100); };
        const LoadResult r = LoadPicture(path, QSize(100, 100));
        Bmp::AfterMappingForTests = nullptr;
        // A passing error of access, not a fault of the picture; and the process is still here.
        QCOMPARE(r.error.number, 75);
        QVERIFY(TestPictures::Save(TestPictures::Photo(80, 60), path, "BMP"));
        QCOMPARE(LoadPicture(path, QSize(100, 100)).error.number, 0); // the next read is unharmed
    }

    void fileChangingWhileTheHelperReadsItIs75_data()
    {
        QTest::addColumn<QByteArray>("change"); // what a helper standing in for the real one does to the file
        QTest::newRow("shrinks") << QByteArray("truncate -s 100");
        QTest::newRow("grows") << QByteArray("truncate -s +100");
    }

    void fileChangingWhileTheHelperReadsItIs75()
    {
        QFETCH(QByteArray, change);
        const QString path = dir.filePath(QStringLiteral("changing.png"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(80, 60), path, "PNG"));
        const QString helper = dir.filePath(QStringLiteral("change.sh"));
        QVERIFY(TestPictures::WriteBytes(helper, "#!/bin/sh\n" + change + " '" + QFile::encodeName(path) + "'\n"));
        QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const qint64 size = QFileInfo(path).size();
        qputenv("QUILL_DECODER_HELPER", QFile::encodeName(helper));
        const LoadResult r = LoadPicture(path, QSize(100, 100));
        qunsetenv("QUILL_DECODER_HELPER");
        QVERIFY(QFileInfo(path).size() != size); // the file did change under the helper
        QCOMPARE(r.error.number, 75); // the file's passing state, not the picture's fault
        QVERIFY(TestPictures::Save(TestPictures::Photo(80, 60), path, "PNG"));
        QCOMPARE(LoadPicture(path, QSize(100, 100)).error.number, 0);
    }

    void metafilesAreRenderedOutsideTheProgram()
    {
        // Forty flood fills over the largest canvas: the helper runs out of its time, not the program.
        QByteArray wmf = QByteArray::fromHex("d7cdc69a0000" "00000000" "3075" "3075" "6400" "00000000");
        quint16 sum = 0;
        for (int i = 0; i < 20; i += 2)
            sum ^= qFromLittleEndian<quint16>(wmf.constData() + i);
        wmf += QByteArray(2, '\0');
        qToLittleEndian<quint16>(sum, wmf.data() + 20);
        QByteArray records;
        auto record = [&records](quint16 function, std::initializer_list<quint16> params) {
            QByteArray r(6, '\0');
            qToLittleEndian<quint32>(quint32(3 + params.size()), r.data());
            qToLittleEndian<quint16>(function, r.data() + 4);
            for (quint16 p : params) {
                char w[2];
                qToLittleEndian<quint16>(p, w);
                r.append(w, 2);
            }
            records += r;
        };
        record(0x020B, {0, 0});         // window origin
        record(0x020C, {30000, 30000}); // window extent
        for (int fill = 0; fill < 40; ++fill)
            record(0x0548, {0, quint16(fill * 997), 0, quint16(100 + fill), quint16(100 + fill)}); // flood fill
        record(0x0000, {});
        QByteArray header = QByteArray::fromHex("010009000003" "00000000" "0000" "00000000" "0000");
        qToLittleEndian<quint32>(quint32((18 + records.size()) / 2), header.data() + 6);
        qToLittleEndian<quint32>(quint32(8), header.data() + 12);
        const QString path = dir.filePath(QStringLiteral("fills.wmf"));
        QVERIFY(TestPictures::WriteBytes(path, wmf + header + records));
        const LoadResult r = LoadPicture(path, QSize(100, 100));
        QVERIFY(r.error.number == 481 || (r.error.number == 0 && r.picture.shown.width() <= 100));

        // A helper that crashes: 481, and the program runs on.
        const QString crashing = dir.filePath(QStringLiteral("crash.sh"));
        QVERIFY(TestPictures::WriteBytes(crashing, "#!/bin/sh\nkill -SEGV $$\n"));
        QFile::setPermissions(crashing, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("QUILL_DECODER_HELPER", QFile::encodeName(crashing));
        const LoadResult failed = LoadPicture(dir.filePath(QStringLiteral("fills.wmf")), QSize(100, 100));
        qunsetenv("QUILL_DECODER_HELPER");
        QCOMPARE(failed.error.number, 481);
    }

    void onlyRegularFilesAreRead()
    {
        const QString pipe = dir.filePath(QStringLiteral("pipe.bmp"));
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        const QString link = dir.filePath(QStringLiteral("link.jpg"));
        QVERIFY(QFile::link(pipe, link));
        for (const QString& path : {pipe, link, QStringLiteral("/dev/zero")})
            QCOMPARE(LoadPicture(path, QSize(100, 100)).error.number, 481);
        QVERIFY(Files::FileCopy(pipe, dir.filePath(QStringLiteral("copy.bmp"))).failed());
    }

    void hostileCorpus()
    {
        QDirIterator it(QStringLiteral(QUILL_CORPUS_DIR), QDir::Files);
        int files = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(QLatin1String(".md")))
                continue;
            ++files;
            const LoadResult r = LoadPicture(path, QSize(250, 250));
            if (r.error.failed()) {
                QCOMPARE(r.error.number, 481);
            } else {
                QVERIFY2(!r.picture.shown.isNull(), qPrintable(path));
                QVERIFY(r.picture.shown.width() <= 250 && r.picture.shown.height() <= 250);
            }
        }
        QVERIFY(files >= 8);
    }

private:
    QTemporaryDir dir;
};

QTEST_MAIN(TestPictureLoader)
#include "tst_pictureloader.moc"
