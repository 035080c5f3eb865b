#include "frmpage1.h"

#include "albumpaths.h"
#include "fitting.h"
#include "forms.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {
// A picture pixel (15 twips) in page units (20 twips).
constexpr double PageUnitsPerPixel = 0.75;
} // namespace

FrmPage1::FrmPage1() : Form(Screen::Page1)
{
    SetCaption(QStringLiteral("Quillbook "));
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral(
        "#canvas { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #f7f1e3, stop:1 #eadfc6); }"
        "QFrame[slotFrame=\"true\"] { border: 1px solid #8c7851; background: rgba(255,255,255,90); }"
        "QLabel { color: #3b2f1e; background: transparent; }"
        "#lblAddDelIns { color: #8b1e1e; font-weight: bold; }"));
    SetScale(PageWidth, PageHeight, true);
    createSlots();
    createMenus();
}

void FrmPage1::createSlots()
{
    const Pictures::LoadResult placeholder =
        Pictures::LoadPicture(AlbumPaths::InProgramFolder(session.appPath, ProgramFiles::EmptyPicture), QSize(160, 160));
    for (int i = 0; i < 12; ++i) {
        const float left = Fitting::SlotLeft(i), top = Fitting::SlotTop(i);
        auto* frame = new QFrame;
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
    Place(cmdCancelAddDelete, 354, 3, Fitting::SlotSide, 16);
    cmdCancelAddDelete->hide();
    cmdExit = new QPushButton(Canvas());
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->hide(); // out of sight; Esc presses it
    connect(cmdExit, &QPushButton::clicked, this, &FrmPage1::cmdExit_Click);
    SetCancelButton(cmdExit);
}

void FrmPage1::createMenus()
{
    QAction* pageDown = AddMenuItem(nullptr, QStringLiteral("mnuPD"), QStringLiteral("<-- Page Down"), {});
    pageDown->setEnabled(false);
    QMenu* file = AddMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
    AddMenuItem(file, QStringLiteral("mnuOptions"), QStringLiteral("&Options"), [this] { mnuOptions_Click(); },
                QKeySequence(Qt::CTRL | Qt::Key_O));
    AddSeparator(file, QStringLiteral("mnuSep1"));
    AddMenuItem(file, QStringLiteral("mnuExit"), QStringLiteral("E&xit Program"), [this] { mnuExit_Click(); },
                QKeySequence(Qt::CTRL | Qt::Key_X));
}

void FrmPage1::Form_Load()
{
    FillScreen();
    editMode = QStringLiteral("0");
}

PictureBox* FrmPage1::Image1(int index)
{
    return index >= 0 && index <= 12 ? m_images[std::size_t(index)] : nullptr;
}

QLabel* FrmPage1::Label1(int index)
{
    return index >= 0 && index <= 11 ? m_labels[std::size_t(index)] : nullptr;
}

void FrmPage1::mnuOptions_Click()
{
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
