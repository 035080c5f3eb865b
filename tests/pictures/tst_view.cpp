// The full-size view: fitting, Back, and printing at the computed place and size.
#include "fitting.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "printlayout.h"
#include "screennames.h"
#include "session.h"
#include "testpictures.h"
#include "testprogram.h"
#include "viewhelpers.h"

#include <QAction>
#include <QDir>
#include <QPrinterInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>

namespace {

FrmDisplayPicture* view()
{
    return Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
}

// The view showing the picture in `path`, fitted, as the page screen opens it.
void open(const QString& path)
{
    const Pictures::LoadResult loaded = Pictures::LoadPicture(path, QSize(200, 200));
    QVERIFY(!loaded.error.failed());
    ViewHelpers::ShowFitted(loaded.picture);
}

struct RenderedPage {
    QSize size;      // pixels
    QRect picture;   // the bounding box of what is not white
};

RenderedPage render(const QString& pdf, int dpi)
{
    RenderedPage page;
    const QString stem = pdf + QStringLiteral(".page");
    if (QProcess::execute(QStringLiteral("pdftoppm"),
                          {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"), QStringLiteral("-singlefile"),
                           pdf, stem}) != 0)
        return page;
    const QImage image(stem + QStringLiteral(".png"));
    page.size = image.size();
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 200) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right >= 0)
        page.picture = QRect(QPoint(left, top), QPoint(right, bottom));
    return page;
}

// The title a PDF file carries in its information dictionary, as pdfinfo reads it.
QString PdfTitle(const QString& pdf)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf});
    if (!info.waitForFinished(30000))
        return QStringLiteral("(pdfinfo did not finish)");
    for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split(u'\n')) {
        if (line.startsWith(QLatin1String("Title:")))
            return line.mid(6).trimmed();
    }
    return {};
}

} // namespace

