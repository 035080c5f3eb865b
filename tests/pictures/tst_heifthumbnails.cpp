// A HEIC's embedded thumbnail stands in for the whole picture in a slot (or a thumbnail entry)
// when it covers the size shown and shows the same picture; the full-size view takes the whole.
// The fixtures' thumbnails are another colour than their main pictures, so the pixels tell
// which of the two was decoded.
#include "pictureloader.h"
#include "testheif.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <libheif/heif.h>

#include <array>

using namespace Pictures;

namespace {

QImage solid(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

bool isColour(QRgb pixel, QColor colour)
{
    return qAbs(qRed(pixel) - colour.red()) < 40 && qAbs(qGreen(pixel) - colour.green()) < 40 &&
           qAbs(qBlue(pixel) - colour.blue()) < 40;
}

} // namespace

class TestHeifThumbnails : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void thumbnailShownOnlyWhenItWillDo_data()
    {
        QTest::addColumn<QSize>("stored");        // the main picture as stored
        QTest::addColumn<QSize>("thumbnailSize"); // its thumbnail as stored, turned as it is
        QTest::addColumn<int>("orientation");     // the file's own turn, for both
        QTest::addColumn<QSize>("box");           // the size asked for, in device pixels (empty: full size)
        QTest::addColumn<bool>("fromThumbnail");
        const int upright = heif_orientation_normal;
        const int quarter = heif_orientation_rotate_90_cw;
        QTest::newRow("slot smaller than the thumbnail") << QSize(640, 480) << QSize(320, 240) << upright << QSize(200, 200) << true;
        QTest::newRow("slot as large as the thumbnail") << QSize(640, 480) << QSize(320, 240) << upright << QSize(320, 320) << true;
        QTest::newRow("both turned by the file") << QSize(480, 640) << QSize(240, 320) << quarter << QSize(230, 230) << true;
        QTest::newRow("slot larger than the thumbnail") << QSize(640, 480) << QSize(320, 240) << upright << QSize(400, 400) << false;
        QTest::newRow("thumbnail of another aspect") << QSize(640, 480) << QSize(320, 320) << upright << QSize(200, 200) << false;
        QTest::newRow("thumbnail cropped a little") << QSize(640, 480) << QSize(320, 236) << upright << QSize(200, 200) << false;
        QTest::newRow("full size") << QSize(640, 480) << QSize(320, 240) << upright << QSize() << false;
    }
    void thumbnailShownOnlyWhenItWillDo()
    {
        QFETCH(QSize, stored);
        QFETCH(QSize, thumbnailSize);
        QFETCH(int, orientation);
        QFETCH(QSize, box);
        QFETCH(bool, fromThumbnail);
        const QColor main(200, 30, 30), small(30, 30, 200);
        TestHeif::Options options;
        options.orientation = heif_orientation(orientation);
        options.thumbnail = solid(thumbnailSize, small);
        const QByteArray bytes = TestHeif::Encode(solid(stored, main), heif_compression_HEVC, options);
        QVERIFY(!bytes.isEmpty());
        const QString path = dir.filePath(QStringLiteral("thumbnailed.heic"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        file.close();

        const LoadResult loaded = LoadPicture(path, box);
        QVERIFY2(!loaded.error.failed(), qPrintable(loaded.error.description));
        const QSize natural = orientation == heif_orientation_normal ? stored : stored.transposed();
        QCOMPARE(loaded.picture.natural, natural);
        QCOMPARE(loaded.picture.shown.size(), box.isEmpty() ? natural : natural.scaled(box, Qt::KeepAspectRatio).boundedTo(natural));
        const QImage shown = loaded.picture.shown.convertToFormat(QImage::Format_RGB32);
        const QRgb centre = shown.pixel(shown.width() / 2, shown.height() / 2);
        QVERIFY2(isColour(centre, fromThumbnail ? small : main), qPrintable(QColor(centre).name()));
    }

    void phoneThumbnailShowsTheWholePicture()
    {
        // An iPhone's 240 by 320 thumbnail (Display P3, as its picture) in a 230 slot looks like the
        // whole 12 MP picture scaled down: same turn, same colours, within what the thumbnail's own
        // compression moves.
        const QString path = QStringLiteral(QUILL_PUBLIC_PICTURES_DIR "/phones/heic_mobile_iphone_13_pro_max.HEIC");
        const LoadResult slot = LoadPicture(path, QSize(230, 230));
        const LoadResult full = LoadPicture(path);
        QVERIFY2(!slot.error.failed() && !full.error.failed(), qPrintable(slot.error.description + full.error.description));
        QCOMPARE(slot.picture.natural, QSize(3024, 4032));
        QCOMPARE(slot.picture.shown.size(), QSize(172, 230));
        // Compared at a quarter of the slot, where the thumbnail's lesser detail no longer counts,
        // and by the mean of each channel, which a colour profile left unconverted would move.
        const QSize quarter = slot.picture.shown.size() / 4;
        const QImage shown = ShownImage(slot.picture.shown, quarter).convertToFormat(QImage::Format_RGB32);
        const QImage wanted = ShownImage(full.picture.shown, quarter).convertToFormat(QImage::Format_RGB32);
        double off = 0;
        std::array<double, 3> bias{};
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb a = shown.pixel(x, y), b = wanted.pixel(x, y);
                off += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
                bias[0] += qRed(a) - qRed(b);
                bias[1] += qGreen(a) - qGreen(b);
                bias[2] += qBlue(a) - qBlue(b);
            }
        }
        const double pixels = double(shown.width()) * shown.height();
        off /= 3.0 * pixels;
        for (double& b : bias)
            b = qAbs(b / pixels);
        QVERIFY2(off <= 6.0 && bias[0] <= 1.5 && bias[1] <= 1.5 && bias[2] <= 1.5,
                 qPrintable(QStringLiteral("off by %1 of 255, channels' means by %2 %3 %4")
                                .arg(off).arg(bias[0]).arg(bias[1]).arg(bias[2])));
    }

private:
    QTemporaryDir dir;
};

QTEST_MAIN(TestHeifThumbnails)
#include "tst_heifthumbnails.moc"
