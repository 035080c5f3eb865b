// A progressive JPEG read at a reduced size stops reading once the pixels shown are known, and
// shows the very pixels Qt's reader gives for the same file at the same size (oriented and
// made sRGB the same way: the same load with every picture left to Qt's reader). The pictures
// (tests/pictures/progressive, made by make.sh there) are 400 by 304 (one 201 by 153); the boxes
// give libjpeg's 1/8, 1/4 and 1/2, and the edges between its scales.
#include "pictureloader.h"
#include "progressivejpeg.h"

#include <QTest>

#include <cstdlib>

using namespace Pictures;

class TestProgressiveJpeg : public QObject {
    Q_OBJECT

private slots:
    void slotPictureAsQtReadsIt_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("box");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("scansRead"); // of 10 (grey: 6); where the reading stopped
        const struct {
            const char* name;
            const char* file;
            int box;
            bool taken;
            int scansRead;
        } rows[] = {
            // 1/8: the luma's DC alone; 4:2:0's chroma at 2 by 2 needs its AC too.
            {"4:2:0, 1/8", "p420.jpg", 40, true, 9},
            {"4:2:0, 1/8 at the edge", "p420.jpg", 49, true, 9},
            {"4:2:0, exactly 1/8", "p420.jpg", 50, true, 9},
            {"201 by 153, 1/4 though 1/8 would cover", "odd.jpg", 26, true, 10},
            {"4:2:0, 1/4", "p420.jpg", 90, true, 10},
            {"4:2:0, 1/2", "p420.jpg", 180, true, 10},
            {"4:2:0, 3/8", "p420.jpg", 150, true, 10},
            {"4:2:0, 5/8", "p420.jpg", 250, true, 10},
            {"4:2:2, 1/8", "p422.jpg", 40, true, 7},
            {"4:2:2, 1/4", "p422.jpg", 90, true, 10},
            {"4:4:4, 1/8", "p444.jpg", 40, true, 7},
            {"4:4:4, 1/2", "p444.jpg", 180, true, 10},
            {"grey, 1/8", "grey.jpg", 40, true, 5},
            {"grey, 1/4", "grey.jpg", 90, true, 6},
            {"grey, 3/8", "grey.jpg", 120, true, 6},
            {"restart interval, 1/8", "restart.jpg", 40, true, 9},
            {"DC refined last, 1/8", "dclast.jpg", 40, true, 5},
            {"chroma AC final last, 1/8", "chromalast.jpg", 40, true, 6},
            {"DC final first, 4:4:4, 1/8", "dcfirst444.jpg", 40, true, 1},
            {"chroma's odd high AC final last, 1/8", "chromahigh.jpg", 40, true, 6},
            {"luma's high AC final last, 1/2", "lumahigh.jpg", 180, true, 5},
            {"chroma AC final last, 1/4", "chromalast.jpg", 90, true, 6},
            {"EXIF orientation 6, 1/8", "turned.jpg", 40, true, 9},
            {"EXIF orientation 6, 1/4", "turned.jpg", 90, true, 10},
            {"ProPhoto profile, 1/8", "prophoto.jpg", 40, true, 9},
            {"ProPhoto profile, 1/4", "prophoto.jpg", 90, true, 10},
            // Left to Qt's reader: chroma without AC (a full decode smooths its DC), baseline,
            // a size libjpeg does not shrink to, the whole picture.
            {"chroma without AC", "nochromaac.jpg", 40, false, 0},
            {"baseline", "baseline.jpg", 40, false, 0},
            {"4:2:0, 8/8", "p420.jpg", 380, false, 0},
            {"4:2:0, whole", "p420.jpg", 0, false, 0},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << QString::fromLatin1(row.file) << row.box << row.taken << row.scansRead;
    }
    void slotPictureAsQtReadsIt()
    {
        QFETCH(QString, file);
        QFETCH(int, box);
        QFETCH(bool, taken);
        QFETCH(int, scansRead);
        const QString path = QStringLiteral(QUILL_PROGRESSIVE_DIR "/") + file;
        const QSize within = box ? QSize(box, box) : QSize();

        ProgressiveJpeg::SetEnabled(false);
        const ProgressiveJpeg::Tally before = ProgressiveJpeg::Counted();
        const LoadResult qt = LoadPicture(path, within);
        ProgressiveJpeg::SetEnabled(true);
        QCOMPARE(ProgressiveJpeg::Counted().pictures, before.pictures);
        const LoadResult read = LoadPicture(path, within);
        const ProgressiveJpeg::Tally after = ProgressiveJpeg::Counted();

        QVERIFY2(!qt.error.failed() && !read.error.failed(), qPrintable(qt.error.description + read.error.description));
        const QImage want = qt.picture.shown.convertToFormat(QImage::Format_RGB32);
        const QImage got = read.picture.shown.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(got.size(), want.size());
        QCOMPARE(read.picture.natural, qt.picture.natural);
        int most = 0;
        qint64 off = 0;
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x) {
                const QRgb a = want.pixel(x, y), b = got.pixel(x, y);
                const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                        std::abs(qBlue(a) - qBlue(b))});
                most = std::max(most, d);
                off += d != 0;
            }
        // Expected equal; a level either way is what a different rounding could give.
        QVERIFY2(most <= 1, qPrintable(QStringLiteral("%1 pixels differ, by up to %2").arg(off).arg(most)));
        if (off)
            qWarning("%lld pixels differ by a level", off);
        QCOMPARE(after.pictures - before.pictures, taken ? 1 : 0);
        QCOMPARE(after.scansRead - before.scansRead, scansRead);
    }
};

QTEST_MAIN(TestProgressiveJpeg)
#include "tst_progressivejpeg.moc"
