// The end of a session from outside loses nothing: the desktop session's
// question is answered with the save check, and a run ended by SIGTERM keeps
// its unsaved pictures, which the next start offers back.
#include "albumpaths.h"
#include "forms.h"
#include "frmcover.h"
#include "frmpage1.h"
#include "keptfile.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "program.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "sessionend.h"
#include "slotdrop.h"
#include "startup.h"
#include "testpictures.h"
#include "testprogram.h"
#include "unsavedpictures.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <cstdio>

namespace {

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

void openAlbum(const QString& name, int pageNr)
{
    session.albumName = name;
    session.pageNr = QStringLiteral("1");
    session.albumChanged = 0;
    page()->Show();
    page()->mnuP_Click(pageNr);
}

QImage pixels(const QImage& image)
{
    QImage i = image.convertToFormat(QImage::Format_RGB32);
    i.setDevicePixelRatio(1);
    return i;
}

// The three ways a picture reaches a slot without a file of the album: a file
// (kept), encoded bytes (kept) and bare pixels (held as they are).
struct Added {
    int slot;
    QImage image;
};
const QList<Added>& added()
{
    static const QList<Added> all{{0, TestPictures::Photo(60, 40, 3)},
                                  {5, TestPictures::Photo(50, 50, 4)},
                                  {11, TestPictures::Photo(30, 45, 5)}};
    return all;
}

void dropAll(const QString& folder)
{
    const QString file = folder + QStringLiteral("/from-camera.png");
    TestPictures::Save(added()[0].image, file, "PNG");
    QMimeData asFile, asBytes, asPixels;
    asFile.setUrls({QUrl::fromLocalFile(file)});
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        added()[1].image.save(&buffer, "PNG");
    }
    asBytes.setData(QStringLiteral("image/png"), png);
    asPixels.setImageData(added()[2].image);
    page()->SlotDrops()->Drop(added()[0].slot, &asFile);
    page()->SlotDrops()->Drop(added()[1].slot, &asBytes);
    page()->SlotDrops()->Drop(added()[2].slot, &asPixels);
    QFile::remove(file); // the slot holds its own copy
}

// The child: the program on a page with three unsaved pictures, waiting for its end.
int runChild()
{
    const QString folder = qEnvironmentVariable("QUILL_CHILD_FOLDER");
    QDir::setCurrent(folder);
    KeptFile::SetFolder(qEnvironmentVariable("QUILL_CHILD_KEPT"));
    session.appPath = folder;
    session.startPath = folder;
    RegisterScreens();
    SessionEnd::Install(*qApp);
    openAlbum(qEnvironmentVariable("QUILL_CHILD_ALBUM"), qEnvironmentVariableIntValue("QUILL_CHILD_PAGE"));
    dropAll(folder);
    std::puts(session.albumChanged == 1 ? "ready" : "nothing changed");
    std::fflush(stdout);
    return QApplication::exec();
}

QStringList keptFiles()
{
    return QDir(KeptFile::Folder()).entryList({QStringLiteral("unsaved-*")}, QDir::Files);
}

} // namespace

