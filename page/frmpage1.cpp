#include "frmpage1.h"

#include "albumdeletion.h"
#include "albumguard.h"
#include "albumpaths.h"
#include "albumsaving.h"
#include "fitting.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "interaction.h"
#include "pageloader.h"
#include "pageforview.h"
#include "picturebatch.h"
#include "pagereadahead.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"
#include "slotdrop.h"
#include "slotfocus.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>

namespace {
// A picture pixel (15 twips) in page units (20 twips).
constexpr double PageUnitsPerPixel = 0.75;
} // namespace

const QString FrmPage1::NoNameMarker = QStringLiteral("\u0001no album name asked\u0001");

FrmPage1::FrmPage1() : Form(Screen::Page1)
{
    SetCaption(QStringLiteral("Quillbook "));
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral(
        "#canvas { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #f7f1e3, stop:1 #eadfc6); }"
        "QWidget[slotFrame=\"true\"] { border: 1px solid #8c7851; background: rgba(255,255,255,90); }"
        "QLabel { color: #3b2f1e; background: transparent; }"
        "#lblAddDelIns { color: #8b1e1e; font-weight: bold; }"));
    SetScale(PageWidth, PageHeight, true);
    createSlots();
    createMenus();
    m_forView = std::make_unique<PageForView>(*this);
}

FrmPage1::~FrmPage1() = default;

void FrmPage1::createSlots()
{
    const Pictures::LoadResult placeholder =
        Pictures::LoadPicture(AlbumPaths::InProgramFolder(session.appPath, ProgramFiles::EmptyPicture), SlotPixels(),
                              SlotPixelRatio());
    for (int i = 0; i < 12; ++i) {
        const float left = Fitting::SlotLeft(i), top = Fitting::SlotTop(i);
        // A plain styled widget: decoration that assistive technology passes over,
        // where a frame would be announced as a window of its own.
        auto* frame = new QWidget;
        frame->setAttribute(Qt::WA_StyledBackground, true);
        frame->setProperty("slotFrame", true);
        Place(frame, left - 1.5, top - 1.5, Fitting::SlotSide + 3, Fitting::SlotSide + 3);
        m_frames[std::size_t(i)] = frame;

        auto* label = new QLabel(AlbumPaths::PictureKey(1, i));
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label->setAlignment(Qt::AlignCenter);
        QFont f = label->font();
        f.setPointSize(10);
        label->setFont(f);
        Place(label, left, top + Fitting::SlotSide + 2, Fitting::SlotSide, 11);
        m_labels[std::size_t(i)] = label;
    }
    for (int i = 0; i <= 12; ++i) {
        auto* box = new PictureBox(Canvas());
        box->setObjectName(QStringLiteral("Image1_%1").arg(i));
        box->SetUnitsPerPixel(QSizeF(PageUnitsPerPixel, PageUnitsPerPixel));
        box->Tag = QStringLiteral("0");
        if (!placeholder.error.failed())
            box->SetPicture(placeholder.picture);
        if (i < 12) {
            box->setToolTip(QStringLiteral("Left click for full size picture or right click for photo data"));
            connect(box, &PictureBox::pictureChanged, this, &FrmPage1::DescribeSlotsSoon);
            connect(box, &PictureBox::mouseDown, this,
                    [this, i](Qt::MouseButton button, Qt::KeyboardModifiers, QPointF) { Image1_MouseDown(i, button); });
            box->Move(Fitting::SlotLeft(i), Fitting::SlotTop(i), Fitting::SlotSide, Fitting::SlotSide);
        } else {
            box->Move(-200, 0, Fitting::SlotSide, Fitting::SlotSide); // the spare, out of sight
            box->SetVisible(false);
        }
        m_images[std::size_t(i)] = box;
    }

    lblAddDelIns = new QLabel;
    lblAddDelIns->setObjectName(QStringLiteral("lblAddDelIns"));
    lblAddDelIns->setAlignment(Qt::AlignCenter);
    Place(lblAddDelIns, 30, 3, 310, 16);
    cmdCancelAddDelete = new QPushButton(QStringLiteral("Cancel Add/Delete"));
    cmdCancelAddDelete->setObjectName(QStringLiteral("cmdCancelAddDelete"));
    Place(cmdCancelAddDelete, 354, CancelButtonTop, Fitting::SlotSide, 16);
    cmdCancelAddDelete->hide();
    connect(cmdCancelAddDelete, &QPushButton::clicked, this, &FrmPage1::cmdCancelAddDelete_Click);
    cmdExit = new QPushButton(Canvas());
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setAccessibleName(QStringLiteral("Exit program"));
    cmdExit->hide(); // out of sight; Esc presses it
    connect(cmdExit, &QPushButton::clicked, this, &FrmPage1::cmdExit_Click);
    SetCancelButton(cmdExit);
    m_slotFocus = new SlotFocus(*this, QList<PictureBox*>(m_images.begin(), m_images.begin() + 12),
                                [this](int slot, Qt::MouseButton button) { Image1_MouseDown(slot, button); });
    m_slotDrop = new SlotDrop(*this, QList<PictureBox*>(m_images.begin(), m_images.begin() + 12));
}

