#include "frmgetfile.h"

#include "accessiblenames.h"
#include "controls.h"
#include "fileops.h"
#include "forms.h"
#include "interaction.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"

#include <QComboBox>
#include <QtMath>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>

#include <algorithm>

namespace {

constexpr double TwipsPerPixel = 15;
constexpr int FolderRole = Qt::UserRole;

// Mounted volumes a user would pick a picture from: not the kernel's own.
QStringList Volumes()
{
    static const QStringList pseudo{
        QStringLiteral("proc"),     QStringLiteral("sysfs"),     QStringLiteral("devpts"),
        QStringLiteral("devtmpfs"), QStringLiteral("cgroup"),    QStringLiteral("cgroup2"),
        QStringLiteral("mqueue"),   QStringLiteral("debugfs"),   QStringLiteral("tracefs"),
        QStringLiteral("securityfs"), QStringLiteral("pstore"),  QStringLiteral("bpf"),
        QStringLiteral("autofs"),   QStringLiteral("hugetlbfs"), QStringLiteral("configfs"),
        QStringLiteral("fusectl"),  QStringLiteral("binfmt_misc"), QStringLiteral("nsfs")};
    QStringList roots;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString root = v.rootPath();
        if (!v.isValid() || pseudo.contains(QString::fromLatin1(v.fileSystemType())) ||
            root.startsWith(QStringLiteral("/proc")) || root.startsWith(QStringLiteral("/sys")) ||
            (root.startsWith(QStringLiteral("/dev")) && root != QStringLiteral("/dev/shm")) ||
            (root.startsWith(QStringLiteral("/run")) && !root.startsWith(QStringLiteral("/run/media"))))
            continue;
        if (!roots.contains(root))
            roots << root;
    }
    if (!roots.contains(QStringLiteral("/")))
        roots.prepend(QStringLiteral("/"));
    roots.sort();
    return roots;
}

} // namespace

