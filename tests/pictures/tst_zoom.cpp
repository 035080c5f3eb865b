// Zoom and pan in the full-size view: actual pixels and back, the point under the mouse kept,
// the picture never moved past its edges, and the region decoder against a whole decode.
#include "decoding.h"
#include "fitting.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "regiondecoder.h"
#include "screennames.h"
#include "session.h"
#include "testpictures.h"
#include "testprogram.h"
#include "viewhelpers.h"
#include "viewzoom.h"
#include "zoompane.h"

#include <QApplication>
#include <QBuffer>
#include <QCursor>
#include <QImageWriter>
#include <QTest>
#include <QWheelEvent>

namespace {

FrmDisplayPicture* view()
{
    return Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
}

ZoomPane* pane()
{
    return view()->zoom();
}

// Every pixel its own colour: a picture pixel drawn anywhere but one for one shows a wrong colour.
QRgb pixelPattern(int x, int y)
{
    return qRgb(x & 255, y & 255, ((x >> 8) << 4 | (y >> 8)) & 255);
}

// Blocks of 40 pixels, each its own colour: a point under the mouse is told within its block.
QRgb blockPattern(int x, int y)
{
    const int bx = x / 40, by = y / 40;
    return qRgb((bx * 37) & 255, (by * 53) & 255, ((bx + by) * 91) & 255);
}

QImage patterned(QSize size, QRgb (*pattern)(int, int))
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, pattern(x, y));
    return image;
}

// The view showing `image` (as a bitmap file), fitted, as the page screen opens it.
void open(const TestProgram& program, const QImage& image)
{
    const QString path = program.path(QStringLiteral("pattern.bmp"));
    QVERIFY(TestPictures::Save(image, path, "BMP"));
    const Pictures::LoadResult loaded = Pictures::LoadPicture(path, QSize(200, 200));
    QVERIFY(!loaded.error.failed());
    ViewHelpers::ShowFitted(loaded.picture);
    QVERIFY(QTest::qWaitForWindowExposed(view()));
    QCursor::setPos(view()->mapToGlobal(QPoint(0, 0))); // away from the picture: keys zoom about the centre
}

// What the pane shows at `at` (pane pixels), once the sharp picture is in.
QRgb shownAt(QPointF at)
{
    const QImage shot = pane()->grab().toImage();
    const QPointF device = at * shot.devicePixelRatio();
    return shot.pixel(device.toPoint());
}

bool progressive(const QByteArray& jpeg)
{
    return Pictures::ScanJpeg(reinterpret_cast<const uchar*>(jpeg.constData()), jpeg.size()).progressive;
}

void ctrlWheel(QWidget* on, QPointF at, int notches)
{
    ViewHelpers::Wheel(on, at, notches, Qt::ControlModifier);
}

} // namespace

class TestZoom : public QObject {
    Q_OBJECT
    std::unique_ptr<TestProgram> program;

private slots:
    void init() { program = std::make_unique<TestProgram>(); }
    void cleanup() { QUILL_END_PROGRAM(program); }