void FrmPage1::createMenus()
{
    auto spacer = [this](const char* name) { AddMenuItem(nullptr, QLatin1String(name), QStringLiteral(" "), {}); };
    QAction* pageDown = AddMenuItem(nullptr, QStringLiteral("mnuPD"), QStringLiteral("<-- Page Down"),
                                    [this] { mnuPD_Click(); });
    pageDown->setEnabled(false);
    spacer("mnuSp97");

    QMenu* file = AddMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
    AddMenuItem(file, QStringLiteral("mnuOptions"), QStringLiteral("&Options"), [this] { mnuOptions_Click(); },
                QKeySequence(Qt::CTRL | Qt::Key_O));
    AddSeparator(file, QStringLiteral("mnuspoo9"));
    AddMenuItem(file, QStringLiteral("mnuop"), QStringLiteral("Select &New Album"), [this] { mnuop_Click(); },
                QKeySequence(Qt::CTRL | Qt::Key_N));
    AddSeparator(file, QStringLiteral("mnuSep98"));
    AddMenuItem(file, QStringLiteral("mnuSaveAlbum"), QStringLiteral("&Save Page to Disk"),
                [this] { mnuSaveAlbum_Click(); }, QKeySequence(Qt::CTRL | Qt::Key_S));
    AddSeparator(file, QStringLiteral("mnuSp98"));
    AddMenuItem(file, QStringLiteral("mnuDeleteAlbum"), QStringLiteral("&Delete Album from Disk"),
                [this] { mnuDeleteAlbum_Click(); }, QKeySequence(Qt::CTRL | Qt::Key_L));
    AddSeparator(file, QStringLiteral("mnuSep3"));
    AddMenuItem(file, QStringLiteral("mnuMin"), QStringLiteral("&Minimize to the Taskbar"), [this] { mnuMin_Click(); },
                QKeySequence(Qt::CTRL | Qt::Key_M));
    AddSeparator(file, QStringLiteral("mnuSep1"));
    AddMenuItem(file, QStringLiteral("mnuExit"), QStringLiteral("E&xit Program"), [this] { mnuExit_Click(); },
                QKeySequence(Qt::CTRL | Qt::Key_X));
    spacer("mnuSp96");

    QMenu* edit = AddMenu(QStringLiteral("mnuEdit"), QStringLiteral("&Edit"));
    AddMenuItem(edit, QStringLiteral("mnuAddPicture"), QStringLiteral("&Add Picture from a Disk file"),
                [this] { mnuAddPicture_Click(); }, QKeySequence(Qt::CTRL | Qt::Key_A));
    AddSeparator(edit, QStringLiteral("mnuSep2"));
    AddMenuItem(edit, QStringLiteral("mnuDeletePicture"), QStringLiteral("De&lete Picture from the Album"),
                [this] { mnuDeletePicture_Click(); }, QKeySequence(Qt::CTRL | Qt::Key_D));
    AddSeparator(edit, QStringLiteral("mnuSep4"));
    AddMenuItem(edit, QStringLiteral("mnuCopy"), QStringLiteral("&Copy Picture to the Clipboard"),
                [this] { mnuCopy_Click(); }, QKeySequence(Qt::CTRL | Qt::Key_C));
    AddSeparator(edit, QStringLiteral("mnuSep5"));
    AddMenuItem(edit, QStringLiteral("mnuPaste"), QStringLiteral("&Paste Picture from the Clipboard"),
                [this] { mnuPaste_Click(); }, QKeySequence(Qt::CTRL | Qt::Key_P));
    spacer("mnuSep94");

    QMenu* pages = AddMenu(QStringLiteral("mnuMenu"), QStringLiteral("&Menu"));
    for (int n = 1; n <= 10; ++n) {
        QAction* item = AddMenuItem(pages, QStringLiteral("mnuP%1").arg(n), QStringLiteral("Page %1").arg(n),
                                    [this, n] { mnuP_Click(n); });
        item->setCheckable(true);
    }
    Menu(QStringLiteral("mnuP1"))->setChecked(true);
    Menu(QStringLiteral("mnuP1"))->setEnabled(false);
    spacer("mnuSp3");
    AddMenuItem(nullptr, QStringLiteral("mnuHelp"), QStringLiteral("&Help     "), [this] { mnuHelp_Click(); });
    spacer("mnuSp4");
    AddMenuItem(nullptr, QStringLiteral("mnuInst"),
                QStringLiteral("(' Click any picture to see full size picture   ' )"), {});
    spacer("mnuSp980");
    AddMenuItem(nullptr, QStringLiteral("mnuPU"), QStringLiteral("Page Up -->"), [this] { mnuPU_Click(); });
}

