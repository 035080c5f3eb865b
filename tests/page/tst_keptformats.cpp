// What a slot's file holds for each way a picture comes in, and: a slot added from a
// JPEG, HEIC or PNG file is saved as that file's own bytes under the slot's name
// "P<page>I<slot>.bmp", and every reader of album files tells the picture by its
// content: upright (EXIF, HEIF's turn) and in its colours (ICC).
#include "forms.h"
#include "frmdisplaypicture.h"
#include "frmpage1.h"
#include "frmphotodatamain.h"
#include "keptfile.h"
#include "pagewriter.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "slotreader.h"
#include "testheif.h"
#include "testnotes.h"
#include "testpictures.h"
#include "testprogram.h"
#include "thumbnailcache.h"

#include <QBuffer>
#include <QClipboard>
#include <QColorSpace>
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QPushButton>
#include <QPrinter>
#include <QProcess>
#include <QTest>
#include <QUrl>
#include <QtEndian>

#include <sys/stat.h>

namespace {

const QRgb Top = qRgb(200, 60, 40), Bottom = qRgb(40, 90, 200); // the upright picture's halves
const QSize Upright(160, 320); // larger than a slot's thumbnail, so that the cache keeps one

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

FrmDisplayPicture* view()
{
    return Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
}

// Stored turned left, so that it stands upright only with its orientation applied, and
// in ProPhoto RGB, so that its colours are right only with its profile applied.
QImage stored()
{
    QImage upright(Upright, QImage::Format_RGB32);
    upright.fill(Top);
    for (int y = Upright.height() / 2; y < Upright.height(); ++y)
        for (int x = 0; x < Upright.width(); ++x)
            upright.setPixel(x, y, Bottom);
    QImage turned = upright.transformed(QTransform().rotate(-90));
    turned.setColorSpace(QColorSpace(QColorSpace::ProPhotoRgb));
    return turned;
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG with its profile (iCCP) and an eXIf chunk saying "turn a quarter clockwise".
QByteArray png()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "PNG").write(stored());
    QByteArray tiff("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 26);
    const QByteArray typed = "eXIf" + tiff;
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(tiff.size()), chunk.data());
    chunk += typed;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(typed), crc.data());
    bytes.insert(33, chunk + crc); // right after the header chunk
    return bytes;
}

QByteArray heic()
{
    const QByteArray icc = QColorSpace(QColorSpace::ProPhotoRgb).iccProfile();
    TestHeif::Options options;
    options.quality = 95;
    options.orientation = heif_orientation_rotate_90_cw;
    options.prepare = [icc](heif_image* image) {
        heif_image_set_raw_color_profile(image, "prof", icc.constData(), size_t(icc.size()));
    };
    return TestHeif::Encode(stored(), heif_compression_HEVC, options);
}

QByteArray source(const QString& format)
{
    if (format == u"JPEG")
        return TestPictures::JpegWithOrientation(stored(), 6);
    return format == u"PNG" ? png() : heic();
}

// The colours at the middle of the upper and lower quarter of `image`.
std::pair<QColor, QColor> halves(const QImage& image)
{
    return {QColor(image.pixel(image.width() / 2, image.height() / 4)),
            QColor(image.pixel(image.width() / 2, image.height() * 3 / 4))};
}

bool near(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) <= 12 && qAbs(a.green() - b.green()) <= 12 && qAbs(a.blue() - b.blue()) <= 12;
}

QString text(const QColor& c)
{
    return QStringLiteral("(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// The printed picture: the part of the rendered PDF page that is not white.
QImage printed(const QString& pdf)
{
    const QString stem = pdf + QStringLiteral(".page");
    if (QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-png"),
                                                       QStringLiteral("-singlefile"), pdf, stem}) != 0)
        return {};
    const QImage sheet(stem + QStringLiteral(".png"), "PNG");
    QRect ink;
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            if (qGray(sheet.pixel(x, y)) < 200)
                ink |= QRect(x, y, 1, 1);
    return sheet.copy(ink);
}

} // namespace