    // 1 (or a double click on the fitted picture) shows one picture pixel on one screen pixel;
    // 0 (or a double click on the zoomed one) fits it again.
    void actualPixelsAndBack_data()
    {
        QTest::addColumn<bool>("byKeys");
        QTest::newRow("1, then 0") << true;
        QTest::newRow("double click, then double click") << false;
    }
    void actualPixelsAndBack()
    {
        QFETCH(bool, byKeys);
        open(*program, patterned(QSize(1500, 1100), pixelPattern));
        PictureBox* img1 = view()->img1();
        if (byKeys)
            QTest::keyClick(view(), Qt::Key_1);
        else
            QTest::mouseDClick(img1, Qt::LeftButton, Qt::NoModifier, img1->rect().center());
        QVERIFY(pane()->Zoom().AtActualPixels());
        QVERIFY(pane()->isVisible() && !img1->isVisible());
        QTRY_VERIFY(pane()->Sharp());
        const QImage shot = pane()->grab().toImage();
        const qreal dpr = shot.devicePixelRatio();
        for (const QPoint device : {QPoint(3, 3), QPoint(shot.width() / 2, shot.height() / 3),
                                    QPoint(shot.width() - 4, shot.height() - 4)}) {
            // The picture pixel under the middle of this screen pixel; its neighbours on screen
            // are its neighbours in the picture.
            const QPointF p = pane()->Zoom().PictureAt((QPointF(device) + QPointF(0.5, 0.5)) / dpr);
            const int x = int(p.x()), y = int(p.y());
            QCOMPARE(QColor(shot.pixel(device)), QColor(pixelPattern(x, y)));
            QCOMPARE(QColor(shot.pixel(device + QPoint(1, 0))), QColor(pixelPattern(x + 1, y)));
            QCOMPARE(QColor(shot.pixel(device + QPoint(0, 1))), QColor(pixelPattern(x, y + 1)));
        }
        if (byKeys)
            QTest::keyClick(view(), Qt::Key_0);
        else
            QTest::mouseDClick(pane(), Qt::LeftButton, Qt::NoModifier, pane()->rect().center());
        QVERIFY(pane()->Zoom().Fitted());
        QVERIFY(!pane()->isVisible() && img1->isVisible());
    }

    // Ctrl+wheel zooms about the mouse: the picture point under it stays under it, on screen and
    // in the zoom's own sums.
    void ctrlWheelKeepsThePointUnderTheMouse_data()
    {
        QTest::addColumn<QPointF>("picturePoint");
        QTest::addColumn<QList<int>>("notches");
        // Points where the picture, zoomed about them, stays whole on view along a side shorter than the view.
        QTest::newRow("in, left") << QPointF(420, 600) << QList<int>{1};
        QTest::newRow("in three times, right and low") << QPointF(1180, 640) << QList<int>{1, 1, 1};
        QTest::newRow("in twice, out once, off centre") << QPointF(1020, 560) << QList<int>{2, -1};
    }
    void ctrlWheelKeepsThePointUnderTheMouse()
    {
        QFETCH(QPointF, picturePoint);
        QFETCH(QList<int>, notches);
        open(*program, patterned(QSize(1600, 1200), blockPattern));
        const QRgb colour = blockPattern(int(picturePoint.x()), int(picturePoint.y()));
        QTest::keyClick(view(), Qt::Key_0); // the zoom learns the view's size
        const QPointF at = pane()->Zoom().ViewAt(picturePoint);
        for (int turn : notches) {
            // Fitted, the view takes the wheel (a real turn over the picture reaches it from there).
            QWidget* under = pane()->isVisible() ? static_cast<QWidget*>(pane()) : static_cast<QWidget*>(view());
            ctrlWheel(under, under->mapFromGlobal(pane()->mapToGlobal(at)), turn);
            QVERIFY(!pane()->Zoom().Fitted());
            const QPointF now = pane()->Zoom().PictureAt(at);
            QVERIFY2(std::abs(now.x() - picturePoint.x()) < 0.01 && std::abs(now.y() - picturePoint.y()) < 0.01,
                     qPrintable(QStringLiteral("now under the mouse: %1, %2").arg(now.x()).arg(now.y())));
            QTRY_VERIFY(pane()->Sharp());
            QCOMPARE(QColor(shownAt(at)), QColor(colour));
        }
    }

