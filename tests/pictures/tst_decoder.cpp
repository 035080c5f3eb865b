// The sealed decoder helper: PNG, WebP, TIFF, HEIC and AVIF added, shown, saved
// as the album's bitmap and read back upright; a helper that tries what no
// picture needs is stopped, and the page shows the slot's placeholder.
#include "clipboardpicture.h"
#include "decoderprocess.h"
#include "filechooser.h"
#include "frmgetfile.h"
#include "frmpage1.h"
#include "memoryprobe.h"
#include "forms.h"
#include "pageloader.h"
#include "pagereadahead.h"
#include "pagewriter.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "screennames.h"
#include "session.h"
#include "testheif.h"
#include "testpictures.h"
#include "testprogram.h"
#include "thumbnailcache.h"

#include <unistd.h>

#include <QBuffer>
#include <QColorSpace>
#include <QColorTransform>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QtEndian>

#include <libheif/heif.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

using namespace Pictures;

namespace {

// Four quadrants, each of one colour, so that every turn and mirror shows.
const QRgb TopLeft = qRgb(220, 30, 30), TopRight = qRgb(30, 200, 30), BottomLeft = qRgb(30, 30, 220),
           BottomRight = qRgb(230, 220, 40);

QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, y < height / 2 ? (x < width / 2 ? TopLeft : TopRight)
                                                : (x < width / 2 ? BottomLeft : BottomRight));
    return image;
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Empty when `image` shows the four quadrants upright; else what it shows.
QString uprightQuadrants(const QImage& image)
{
    const int w = image.width(), h = image.height();
    const QRgb seen[] = {image.pixel(w / 4, h / 4), image.pixel(3 * w / 4, h / 4), image.pixel(w / 4, 3 * h / 4),
                         image.pixel(3 * w / 4, 3 * h / 4)};
    const QRgb wanted[] = {TopLeft, TopRight, BottomLeft, BottomRight};
    QString wrong;
    for (int q = 0; q < 4; ++q) {
        if (!near(seen[q], wanted[q], 48))
            wrong += QStringLiteral("quadrant %1 is #%2; ").arg(q).arg(seen[q] & 0xFFFFFF, 6, 16, QLatin1Char('0'));
    }
    return wrong;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100);
    return writer.write(image) ? bytes : QByteArray();
}

// An uncompressed RGB TIFF of the given pages; the first carries `orientation`.
QByteArray tiff(const QList<QImage>& pages, int orientation)
{
    QByteArray out("II*\0\0\0\0\0", 8);
    qsizetype linkAt = 4; // where the offset of the next page's directory goes
    auto put16 = [&out](quint16 v) { char b[2]; qToLittleEndian(v, b); out.append(b, 2); };
    auto put32 = [&out](quint32 v) { char b[4]; qToLittleEndian(v, b); out.append(b, 4); };
    for (int p = 0; p < pages.size(); ++p) {
        const QImage page = pages[p].convertToFormat(QImage::Format_RGB888);
        const quint32 pixelsAt = quint32(out.size());
        for (int y = 0; y < page.height(); ++y)
            out.append(reinterpret_cast<const char*>(page.constScanLine(y)), page.width() * 3);
        const quint32 bitsAt = quint32(out.size());
        put16(8); put16(8); put16(8);
        if (out.size() % 2)
            out.append('\0');
        qToLittleEndian(quint32(out.size()), out.data() + linkAt);
        struct Entry { quint16 tag, type; quint32 count, value; };
        const QList<Entry> entries{
            {256, 4, 1, quint32(page.width())}, {257, 4, 1, quint32(page.height())}, {258, 3, 3, bitsAt},
            {259, 3, 1, 1}, {262, 3, 1, 2}, {273, 4, 1, pixelsAt}, {274, 3, 1, quint32(p == 0 ? orientation : 1)},
            {277, 3, 1, 3}, {278, 4, 1, quint32(page.height())},
            {279, 4, 1, quint32(page.width() * page.height() * 3)}, {284, 3, 1, 1}};
        put16(quint16(entries.size()));
        for (const Entry& e : entries) {
            put16(e.tag); put16(e.type); put32(e.count);
            if (e.type == 3 && e.count == 1) { put16(quint16(e.value)); put16(0); } else put32(e.value);
        }
        linkAt = out.size();
        put32(0);
    }
    return out;
}

