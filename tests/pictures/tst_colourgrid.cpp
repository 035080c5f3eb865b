// An RGB profile by tables goes through a sampled grid: every colour, not just the mean, must
// stay close to LittleCMS converting that colour itself.
#include "colourprofile.h"

#include <QFile>
#include <QImage>
#include <QTest>

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cstdlib>

class TestColourGrid : public QObject {
    Q_OBJECT

private slots:
    void everyColourCloseToLittleCms()
    {
        QFile file(QStringLiteral(QUILL_PUBLIC_PICTURES_DIR "/cms/lut-rgb.icc"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray icc = file.readAll();
        // Every colour of 18 levels a channel (steps of 15, so each of the six orders of red,
        // green and blue in a cell of the grid is met), plus the levels just beside the grid's samples.
        QList<int> levels;
        for (int v = 0; v <= 255; v += 15)
            levels << v;
        levels << 7 << 8 << 9 << 247 << 248 << 249;
        QImage image(int(levels.size() * levels.size()), int(levels.size()), QImage::Format_RGB32);
        for (int r = 0; r < levels.size(); ++r)
            for (int g = 0; g < levels.size(); ++g)
                for (int b = 0; b < levels.size(); ++b)
                    image.setPixel(r * int(levels.size()) + g, b, qRgb(levels[r], levels[g], levels[b]));
        QImage converted = image;
        QVERIFY(Colour::ToSrgb(converted, icc, Colour::Samples::Rgb));

        cmsHPROFILE from = cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        cmsHTRANSFORM t = cmsCreateTransform(from, TYPE_RGB_16, srgb, TYPE_RGB_16, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
        QVERIFY(t);
        int worst = 0;
        double sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb in = image.pixel(x, y);
                const std::array<quint16, 3> source{quint16(qRed(in) * 257), quint16(qGreen(in) * 257),
                                                    quint16(qBlue(in) * 257)};
                std::array<quint16, 3> expected{};
                cmsDoTransform(t, source.data(), expected.data(), 1);
                const QRgb out = converted.pixel(x, y);
                const std::array<int, 3> got{qRed(out), qGreen(out), qBlue(out)};
                for (int c = 0; c < 3; ++c) {
                    const int off = std::abs(got[std::size_t(c)] - (expected[std::size_t(c)] + 128) / 257);
                    worst = std::max(worst, off);
                    sum += off;
                }
            }
        }
        cmsDeleteTransform(t);
        cmsCloseProfile(srgb);
        cmsCloseProfile(from);
        const double mean = sum / (3.0 * image.width() * image.height());
        qInfo("worst %d, mean %.3f levels", worst, mean);
        QVERIFY2(worst <= WorstAllowed, qPrintable(QStringLiteral("worst %1 levels").arg(worst)));
        QVERIFY2(mean <= 0.5, qPrintable(QStringLiteral("mean %1 levels").arg(mean)));
    }

private:
    static constexpr int WorstAllowed = 2;
};

QTEST_GUILESS_MAIN(TestColourGrid)
#include "tst_colourgrid.moc"
