#pragma once

#include "form.h"

#include <QStringList>

class QFrame;
class QLabel;
class QListWidget;
class QPushButton;

// The stored album list: the program folder's subfolders by name; the chosen one opens at page 1.
class FrmSelectAlbum1 final : public Form {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmSelectAlbum1)
public:
    FrmSelectAlbum1();

    void Form_Load() override;
    void Form_Activate() override;

    void cmdSelect_Click();
    void lstAlbumList_DblClick();
    void cmdBackToOptions_Click();
    void cmdExit_Click();
    void mnuExit_Click();
    void mnuHelp_Click();

    QLabel* lblName = nullptr;
    QLabel* lblInst = nullptr;
    QListWidget* lstAlbumList = nullptr;
    // The full paths beside the names: entry i of each names the same folder.
    QStringList dlbAlbumList;
    QFrame* Frame1 = nullptr;
    QPushButton* cmdSelect = nullptr;
    QPushButton* cmdBackToOptions = nullptr;
    QPushButton* cmdExit = nullptr;
};

// The subfolders of `folder` that can be opened as albums, in name order, as full paths.
// A name the file system gives in a form that cannot be shown or opened again is left out.
QStringList AlbumFolders(const QString& folder);
