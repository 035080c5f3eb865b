// The stored album list: what it lists, and opening an album from it.
#include "forms.h"
#include "frmcover.h"
#include "frmoption1.h"
#include "frmpage1.h"
#include "frmselectalbum1.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "startup.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <sys/stat.h>

namespace {

FrmSelectAlbum1* list()
{
    return Forms::Get<FrmSelectAlbum1>(Screen::SelectAlbum1);
}

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

QStringList shown()
{
    QStringList names;
    for (int i = 0; i < list()->lstAlbumList->count(); ++i)
        names << list()->lstAlbumList->item(i)->text();
    return names;
}

} // namespace

class TestAlbumList : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram(false);
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void noSubfolders()
    {
        list()->Show();
        QCOMPARE(shown(), QStringList{QStringLiteral("There are no Album's stored")});
        QVERIFY(!list()->lstAlbumList->isEnabled());
        QVERIFY(!list()->cmdSelect->isEnabled());
        QVERIFY(list()->cmdBackToOptions->isEnabled());
        QCOMPARE(list()->lblName->text(), QStringLiteral("Stored Album's"));
        QCOMPARE(list()->lblInst->text(), QStringLiteral("Click the Album you want to see, then press Select"));
        QCOMPARE(list()->Caption(), QStringLiteral("Quillbook by Wren"));
    }

    void everySubfolderInNameOrderWithItsPath()
    {
        for (const char* name : {"Wren Photo Album", "holiday", "Ann's Trip", "Zoo", "no pictures"})
            QVERIFY(QDir().mkdir(program->path(QString::fromUtf8(name))));
        QFile plain(program->path(QStringLiteral("a file")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        session.albumName = QStringLiteral("left over");
        session.pageNr = QStringLiteral("4");
        session.albumChanged = 1;
        list()->Show();
        QCOMPARE(shown(), (QStringList{QStringLiteral("Ann's Trip"), QStringLiteral("holiday"),
                                       QStringLiteral("no pictures"), QStringLiteral("Wren Photo Album"),
                                       QStringLiteral("Zoo")}));
        for (int i = 0; i < list()->dlbAlbumList.size(); ++i)
            QCOMPARE(list()->dlbAlbumList[i], program->path(shown()[i]));
        QCOMPARE(list()->lstAlbumList->currentRow(), 0);
        QVERIFY(session.albumName.isEmpty());
        QCOMPARE(session.pageNr, QStringLiteral("1"));
        QCOMPARE(session.albumChanged, 0);
    }

    void namesThatCannotBeOpenedAgainAreLeftOut()
    {
        QVERIFY(QDir().mkdir(program->path(QStringLiteral("Good"))));
        const QByteArray broken = QFile::encodeName(program->folder()) + "/bad\xff\xfe name";
        QCOMPARE(::mkdir(broken.constData(), 0755), 0);
        const QByteArray control = QFile::encodeName(program->folder()) + "/line\nbreak";
        QCOMPARE(::mkdir(control.constData(), 0755), 0);
        const QString longName(200, u'x');
        QVERIFY(QDir().mkdir(program->path(longName)));
        list()->Show();
        QCOMPARE(shown(), (QStringList{QStringLiteral("Good"), longName}));
    }

    void selectOpensPageOne()
    {
        const QString album = program->path(QStringLiteral("Holiday"));
        QVERIFY(QDir().mkdir(album));
        QVERIFY(TestPictures::Save(TestPictures::Photo(80, 60), album + QStringLiteral("/P1I2.bmp"), "BMP"));
        list()->Show();
        QTest::keyClick(list(), Qt::Key_Return); // Enter presses Select
        QVERIFY(page()->isVisible());
        QVERIFY(!list()->isVisible());
        QVERIFY(!Forms::Get(Screen::Pbar3)->isVisible());
        QCOMPARE(session.albumName, QStringLiteral("Holiday"));
        QCOMPARE(session.albumFilePrefix, album + QStringLiteral("/P"));
        QCOMPARE(page()->Caption(), QStringLiteral("Album \"Holiday -- Page 1\""));
        QCOMPARE(page()->Image1(2)->Tag, QStringLiteral("1"));
        QCOMPARE(page()->Image1(3)->Tag, QStringLiteral("0"));
        // Turning the page goes on in the same album.
        page()->Menu(QStringLiteral("mnuP2"))->trigger();
        QCOMPARE(page()->Caption(), QStringLiteral("Album \"Holiday -- Page 2\""));
        QCOMPARE(page()->Image1(2)->Tag, QStringLiteral("0"));
    }

    void vanishedFolderOpensAsEmptyPages()
    {
        QVERIFY(QDir().mkdir(program->path(QStringLiteral("Gone"))));
        list()->Show();
        QVERIFY(QDir().rmdir(program->path(QStringLiteral("Gone"))));
        emit list()->lstAlbumList->itemDoubleClicked(list()->lstAlbumList->item(0));
        QVERIFY(page()->isVisible());
        QCOMPARE(page()->Caption(), QStringLiteral("Album \"Gone -- Page 1\""));
        for (int s = 0; s <= 11; ++s)
            QCOMPARE(page()->Image1(s)->Tag, QStringLiteral("0"));
        QVERIFY(program->user.asked.isEmpty());
    }

    void fromTheOptionsScreenAndBack()
    {
        program->addSuppliedPictures();
        StartUp();
        Forms::Get<FrmCover>(Screen::Cover)->tmrCover_Timer();
        auto* options = Forms::Get<FrmOption1>(Screen::Option1);
        options->optSavedAlbum->setChecked(true);
        QTest::mousePress(options->cmdSetOptions, Qt::LeftButton);
        QVERIFY(list()->isVisible());
        QCOMPARE(shown(), QStringList{QStringLiteral("Wren Photo Album")}); // the supplied album, like any other
        QVERIFY(page()->Menu(QStringLiteral("mnuDeleteAlbum"))->isEnabled());

        list()->cmdBackToOptions->click();
        QVERIFY(options->isVisible());
        QCOMPARE(Forms::Front(), options);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!list()->isVisible()); // reloaded afresh by the activation, hidden

        program->user.answerButton(vbNo);
        list()->Show();
        QTest::keyClick(list(), Qt::Key_Escape);
        QCOMPARE(program->user.asked.size(), 1);
        QVERIFY(list()->isVisible());
    }

};

QTEST_MAIN(TestAlbumList)
#include "tst_albumlist.moc"
