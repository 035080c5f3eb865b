#include "frmselectalbum1.h"

#include "albumpaths.h"
#include "controls.h"
#include "elementscreens.h"
#include "fileops.h"
#include "forms.h"
#include "listreadahead.h"
#include "pageloader.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include <dirent.h>

QStringList AlbumFolders(const QString& folder)
{
    // Read the raw names: a name whose bytes are not valid in the system's
    // encoding would otherwise come back altered, and could not be opened.
    QStringList paths;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return paths;
    QStringList names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray raw(entry->d_name);
        if (raw.startsWith('.'))
            continue;
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != raw)
            continue; // cannot be shown and opened again
        bool printable = true;
        for (QChar c : name)
            printable = printable && c.isPrint();
        if (!printable)
            continue;
        if (QFileInfo(folder + u'/' + name).isDir())
            names << name;
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    for (const QString& name : names)
        paths << folder + u'/' + name;
    return paths;
}

namespace {

// Page 1 of the highlighted album is read ahead while the list is on screen.
void readAheadHighlighted(const FrmSelectAlbum1& list)
{
    if (!list.isVisible())
        return; // a list built out of sight does not take the read-ahead from the page on screen
    const int i = list.lstAlbumList->currentRow();
    ReadAheadFirstPage(list, i >= 0 && i < list.dlbAlbumList.size() ? list.dlbAlbumList.at(i) : QString());
}

} // namespace

FrmSelectAlbum1::FrmSelectAlbum1() : Form(Screen::SelectAlbum1)
{
    SetCaption(QStringLiteral("Quillbook by Wren"));
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral(
        "#canvas { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #f7f1e3, stop:1 #e6d8b8); }"
        "#Frame1 { border: 2px solid #8c7851; border-radius: 10px; background: rgba(255,255,255,120); }"
        "QLabel { color: #3b2f1e; background: transparent; }"
        "QListWidget { background: white; border: 1px solid #8c7851; color: #1f1f1f; }"
        "QListWidget::item { padding: 6px; }"
        "QListWidget::item:selected { background: #2f6f73; color: white; }"
        "QPushButton { background: #2f6f73; color: white; border-radius: 8px; padding: 6px; }"
        "QPushButton:disabled { background: #9fb5b6; }"));

    const QStringList arial{QStringLiteral("Arial")};
    lblName = MakeLabel(QStringLiteral("lblName"), QStringLiteral("Stored Album's"), arial, 40, true);
    lblInst = MakeLabel(QStringLiteral("lblInst"), QStringLiteral("Click the Album you want to see, then press Select"),
                        arial, 16);
    Frame1 = new QFrame;
    Frame1->setObjectName(QStringLiteral("Frame1"));
    lstAlbumList = new QListWidget;
    lstAlbumList->setObjectName(QStringLiteral("lstAlbumList"));
    lstAlbumList->setToolTip(QStringLiteral("Displays a list of the stored albums"));
    lstAlbumList->setAccessibleName(QStringLiteral("Stored albums"));
    QFont listFont = lstAlbumList->font();
    listFont.setPointSize(16);
    lstAlbumList->setFont(listFont);
    connect(lstAlbumList, &QListWidget::itemDoubleClicked, this, [this] { lstAlbumList_DblClick(); });
    connect(lstAlbumList, &QListWidget::currentRowChanged, this, [this] { readAheadHighlighted(*this); });

    cmdSelect = new QPushButton(QStringLiteral("&Select"));
    cmdSelect->setObjectName(QStringLiteral("cmdSelect"));
    cmdSelect->setToolTip(QStringLiteral("Click to go to the selected album."));
    connect(cmdSelect, &QPushButton::clicked, this, &FrmSelectAlbum1::cmdSelect_Click);
    SetDefaultButton(cmdSelect);
    cmdBackToOptions = new QPushButton(QStringLiteral("&Options"));
    cmdBackToOptions->setObjectName(QStringLiteral("cmdBackToOptions"));
    cmdBackToOptions->setToolTip(QStringLiteral("Click to go to the Options page."));
    connect(cmdBackToOptions, &QPushButton::clicked, this, &FrmSelectAlbum1::cmdBackToOptions_Click);
    for (QPushButton* b : {cmdSelect, cmdBackToOptions}) {
        QFont f = b->font();
        f.setPointSize(16);
        b->setFont(f);
    }
    cmdExit = new QPushButton(Canvas());
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->hide(); // out of sight; Esc presses it
    connect(cmdExit, &QPushButton::clicked, this, &FrmSelectAlbum1::cmdExit_Click);
    SetCancelButton(cmdExit);

    Place(lblName, 15, 5, 70, 12);
    Place(lblInst, 15, 17, 70, 6);
    Place(Frame1, 25, 24, 50, 58);
    Place(lstAlbumList, 28, 27, 44, 52);
    Place(cmdSelect, 25, 85, 23, 8);
    Place(cmdBackToOptions, 52, 85, 23, 8);

    QMenu* file = AddMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
    AddMenuItem(file, QStringLiteral("mnuExit"), QStringLiteral("E&xit Program"), [this] { mnuExit_Click(); });
    AddMenuItem(nullptr, QStringLiteral("mnuSp"), QString(24, u' '), {});
    AddMenuItem(nullptr, QStringLiteral("mnuHelp"), QStringLiteral("&Help"), [this] { mnuHelp_Click(); });
}

void FrmSelectAlbum1::Form_Load()
{
    FillScreen();
    SetScale(100, 100);
    dlbAlbumList = AlbumFolders(session.startPath);
    if (dlbAlbumList.size() < 1) {
        lstAlbumList->addItem(QStringLiteral("There are no Album's stored"));
        lstAlbumList->setEnabled(false);
        cmdSelect->setEnabled(false);
    }
    for (const QString& path : dlbAlbumList)
        lstAlbumList->addItem(path.mid(session.startPath.size() + 1));
}

void FrmSelectAlbum1::Form_Activate()
{
    session.albumName.clear();
    session.pageNr = QStringLiteral("1");
    session.albumChanged = 0;
    lstAlbumList->setCurrentRow(0);
    readAheadHighlighted(*this);
    Refresh();
}

void FrmSelectAlbum1::cmdSelect_Click()
{
    const int i = lstAlbumList->currentRow();
    if (i < 0 || i >= dlbAlbumList.size())
        return;
    const QString folder = dlbAlbumList.at(i);
    const QString name = lstAlbumList->item(i)->text();
    Files::ChDir(folder); // a vanished folder simply loads empty pages
    session.albumFilePrefix = folder + QStringLiteral("/P");
    session.albumFolderName = name;
    Forms::Show(Screen::Page1);
    if (auto* pageSlots = Forms::Get<SlotScreen>(Screen::Page1))
        LoadPage(*pageSlots, QStringLiteral("1"));
    session.albumName = name;
    if (Form* page = Forms::Get(Screen::Page1))
        page->SetCaption(AlbumPaths::PageCaption(session.albumName, session.pageNr));
    Forms::Hide(Screen::Pbar3);
}

void FrmSelectAlbum1::lstAlbumList_DblClick()
{
    cmdSelect_Click();
}

void FrmSelectAlbum1::cmdBackToOptions_Click()
{
    Forms::Show(Screen::Option1);
    Hide();
    Forms::Refresh(Screen::Option1);
}

void FrmSelectAlbum1::cmdExit_Click()
{
    ConfirmExit();
}

void FrmSelectAlbum1::mnuExit_Click()
{
    ConfirmExit();
}

void FrmSelectAlbum1::mnuHelp_Click()
{
    Forms::Show(Screen::SelectAlbumHelp0);
}