QByteArray exifOrientation(int orientation)
{
    QByteArray tiff("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18);
    tiff.append(char(orientation)).append(QByteArray(7, '\0'));
    return tiff;
}

// A PNG of `stored` with an eXIf chunk saying how to stand it upright.
QByteArray pngWithExif(const QImage& stored, int orientation)
{
    QByteArray png = encoded(stored, "PNG");
    const QByteArray data = exifOrientation(orientation);
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    const QByteArray typed = "eXIf" + data;
    chunk += typed;
    char crc[4];
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))), crc);
    chunk.append(crc, 4);
    png.insert(33, chunk); // right after the header chunk
    return png;
}

// A WebP of `stored` in the extended layout, with an EXIF chunk saying how to stand it upright.
QByteArray webpWithExif(const QImage& stored, int orientation)
{
    const QByteArray simple = encoded(stored, "WEBP");
    QByteArray vp8x("VP8X\x0a\0\0\0\x08\0\0\0", 12); // flags: EXIF
    char size[3];
    for (int side : {stored.width() - 1, stored.height() - 1}) {
        size[0] = char(side & 0xFF), size[1] = char((side >> 8) & 0xFF), size[2] = char(side >> 16);
        vp8x.append(size, 3);
    }
    QByteArray exif = "EXIF" + QByteArray(4, '\0') + exifOrientation(orientation);
    qToLittleEndian<quint32>(quint32(exif.size() - 8), exif.data() + 4);
    QByteArray body = "WEBP" + vp8x + simple.mid(12) + exif;
    QByteArray riff = "RIFF" + QByteArray(4, '\0') + body;
    qToLittleEndian<quint32>(quint32(body.size()), riff.data() + 4);
    return riff;
}

// A HEIC or AVIF of `stored`, with the file's own turn or mirror (EXIF numbering) to stand it upright.
QByteArray heif(const QImage& stored, heif_compression_format format, heif_orientation orientation)
{
    TestHeif::Options options;
    options.orientation = orientation;
    return TestHeif::Encode(stored, format, options);
}

QImage solid(QRgb colour)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A file of one colour that says its pixels are in `space`.
QByteArray profiled(QRgb colour, QColorSpace::NamedColorSpace space, const char* format)
{
    QImage image = solid(colour);
    image.setColorSpace(QColorSpace(space));
    const QByteArray bytes = encoded(image, format);
    if (QImage::fromData(bytes).colorSpace() != QColorSpace(space))
        return {}; // the writer dropped the profile: no fixture
    return bytes;
}

// A HEIC with `space` as its ICC profile, or (`colourBox`) an AVIF whose colour box gives Display P3 primaries.
QByteArray profiledHeic(QRgb colour, QColorSpace::NamedColorSpace space, bool colourBox = false)
{
    const QByteArray icc = QColorSpace(space).iccProfile();
    if (icc.isEmpty())
        return {};
    TestHeif::Options options;
    options.quality = 95;
    options.prepare = [&](heif_image* image) {
        if (!colourBox) {
            heif_image_set_raw_color_profile(image, "prof", icc.constData(), size_t(icc.size()));
            return;
        }
        heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
        nclx->color_primaries = heif_color_primaries_SMPTE_EG_432_1; // Display P3
        nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
        nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
        nclx->full_range_flag = 1;
        heif_image_set_nclx_color_profile(image, nclx);
        heif_nclx_color_profile_free(nclx);
    };
    return TestHeif::Encode(solid(colour), colourBox ? heif_compression_AV1 : heif_compression_HEVC, options);
}