class TestKeptFormats : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram();
        QVERIFY(MakeAlbum(QStringLiteral("Holiday")));
        ThumbnailCache::UseShared({});
        OpenAlbum(QStringLiteral("Holiday"));
    }
    void cleanup()
    {
        ThumbnailCache::UseShared({});
        QUILL_END_PROGRAM(program);
    }

    // What a slot's file holds: a picture added from a file in a format the program reads is its
    // file's own bytes (its private copy named, or copied where it was named already); a picture
    // pasted as data, a metafile and pixels are written as bitmaps; a bitmap is copied as it is.
    void slotFileHoldsWhatWasAdded_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("ownBytes");
        QTest::newRow("JPEG file, first save") << u"jpeg file"_qs << true;
        QTest::newRow("JPEG file, saved before into another album") << u"jpeg file, again"_qs << true;
        QTest::newRow("bitmap file") << u"bitmap file"_qs << true;
        QTest::newRow("another album's JPEG file, unchanged") << u"jpeg album file"_qs << true;
        QTest::newRow("PNG pasted as data") << u"png data"_qs << false;
        QTest::newRow("metafile") << u"metafile"_qs << false;
        QTest::newRow("pixels pasted") << u"pixels"_qs << false;
    }
    void slotFileHoldsWhatWasAdded()
    {
        QFETCH(QString, how);
        QFETCH(bool, ownBytes);
        const QImage photo = TestPictures::Photo(64, 48, 3);
        QByteArray original;
        QString file = program->path(QStringLiteral("added"));
        if (how.startsWith(u"jpeg"))
            original = TestPictures::JpegWithOrientation(photo, 6);
        else if (how == u"bitmap file")
            original = TestPictures::Bitmap(photo, 24, false);
        else if (how == u"metafile")
            original = TestPictures::BlueRectangleMetafile();
        else if (how == u"png data")
            QVERIFY(TestPictures::Save(photo, file, "PNG") && !(original = TestPictures::ReadBytes(file)).isEmpty());
        QVERIFY(how == u"pixels" || TestPictures::WriteBytes(file, original));
        const Pictures::LoadResult added = how == u"pixels"     ? Pictures::LoadResult{Pictures::PictureFromImage(photo), {}}
                                           : how == u"png data" ? Pictures::LoadKeptBytes(original)
                                           : how == u"jpeg album file" ? Pictures::LoadPicture(file) // no private copy
                                                                : Pictures::LoadKeptPicture(file);
        QVERIFY(!added.error.failed());
        const QString other = program->path(QStringLiteral("Other"));
        if (how.endsWith(u"again"))
            QVERIFY(QDir().mkdir(other) && !PageWriter::WritePage(other, 1, {{2, added.picture}}).failed());
        QVERIFY(!PageWriter::WritePage(album, 1, {{2, added.picture}}).failed());
        const QString saved = album + QStringLiteral("/P1I2.bmp");
        if (ownBytes)
            QVERIFY(TestPictures::ReadBytes(saved) == original);
        else
            QCOMPARE(TestPictures::ReadBytes(saved).left(2), QByteArray("BM"));
        struct stat st {}, inOther {};
        QCOMPARE(::stat(QFile::encodeName(saved).constData(), &st), 0);
        const mode_t mask = ::umask(022);
        ::umask(mask);
        QCOMPARE(st.st_mode & 0777, 0666 & ~mask); // as any file the program writes, not its private copy's 0600
        struct stat kept {};
        if (how == u"jpeg file" && ::stat(QFile::encodeName(added.picture.kept->Path()).constData(), &kept) == 0 &&
            kept.st_dev == st.st_dev)
            QCOMPARE(st.st_ino, kept.st_ino); // the private copy itself, nothing copied
        if (how.endsWith(u"again")) { // two albums never share one file
            QCOMPARE(::stat(QFile::encodeName(other + QStringLiteral("/P1I2.bmp")).constData(), &inOther), 0);
            QVERIFY(st.st_ino != inOther.st_ino);
        }
    }

    void savedSlotKeepsItsFileForEveryReader_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("reader");
        for (const char* format : {"JPEG", "HEIC", "PNG"})
            for (const char* reader : {"page loader", "thumbnail cache", "full-size view", "printing",
                                       "notes' View Picture", "Copy"})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(format), QLatin1String(reader))))
                    << QString::fromLatin1(format) << QString::fromLatin1(reader);
    }
    void savedSlotKeepsItsFileForEveryReader()
    {
        QFETCH(QString, format);
        QFETCH(QString, reader);
        const QByteArray original = source(format);
        if (original.isEmpty())
            QSKIP("this libheif has no HEVC encoder");
        const QString file = program->path(QStringLiteral("photo.") + format.toLower());
        QVERIFY(TestPictures::WriteBytes(file, original));

        // The fixture holds what the test is about: turned and profiled.
        const Pictures::LoadResult right = Pictures::LoadPicture(file);
        QVERIFY(!right.error.failed());
        QCOMPARE(right.picture.natural, Upright);
        const auto [top, bottom] = halves(right.picture.shown);
        QVERIFY2(!near(top, QColor(Top)) && !near(bottom, QColor(Bottom)), "the profile changes the colours");

        // Added from the file (a copied file pasted), saved, and the album opened again.
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(file)});
        QGuiApplication::clipboard()->setMimeData(data);
        page()->mnuPaste_Click();
        QTest::mouseClick(page()->Image1(4), Qt::LeftButton);
        program->user.answerText(QStringLiteral("Holiday"));
        page()->mnuSaveAlbum_Click();
        QCOMPARE(session.albumChanged, 0);
        const QString saved = album + QStringLiteral("/P1I4.bmp");
        QVERIFY(TestPictures::ReadBytes(saved) == original); // byte for byte
        QVERIFY(QFile::remove(file)); // nothing is read from the source any more
        OpenAlbum(QStringLiteral("Holiday"));

        QImage seen;
        if (reader == u"page loader") {
            seen = page()->Image1(4)->GetPicture().shown;
        } else if (reader == u"thumbnail cache") {
            const ThumbnailCache cache(program->path(QStringLiteral("thumbnails")));
            const SlotReader::Read first = SlotReader::ReadSlotPicture(saved, QSize(100, 100), 1.0, cache);
            QVERIFY(first.keep && SlotReader::Keep(cache, *first.keep));
            const SlotReader::Read again = SlotReader::ReadSlotPicture(saved, QSize(100, 100), 1.0, cache);
            QVERIFY(again.fromCache);
            seen = again.result.picture.shown;
        } else if (reader == u"Copy") {
            page()->mnuCopy_Click();
            QTest::mouseClick(page()->Image1(4), Qt::LeftButton);
            seen = QImage::fromData(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), "PNG");
        } else if (reader == u"notes' View Picture") {
            TestNotes::Add(QStringLiteral("Holiday"), 1, 4);
            Forms::Show(Screen::PhotoDataMain);
            Forms::Get<FrmPhotoDataMain>(Screen::PhotoDataMain)->cmdView->click();
            seen = view()->img1()->GetPicture().shown;
        } else {
            QTest::mouseClick(page()->Image1(4), Qt::LeftButton); // the full-size view
            QVERIFY(view()->isVisible());
            seen = view()->img1()->GetPicture().shown;
            if (reader == u"printing") {
                const QString pdf = program->path(QStringLiteral("printed.pdf"));
                view()->Printer().setOutputFormat(QPrinter::PdfFormat);
                view()->Printer().setOutputFileName(pdf);
                view()->mnuPrintPicture_Click();
                seen = printed(pdf);
            }
        }
        QVERIFY2(!seen.isNull() && seen.height() > seen.width() * 3 / 2,
                 qPrintable(QStringLiteral("%1 by %2").arg(seen.width()).arg(seen.height()))); // upright
        const auto [seenTop, seenBottom] = halves(seen);
        QVERIFY2(near(seenTop, top) && near(seenBottom, bottom),
                 qPrintable(QStringLiteral("%1 %2, expected %3 %4")
                                .arg(text(seenTop), text(seenBottom), text(top), text(bottom))));
    }
};

QTEST_MAIN(TestKeptFormats)
#include "tst_keptformats.moc"