void FrmPage1::Form_Load()
{
    FillScreen();
    editMode = QStringLiteral("0");
    DescribeSlots(); // a new album's empty slots are named before anything changes them
    // Neighbour pages are read only while this page is what the user looks at, with no mode open.
    PageReadAhead::Instance().SetGate([self = QPointer<FrmPage1>(this)] {
        return self && self->isVisible() && !self->isMinimized() && Forms::Front() == self.data() &&
               self->editMode == QStringLiteral("0");
    });
}

PictureBox* FrmPage1::Image1(int index)
{
    return index >= 0 && index <= 12 ? m_images[std::size_t(index)] : nullptr;
}

QLabel* FrmPage1::Label1(int index)
{
    return index >= 0 && index <= 11 ? m_labels[std::size_t(index)] : nullptr;
}

void FrmPage1::mnuP_Click(int n)
{
    session.albumFolderName = session.albumName;
    if (!ChPgSave())
        return; // the page could not be written: it stays, with its changes
    const bool asked = session.newAlbumName != NoNameMarker;
    if (!((asked || !session.albumName.isEmpty()) && (!session.newAlbumName.isEmpty() || !session.albumName.isEmpty())))
        return;
    session.goToPageNr = QString::number(n);
    session.pageNr = QString::number(n);
    GoToPage();
}

void FrmPage1::keyPressEvent(QKeyEvent* event)
{
    auto enabled = [this](const char* name) { return Menu(QLatin1String(name))->isEnabled(); };
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_Right:
            if (enabled("mnuPU"))
                mnuPU_Click();
            return;
        case Qt::Key_PageDown:
        case Qt::Key_Left:
            if (enabled("mnuPD"))
                mnuPD_Click();
            return;
        case Qt::Key_Home:
        case Qt::Key_End: {
            const int n = event->key() == Qt::Key_Home ? 1 : 10;
            if (enabled("mnuMenu") && Menu(QStringLiteral("mnuP%1").arg(n))->isEnabled())
                mnuP_Click(n);
            return;
        }
        default:
            break;
        }
    }
    Form::keyPressEvent(event);
}

void FrmPage1::wheelEvent(QWheelEvent* event)
{
    // One notch (120) turns one page: down is the next page, up the previous one.
    m_wheel += event->angleDelta().y();
    while (m_wheel <= -120 || m_wheel >= 120) {
        const bool next = m_wheel < 0;
        m_wheel += next ? 120 : -120;
        if (Menu(QLatin1String(next ? "mnuPU" : "mnuPD"))->isEnabled())
            next ? mnuPU_Click() : mnuPD_Click();
    }
    event->accept();
}

void FrmPage1::mnuPU_Click()
{
    // pageNr is compared as text: "1" to "9" have a next page.
    for (int n = 1; n <= 9; ++n) {
        if (session.pageNr == QString::number(n)) {
            mnuP_Click(n + 1);
            return;
        }
    }
}

void FrmPage1::mnuPD_Click()
{
    for (int n = 2; n <= 10; ++n) {
        if (session.pageNr == QString::number(n)) {
            mnuP_Click(n - 1);
            return;
        }
    }
}