QImage turnedLeft(const QImage& image)
{
    return image.transformed(QTransform().rotate(-90));
}

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

// An empty album "Trip" in the program folder, open, with no thumbnail cache and nothing
// read ahead: each page load decodes its files. Empty when the folder cannot be made.
QString openEmptyAlbum(TestProgram& program)
{
    const QString album = program.path(QStringLiteral("Trip"));
    if (!QDir().mkdir(album))
        return {};
    session.albumFilePrefix = album + QStringLiteral("/P");
    session.albumFolderName = QStringLiteral("Trip");
    ThumbnailCache::UseShared({});
    PageReadAhead::Instance().SetEnabled(false);
    return album;
}

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void eachFormatAddedShownSavedAndReadBack_data() { formats(); }
    void eachFormatAddedShownSavedAndReadBack()
    {
        QFETCH(QByteArray, file);
        QVERIFY(!file.isEmpty());
        const QString path = dir.filePath(QStringLiteral("chosen.picture"));
        QVERIFY(TestPictures::WriteBytes(path, file));

        // Added into a slot: shown at slot size, upright.
        const LoadResult added = LoadPicture(path, QSize(32, 32), 1.0);
        QCOMPARE(added.error.number, 0);
        QCOMPARE(added.picture.natural, QSize(64, 48));
        QCOMPARE(added.picture.shown.size(), QSize(32, 24));
        QVERIFY2(uprightQuadrants(added.picture.shown).isEmpty(), qPrintable(uprightQuadrants(added.picture.shown)));

        // Printed (read again from its file, never enlarged) and copied out for other programs.
        const Picture printed = Reload(added.picture, QSize(2000, 2000));
        QCOMPARE(printed.shown.size(), QSize(64, 48));
        QVERIFY2(uprightQuadrants(printed.shown).isEmpty(), qPrintable(uprightQuadrants(printed.shown)));
        ClipboardPicture::Put(added.picture);
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.size(), QSize(64, 48));
        QVERIFY2(uprightQuadrants(copied).isEmpty(), qPrintable(uprightQuadrants(copied)));

        // Saved into the album as its own bytes under the slot's name, and read back whole.
        const QString album = dir.filePath(QStringLiteral("Album"));
        QVERIFY(QDir().mkpath(album));
        QCOMPARE(PageWriter::WritePage(album, 1, {{0, added.picture}}).number, 0);
        const QString saved = album + QStringLiteral("/P1I0.bmp");
        QVERIFY(TestPictures::ReadBytes(saved) == file);
        const LoadResult back = LoadPicture(saved);
        QCOMPARE(back.error.number, 0);
        QCOMPARE(back.picture.shown.size(), QSize(64, 48));
        QVERIFY2(uprightQuadrants(back.picture.shown).isEmpty(), qPrintable(uprightQuadrants(back.picture.shown)));
        QVERIFY(QDir(album).removeRecursively());
    }

    void eachFormatListedAndPreviewedInTheChooser_data() { formats(); }
    void eachFormatListedAndPreviewedInTheChooser()
    {
        QFETCH(QByteArray, file);
        auto program = std::make_unique<TestProgram>();
        program->addEmptyPicture();
        program->takeAsProgramFolder();
        const QString folder = program->path(QStringLiteral("phone"));
        QVERIFY(QDir().mkdir(folder));
        const QString name = QStringLiteral("IMG_0001.") + QString::fromLatin1(QTest::currentDataTag()).section(u' ', 0, 0).toLower();
        QVERIFY(TestPictures::WriteBytes(folder + u'/' + name, file));
        FrmGetFile* chooser = Forms::Get<FrmGetFile>(Screen::GetFile);
        chooser->SetDirectoryPath(folder);
        chooser->cboFileType->clear();
        chooser->cboFileType->addItems(FileChooser::FileTypes());
        chooser->cboFileType->setCurrentIndex(0); // "All Files (*.*)"
        chooser->Show();
        const QList<QListWidgetItem*> items = chooser->filFiles->findItems(name, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        QTest::mouseClick(chooser->filFiles->viewport(), Qt::LeftButton, {},
                          chooser->filFiles->visualItemRect(items.first()).center());
        // Upright, 64 by 48: the width fills the preview box.
        const PictureBox* preview = chooser->Image1;
        QVERIFY(preview->HasPicture());
        QCOMPARE(QRectF(preview->Left(), preview->Top(), preview->Width(), preview->Height()),
                 QRectF(1622.5, 4021.375, 1455, 1091.25));
        chooser->cmdOK->click();
        QCOMPARE(chooser->Tag, folder + u'/' + name);
        QUILL_END_PROGRAM(program);
    }

    void everyExifOrientationOfAPng_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QImage>("stored");
        const QImage upright = quadrants(64, 48);
        // Each stored as a camera would, made here pixel by pixel.
        auto remap = [&upright](QSize size, auto from) {
            QImage out(size, QImage::Format_RGB32);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    out.setPixel(x, y, upright.pixel(from(x, y)));
            return out;
        };
        const int w = upright.width(), h = upright.height();
        QTest::newRow("1") << 1 << upright;
        QTest::newRow("2 mirrored") << 2 << remap({w, h}, [&](int x, int y) { return QPoint(w - 1 - x, y); });
        QTest::newRow("3 half turn") << 3 << remap({w, h}, [&](int x, int y) { return QPoint(w - 1 - x, h - 1 - y); });
        QTest::newRow("4 flipped") << 4 << remap({w, h}, [&](int x, int y) { return QPoint(x, h - 1 - y); });
        QTest::newRow("5 transposed") << 5 << remap({h, w}, [&](int x, int y) { return QPoint(y, x); });
        QTest::newRow("6 quarter clockwise") << 6 << remap({h, w}, [&](int x, int y) { return QPoint(w - 1 - y, x); });
        QTest::newRow("7 transversed") << 7 << remap({h, w}, [&](int x, int y) { return QPoint(w - 1 - y, h - 1 - x); });
        QTest::newRow("8 quarter anticlockwise") << 8 << remap({h, w}, [&](int x, int y) { return QPoint(y, h - 1 - x); });
    }
    void everyExifOrientationOfAPng()
    {
        QFETCH(int, orientation);
        QFETCH(QImage, stored);
        const QString path = dir.filePath(QStringLiteral("oriented.png"));
        QVERIFY(TestPictures::WriteBytes(path, pngWithExif(stored, orientation)));
        const LoadResult r = LoadPicture(path);
        QCOMPARE(r.error.number, 0);
        QCOMPARE(r.picture.natural, QSize(64, 48));
        QVERIFY2(uprightQuadrants(r.picture.shown).isEmpty(), qPrintable(uprightQuadrants(r.picture.shown)));
    }

    void eachFormatPastedAsDataAndAsACopiedFile_data() { formats(); }
    void eachFormatPastedAsDataAndAsACopiedFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, type);
        auto* data = new QMimeData;
        data->setData(type, file);
        QGuiApplication::clipboard()->setMimeData(data);
        const LoadResult pasted = ClipboardPicture::Take(QSize(32, 32), 1.0);
        QCOMPARE(pasted.error.number, 0);
        QCOMPARE(pasted.picture.natural, QSize(64, 48));
        QVERIFY2(uprightQuadrants(pasted.picture.shown).isEmpty(), qPrintable(uprightQuadrants(pasted.picture.shown)));

        const QString path = dir.filePath(QStringLiteral("copied file"));
        QVERIFY(TestPictures::WriteBytes(path, file));
        data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(path)});
        QGuiApplication::clipboard()->setMimeData(data);
        const LoadResult fromFile = ClipboardPicture::Take(QSize(32, 32), 1.0);
        QCOMPARE(fromFile.error.number, 0);
        QCOMPARE(TestPictures::ReadBytes(fromFile.picture.sourcePath), file); // a private copy of the file, kept
        QVERIFY2(uprightQuadrants(fromFile.picture.shown).isEmpty(), qPrintable(uprightQuadrants(fromFile.picture.shown)));
    }

    void colourProfilesShownInSrgb_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QRgb>("stored");  // the pixel as the file holds it
        QTest::addColumn<int>("profile");  // a QColorSpace::NamedColorSpace; 0: none
        QTest::addColumn<int>("tolerance");
        const QRgb green = qRgb(40, 180, 60);
        QTest::newRow("PNG with a Display P3 profile (iCCP)") << profiled(green, QColorSpace::DisplayP3, "PNG") << green
                                                             << int(QColorSpace::DisplayP3) << 2;
        QTest::newRow("JPEG with an Adobe RGB profile") << profiled(green, QColorSpace::AdobeRgb, "JPEG") << green
                                                       << int(QColorSpace::AdobeRgb) << 6;
        QTest::newRow("HEIC with a Display P3 profile") << profiledHeic(green, QColorSpace::DisplayP3) << green
                                                       << int(QColorSpace::DisplayP3) << 10;
        QTest::newRow("AVIF with Display P3 primaries in its colour box")
            << profiledHeic(green, QColorSpace::DisplayP3, true) << green << int(QColorSpace::DisplayP3) << 10;
        QTest::newRow("WebP with a Display P3 profile") << profiled(green, QColorSpace::DisplayP3, "WEBP") << green
                                                       << int(QColorSpace::DisplayP3) << 2;
        QTest::newRow("TIFF with an Adobe RGB profile") << profiled(green, QColorSpace::AdobeRgb, "TIFF") << green
                                                       << int(QColorSpace::AdobeRgb) << 2;
        QTest::newRow("PNG without a profile: left alone") << encoded(solid(green), "PNG") << green << 0 << 0;
    }
    void colourProfilesShownInSrgb()
    {
        QFETCH(QByteArray, file);
        QFETCH(QRgb, stored);
        QFETCH(int, profile);
        QFETCH(int, tolerance);
        QVERIFY(!file.isEmpty());
        QRgb expected = stored;
        if (profile) {
            expected = QColorSpace(QColorSpace::NamedColorSpace(profile))
                           .transformationToColorSpace(QColorSpace::SRgb)
                           .map(QColor(stored))
                           .rgb();
            QVERIFY(!near(expected, stored, 12)); // the conversion shows at this pixel
        }
        const QString path = dir.filePath(QStringLiteral("profiled"));
        QVERIFY(TestPictures::WriteBytes(path, file));
        for (const QSize box : {QSize(8, 8), QSize()}) { // the slot, and the full picture (view, print, save)
            const LoadResult r = LoadPicture(path, box);
            QCOMPARE(r.error.number, 0);
            const QRgb seen = r.picture.shown.pixel(r.picture.shown.width() / 2, r.picture.shown.height() / 2);
            QVERIFY2(near(seen, expected, tolerance),
                     qPrintable(QStringLiteral("#%1, not #%2")
                                    .arg(seen & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                    .arg(expected & 0xFFFFFF, 6, 16, QLatin1Char('0'))));
        }
    }

    void helperIsStartedOnceAndUsedAgain()
    {
        const QString path = dir.filePath(QStringLiteral("P1I0.bmp"));
        QVERIFY(TestPictures::WriteBytes(path, encoded(quadrants(64, 48), "PNG")));
        // Started on a worker thread that then ends, as the page loader's threads do.
        DecoderProcess::EndIdleHelpers();
        int first = -1;
        std::thread([&] { first = LoadPicture(path, QSize(32, 32)).error.number; }).join();
        QCOMPARE(first, 0);
        const int started = DecoderProcess::HelpersStarted();
        for (int i = 0; i < 10; ++i)
            QCOMPARE(LoadPicture(path, QSize(32, 32)).error.number, 0);
        QCOMPARE(DecoderProcess::HelpersStarted(), started);

        // A picture that fails takes its helper with it; the next one gets a fresh helper.
        const QString broken = QStringLiteral(QUILL_CORPUS_DIR "/broken.png");
        QCOMPARE(LoadPicture(broken, QSize(32, 32)).error.number, 481);
        QCOMPARE(LoadPicture(path, QSize(32, 32)).error.number, 0);
        QVERIFY(DecoderProcess::HelpersStarted() > started);
    }

    void stallingHelperIsGivenUpAndEnded_data()
    {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QSize>("box");
        QTest::newRow("PNG, a serving helper") << encoded(quadrants(64, 48), "PNG") << QSize(32, 32);
        QTest::newRow("metafile, a helper of its own") << TestPictures::BlueRectangleMetafile() << QSize(100, 100);
    }
    void stallingHelperIsGivenUpAndEnded()
    {
        // A helper that never answers: the picture is given up at the time limit (481), so the
        // page screen goes on, the helper is ended, and the next picture gets a helper that
        // works. Read on a thread of its own, so that a loader that waits for ever fails this
        // test instead of hanging the suite.
        QFETCH(QByteArray, picture);
        QFETCH(QSize, box);
        const QString pidFile = dir.filePath(QStringLiteral("helper.pid"));
        const QString stalling = dir.filePath(QStringLiteral("stall.sh"));
        QVERIFY(TestPictures::WriteBytes(stalling, "#!/bin/sh\necho $$ > '" + QFile::encodeName(pidFile) +
                                                       "'\nexec sleep 3600\n"));
        QFile::setPermissions(stalling, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString path = dir.filePath(QStringLiteral("P1I0.bmp"));
        QVERIFY(TestPictures::WriteBytes(path, picture));
        qputenv("QUILL_DECODER_HELPER", QFile::encodeName(stalling));
        std::atomic<int> error{-1};
        struct Reading {
            std::thread thread;
            std::atomic<int>& error;
            QString pidFile;
            ~Reading()
            {
                if (error == -1) // still waiting: the helper is ended here, so the thread ends
                    ::kill(pid_t(TestPictures::ReadBytes(pidFile).trimmed().toInt()), SIGKILL);
                thread.join();
                qunsetenv("QUILL_DECODER_HELPER");
            }
        };
        {
            Reading reading{std::thread([&] { error = LoadPicture(path, box).error.number; }), error, pidFile};
            QTRY_VERIFY_WITH_TIMEOUT(error != -1, 30000);
        }
        QCOMPARE(error.load(), 481);
        const pid_t helper = pid_t(TestPictures::ReadBytes(pidFile).trimmed().toInt());
        QVERIFY(helper > 0);
        QVERIFY(::kill(helper, 0) != 0 && errno == ESRCH);
        QCOMPARE(LoadPicture(path, box).error.number, 0);
    }

    void stoppedHelperLeavesTheSlotPlaceholderAndTheProgramRuns()
    {
        auto program = std::make_unique<TestProgram>();
        program->addEmptyPicture();
        program->addPhotoData(); // what an exploited decoder would be after, in the current folder
        program->takeAsProgramFolder();
        const QString album = openEmptyAlbum(*program);
        QVERIFY(!album.isEmpty());
        QVERIFY(TestPictures::WriteBytes(album + QStringLiteral("/P1I0.bmp"), encoded(quadrants(64, 48), "PNG")));
        page()->Show();

        QVERIFY(QFile::exists(QStringLiteral("PhotoData.mdb")));
        qputenv("QUILL_DECODER_PROBE", "open");
        LoadPage(*page(), QStringLiteral("1"));
        qunsetenv("QUILL_DECODER_PROBE");
        PictureBox* slot = page()->Image1(0);
        QCOMPARE(slot->Tag, QStringLiteral("0"));
        QCOMPARE(slot->GetPicture().natural, QSize(111, 111)); // the drawn "cannot be shown" placeholder
        QVERIFY(slot->Problem.contains(QStringLiteral("P1I0.bmp")));

        LoadPage(*page(), QStringLiteral("1")); // the program runs on, and shows the picture
        QCOMPARE(slot->Tag, QStringLiteral("1"));
        QCOMPARE(slot->GetPicture().natural, QSize(64, 48));
        QUILL_END_PROGRAM(program);
    }

    void pageOfHostileFilesInTheNewFormats()
    {
        QStringList hostile;
        for (const char* kind : {"broken", "bomb"})
            for (const char* format : {"png", "webp", "tiff", "heic", "avif"})
                hostile << QStringLiteral(QUILL_CORPUS_DIR "/%1.%2").arg(QLatin1String(kind), QLatin1String(format));
        for (const QString& path : hostile) {
            const LoadResult r = LoadPicture(path, QSize(250, 250));
            QVERIFY2(r.error.number == 481, qPrintable(path + u' ' + r.error.description));
            if (path.contains(QLatin1String("bomb"))) // refused before decoding, and the slot says why
                QVERIFY2(r.error.description.contains(QLatin1String("too")), qPrintable(path + u' ' + r.error.description));
        }

        auto program = std::make_unique<TestProgram>();
        program->addEmptyPicture();
        program->takeAsProgramFolder();
        const QString album = openEmptyAlbum(*program);
        QVERIFY(!album.isEmpty());
        for (int s = 0; s <= 11; ++s)
            QVERIFY(QFile::copy(hostile[s % hostile.size()], album + QStringLiteral("/P1I%1.bmp").arg(s)));
        page()->Show();
        MemoryProbe::ResetPeak();
        const qint64 before = MemoryProbe::ResidentKb();
        QElapsedTimer t;
        t.start();
        LoadPage(*page(), QStringLiteral("1"));
        // Bounded by the helpers' own limits (each slot is given up after its time limit), not a speed promise.
        QVERIFY(t.elapsed() < 12 * 10000);
        QVERIFY(MemoryProbe::PeakResidentKb() - before < 100 * 1024);
        for (int s = 0; s <= 11; ++s) {
            QCOMPARE(page()->Image1(s)->Tag, QStringLiteral("0"));
            QVERIFY(!page()->Image1(s)->Problem.isEmpty());
        }
        QUILL_END_PROGRAM(program);
    }

private:
    // Every new format, made here: a picture of four quadrants, as a file that stands it upright.
    static void formats()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("type"); // as another program offers it on the clipboard
        const QImage upright = quadrants(64, 48);
        QTest::newRow("PNG") << encoded(upright, "PNG") << QStringLiteral("image/png");
        QTest::newRow("WebP") << encoded(upright, "WEBP") << QStringLiteral("image/webp");
        QTest::newRow("PNG turned by its EXIF") << pngWithExif(turnedLeft(upright), 6) << QStringLiteral("image/png");
        QTest::newRow("WebP mirrored by its EXIF") << webpWithExif(upright.mirrored(true, false), 2)
                                                   << QStringLiteral("image/webp");
        // Turned a quarter clockwise to stand upright; its second page is another picture.
        QTest::newRow("TIFF, two pages, turned") << tiff({turnedLeft(upright), quadrants(30, 30).mirrored()}, 6) << QStringLiteral("image/tiff");
        QTest::newRow("HEIC, turned by its own rotation")
            << heif(turnedLeft(upright), heif_compression_HEVC, heif_orientation_rotate_90_cw)
            << QStringLiteral("image/heic");
        QTest::newRow("AVIF, mirrored by its own mirroring")
            << heif(upright.mirrored(true, false), heif_compression_AV1, heif_orientation_flip_horizontally)
            << QStringLiteral("image/avif");
    }

    QTemporaryDir dir;
};

QTEST_MAIN(TestDecoder)
#include "tst_decoder.moc"
