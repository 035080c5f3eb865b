#include "frmdisplaypicture.h"

#include "fitting.h"
#include "forms.h"
#include "interaction.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "printlayout.h"
#include "printtitle.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"
#include "zoompane.h"
#include "slideshow.h"
#include "viewreadahead.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
constexpr double TwipsPerInch = 1440.0;
// Enough for a sharp print without holding more than the picture budget.
constexpr double PrintDotsPerInch = 300.0;
} // namespace

FrmDisplayPicture::FrmDisplayPicture() : Form(Screen::DisplayPicture)
{
    SetCaption(QString());
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral("#canvas { background: #e0e0e0; }"));
    m_img1 = new PictureBox(Canvas());
    m_img1->setObjectName(QStringLiteral("img1"));
    m_img1->setAccessibleName(QStringLiteral("Full size picture"));
    m_zoom = new ZoomPane(m_img1, Canvas());
    Place(m_zoom, 0, 0, 100, 100);
    // The line over the picture that says what it shows; the view keeps no caption of its own.
    m_line = new QLabel;
    m_line->setObjectName(QStringLiteral("lblShown"));
    m_line->setAlignment(Qt::AlignCenter);
    m_line->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 150); }"));
    m_line->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Read from a distance on a full screen: the canvas scales this size with the window.
    QFont lineFont = m_line->font();
    lineFont.setPointSizeF(16);
    m_line->setFont(lineFont);
    Place(m_line, 0, 0, 100, 5);
    m_line->hide();
    cmdExit = new QPushButton(Canvas());
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setAccessibleName(QStringLiteral("Exit program"));
    cmdExit->hide(); // out of sight; Esc presses it
    connect(cmdExit, &QPushButton::clicked, this, &FrmDisplayPicture::cmdExit_Click);
    SetCancelButton(cmdExit);

    AddMenuItem(nullptr, QStringLiteral("mnuSp2"), QStringLiteral("    "), {});
    AddMenuItem(nullptr, QStringLiteral("mnuSp1"), QStringLiteral(" "), {});
    QMenu* file = AddMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
    AddMenuItem(file, QStringLiteral("mnuPrinterSetup"), QStringLiteral("Printer &Setup"),
                [this] { mnuPrinterSetup_Click(); }, QKeySequence(Qt::CTRL | Qt::Key_S));
    AddMenuItem(file, QStringLiteral("mnuPrintPicture"), QStringLiteral("&Print Picture"),
                [this] { mnuPrintPicture_Click(); }, QKeySequence(Qt::CTRL | Qt::Key_P));
    AddSeparator(file, QStringLiteral("mnuSep1"));
    AddMenuItem(file, QStringLiteral("mnuExit"), QStringLiteral("E&xit Program"), [this] { mnuExit_Click(); });
    AddMenuItem(nullptr, QStringLiteral("mnuSp3"), QStringLiteral(" "), {});
    AddMenuItem(nullptr, QStringLiteral("mnuBack"), QStringLiteral("&Back"), [this] { mnuBack_Click(); });
    AddMenuItem(nullptr, QStringLiteral("mnusp4"), QString(47, u' '), {});
    QAction* pw = AddMenuItem(nullptr, QStringLiteral("mnuPw"), QStringLiteral("*** Sending picture to the printer ***"), {});
    pw->setVisible(false);
    AddMenuItem(nullptr, QStringLiteral("mnusp5"), QStringLiteral("    "), {});
    AddMenuItem(nullptr, QStringLiteral("mnuHelp"), QStringLiteral("&Help"), [this] { mnuHelp_Click(); });
}

FrmDisplayPicture::~FrmDisplayPicture() = default;

void FrmDisplayPicture::Form_Load()
{
    FillScreen();
    SetScale(100, 100);
    updateUnits();
}

void FrmDisplayPicture::updateUnits()
{
    // A picture pixel is a screen pixel: the view's units per pixel follow its inner area.
    if (layout())
        layout()->activate();
    QSize inner = Canvas()->size();
    if (inner.width() < 50 || inner.height() < 50) {
        const QScreen* s = QGuiApplication::primaryScreen();
        inner = s ? s->availableGeometry().size() - QSize(0, menuBar()->sizeHint().height()) : QSize(1024, 740);
    }
    m_img1->SetUnitsPerPixel(QSizeF(100.0 / inner.width(), 100.0 / inner.height()));
}

void FrmDisplayPicture::SetPictureFrom(const Picture& shown)
{
    updateUnits();
    const qreal dpr = devicePixelRatioF();
    const QSize box = viewBox();
    std::optional<Picture> ready = m_readAhead ? m_readAhead->Take(shown, box, dpr) : std::nullopt;
    m_img1->SetPicture(ready ? std::move(*ready) : Pictures::Reload(shown, box, dpr));
    // Shown any other way than from the page screen, the view shows its one picture.
    m_album = nullptr;
    m_albumOwner = nullptr;
    describe({});
    m_img1->setAccessibleDescription(shown.sourceDescription());
}