void FrmPage1::GoToPage()
{
    session.albumFilePrefix =
        AlbumPaths::InProgramFolder(session.appPath, session.albumName) + QStringLiteral("/P");
    LoadPage(*this, session.goToPageNr);
    // Everything the turn changes is in place before the page is painted, once.
    PageChange();
    const int n = session.goToPageNr.toInt();
    QAction* item = Menu(QStringLiteral("mnuP%1").arg(n));
    item->setChecked(true);
    item->setEnabled(false);
    Menu(QStringLiteral("mnuPU"))->setEnabled(n != 10);
    Menu(QStringLiteral("mnuPD"))->setEnabled(n != 1);
    Forms::Hide(Screen::Pbar3);
    Refresh();
    session.albumChanged = 0;
    SetCaption(AlbumPaths::PageCaption(session.albumName, session.pageNr));
}

void FrmPage1::DescribeSlotsSoon()
{
    if (m_describing)
        return;
    m_describing = true;
    QTimer::singleShot(0, this, [this] {
        m_describing = false;
        DescribeSlots();
    });
}

void FrmPage1::DescribeSlots()
{
    for (int i = 0; i <= 11; ++i) {
        PictureBox* box = m_images[std::size_t(i)];
        const QString page = session.pageNr;
        if (!box->Problem.isEmpty()) {
            box->setAccessibleName(QStringLiteral("Page %1, picture %2, cannot be shown").arg(page).arg(i));
            box->setAccessibleDescription(box->Problem);
        } else if (box->Tag == QStringLiteral("1")) {
            box->setAccessibleName(QStringLiteral("Page %1, picture %2").arg(page).arg(i));
            box->setAccessibleDescription(box->GetPicture().sourceDescription());
        } else {
            box->setAccessibleName(QStringLiteral("Page %1, slot %2, empty").arg(page).arg(i));
            box->setAccessibleDescription({});
        }
    }
}

void FrmPage1::PageChange()
{
    for (int n = 1; n <= 10; ++n) {
        QAction* item = Menu(QStringLiteral("mnuP%1").arg(n));
        item->setChecked(false);
        item->setEnabled(true);
    }
    for (int i = 0; i <= 11; ++i)
        m_labels[std::size_t(i)]->setText(AlbumPaths::PictureKey(session.pageNr, i));
}

void FrmPage1::Image1_MouseDown(int index, Qt::MouseButton button)
{
    session.pageFilePrefix = QStringLiteral("P1I");
    session.viewFromPage = 1;
    session.deleteCancelled = 0;
    if (index < 0 || index > 11 || m_batch)
        return; // while pictures go in, the slots only show them
    session.imageNr = std::int16_t(index);
    if (button == Qt::LeftButton)
        ImgRep(index);
    else if (button == Qt::RightButton)
        ButtonTwo(index);
}

void FrmPage1::PrepareView(int slot)
{
    auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
    if (view)
        view->ShowAlbumPicture(*m_forView, this, slot);
}

void FrmPage1::ButtonTwo(int slot)
{
    // Only the album that has no folder yet cannot keep notes (a stored "New Album 2" can).
    if (AlbumPaths::IsUnsavedAlbum(session.albumName)) {
        MsgBox(QStringLiteral("You may not look at, edit or store Photo Data in a New Album\r\n"
                              "      This option may only be used on a stored Album.\r\n"
                              "Save the Page, go to the Option page and select the album as a stored album"));
        return;
    }
    PrepareView(slot);
    if (!Forms::IsRegistered(Screen::PhotoData))
        return; // no photo data screen in this build: the view stays usable on its own
    auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
    view->cmdExit->hide();
    view->Menu(QStringLiteral("mnuFile"))->setVisible(false);
    view->Menu(QStringLiteral("mnuBack"))->setVisible(false);
    view->setEnabled(false);
    Forms::Show(Screen::PhotoData);
}

void FrmPage1::mnuop_Click()
{
    if (SelectNewAlbum(*this))
        Forms::Unload(Screen::Page1);
}

void FrmPage1::mnuDeleteAlbum_Click()
{
    if (SuppliedAlbumRefuses())
        return;
    DeleteAlbum();
}

void FrmPage1::mnuMin_Click()
{
    Forms::Hide(Screen::Pbar3);
    Forms::Hide(Screen::Option1);
    Minimize();
}

void FrmPage1::mnuHelp_Click()
{
    Forms::Show(Screen::PageHelp0);
}

void FrmPage1::mnuOptions_Click()
{
    // The options screen closes the open album: the save check runs first.
    if (!MayLeave())
        return;
    Forms::Show(Screen::Option1);
    Forms::Hide(Screen::SelectAlbum1);
    Forms::Refresh(Screen::Option1);
}

void FrmPage1::cmdExit_Click()
{
    ConfirmExit();
}

void FrmPage1::mnuExit_Click()
{
    ConfirmExit();
}