class TestView : public QObject {
    Q_OBJECT

private slots:
    void init() { program = std::make_unique<TestProgram>(); }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void printLayout_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<double>("pageW");
        QTest::addColumn<double>("pageH");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QRectF>("rect");
        QTest::newRow("worked example") << 640 << 480 << 15120.0 << 11520.0 << 2 << QRectF(3211, 2160, 9600, 7200);
        QTest::newRow("square") << 100 << 100 << 12240.0 << 15840.0 << 1 << QRectF(2520, 4771, 7200, 7200);
        QTest::newRow("tall") << 480 << 640 << 12240.0 << 15840.0 << 1 << QRectF(2520, 3571, 7200, 9600);
        // Too wide for the sheet: scaled to the page, about the same centre, never off it.
        QTest::newRow("ten times wide") << 1000 << 100 << 15840.0 << 12240.0 << 2 << QRectF(0, 5328, 15840, 1584);
    }
    void printLayout()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(double, pageW);
        QFETCH(double, pageH);
        QFETCH(int, orientation);
        QFETCH(QRectF, rect);
        QCOMPARE(int(PrintLayout::OrientationFor(w, h)), orientation);
        QCOMPARE(PrintLayout::PlaceOnPage(w, h, pageW, pageH), rect);
    }

    void closingTheViewIsBack()
    {
        const QString path = program->path(QStringLiteral("p.bmp"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(60, 40), path, "BMP"));
        session.viewFromPage = 1;
        open(path);
        view()->setEnabled(false); // the backdrop of the photo data screen stays
        view()->close();
        QVERIFY(Forms::IsLoaded(Screen::DisplayPicture) && view()->isVisible());
        view()->setEnabled(true);
        view()->close();
        QVERIFY(!Forms::IsLoaded(Screen::DisplayPicture));
        QVERIFY(Forms::Get(Screen::Page1)->isVisible());
    }

    void viewShowsTheFullPictureFitted()
    {
        const QString path = program->path(QStringLiteral("tall.bmp"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(600, 1200), path, "BMP"));
        open(path);
        PictureBox* img1 = view()->img1();
        QCOMPARE(img1->GetPicture().natural, QSize(600, 1200));
        QVERIFY(img1->GetPicture().shown.height() > 200); // loaded again for the view, not the small copy
        QCOMPARE(img1->Height(), 97.5f);
        QCOMPARE(img1->Top(), 1.25f);
        QCOMPARE(view()->Caption(), QString());
        // On screen the picture keeps its own shape.
        const QRect onScreen = img1->geometry();
        QVERIFY(qAbs(double(onScreen.height()) / onScreen.width() - 2.0) < 0.05);
    }

    void backFromTheBrowserLeavesThePageScreenAlone()
    {
        const QString path = program->path(QStringLiteral("a.bmp"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(64, 48), path, "BMP"));
        session.viewFromPage = 0;
        open(path);
        view()->mnuBack_Click();
        QVERIFY(!Forms::IsLoaded(Screen::DisplayPicture));
        QVERIFY(!Forms::IsLoaded(Screen::Page1));

        program->user.answerButton(vbNo);
        open(path);
        QTest::keyClick(view(), Qt::Key_Escape);
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.first().title, QStringLiteral("WARNING"));
        QVERIFY(view()->isVisible());
    }

    void printsWideLandscapeAndTallPortrait_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::newRow("wide") << 480 << 300;
        QTest::newRow("tall") << 300 << 480;
    }
    void printsWideLandscapeAndTallPortrait()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QImage dark(w, h, QImage::Format_RGB32);
        dark.fill(qRgb(30, 40, 50));
        const QString path = program->path(QStringLiteral("print.bmp"));
        QVERIFY(TestPictures::Save(dark, path, "BMP"));
        open(path);
        QPrinter& printer = view()->Printer();
        const QString pdf = program->path(QStringLiteral("out.pdf"));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::Letter));

        QList<bool> signShown;
        QAction* pw = view()->Menu(QStringLiteral("mnuPw"));
        QCOMPARE(pw->text(), QStringLiteral("*** Sending picture to the printer ***"));
        connect(pw, &QAction::changed, this, [&] { signShown << pw->isVisible(); });
        view()->Menu(QStringLiteral("mnuPrintPicture"))->trigger();
        QCOMPARE(signShown, (QList<bool>{true, false}));
        QVERIFY(program->user.asked.isEmpty());

        const int dpi = 20;
        const RenderedPage page = render(pdf, dpi);
        QVERIFY2(!page.size.isEmpty(), "pdftoppm rendered the page");
        const bool landscape = w > h;
        QCOMPARE(page.size.width() > page.size.height(), landscape);
        // Letter: 12240 x 15840 twips portrait.
        const double pageW = landscape ? 15840 : 12240, pageH = landscape ? 12240 : 15840;
        const QRectF twips = PrintLayout::PlaceOnPage(w, h, pageW, pageH);
        const double px = dpi / 1440.0;
        const QRectF expected(twips.left() * px, twips.top() * px, twips.width() * px, twips.height() * px);
        QVERIFY2(qAbs(page.picture.left() - expected.left()) <= 2 && qAbs(page.picture.top() - expected.top()) <= 2 &&
                     qAbs(page.picture.width() - expected.width()) <= 3 &&
                     qAbs(page.picture.height() - expected.height()) <= 3,
                 qPrintable(QStringLiteral("printed at %1,%2 %3x%4, expected %5,%6 %7x%8")
                                .arg(page.picture.left()).arg(page.picture.top()).arg(page.picture.width())
                                .arg(page.picture.height()).arg(expected.left()).arg(expected.top())
                                .arg(expected.width()).arg(expected.height())));
    }

    void printedPdfCarriesTheTitle_data()
    {
        QTest::addColumn<int>("fromPage");
        QTest::addColumn<QString>("file"); // in the program folder
        QTest::addColumn<QString>("title");
        QTest::newRow("from the page") << 1 << QStringLiteral("chosen.bmp")
                                       << QStringLiteral("Summer Trip, page 3, picture 5");
        QTest::newRow("album file from the browser") << 0 << QStringLiteral("Grandma's Garden/P10I11.bmp")
                                                     << QStringLiteral("Grandma's Garden, page 10, picture 11");
        QTest::newRow("any other file") << 0 << QStringLiteral("Wedding day.bmp") << QStringLiteral("Wedding day.bmp");
    }
    void printedPdfCarriesTheTitle()
    {
        QFETCH(int, fromPage);
        QFETCH(QString, file);
        QFETCH(QString, title);
        session.viewFromPage = std::int16_t(fromPage);
        session.albumName = QStringLiteral("Summer Trip");
        session.pageNr = QStringLiteral("3");
        session.imageNr = 5;
        const QString path = program->path(file);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(TestPictures::Save(TestPictures::Photo(64, 48), path, "BMP"));
        open(path);
        const QString pdf = program->path(QStringLiteral("titled.pdf"));
        view()->Printer().setOutputFormat(QPrinter::PdfFormat);
        view()->Printer().setOutputFileName(pdf);
        view()->mnuPrintPicture_Click();
        QVERIFY(program->user.asked.isEmpty());
        QCOMPARE(view()->Printer().docName(), title); // the printer queue's name for the job
        QCOMPARE(PdfTitle(pdf), title);
    }

    void noBackMidPrint()
    {
        const QString path = program->path(QStringLiteral("b.bmp"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(64, 48), path, "BMP"));
        open(path);
        view()->Printer().setOutputFileName(program->path(QStringLiteral("once.pdf")));
        QTimer::singleShot(0, view(), [] { view()->mnuBack_Click(); }); // while the print runs
        view()->mnuPrintPicture_Click();
        QVERIFY(Forms::IsLoaded(Screen::DisplayPicture) && view()->isVisible());
        QVERIFY(QFileInfo(program->path(QStringLiteral("once.pdf"))).size() > 0);
    }

    void noPrinterGivesAClearMessage()
    {
        if (!QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("this machine has a printer");
        const QString path = program->path(QStringLiteral("a.bmp"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(64, 48), path, "BMP"));
        open(path);
        view()->Printer().setOutputFileName(QString()); // the system's printer, of which there is none
        program->user.answerButton(vbOK);
        view()->mnuPrintPicture_Click();
        program->user.answerButton(vbOK);
        view()->mnuPrinterSetup_Click();
        QCOMPARE(program->user.asked.size(), 2);
        QVERIFY(program->user.asked[0].prompt.startsWith(QStringLiteral("No printer is available.")));
        QCOMPARE(program->user.asked[0].title, QStringLiteral("Print Picture"));
        QCOMPARE(program->user.asked[1].title, QStringLiteral("Printer Setup"));
        QVERIFY(!view()->Menu(QStringLiteral("mnuPw"))->isVisible());
        QVERIFY(view()->isVisible());
    }

    void printerSetupGoesThroughTheSeam()
    {
        view()->Printer().setOutputFileName(program->path(QStringLiteral("setup.pdf")));
        program->user.answerButton(vbCancel);
        program->user.answerButton(vbOK);
        view()->mnuPrinterSetup_Click();
        QCOMPARE(program->user.asked.size(), 2);
        QCOMPARE(program->user.asked.first().kind, Question::Kind::PrinterSetup);
        QVERIFY(program->user.asked[1].prompt.startsWith(QStringLiteral("Printer setup was cancelled.")));
        program->user.answerButton(vbOK);
        view()->mnuPrinterSetup_Click();
        QCOMPARE(program->user.asked.size(), 3); // accepted: nothing more to say
    }

private:
    std::unique_ptr<TestProgram> program;
};

QTEST_MAIN(TestView)
#include "tst_view.moc"
