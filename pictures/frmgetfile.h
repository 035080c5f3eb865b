#pragma once

#include "filechooser.h"
#include "form.h"
#include "picture.h"

class PictureBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The picture file chooser: drive, folder and file lists, a file-type list, a
// file-name field and a preview. Loaded once and only ever hidden, so it
// keeps its drive, folder and file name from one use to the next. The chosen
// path goes back to the page screen in Tag (empty after Cancel); when several
// files are selected, Tag holds the first and ChosenPaths every one.
class FrmGetFile final : public Form {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmGetFile)
public:
    FrmGetFile();

    void Form_Load() override;
    void Form_Activate() override;

    void cboFileType_Click();
    void drvDrive_Change();
    void dirDirectory_Change();
    void filFiles_MouseDown();
    void filFiles_Click();
    void filFiles_DblClick();
    void Image1_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdExc_Click();
    void SizeImg();
    void Showimg();

    // The folder the folder list shows, and moving it (runs dirDirectory_Change).
    QString DirectoryPath() const { return m_directory; }
    void SetDirectoryPath(const QString& path);
    // The file list's folder and its highlighted file name (empty when none).
    QString FilesPath() const { return m_filesPath; }
    QString HighlightedFile() const;
    // The files selected in the list, in the list's order.
    QStringList SelectedFiles() const;
    // Every path OK handed back, in the list's order (Tag is the first); empty after Cancel.
    const QStringList& ChosenPaths() const { return m_chosenPaths; }

    QLabel* lblName = nullptr;
    QLineEdit* txtFileName = nullptr;
    QListWidget* filFiles = nullptr;
    QLabel* lblFileType = nullptr;
    QComboBox* cboFileType = nullptr;
    QLabel* lblDirectories = nullptr;
    QLabel* lblDirName = nullptr;
    QListWidget* dirDirectory = nullptr;
    QLabel* lblDrive = nullptr;
    QComboBox* drvDrive = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdOK = nullptr;
    PictureBox* Image1 = nullptr;
    PictureBox* ImageX = nullptr;
    QPushButton* cmdExc = nullptr;

    QString chosenPath;
    FileChooser::Divisors divisors;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The title-bar close button is Cancel: the chooser is only ever hidden.
    void CloseByUser() override { cmdCancel_Click(); }

private:
    void fillDrives();
    void fillDirectories();
    void fillFiles();
    void selectDriveOf(const QString& path);

    QString m_directory;
    QString m_filesPath;
    QString m_pattern = QStringLiteral("*.*");
    QStringList m_chosenPaths;
    Picture m_preview; // the highlighted file, read by SizeImg for Showimg
};

// Prepares the chooser (the six file types, "All Files (*.*)" selected, its
// caption) and shows it modally; returns when it is hidden again.
void SetUpFileChooser();