FrmGetFile::FrmGetFile() : Form(Screen::GetFile)
{
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral("#canvas { background: #0000ff; }"
                                           "QLabel[onBlue=\"true\"] { color: white; background: transparent; }"));
    SetScale(4680, 5385, true);
    // Half as large again as its design in pixels: lists and names stay readable on today's screens.
    const QSize size(int(4680 / TwipsPerPixel * 1.5), int(5385 / TwipsPerPixel * 1.5));
    Canvas()->setDesignSize(size);
    resize(size);
    CentreOnScreen();

    auto blueLabel = [this](const char* name, const QString& text, double left, double top) {
        QLabel* l = MakeLabel(QLatin1String(name), text, {}, 9, false, Qt::AlignLeft | Qt::AlignVCenter);
        l->setProperty("onBlue", true);
        Place(l, left, top, 2055, 240);
        return l;
    };
    lblName = blueLabel("lblName", QStringLiteral("File Name"), 120, 120);
    txtFileName = new QLineEdit;
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    Place(txtFileName, 120, 360, 2055, 285);
    filFiles = new QListWidget;
    filFiles->setObjectName(QStringLiteral("filFiles"));
    filFiles->setUniformItemSizes(true); // a folder of many thousand files stays quick
    // Ctrl+click, Shift+click and Ctrl+A choose several pictures at once.
    filFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Place(filFiles, 120, 720, 2055, 1650);
    lblFileType = blueLabel("lblFileType", QStringLiteral("File Type"), 240, 2520);
    cboFileType = new QComboBox;
    cboFileType->setObjectName(QStringLiteral("cboFileType"));
    Place(cboFileType, 120, 2760, 2055, 315);
    lblDirectories = blueLabel("lblDirectories", QStringLiteral("Directories:"), 2520, 120);
    lblDirName = blueLabel("lblDirName", {}, 2520, 360);
    Place(lblDirName, 2520, 360, 2055, 255);
    dirDirectory = new QListWidget;
    dirDirectory->setObjectName(QStringLiteral("dirDirectory"));
    Place(dirDirectory, 2520, 720, 2055, 1665);
    lblDrive = blueLabel("lblDrive", QStringLiteral("Drive:"), 2520, 2520);
    drvDrive = new QComboBox;
    drvDrive->setObjectName(QStringLiteral("drvDrive"));
    Place(drvDrive, 2520, 2760, 2055, 315);

    cmdCancel = new QPushButton(QStringLiteral("&Cancel"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setToolTip(QStringLiteral("click to cancel Add Picture from a disk File"));
    SetBackColour(cmdCancel, RedColour);
    Place(cmdCancel, 600, 3240, 1215, 495);
    cmdOK = new QPushButton(QStringLiteral("&OK"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setToolTip(QStringLiteral("Click if file selected is ok."));
    SetBackColour(cmdOK, GreenColour);
    Place(cmdOK, 2880, 3240, 1215, 495);
    SetDefaultButton(cmdOK);

    Image1 = new PictureBox(Canvas());
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->SetUnitsPerPixel(QSizeF(TwipsPerPixel, TwipsPerPixel));
    Image1->SetStretch(true);
    Image1->Move(1680, 3840, 1455, 1455);
    ImageX = new PictureBox(Canvas());
    ImageX->setObjectName(QStringLiteral("ImageX"));
    ImageX->SetUnitsPerPixel(QSizeF(TwipsPerPixel, TwipsPerPixel));
    ImageX->SetStretch(false);
    ImageX->Move(240, 4080, 0, 0);
    ImageX->SetVisible(false);
    cmdExc = new QPushButton(Canvas());
    cmdExc->setObjectName(QStringLiteral("cmdExc"));
    cmdExc->hide(); // out of sight; Esc presses it
    cmdExc->setAccessibleName(QStringLiteral("Exit program"));
    txtFileName->setAccessibleName(QStringLiteral("File Name"));
    filFiles->setAccessibleName(QStringLiteral("Files"));
    AccessibleNames::NameComboBox(cboFileType, QStringLiteral("File Type"));
    dirDirectory->setAccessibleName(QStringLiteral("Directories"));
    AccessibleNames::NameComboBox(drvDrive, QStringLiteral("Drive"));
    Image1->setAccessibleName(QStringLiteral("Preview of the selected file"));
    SetCancelButton(cmdExc);

    connect(cboFileType, &QComboBox::currentIndexChanged, this, [this] { cboFileType_Click(); });
    connect(drvDrive, &QComboBox::activated, this, [this] { drvDrive_Change(); });
    connect(dirDirectory, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { SetDirectoryPath(item->data(FolderRole).toString()); });
    connect(filFiles, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            filFiles_Click();
    });
    connect(filFiles, &QListWidget::itemSelectionChanged, this, [this] {
        if (filFiles->selectedItems().size() > 1)
            txtFileName->setText(FileChooser::SelectionText(SelectedFiles(), HighlightedFile()));
    });
    connect(filFiles, &QListWidget::itemDoubleClicked, this, [this] { filFiles_DblClick(); });
    filFiles->viewport()->installEventFilter(this);
    dirDirectory->installEventFilter(this);
    connect(Image1, &PictureBox::mouseDown, this, [this](Qt::MouseButton b, Qt::KeyboardModifiers, QPointF) {
        if (b == Qt::LeftButton)
            Image1_Click();
    });
    connect(cmdOK, &QPushButton::clicked, this, &FrmGetFile::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmGetFile::cmdCancel_Click);
    connect(cmdExc, &QPushButton::clicked, this, &FrmGetFile::cmdExc_Click);
}

void FrmGetFile::Form_Load()
{
    m_directory = Files::CurDir();
    fillDrives();
    dirDirectory_Change();
    lblDirName->setText(m_directory);
    // Start-up loads the chooser: the page screen's cancel button goes out of
    // sight until the first editing mode ends.
    if (Form* page = Forms::Get(Screen::Page1)) {
        if (auto* cancel = page->findChild<QPushButton*>(QStringLiteral("cmdCancelAddDelete"))) {
            const QRectF r = page->Placed(cancel);
            page->Place(cancel, r.left(), -1500, r.width(), r.height());
        }
    }
}

void FrmGetFile::Form_Activate()
{
    Files::ChDir(session.startPath);
}

bool FrmGetFile::eventFilter(QObject* watched, QEvent* event)
{
    // Enter on the folder list opens the folder, and only that: it is not OK as well.
    if (watched == dirDirectory && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && dirDirectory->currentItem()) {
            SetDirectoryPath(dirDirectory->currentItem()->data(FolderRole).toString());
            return true;
        }
    }
    if (watched == filFiles->viewport() && event->type() == QEvent::MouseButtonPress) {
        filFiles_MouseDown();
        // A press on the file already highlighted selects nothing new: it is a click all the same.
        const QModelIndex at = filFiles->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (at.isValid() && at.row() == filFiles->currentRow())
            filFiles_Click();
    }
    return Form::eventFilter(watched, event);
}

void FrmGetFile::fillDrives()
{
    const QSignalBlocker quiet(drvDrive);
    drvDrive->clear();
    drvDrive->addItems(Volumes());
    selectDriveOf(m_directory);
}

void FrmGetFile::selectDriveOf(const QString& path)
{
    const QSignalBlocker quiet(drvDrive);
    const QString root = QStorageInfo(path).rootPath();
    int index = drvDrive->findText(root);
    if (index < 0) {
        drvDrive->addItem(root);
        index = drvDrive->count() - 1;
    }
    drvDrive->setCurrentIndex(index);
}

void FrmGetFile::fillDirectories()
{
    dirDirectory->clear();
    // The way down from the root to the folder, then the folder's own subfolders.
    QStringList chain;
    for (QDir d(m_directory);; ) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp())
            break;
    }
    int depth = 0;
    for (const QString& path : std::as_const(chain)) {
        const QString name = path == QStringLiteral("/") ? path : QDir(path).dirName();
        auto* item = new QListWidgetItem(QString(depth * 2, u' ') + QStringLiteral("\u25BE ") + name, dirDirectory);
        item->setData(FolderRole, path);
        item->setData(Qt::AccessibleTextRole, name); // heard without the indent and the triangle
        item->setData(Qt::AccessibleDescriptionRole, QStringLiteral("level %1").arg(depth + 1));
        ++depth;
    }
    dirDirectory->setCurrentRow(dirDirectory->count() - 1);
    for (const QString& sub : FileChooser::Subfolders(m_directory)) {
        auto* item = new QListWidgetItem(QString(depth * 2, u' ') + QStringLiteral("\u25B8 ") + sub, dirDirectory);
        item->setData(FolderRole, FileChooser::InFolder(m_directory, sub));
        item->setData(Qt::AccessibleTextRole, sub);
        item->setData(Qt::AccessibleDescriptionRole, QStringLiteral("level %1, not opened").arg(depth + 1));
    }
}

