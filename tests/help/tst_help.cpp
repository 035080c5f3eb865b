// The help screens: five chains, their buttons and colours, and the way back.
#include "controls.h"
#include "forms.h"
#include "frmoption1.h"
#include "helpscreen.h"
#include "screennames.h"
#include "testprogram.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

namespace {

HelpScreen* help(const QString& name)
{
    return Forms::Get<HelpScreen>(name);
}

const QList<QStringList> Chains{
    {QStringLiteral("frmPageHelp0"), QStringLiteral("frmPageHelp1"), QStringLiteral("frmPageHelp2"),
     QStringLiteral("frmPageHelp3"), QStringLiteral("frmPageHelp4"), QStringLiteral("frmPageHelp5")},
    {QStringLiteral("frmOptionHelp"), QStringLiteral("frmOptionHelp1")},
    {QStringLiteral("frmSelectAlbumHelp0")},
    {QStringLiteral("frmDisplayPictureHelp0")},
    {QStringLiteral("frmPhotoDataHelp0"), QStringLiteral("frmPhotoDataHelp1"), QStringLiteral("frmPhotoDataHelp2")},
};

constexpr int Red = 255;

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void init() { program = std::make_unique<TestProgram>(); }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void captionsAndButtons()
    {
        const QStringList captions{
            QStringLiteral("Page Help          page 1 of 6"),    QStringLiteral("Page Help          page 2 of 6"),
            QStringLiteral("Page Help          page 3 of 6"),    QStringLiteral("Page Help          page 4 of 6"),
            QStringLiteral("Page Help          page 5 of 6"),    QStringLiteral("Page Help          page 6 of 6"),
            QStringLiteral("Options Help          page 1 of 2"), QStringLiteral("Options Help          page 2 of 2"),
            QStringLiteral("Select Album  Help          page 1 of 1"),
            QStringLiteral("Display Picture  Help          page 1 of 1"),
            QStringLiteral("Photo Data Help          page 1 of 3"), QStringLiteral("Photo Data Help          page 2 of 3"),
            QStringLiteral("Photo Data Help          page 3 of 3")};
        QStringList seen;
        for (const QStringList& chain : Chains)
            for (const QString& name : chain)
                seen << help(name)->Caption();
        QCOMPARE(seen, captions);
        for (const QStringList& chain : Chains) {
            for (const QString& name : chain) {
                HelpScreen* h = help(name);
                QCOMPARE(h->cmdPreviousPage->text(), QStringLiteral(" &Previous  Page"));
                QCOMPARE(h->cmdNextPage->text(), QStringLiteral("&Next Page"));
                QCOMPARE(h->cmdExitHelp->text(), QStringLiteral("&Exit Help"));
                const QString text = h->txtHelp->toPlainText();
                QVERIFY2(text.contains(HelpRedGreenLine()), qPrintable(name));
                QVERIFY2(text.contains(QStringLiteral("You can exit from this program by either pressing <Esc> or clicking "
                                                      "on File and then Exit and \nthen follow the prompts.")),
                         qPrintable(name));
                QCOMPARE(h->Menu(QStringLiteral("mnuExit"))->text(), QStringLiteral("E&xit Program"));
            }
        }
        QCOMPARE(help(QStringLiteral("frmOptionHelp"))->cmdNextPage->toolTip(),
                 QStringLiteral("Go to the next option help page."));
        QCOMPARE(help(QStringLiteral("frmOptionHelp1"))->cmdPreviousPage->toolTip(),
                 QStringLiteral("Go to the previous option help page."));
        QCOMPARE(help(QStringLiteral("frmOptionHelp1"))->cmdExitHelp->toolTip(),
                 QStringLiteral("Exit the help page and go back to the option page."));
        QCOMPARE(help(QStringLiteral("frmPhotoDataHelp1"))->cmdPreviousPage->toolTip(),
                 QStringLiteral("This button will take you to the previous help page."));
        QCOMPARE(help(QStringLiteral("frmPageHelp3"))->cmdExitHelp->toolTip(),
                 QStringLiteral("Exit the help page and go back to the album page."));
        QVERIFY(help(QStringLiteral("frmPageHelp2"))->txtHelp->toPlainText().contains(QStringLiteral("<- -Page Down:")));
        QVERIFY(help(QStringLiteral("frmPageHelp5"))->txtHelp->toPlainText().contains(QStringLiteral("Page Up - ->:")));
    }