void FrmDisplayPicture::fitPicture(const Picture& shown)
{
    m_img1->SetStretch(false);
    SetPictureFrom(shown);
    session.picWidth = m_img1->Width();
    session.picHeight = m_img1->Height();
    FitViewPicture(*m_img1);
    m_img1->SetStretch(true);
}

void FrmDisplayPicture::ShowAlbumPicture(AlbumOnView& album, QObject* owner, int slot)
{
    fitPicture(album.SlotPicture(slot));
    m_album = &album;
    m_albumOwner = owner;
    const AlbumSteps::Place place{album.PageShown(), slot};
    describe(AlbumSteps::Line(session.albumName, place, album.NoteOf(slot)));
    Show();
    readAheadFrom(album, place);
}

AlbumOnView* FrmDisplayPicture::album() const
{
    return m_albumOwner && session.viewFromPage == 1 ? m_album : nullptr;
}

void FrmDisplayPicture::describe(const QString& line)
{
    m_description = line;
    m_line->setText(line);
    m_line->setVisible(m_lineWanted && !line.isEmpty());
    m_line->raise();
    setAccessibleDescription(line);
    m_img1->setAccessibleDescription(line);
}

QString FrmDisplayPicture::LineText() const
{
    return m_line->text();
}

bool FrmDisplayPicture::LineShown() const
{
    return !m_line->isHidden();
}

void FrmDisplayPicture::ToggleLine()
{
    m_lineWanted = !m_lineWanted;
    m_line->setVisible(m_lineWanted && !m_line->text().isEmpty());
}

void FrmDisplayPicture::StepTo(AlbumSteps::Step step)
{
    AlbumOnView* walk = album();
    if (!walk || m_printing || !isEnabled())
        return;
    AlbumSteps::Place from{walk->PageShown(), session.imageNr};
    // A picture that turns out not to load on its page is stepped over like an empty slot.
    for (int tries = 0; tries < AlbumSteps::Pages * AlbumSteps::SlotsPerPage; ++tries) {
        const std::optional<AlbumSteps::Place> to =
            AlbumSteps::Find(from, step, [walk](int page, int slot) { return walk->Filled(page, slot); });
        if (!to)
            return;
        if (to->page != walk->PageShown()) {
            const bool turned = walk->TurnTo(to->page);
            Show(); // the page screen came forward to load (or to keep) its page
            if (!turned || !album())
                return; // the page stays, and so does the picture
        }
        if (walk->Filled(to->page, to->slot)) {
            session.imageNr = std::int16_t(to->slot);
            ShowAlbumPicture(*walk, m_albumOwner, to->slot);
            return;
        }
        from = *to;
        if (step == AlbumSteps::Step::First)
            step = AlbumSteps::Step::Next;
        else if (step == AlbumSteps::Step::Last)
            step = AlbumSteps::Step::Previous;
    }
}

void FrmDisplayPicture::keyPressEvent(QKeyEvent* event)
{
    // + - 1 0 zoom; while zoomed the arrows move the picture instead of stepping.
    if (m_zoom->Key(event))
        return;
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Right:
        case Qt::Key_PageDown:
            StepTo(AlbumSteps::Step::Next);
            return;
        case Qt::Key_Left:
        case Qt::Key_PageUp:
            StepTo(AlbumSteps::Step::Previous);
            return;
        case Qt::Key_Home:
            StepTo(AlbumSteps::Step::First);
            return;
        case Qt::Key_End:
            StepTo(AlbumSteps::Step::Last);
            return;
        case Qt::Key_I:
            ToggleLine();
            return;
        case Qt::Key_Space: // while the show runs, it has every key first (slideshow.h)
            if (album())
                Slides().Toggle();
            return;
        default:
            break;
        }
    }
    Form::keyPressEvent(event);
}

void FrmDisplayPicture::wheelEvent(QWheelEvent* event)
{
    if (m_zoom->Wheel(event))
        return; // Ctrl+wheel zooms
    // One notch (120) is one picture: down the next one, up the previous one.
    m_wheel += event->angleDelta().y();
    while (m_wheel <= -120 || m_wheel >= 120) {
        const bool next = m_wheel < 0;
        m_wheel += next ? 120 : -120;
        StepTo(next ? AlbumSteps::Step::Next : AlbumSteps::Step::Previous);
    }
    event->accept();
}