void FrmGetFile::fillFiles()
{
    const QSignalBlocker quiet(filFiles);
    // The file named in the name field keeps its highlight when the list is
    // filled again (the chooser opened again, another file type), so OK hands
    // back the file the user sees chosen; several chosen files keep theirs.
    const QString named = txtFileName->text();
    filFiles->clear();
    filFiles->addItems(FileChooser::MatchingFiles(m_filesPath, m_pattern));
    if (named.isEmpty())
        return;
    const QStringList names = FileChooser::SelectionNames(named);
    for (const QString& name : names.isEmpty() ? QStringList{named} : names) {
        const QList<QListWidgetItem*> same = filFiles->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!same.isEmpty())
            filFiles->setCurrentItem(same.first(), names.isEmpty() ? QItemSelectionModel::ClearAndSelect
                                                                   : QItemSelectionModel::Select);
    }
    // Several files chosen before stay chosen only when every one is still listed.
    if (!names.isEmpty() && SelectedFiles() != names)
        filFiles->clearSelection();
}

void FrmGetFile::SetDirectoryPath(const QString& path)
{
    m_directory = QDir(path).absolutePath();
    dirDirectory_Change();
}

QString FrmGetFile::HighlightedFile() const
{
    const QListWidgetItem* item = filFiles->currentItem();
    return item ? item->text() : QString();
}