    void walkingEveryChain()
    {
        for (const QStringList& chain : Chains) {
            HelpScreen* first = help(chain.first());
            first->Show();
            QVERIFY2(!first->cmdPreviousPage->isEnabled(), qPrintable(chain.first()));
            QCOMPARE(BackColour(first->cmdPreviousPage), chain.first() == QStringLiteral("frmSelectAlbumHelp0") ? 192 : Red);
            for (int i = 1; i < chain.size(); ++i) {
                help(chain[i - 1])->cmdNextPage->click();
                QVERIFY(!help(chain[i - 1])->isVisible());
                QVERIFY(help(chain[i])->isVisible());
                QCOMPARE(Forms::Front(), help(chain[i]));
            }
            HelpScreen* last = help(chain.last());
            QVERIFY2(!last->cmdNextPage->isEnabled(), qPrintable(chain.last()));
            QCOMPARE(BackColour(last->cmdNextPage), chain.last() == QStringLiteral("frmSelectAlbumHelp0") ? 192 : Red);
            for (int i = int(chain.size()) - 1; i > 0; --i) {
                help(chain[i])->cmdPreviousPage->click();
                QVERIFY(help(chain[i - 1])->isVisible());
                QVERIFY(!help(chain[i])->isVisible());
            }
            help(chain.first())->cmdExitHelp->click();
            QVERIFY(!help(chain.first())->isVisible());
        }
        // The options help's second page turns its Previous bright green.
        help(QStringLiteral("frmOptionHelp1"))->Show();
        QCOMPARE(BackColour(help(QStringLiteral("frmOptionHelp1"))->cmdPreviousPage), 65280);
        QVERIFY(help(QStringLiteral("frmOptionHelp1"))->cmdPreviousPage->isEnabled());
    }

    void optionsHelpGivesTheOptionsScreenBack()
    {
        auto* options = Forms::Get<FrmOption1>(Screen::Option1);
        options->Show();
        options->CmdHelp->click();
        QVERIFY(!options->isEnabled());
        QVERIFY(options->isVisible());
        HelpScreen* first = help(QStringLiteral("frmOptionHelp"));
        QVERIFY(first->isVisible());

        // Esc and No: the help stays, the options screen stays disabled.
        program->user.answerButton(vbNo);
        QTest::keyClick(first, Qt::Key_Escape);
        QCOMPARE(program->user.asked.size(), 1);
        QVERIFY(first->isVisible());
        QVERIFY(!options->isEnabled());

        // Exit Help from page 2 gives it back.
        first->cmdNextPage->click();
        help(QStringLiteral("frmOptionHelp1"))->cmdExitHelp->click();
        QVERIFY(options->isEnabled());
        QCOMPARE(Forms::Front(), options);

        // And from page 1.
        options->CmdHelp->click();
        help(QStringLiteral("frmOptionHelp"))->cmdExitHelp->click();
        QVERIFY(options->isEnabled());
    }

    void otherScreensOpenTheirChains()
    {
        Forms::Get(Screen::Page1)->Menu(QStringLiteral("mnuHelp"))->trigger();
        QVERIFY(help(QStringLiteral("frmPageHelp0"))->isVisible());
        Forms::Get(Screen::SelectAlbum1)->Menu(QStringLiteral("mnuHelp"))->trigger();
        QVERIFY(help(QStringLiteral("frmSelectAlbumHelp0"))->isVisible());
        Forms::Get(Screen::DisplayPicture)->Menu(QStringLiteral("mnuHelp"))->trigger();
        QVERIFY(help(QStringLiteral("frmDisplayPictureHelp0"))->isVisible());
        program->user.answerButton(vbYes);
        help(QStringLiteral("frmDisplayPictureHelp0"))->Menu(QStringLiteral("mnuExit"))->trigger();
        QCOMPARE(program->user.programEnds, 1);
    }

private:
    std::unique_ptr<TestProgram> program;
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
