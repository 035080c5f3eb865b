// A high dynamic range picture in a slot looks as it does in the full-size view: the helper
// scales its signal to the slot before tone mapping (a slot's worth of work), which must give
// the full picture's tone-mapped pixels scaled down, within what averaging the signal first moves
// (about 1 of 255 on these test cards, whose patches meet at hard edges).
#include "pictureloader.h"

#include <QTest>

#include <array>

using namespace Pictures;

class TestHdrSlots : public QObject {
    Q_OBJECT

private slots:
    void slotShowsTheViewsPicture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("box");
        for (const char* file : {"hdr/pq.avif", "hdr/hlg.avif", "hdr/pq-alpha.avif", "hdr/pq.heic", "hdr/hlg.heic"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1, a third").arg(QLatin1String(file))))
                << QString::fromLatin1(file) << QSize(64, 64);
            QTest::newRow(qPrintable(QStringLiteral("%1, odd size").arg(QLatin1String(file))))
                << QString::fromLatin1(file) << QSize(77, 77);
        }
    }
    void slotShowsTheViewsPicture()
    {
        QFETCH(QString, file);
        QFETCH(QSize, box);
        const QString path = QStringLiteral(QUILL_PUBLIC_PICTURES_DIR "/") + file;
        const LoadResult full = LoadPicture(path);
        const LoadResult slot = LoadPicture(path, box);
        QVERIFY2(!full.error.failed() && !slot.error.failed(), qPrintable(full.error.description + slot.error.description));
        QCOMPARE(slot.picture.natural, full.picture.natural);
        const QImage shown = slot.picture.shown.convertToFormat(QImage::Format_RGB32);
        QVERIFY(shown.width() <= box.width() && shown.height() <= box.height() && shown.width() < full.picture.natural.width());
        const QImage wanted = ShownImage(full.picture.shown, shown.size()).convertToFormat(QImage::Format_RGB32);
        std::array<double, 3> off{};
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb a = shown.pixel(x, y), b = wanted.pixel(x, y);
                off[0] += qAbs(qRed(a) - qRed(b));
                off[1] += qAbs(qGreen(a) - qGreen(b));
                off[2] += qAbs(qBlue(a) - qBlue(b));
            }
        }
        const double pixels = double(shown.width()) * shown.height();
        for (double& o : off)
            o /= pixels;
        QVERIFY2(off[0] <= 1.5 && off[1] <= 1.5 && off[2] <= 1.5,
                 qPrintable(QStringLiteral("off by %1 %2 %3 of 255").arg(off[0]).arg(off[1]).arg(off[2])));
    }
};

QTEST_MAIN(TestHdrSlots)
#include "tst_hdrslots.moc"
