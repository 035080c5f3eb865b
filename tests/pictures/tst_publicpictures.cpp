// Pictures nobody here made (phones, cameras, the formats' own test suites, and files made with
// the formats' own encoders), each loaded through the one picture loader at its natural size and
// compared with a rendering an independent decoder made when the corpus was made.
//
// Every tests/pictures/public/<group>/MANIFEST lists its pictures, one a line, tab-separated:
//   <picture file> <reference PNG, or REFUSE> <tolerance: the largest mean absolute difference per channel, 0-255>
// Lines starting with # are comments. A reference is an 8-bit sRGB PNG, upright, transparency laid
// on white. It has the picture's size, or (for a large photo, to keep the corpus small) that size
// divided by a whole number n: the picture shown is then averaged over n by n blocks first. A REFUSE
// line must be refused as "not a picture" (481), never shown as noise.
#include "pictureloader.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

#include <array>

using namespace Pictures;

namespace {

// The picture averaged over `n` by `n` blocks (its size a multiple of n).
QImage blockAverage(const QImage& image, int n)
{
    if (n == 1)
        return image;
    QImage out(image.width() / n, image.height() / n, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < n; ++dy) {
                const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y * n + dy)) + x * n;
                for (int dx = 0; dx < n; ++dx) {
                    sum[0] += qRed(line[dx]);
                    sum[1] += qGreen(line[dx]);
                    sum[2] += qBlue(line[dx]);
                }
            }
            const int count = n * n;
            out.setPixel(x, y, qRgb((sum[0] + count / 2) / count, (sum[1] + count / 2) / count,
                                    (sum[2] + count / 2) / count));
        }
    }
    return out;
}

// The mean absolute difference of each channel (red, green, blue) between two pictures of one size.
std::array<double, 3> meanDifference(const QImage& a, const QImage& b)
{
    std::array<qint64, 3> sum{};
    for (int y = 0; y < a.height(); ++y) {
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            sum[0] += qAbs(qRed(la[x]) - qRed(lb[x]));
            sum[1] += qAbs(qGreen(la[x]) - qGreen(lb[x]));
            sum[2] += qAbs(qBlue(la[x]) - qBlue(lb[x]));
        }
    }
    const double pixels = double(a.width()) * a.height();
    return {sum[0] / pixels, sum[1] / pixels, sum[2] / pixels};
}

} // namespace

class TestPublicPictures : public QObject {
    Q_OBJECT

private slots:
    void shownAsTheIndependentDecoderShowsThem_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("reference"); // empty: to be refused
        QTest::addColumn<double>("tolerance");
        const QDir root(QStringLiteral(QUILL_PUBLIC_PICTURES_DIR));
        int rows = 0;
        for (const QString& group : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            const QDir folder(root.filePath(group));
            QFile manifest(folder.filePath(QStringLiteral("MANIFEST")));
            if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text))
                continue;
            int lineNumber = 0;
            while (!manifest.atEnd()) {
                const QString line = QString::fromUtf8(manifest.readLine()).trimmed();
                ++lineNumber;
                if (line.isEmpty() || line.startsWith(u'#'))
                    continue;
                const QStringList fields = line.split(u'\t', Qt::SkipEmptyParts);
                bool number = false;
                const double tolerance = fields.value(2).toDouble(&number);
                if (fields.size() != 3 || !number || tolerance < 0 || tolerance > 255)
                    QFAIL(qPrintable(QStringLiteral("%1/MANIFEST line %2 is not <picture>\\t<reference or REFUSE>\\t<tolerance>")
                                         .arg(group).arg(lineNumber)));
                const QString reference = fields[1] == QLatin1String("REFUSE") ? QString() : folder.filePath(fields[1]);
                QTest::newRow(qPrintable(group + u'/' + fields[0])) << folder.filePath(fields[0]) << reference << tolerance;
                ++rows;
            }
        }
        QVERIFY2(rows > 0, "no public pictures found");
    }
    void shownAsTheIndependentDecoderShowsThem()
    {
        QFETCH(QString, picture);
        QFETCH(QString, reference);
        QFETCH(double, tolerance);
        QVERIFY2(QFile::exists(picture), qPrintable(picture));
        const LoadResult loaded = LoadPicture(picture);
        if (reference.isEmpty()) {
            QVERIFY2(loaded.error.number == 481,
                     qPrintable(QStringLiteral("shown (%1 by %2) or failed otherwise (%3), not refused")
                                    .arg(loaded.picture.shown.width())
                                    .arg(loaded.picture.shown.height())
                                    .arg(loaded.error.number)));
            return;
        }
        QVERIFY2(loaded.error.number == 0, qPrintable(QStringLiteral("refused (%1): %2")
                                                          .arg(loaded.error.number)
                                                          .arg(loaded.error.description)));
        // The pixels are sRGB, and say so: a copy, a thumbnail other programs read, carries no other profile.
        const QColorSpace space = loaded.picture.shown.colorSpace();
        QVERIFY2(!space.isValid() || space == QColorSpace(QColorSpace::SRgb), qPrintable(space.description()));
        const QImage shown = loaded.picture.shown.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), loaded.picture.natural); // the natural size, not a smaller one
        QImage wanted(reference);
        QVERIFY2(!wanted.isNull(), qPrintable(reference));
        QVERIFY2(!wanted.hasAlphaChannel(), "a reference is laid on white when it is made");
        wanted = wanted.convertToFormat(QImage::Format_RGB32);
        const int n = wanted.width() > 0 ? shown.width() / wanted.width() : 0;
        QVERIFY2(n >= 1 && wanted.size() * n == shown.size(),
                 qPrintable(QStringLiteral("shown %1 by %2, the reference is %3 by %4")
                                .arg(shown.width()).arg(shown.height()).arg(wanted.width()).arg(wanted.height())));
        const std::array<double, 3> off = meanDifference(blockAverage(shown, n), wanted);
        const QString report = QStringLiteral("off by %1 %2 %3 (red green blue) of 255, at most %4 allowed")
                                   .arg(off[0], 0, 'f', 2).arg(off[1], 0, 'f', 2).arg(off[2], 0, 'f', 2).arg(tolerance);
        QVERIFY2(off[0] <= tolerance && off[1] <= tolerance && off[2] <= tolerance, qPrintable(report));
    }
};

QTEST_MAIN(TestPublicPictures)
#include "tst_publicpictures.moc"
