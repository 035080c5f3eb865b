#pragma once

#include "form.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The options screen: the hub from which every activity starts. Each time it
// comes to the front it closes the open album.
class FrmOption1 final : public Form {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmOption1)
public:
    FrmOption1();

    void Form_Load() override;
    void Form_Activate() override;

    void GotoIt();
    void cmdSetOptions_MouseDown(Qt::MouseButton button);
    // The go button pressed from the keyboard: what a mouse press does.
    void cmdSetOptions_Click();
    void optDefault_DblClick();
    void optNewAlbum_DblClick();
    void optSavedAlbum_DblClick();
    void optphotoData_DblClick();
    void CmdHelp_Click();
    void cmdExit_Click();
    void mnuExit_Click();
    void mnuReadme_Click();

    QLabel* lblFormName = nullptr;
    QGroupBox* frmOptions = nullptr;
    QRadioButton* optDefault = nullptr;
    QRadioButton* optNewAlbum = nullptr;
    QRadioButton* optSavedAlbum = nullptr;
    QRadioButton* optphotoData = nullptr;
    QPushButton* cmdSetOptions = nullptr;
    QPushButton* CmdHelp = nullptr;
    QPushButton* cmdExit = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The steps the go button and the double-clicks share; `unloadDeclinedBrowser`
    // is the extra step only GotoIt takes after the photo data browser.
    void actOnSelection(bool unloadDeclinedBrowser);
    QRadioButton* makeOption(const QString& name, const QString& caption, const QString& tip);
};
