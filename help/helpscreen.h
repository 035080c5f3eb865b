#pragma once

#include "form.h"

class QPushButton;
class QTextBrowser;

// How a help page behaves: where its buttons lead and which of them is out of use.
struct HelpPageDesign {
    QString name;
    QString caption;
    QString previous; // screen name, or empty
    QString next;
    QString html;     // the page's headings and paragraphs
    QString previousTip = QStringLiteral("Go to the previous page help page.");
    QString nextTip = QStringLiteral("Go to the next page help page.");
    QString exitTip = QStringLiteral("Exit the help page and go back to the album page.");
    bool optionsHelp = false; // leaving it gives the options screen its input back
    // Coloured red and disabled by Form_Activate each time the page comes to the front.
    bool activateDisablesPrevious = false;
    bool activateDisablesNext = false;
    bool activateGreensPrevious = false;
    // Red and disabled as designed (255, or 192 on the album-list help).
    bool designDisablesPrevious = false;
    bool designDisablesNext = false;
    int designRed = 255;
};

// One page of help: fixed text, Previous, Next and Exit Help, a File menu and Esc.
class HelpScreen final : public Form {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HelpScreen)
public:
    explicit HelpScreen(HelpPageDesign design);

    void Form_Activate() override;
    // The title-bar close button is Exit Help.
    void CloseByUser() override { cmdExitHelp_Click(); }

    void cmdNextPage_Click();
    void cmdPreviousPage_Click();
    void cmdExitHelp_Click();
    void cmdEsc_Click();
    void mnuExit_Click();

    QPushButton* cmdPreviousPage = nullptr;
    QPushButton* cmdNextPage = nullptr;
    QPushButton* cmdExitHelp = nullptr;
    QPushButton* cmdEsc = nullptr;
    QTextBrowser* txtHelp = nullptr;

    // Colours given as the screens' colour numbers (0xBBGGRR).

private:
    HelpPageDesign m_design;
};

// Registers the thirteen help screens.
void RegisterHelpScreens();

// The lines every help page carries.
QString HelpRedGreenLine();
QString HelpExitLine();