void FrmDisplayPicture::resizeEvent(QResizeEvent* event)
{
    Form::resizeEvent(event);
    // The window manager may settle the size after the picture was fitted: fit it again.
    if (!m_img1 || !m_img1->HasPicture() || !isVisible())
        return;
    updateUnits();
    m_img1->SetStretch(false);
    session.picWidth = m_img1->Width();
    session.picHeight = m_img1->Height();
    FitViewPicture(*m_img1);
    m_img1->SetStretch(true);
    if (AlbumOnView* walk = album()) // the pictures read ahead were read for the old size
        readAheadFrom(*walk, {walk->PageShown(), session.imageNr});
}

bool FrmDisplayPicture::printPicture(QString& problem)
{
    const Picture& picture = m_img1->GetPicture();
    const int W = picture.natural.width(), H = picture.natural.height();
    if (W <= 0 || H <= 0) {
        problem = QStringLiteral("There is no picture to print.");
        return false;
    }
    const bool toFile = !m_printer.outputFileName().isEmpty();
    if (!toFile && (QPrinterInfo::availablePrinterNames().isEmpty() || !m_printer.isValid())) {
        problem = QStringLiteral("No printer is available.\r\nSet up a printer, then try again.");
        return false;
    }
    const PrintLayout::Orientation orientation = PrintLayout::OrientationFor(W, H);
    m_printer.setPageOrientation(orientation == PrintLayout::Portrait ? QPageLayout::Portrait
                                                                     : QPageLayout::Landscape);
    m_printer.setFullPage(true);
    const QSizeF sheet = m_printer.pageLayout().fullRectPoints().size(); // points: 20 twips each
    const QRectF paintable = m_printer.pageLayout().paintRectPoints();
    const QRectF twips =
        PrintLayout::PlaceOnPage(W, H, sheet.width() * 20.0, sheet.height() * 20.0,
                                 QRectF(paintable.left() * 20.0, paintable.top() * 20.0, paintable.width() * 20.0,
                                        paintable.height() * 20.0));

    // The full-resolution picture, read at the size it prints.
    const QSize printed(int(std::ceil(twips.width() / TwipsPerInch * PrintDotsPerInch)),
                        int(std::ceil(twips.height() / TwipsPerInch * PrintDotsPerInch)));
    QImage image = Pictures::Reload(picture, printed).shown;
    image.setDevicePixelRatio(1.0);

    // The queue and a PDF name the job after the picture.
    m_printer.setDocName(
        PrintTitle::For(picture, session.viewFromPage == 1, session.albumName, session.pageNr, session.imageNr));
    m_printer.setCreator(QStringLiteral("Quillbook"));
    QPainter painter;
    if (!painter.begin(&m_printer)) {
        problem = QStringLiteral("The printer could not be started.\r\nCheck the printer, then try again.");
        return false;
    }
    const double toDevice = m_printer.resolution() / TwipsPerInch;
    const QRectF target(twips.left() * toDevice, twips.top() * toDevice, twips.width() * toDevice,
                        twips.height() * toDevice);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    if (!painter.end()) {
        problem = QStringLiteral("The printer reported an error.\r\nThe picture may not have been printed.");
        return false;
    }
    return true;
}

void FrmDisplayPicture::mnuPrintPicture_Click()
{
    if (m_printing)
        return; // one print at a time
    m_printing = true;
    QAction* pw = Menu(QStringLiteral("mnuPw"));
    pw->setVisible(true);
    QApplication::processEvents();
    QString problem;
    const bool printed = printPicture(problem);
    pw->setVisible(false);
    m_printing = false;
    if (!printed)
        MsgBox(problem, vbOKOnly + vbExclamation, QStringLiteral("Print Picture"));
}

void FrmDisplayPicture::mnuPrinterSetup_Click()
{
    if (QPrinterInfo::availablePrinterNames().isEmpty() && m_printer.outputFileName().isEmpty()) {
        MsgBox(QStringLiteral("No printer is available.\r\nSet up a printer in the system, then try again."),
               vbOKOnly + vbExclamation, QStringLiteral("Printer Setup"));
        return;
    }
    if (!PrinterSetup(m_printer))
        MsgBox(QStringLiteral("Printer setup was cancelled.\r\nThe printer settings are as they were."),
               vbOKOnly + vbInformation, QStringLiteral("Printer Setup"));
}

void FrmDisplayPicture::mnuBack_Click()
{
    if (m_printing)
        return; // the view stays until its picture has gone to the printer
    if (AlbumOnView* walk = album())
        walk->BackAt(session.imageNr);
    if (session.viewFromPage == 1)
        Forms::Show(Screen::Page1);
    Forms::Unload(Screen::DisplayPicture);
}

void FrmDisplayPicture::mnuHelp_Click()
{
    Forms::Show(Screen::DisplayPictureHelp0);
}

void FrmDisplayPicture::mnuExit_Click()
{
    ConfirmExit();
}

void FrmDisplayPicture::cmdExit_Click()
{
    ConfirmExit();
}

void FrmDisplayPicture::CloseByUser()
{
    if (isEnabled())
        mnuBack_Click();
}