QStringList FrmGetFile::SelectedFiles() const
{
    QList<int> rows;
    for (const QModelIndex& index : filFiles->selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QStringList names;
    for (int row : std::as_const(rows))
        names << filFiles->item(row)->text();
    return names;
}

void FrmGetFile::cboFileType_Click()
{
    m_pattern = FileChooser::PatternOf(cboFileType->currentText());
    fillFiles();
}

void FrmGetFile::drvDrive_Change()
{
    Image1->SetPicture({});
    const QString root = drvDrive->currentText();
    const QDir drive(root);
    if (!drive.exists() || !drive.isReadable()) {
        MsgBox(QStringLiteral("Drive error!"), vbOKOnly | vbExclamation, QStringLiteral("Error"));
        selectDriveOf(m_directory);
        return;
    }
    SetDirectoryPath(root);
}

void FrmGetFile::dirDirectory_Change()
{
    fillDirectories();
    m_filesPath = m_directory;
    fillFiles();
    lblDirName->setText(m_directory);
    lblDirName->setToolTip(m_directory);
}

void FrmGetFile::filFiles_MouseDown()
{
    Image1->SetPicture({});
}

void FrmGetFile::filFiles_Click()
{
    SizeImg();
    Showimg();
    txtFileName->setText(FileChooser::SelectionText(SelectedFiles(), HighlightedFile()));
}

void FrmGetFile::SizeImg()
{
    chosenPath = FileChooser::InFolder(m_filesPath, HighlightedFile());
    // Read once, fitted into the preview box: the long side fills it whatever the picture.
    const int side = qCeil(1455 / TwipsPerPixel * devicePixelRatioF());
    const Pictures::LoadResult measured = Pictures::LoadPicture(chosenPath, QSize(side, side), devicePixelRatioF());
    m_preview = measured.error.failed() ? Picture{} : measured.picture;
    if (measured.error.failed()) {
        // Only a file that holds no picture is told; the divisors keep their values.
        if (measured.error.number == RunError::InvalidPicture)
            MsgBox(QStringLiteral("The file selected is not a picture file"), vbOKOnly, QStringLiteral("ERROR"));
        return;
    }
    const QSize natural = measured.picture.natural;
    ImageX->Move(240, 4080, float(natural.width() * TwipsPerPixel), float(natural.height() * TwipsPerPixel));
    divisors = FileChooser::DivisorsFor(natural.width() * TwipsPerPixel, natural.height() * TwipsPerPixel);
}

void FrmGetFile::Showimg()
{
    if (!divisors.ready())
        return;
    const FileChooser::Place p = FileChooser::PreviewPlace(divisors);
    Image1->Move(float(p.left), float(p.top), float(p.width), float(p.height));
    if (!m_preview.isNull()) // a file that failed to load leaves the preview as it is
        Image1->SetPicture(m_preview);
}

void FrmGetFile::filFiles_DblClick()
{
    txtFileName->setText(HighlightedFile());
    cmdOK_Click();
}

void FrmGetFile::Image1_Click()
{
    // The preview chooses what the list has selected: one file, or several.
    txtFileName->setText(FileChooser::SelectionText(SelectedFiles(), HighlightedFile()));
    cmdOK_Click();
}

void FrmGetFile::cmdOK_Click()
{
    if (txtFileName->text().isEmpty()) {
        MsgBox(QStringLiteral("No file is selected!"), vbOKOnly | vbExclamation, QStringLiteral("Error"));
        return;
    }
    const QStringList chosen = FileChooser::ChosenPaths(m_filesPath, txtFileName->text(), HighlightedFile(), SelectedFiles());
    if (chosen.size() == 1 && QFileInfo(chosen.first()).isDir()) {
        // A folder typed into the name field is opened, as in other file dialogs, not handed back as a picture.
        txtFileName->clear();
        SetDirectoryPath(chosen.first());
        return;
    }
    m_chosenPaths = chosen;
    Tag = m_chosenPaths.first();
    Hide();
    Image1->SetPicture({});
}

void FrmGetFile::cmdCancel_Click()
{
    Tag.clear();
    m_chosenPaths.clear();
    if (Form* page = Forms::Get(Screen::Page1)) {
        if (auto* cancel = page->findChild<QPushButton*>(QStringLiteral("cmdCancelAddDelete")))
            cancel->click();
    }
    Hide();
}

void FrmGetFile::cmdExc_Click()
{
    ConfirmExit();
}

void SetUpFileChooser()
{
    auto* chooser = Forms::Get<FrmGetFile>(Screen::GetFile);
    if (!chooser)
        return;
    {
        const QSignalBlocker quiet(chooser->cboFileType);
        chooser->cboFileType->clear();
        chooser->cboFileType->addItems(FileChooser::FileTypes());
        chooser->cboFileType->setCurrentIndex(-1);
    }
    chooser->cboFileType->setCurrentIndex(0); // runs cboFileType_Click
    chooser->SetCaption(QStringLiteral("Select A Picture File"));
    chooser->ShowModal();
}
