#include "helpscreen.h"

#include "controls.h"
#include "forms.h"
#include "screennames.h"
#include "sharedprocs.h"

#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>

namespace {
constexpr int Green = 49152;     // usable, as designed
constexpr int BrightGreen = 65280;
constexpr int Red = 255;
} // namespace

QString HelpRedGreenLine()
{
    return QStringLiteral("Any button that is colored red is disabled, The button must be green for you to use it.");
}

QString HelpExitLine()
{
    return QStringLiteral("You can exit from this program by either pressing <Esc> or clicking on File and then Exit and "
                          "\r\nthen follow the prompts.");
}

HelpScreen::HelpScreen(HelpPageDesign design) : Form(design.name), m_design(std::move(design))
{
    SetCaption(m_design.caption);
    Canvas()->setAttribute(Qt::WA_StyledBackground, true);
    Canvas()->setStyleSheet(QStringLiteral("#canvas { background: white; }"));
    // The screen's own twips, kept in proportion.
    SetScale(9500, 6400, true);
    Canvas()->setDesignSize(QSize(760, 512));

    txtHelp = new QTextBrowser;
    txtHelp->setObjectName(QStringLiteral("txtHelp"));
    txtHelp->setFrameShape(QFrame::NoFrame);
    txtHelp->setOpenLinks(false);
    txtHelp->setAccessibleName(QStringLiteral("Help text"));
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(10);
    txtHelp->setFont(f);
    txtHelp->setHtml(m_design.html + QStringLiteral("<p style='color:#444'>") + HelpRedGreenLine().toHtmlEscaped() +
                     QStringLiteral("<br>") + HelpExitLine().toHtmlEscaped().replace(QStringLiteral("\r\n"), QStringLiteral("<br>")) +
                     QStringLiteral("</p>"));
    Place(txtHelp, 240, 120, 9020, 5500);

    auto button = [this](const char* name, const QString& caption, const QString& tip) {
        auto* b = new QPushButton(caption);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(8);
        b->setFont(font);
        SetBackColour(b, Green);
        return b;
    };
    cmdPreviousPage = button("cmdPreviousPage", QStringLiteral(" &Previous  Page"), m_design.previousTip);
    cmdNextPage = button("cmdNextPage", QStringLiteral("&Next Page"), m_design.nextTip);
    cmdExitHelp = button("cmdExitHelp", QStringLiteral("&Exit Help"), m_design.exitTip);
    Place(cmdPreviousPage, 360, 5760, 1215, 495);
    Place(cmdNextPage, 1920, 5760, 1215, 495);
    Place(cmdExitHelp, 7920, 5760, 1215, 495);
    connect(cmdPreviousPage, &QPushButton::clicked, this, &HelpScreen::cmdPreviousPage_Click);
    connect(cmdNextPage, &QPushButton::clicked, this, &HelpScreen::cmdNextPage_Click);
    connect(cmdExitHelp, &QPushButton::clicked, this, &HelpScreen::cmdExitHelp_Click);
    if (m_design.designDisablesPrevious) {
        SetBackColour(cmdPreviousPage, m_design.designRed);
        cmdPreviousPage->setEnabled(false);
    }
    if (m_design.designDisablesNext) {
        SetBackColour(cmdNextPage, m_design.designRed);
        cmdNextPage->setEnabled(false);
    }

    cmdEsc = new QPushButton(Canvas());
    cmdEsc->setObjectName(QStringLiteral("cmdEsc"));
    cmdEsc->hide(); // out of sight; Esc presses it
    connect(cmdEsc, &QPushButton::clicked, this, &HelpScreen::cmdEsc_Click);
    SetCancelButton(cmdEsc);

    QMenu* file = AddMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
    AddMenuItem(file, QStringLiteral("mnuExit"), QStringLiteral("E&xit Program"), [this] { mnuExit_Click(); });
    resize(760, 540);
    CentreOnScreen();
}

void HelpScreen::Form_Activate()
{
    if (m_design.activateDisablesPrevious) {
        SetBackColour(cmdPreviousPage, Red);
        cmdPreviousPage->setEnabled(false);
    }
    if (m_design.activateGreensPrevious)
        SetBackColour(cmdPreviousPage, BrightGreen);
    if (m_design.activateDisablesNext) {
        SetBackColour(cmdNextPage, Red);
        cmdNextPage->setEnabled(false);
    }
}

void HelpScreen::cmdNextPage_Click()
{
    if (m_design.next.isEmpty())
        return;
    Forms::Show(m_design.next);
    Hide();
}

void HelpScreen::cmdPreviousPage_Click()
{
    if (m_design.previous.isEmpty())
        return;
    Forms::Show(m_design.previous);
    Hide();
}

void HelpScreen::cmdExitHelp_Click()
{
    if (m_design.optionsHelp) {
        if (Form* options = Forms::Get(Screen::Option1))
            options->setEnabled(true);
    }
    Hide();
}

void HelpScreen::cmdEsc_Click()
{
    ConfirmExit();
}

void HelpScreen::mnuExit_Click()
{
    ConfirmExit();
}