    // However far it is dragged, scrolled or moved by keys, a picture larger than the view
    // covers it, and one narrower than the view stays whole on view across.
    void panStopsAtThePictureEdges_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QPoint>("towards");
        QTest::newRow("dragged right") << QSize(1600, 1200) << "drag" << QPoint(1, 0);
        QTest::newRow("dragged up and left") << QSize(1600, 1200) << "drag" << QPoint(-1, -1);
        QTest::newRow("Right key") << QSize(1600, 1200) << "keys" << QPoint(-1, 0);
        QTest::newRow("Up key") << QSize(1600, 1200) << "keys" << QPoint(0, 1);
        QTest::newRow("wheel down") << QSize(1600, 1200) << "wheel" << QPoint(0, -1);
        QTest::newRow("narrow picture dragged sideways") << QSize(300, 2400) << "drag" << QPoint(1, 1);
    }
    void panStopsAtThePictureEdges()
    {
        QFETCH(QSize, picture);
        QFETCH(QString, how);
        QFETCH(QPoint, towards);
        open(*program, patterned(picture, blockPattern));
        QTest::keyClick(view(), Qt::Key_1);
        const QPoint centre = pane()->rect().center();
        for (int i = 0; i < 30; ++i) {
            if (how == QLatin1String("drag")) {
                QTest::mousePress(pane(), Qt::LeftButton, Qt::NoModifier, centre);
                QTest::mouseMove(pane(), centre + towards * 200);
                QTest::mouseRelease(pane(), Qt::LeftButton, Qt::NoModifier, centre + towards * 200);
            } else if (how == QLatin1String("keys")) {
                const Qt::Key key = towards.x() < 0 ? Qt::Key_Right : towards.x() > 0 ? Qt::Key_Left
                                    : towards.y() > 0                 ? Qt::Key_Up
                                                                      : Qt::Key_Down;
                QTest::keyClick(view(), key);
            } else {
                ViewHelpers::Wheel(pane(), QPointF(centre), -1);
            }
        }
        QVERIFY(pane()->Zoom().AtActualPixels()); // moved, not stepped or zoomed
        const QRectF shown = pane()->Zoom().PictureRect();
        const QSizeF viewSize = pane()->Zoom().View();
        auto check = [](double start, double length, double view, int push) {
            const bool within = length <= view ? start >= -1e-6 && start + length <= view + 1e-6
                                               : start <= 1e-6 && start + length >= view - 1e-6;
            // Pushed all the way: its edge on the view's edge (the left one for a push right).
            const double edge = length <= view ? (push > 0 ? start + length - view : start)
                                               : (push > 0 ? start : start + length - view);
            return within && (push == 0 || std::abs(edge) < 1e-6);
        };
        QVERIFY2(check(shown.left(), shown.width(), viewSize.width(), towards.x()) &&
                     check(shown.top(), shown.height(), viewSize.height(), towards.y()),
                 qPrintable(QStringLiteral("picture at %1, %2 sized %3 x %4 in %5 x %6")
                                .arg(shown.left()).arg(shown.top()).arg(shown.width()).arg(shown.height())
                                .arg(viewSize.width()).arg(viewSize.height())));
    }

    // A part of a JPEG decoded alone is that part of the whole picture decoded, at the scale asked.
    void regionMatchesWholeDecode_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("leastPsnr"); // dB: at actual pixels the same decode, scaled a different filter
        QTest::addColumn<bool>("isProgressive");
        QTest::newRow("actual pixels, off the block grid") << 1 << QRect(101, 37, 413, 290) << 1.0 << 60.0 << false;
        QTest::newRow("half size") << 1 << QRect(240, 160, 600, 400) << 0.5 << 38.0 << false;
        QTest::newRow("0.3, odd place") << 1 << QRect(333, 111, 500, 555) << 0.3 << 33.0 << false;
        QTest::newRow("turned a quarter") << 6 << QRect(50, 500, 400, 300) << 1.0 << 60.0 << false;
        QTest::newRow("turned back a quarter, 0.7") << 8 << QRect(300, 20, 380, 610) << 0.7 << 35.0 << false;
        QTest::newRow("half turn, at the far corner") << 3 << QRect(700, 500, 300, 260) << 1.0 << 60.0 << false;
        QTest::newRow("progressive, actual pixels") << 1 << QRect(101, 37, 413, 290) << 1.0 << 60.0 << true;
        QTest::newRow("progressive, turned a quarter, 0.7") << 6 << QRect(300, 20, 380, 610) << 0.7 << 35.0 << true;
    }
    void regionMatchesWholeDecode()
    {
        QFETCH(int, orientation);
        QFETCH(QRect, region);
        QFETCH(double, scale);
        QFETCH(double, leastPsnr);
        QFETCH(bool, isProgressive);
        const QString path = program->path(QStringLiteral("photo.jpg"));
        const QImage stored = TestPictures::Photo(1000, 760, 5);
        const QByteArray jpeg = TestPictures::JpegWithOrientation(stored, orientation, isProgressive);
        QCOMPARE(progressive(jpeg), isProgressive);
        QVERIFY(TestPictures::WriteBytes(path, jpeg));
        const auto source = RegionDecoder::Open(path);
        QVERIFY(source);
        // Kept sequential: no part after the first reads every coefficient again.
        QVERIFY(!progressive(source->bytes));
        const QImage whole = Pictures::LoadPicture(path).picture.shown;
        QCOMPARE(source->natural, whole.size());
        const QImage part = RegionDecoder::Decode(*source, region, scale);
        const QSize size = part.size() - (QSizeF(region.size()) * scale).toSize();
        QVERIFY2(std::abs(size.width()) <= 1 && std::abs(size.height()) <= 1, qPrintable(QStringLiteral("%1 x %2").arg(part.width()).arg(part.height())));
        const QImage expected = whole.copy(region).scaled(part.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double psnr = TestPictures::Psnr(part, expected);
        QVERIFY2(psnr > leastPsnr, qPrintable(QStringLiteral("PSNR %1 dB").arg(psnr)));
    }

    // A damaged progressive JPEG (a later scan asks for coefficients past the last one) is
    // no picture for the region decoder: no crash, no rewrite kept.
    void damagedProgressiveJpegIsNoCrash()
    {
        QByteArray jpeg = TestPictures::JpegWithOrientation(TestPictures::Photo(400, 300, 2), 1, true);
        QVERIFY(progressive(jpeg));
        const qsizetype scan = jpeg.indexOf("\xFF\xDA", jpeg.indexOf("\xFF\xDA") + 2);
        QVERIFY(scan > 0);
        const int components = uchar(jpeg[scan + 4]);
        jpeg[scan + 5 + 2 * components + 1] = char(80); // its last coefficient: beyond the 64
        const QString path = program->path(QStringLiteral("damaged.jpg"));
        QVERIFY(TestPictures::WriteBytes(path, jpeg));
        QVERIFY(!RegionDecoder::Open(path));
    }

    // The sharp part reaches beyond the view: a pan by an arrow key or a short drag shows sharp
    // at once, with no new decode.
    void smallPanWithinTheMarginStaysSharp_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Right key") << "key";
        QTest::newRow("short drag") << "drag";
    }
    void smallPanWithinTheMarginStaysSharp()
    {
        QFETCH(QString, how);
        const QString path = program->path(QStringLiteral("big.jpg"));
        QVERIFY(TestPictures::WriteBytes(path, TestPictures::JpegWithOrientation(TestPictures::Photo(3000, 2200, 3), 1)));
        const Pictures::LoadResult loaded = Pictures::LoadPicture(path, QSize(200, 200));
        QVERIFY(!loaded.error.failed());
        view()->SetPictureFrom(loaded.picture);
        view()->Show();
        QVERIFY(QTest::qWaitForWindowExposed(view()));
        QTest::keyClick(view(), Qt::Key_1);
        QTRY_VERIFY(pane()->Sharp());
        const int decodes = pane()->Decodes();
        const QPointF before = pane()->Zoom().PictureAt(QPointF(0, 0));
        if (how == QLatin1String("key")) {
            QTest::keyClick(view(), Qt::Key_Right);
        } else {
            const QPoint centre = pane()->rect().center();
            QTest::mousePress(pane(), Qt::LeftButton, Qt::NoModifier, centre);
            QTest::mouseMove(pane(), centre + QPoint(-60, -40));
            QTest::mouseRelease(pane(), Qt::LeftButton, Qt::NoModifier, centre + QPoint(-60, -40));
        }
        QVERIFY(pane()->Zoom().PictureAt(QPointF(0, 0)) != before); // it did move
        QVERIFY(pane()->Sharp());
        QCOMPARE(pane()->Decodes(), decodes);
    }
};

QTEST_MAIN(TestZoom)
#include "tst_zoom.moc"
