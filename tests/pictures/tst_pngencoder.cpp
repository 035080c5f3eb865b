// The thumbnail cache's PNG writer: every layout it is handed comes back pixel for
// pixel through Qt's reader, stamped as the cache reads it, and a picture libpng
// refuses leaves nothing behind.
#include "pngencoder.h"
#include "testpictures.h"
#include "thumbnailcache.h"

#include <QColorSpace>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every colour with alpha from 0 to 255 across it, so that premultiplying changes most pixels.
QImage translucent(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba((x * 7 + y) % 256, (y * 13 + 40) % 256, (x * 3 + y * 5 + 90) % 256, (x * 37 + y * 11) % 256));
    return image;
}

QImage withSpace(QImage image, QColorSpace::NamedColorSpace space)
{
    image.setColorSpace(QColorSpace(space));
    return image;
}

// The colour type in the file's header: 2 RGB, 6 RGB with alpha.
int colourTypeOf(const QString& path)
{
    const QByteArray png = TestPictures::ReadBytes(path);
    return png.size() > 25 ? int(quint8(png[25])) : -1;
}

} // namespace

class TestPngEncoder : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        cache = ThumbnailCache(dir->filePath(QStringLiteral("thumbnails")));
        const QString picture = dir->filePath(QStringLiteral("P1I0.bmp"));
        QVERIFY(TestPictures::WriteBytes(picture, "a picture"));
        facts = *ThumbnailCache::Facts(picture);
    }

    void keptPixelsReadBackExactly_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("colourType");
        const QImage photo = TestPictures::Photo(256, 170, 5);
        QTest::newRow("opaque, sRGB") << withSpace(photo, QColorSpace::SRgb) << 2;
        QTest::newRow("opaque, 24-bit") << photo.convertToFormat(QImage::Format_RGB888) << 2;
        QTest::newRow("grey") << photo.convertToFormat(QImage::Format_Grayscale8) << 2;
        QTest::newRow("one pixel wide") << TestPictures::Photo(1, 200, 6) << 2;
        QTest::newRow("alpha, Display P3") << withSpace(translucent(256, 100), QColorSpace::DisplayP3) << 6;
        QTest::newRow("alpha, premultiplied") << translucent(256, 100).convertToFormat(QImage::Format_ARGB32_Premultiplied) << 6;
        QTest::newRow("one row") << translucent(200, 1) << 6;
    }
    void keptPixelsReadBackExactly()
    {
        QFETCH(QImage, image);
        QFETCH(int, colourType);
        QVERIFY(cache.Store(facts, 256, image, image.size() * 10));
        const std::optional<ThumbnailCache::Thumbnail> kept = cache.Find(facts, 256); // by its stamp
        QVERIFY(kept);
        QCOMPARE(colourTypeOf(cache.ThumbnailPath(facts, 256)), colourType);
        // Qt's own reading of each layout is what the file must give back.
        const QImage expected = image.convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(kept->image.convertToFormat(QImage::Format_ARGB32), expected);
        QCOMPARE(kept->image.colorSpace(), image.colorSpace());
        QCOMPARE(kept->natural, image.size() * 10); // from the entry's own text
    }

    void refusedPictureLeavesNothing()
    {
        // Wider than libpng writes (a million columns).
        QImage wide(1'000'001, 1, QImage::Format_RGB32);
        wide.fill(Qt::red);
        QVERIFY(PngEncoder::Encode(wide).isEmpty());
        QVERIFY(!cache.Store(facts, 256, wide, wide.size()));
        QVERIFY(!cache.Find(facts, 256));
        QDirIterator files(cache.root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY2(!files.hasNext(), qPrintable(files.hasNext() ? files.next() : QString()));
        // The next picture is written as ever.
        QVERIFY(cache.Store(facts, 256, TestPictures::Photo(64, 64, 2), QSize(64, 64)));
        QVERIFY(cache.Find(facts, 256));
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
    ThumbnailCache cache;
    ThumbnailCache::FileFacts facts;
};

QTEST_MAIN(TestPngEncoder)
#include "tst_pngencoder.moc"