class TestSessionEnd : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram();
        QVERIFY(MakeAlbum(QStringLiteral("Holiday"), {{QStringLiteral("P3I4.bmp"), TestPictures::Photo(64, 48, 1)}}));
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    // The session manager's question, with and without leave to ask the user.
    void sessionQuestionIsTheSaveCheck_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("mayAsk");
        QTest::addColumn<int>("answer"); // 0: nothing asked
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("kept"); // pictures kept for the next start
        QTest::newRow("unchanged") << false << true << 0 << false << 0;
        QTest::newRow("changed, Yes") << true << true << int(vbYes) << true << 0;
        QTest::newRow("changed, No") << true << true << int(vbNo) << false << 0;
        QTest::newRow("changed, no leave to ask") << true << false << 0 << false << 3;
    }
    void sessionQuestionIsTheSaveCheck()
    {
        QFETCH(bool, changed);
        QFETCH(bool, mayAsk);
        QFETCH(int, answer);
        QFETCH(bool, saved);
        QFETCH(int, kept);
        openAlbum(QStringLiteral("Holiday"), 3);
        if (changed)
            dropAll(program->folder());
        if (answer != 0)
            program->user.answerButton(answer);
        QVERIFY(SessionEnd::CommitData(mayAsk)); // the session may end
        QCOMPARE(program->user.asked.size(), answer != 0 ? 1 : 0);
        if (answer != 0)
            QCOMPARE(program->user.asked[0].prompt, QStringLiteral("Do you want to save changes to Page 3"));
        QCOMPARE(QFile::exists(program->path(QStringLiteral("Holiday/P3I0.bmp"))), saved);
        QCOMPARE(keptFiles().size(), kept == 0 ? 0 : kept + 1); // the pictures and their record
    }

    // A run ended by SIGTERM, then the next start: the question, and what Yes or No does.
    void terminatedRunIsOfferedBack_data()
    {
        QTest::addColumn<QString>("album");
        QTest::addColumn<int>("pageNr");
        QTest::addColumn<bool>("albumDeleted");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("restoredAs"); // empty: nothing restored
        QTest::newRow("stored album, Yes") << "Holiday" << 3 << false << int(vbYes) << "Holiday";
        QTest::newRow("stored album, No") << "Holiday" << 3 << false << int(vbNo) << "";
        QTest::newRow("album never named") << AlbumPaths::NewAlbum << 1 << false << int(vbYes) << AlbumPaths::NewAlbum;
        QTest::newRow("album deleted meanwhile") << "Holiday" << 3 << true << int(vbYes) << AlbumPaths::NewAlbum;
    }
    void terminatedRunIsOfferedBack()
    {
        QFETCH(QString, album);
        QFETCH(int, pageNr);
        QFETCH(bool, albumDeleted);
        QFETCH(int, answer);
        QFETCH(QString, restoredAs);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILL_SESSION_CHILD"), QStringLiteral("1"));
        env.insert(QStringLiteral("QUILL_CHILD_FOLDER"), program->folder());
        env.insert(QStringLiteral("QUILL_CHILD_KEPT"), KeptFile::Folder());
        env.insert(QStringLiteral("QUILL_CHILD_ALBUM"), album);
        env.insert(QStringLiteral("QUILL_CHILD_PAGE"), QString::number(pageNr));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
        ::kill(pid_t(child.processId()), SIGTERM);
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit); // handled, not killed by the signal
        QCOMPARE(keptFiles().size(), 4);
        if (albumDeleted)
            QVERIFY(QDir(program->path(QStringLiteral("Holiday"))).removeRecursively());

        // The next start.
        program->user.answerButton(answer);
        StartUp();
        Forms::Get<FrmCover>(Screen::Cover)->tmrCover_Timer();
        QCOMPARE(program->user.asked.size(), 1);
        QVERIFY(program->user.asked[0].prompt.startsWith(UnsavedPictures::Question(album, pageNr)));
        QCOMPARE(program->user.asked[0].prompt.contains(QStringLiteral("no longer there")), albumDeleted);
        QCOMPARE(keptFiles(), QStringList{}); // restored or discarded, nothing is left
        if (restoredAs.isEmpty()) {
            QVERIFY(!Forms::IsLoaded(Screen::Page1) || !page()->isVisible());
            return;
        }
        QCOMPARE(Forms::Front(), page());
        QCOMPARE(session.albumName, restoredAs);
        QCOMPARE(session.pageNr, QString::number(pageNr));
        QCOMPARE(session.albumChanged, 1);
        for (const Added& a : added()) {
            QCOMPARE(page()->Image1(a.slot)->Tag, QStringLiteral("1"));
            QCOMPARE(pixels(Pictures::Reload(page()->Image1(a.slot)->GetPicture(), {}).shown), pixels(a.image));
        }
        QCOMPARE(page()->Image1(0)->GetPicture().originalName, QStringLiteral("from-camera.png"));
        // The album's own picture of that page is there too, unless the album has gone.
        QCOMPARE(page()->Image1(4)->Tag, QLatin1String(restoredAs == QStringLiteral("Holiday") ? "1" : "0"));
    }

};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("QUILL_SESSION_CHILD"))
        return runChild();
    TestSessionEnd test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sessionend.moc"
