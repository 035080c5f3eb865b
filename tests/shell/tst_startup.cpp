// Start-up: the program folder, the first-run install of the supplied album,
// the cover's hand-over and the exit question.
#include "fileops.h"
#include "forms.h"
#include "frmcover.h"
#include "frmoption1.h"
#include "frmreadme.h"
#include "programfolder.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"
#include "startup.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <unistd.h>

namespace {

QString suppliedFolder(const TestProgram& program)
{
    return program.path(QStringLiteral("Wren Photo Album"));
}

QStringList albumFiles(const TestProgram& program)
{
    return QDir(suppliedFolder(program)).entryList(QDir::Files, QDir::Name);
}

FrmCover* cover()
{
    return Forms::Get<FrmCover>(Screen::Cover);
}

FrmOption1* options()
{
    return Forms::Get<FrmOption1>(Screen::Option1);
}

// Continue on the readme, as the user starts the program.
void startFromReadme()
{
    auto* readme = Forms::Get<FrmReadMe>(Screen::ReadMe);
    QVERIFY(readme);
    readme->Show();
    readme->Command1_Click();
}

} // namespace

class TestStartUp : public QObject {
    Q_OBJECT

private slots:
    void init() { program = std::make_unique<TestProgram>(); }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void firstStartInstallsAllSuppliedPictures()
    {
        program->addSuppliedPictures();
        program->addEmptyPicture();
        program->addPhotoData();
        startFromReadme();

        QCOMPARE(session.appPath, program->folder());
        QCOMPARE(session.startPath, program->folder());
        QCOMPARE(session.appDrive, program->folder().left(1));
        QCOMPARE(session.pageNr, QStringLiteral("1"));
        QCOMPARE(session.suppliedAlbumPresent, 1);
        QVERIFY(session.albumName.isEmpty());

        const QStringList files = albumFiles(*program);
        QCOMPARE(files.size(), 120);
        for (int page = 1; page <= 10; ++page) {
            for (int slot = 0; slot <= 11; ++slot) {
                const QString name = QStringLiteral("P%1I%2.bmp").arg(page).arg(slot);
                QVERIFY2(files.contains(name), qPrintable(name));
                QCOMPARE(QFileInfo(suppliedFolder(*program) + u'/' + name).size(),
                         QFileInfo(program->path(name)).size());
            }
        }
        QCOMPARE(Files::GetAttr(suppliedFolder(*program)).value, 17);

        QCOMPARE(cover()->tmrCover->interval(), 22000);
        QVERIFY(cover()->tmrCover->isActive());
        QVERIFY(cover()->isVisible());
        QVERIFY(!Forms::Get(Screen::ReadMe)->isVisible());
        QVERIFY(Forms::IsLoaded(Screen::Option1));
        QVERIFY(!options()->isVisible());
    }

    void coverHandsOverToOptions()
    {
        program->addSuppliedPictures();
        startFromReadme();
        cover()->tmrCover_Timer();
        QVERIFY(!cover()->tmrCover->isActive());
        QVERIFY(!cover()->isVisible());
        QVERIFY(Forms::IsLoaded(Screen::Cover)); // hidden, never unloaded
        QVERIFY(options()->isVisible());
        QCOMPARE(Forms::Front(), options());
        QVERIFY(!options()->Menu(QStringLiteral("mnuReadme"))->isVisible());
        QVERIFY(!options()->Menu(QStringLiteral("mnuSp1"))->isVisible());
        QVERIFY(options()->Menu(QStringLiteral("mnuExit"))->isVisible());
        QCOMPARE(options()->optDefault->text(), QStringLiteral("Wren Album"));
        QVERIFY(options()->optDefault->isEnabled());
        QCOMPARE(options()->Caption(), QStringLiteral("Quillbook by Wren"));
        QCOMPARE(cover()->Caption(), QStringLiteral("Quillbook by Wren"));
    }

    void firstStartWithoutPicturesRemovesTheFolder()
    {
        program->addEmptyPicture();
        startFromReadme();
        QCOMPARE(session.suppliedAlbumPresent, 0);
        QVERIFY(!QFileInfo::exists(suppliedFolder(*program)));
        QCOMPARE(cover()->tmrCover->interval(), 22000);
        cover()->tmrCover_Timer();
        QCOMPARE(options()->optDefault->text(), QStringLiteral("Not Active This Setup"));
        QVERIFY(!options()->optDefault->isEnabled());
    }

    void firstStartWithSomePicturesCopiesNone()
    {
        program->addSuppliedPictures();
        QVERIFY(QFile::remove(program->path(QStringLiteral("P3I5.bmp"))));
        startFromReadme();
        QCOMPARE(session.suppliedAlbumPresent, 0);
        QVERIFY(!QFileInfo::exists(suppliedFolder(*program))); // a later start tries again
        cover()->tmrCover_Timer();
        QCOMPARE(options()->optDefault->text(), QStringLiteral("Not Active This Setup"));

        program->addSuppliedPicture(3, 5);
        ResetStartUp();
        startFromReadme();
        QCOMPARE(session.suppliedAlbumPresent, 1);
        QCOMPARE(albumFiles(*program).size(), 120);
        QCOMPARE(Files::GetAttr(suppliedFolder(*program)).value, 17);
    }

    void secondStartCopiesNothing()
    {
        program->addSuppliedPictures();
        QVERIFY(QDir().mkdir(suppliedFolder(*program)));
        QVERIFY(QFile::copy(program->path(QStringLiteral("P1I0.bmp")), suppliedFolder(*program) + QStringLiteral("/P1I0.bmp")));
        startFromReadme();
        QCOMPARE(albumFiles(*program), QStringList{QStringLiteral("P1I0.bmp")});
        QCOMPARE(session.suppliedAlbumPresent, 1);
        QCOMPARE(cover()->tmrCover->interval(), 4000);
        QVERIFY(cover()->isVisible());
        // The user's attributes on the folder are left alone.
        QCOMPARE(Files::GetAttr(suppliedFolder(*program)).value, 16);
    }

    void programFolderRule()
    {
        const QString home = program->path(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Documents")));
        // A folder holding the program's files is the program folder; any other is not.
        program->addEmptyPicture();
        QCOMPARE(ProgramFolder::Choose({QStringLiteral("quillbook")}, program->folder()).folder, program->folder());
        QCOMPARE(ProgramFolder::Choose({QStringLiteral("quillbook")}, home).folder, ProgramFolder::UserFolder());
        QVERIFY(!ProgramFolder::UserFolder().startsWith(home));
        const QString chosen = program->path(QStringLiteral("chosen"));
        QCOMPARE(ProgramFolder::Choose({QStringLiteral("quillbook"), QStringLiteral("--program-folder"), chosen}, home).folder,
                 chosen);
        QVERIFY(!ProgramFolder::Choose({QStringLiteral("quillbook"), QStringLiteral("--program-folder")}, home).problem.isEmpty());

        // Laid out from the installed data; twice, keeping what the user has.
        const QString data = QFileInfo(MadeAsset(QStringLiteral("Empty.bmp"))).path();
        QString problem;
        QVERIFY(ProgramFolder::LayOut(chosen, data, &problem));
        // The supplied pictures stay where they are installed: only the folder's own files come.
        QCOMPARE(QDir(chosen).entryList(QDir::Files),
                 (QStringList{QStringLiteral("Empty.bmp"), QStringLiteral("PhotoData.mdb")}));
        QVERIFY(TestPictures::WriteBytes(chosen + QStringLiteral("/PhotoData.mdb"), "the user's notes"));
        QVERIFY(TestPictures::WriteBytes(chosen + QStringLiteral("/P1I1.bmp"), "the user's own"));
        QVERIFY(QDir().mkdir(chosen + QStringLiteral("/Holiday")));
        QVERIFY(QFile::remove(chosen + QStringLiteral("/Empty.bmp")));
        QVERIFY(ProgramFolder::LayOut(chosen, data, &problem));
        QCOMPARE(TestPictures::ReadBytes(chosen + QStringLiteral("/PhotoData.mdb")), QByteArray("the user's notes"));
        QCOMPARE(TestPictures::ReadBytes(chosen + QStringLiteral("/P1I1.bmp")), QByteArray("the user's own"));
        QVERIFY(QFileInfo(chosen + QStringLiteral("/Holiday")).isDir());
        QVERIFY(QFileInfo::exists(chosen + QStringLiteral("/Empty.bmp")));
        QCOMPARE(QDir(home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("Documents")});
    }

    void firstStartCopiesTheInstalledPicturesOnce()
    {
        // A user's folder laid out from the installed data: the supplied album is copied
        // from where the pictures are installed, and nowhere else.
        program->addEmptyPicture();
        program->addPhotoData();
        const QString installed = QFileInfo(MadeAsset(QStringLiteral("P1I0.bmp"))).path();
        SetSuppliedPictures(installed);
        startFromReadme();
        QCOMPARE(session.suppliedAlbumPresent, 1);
        const QStringList files = albumFiles(*program);
        QCOMPARE(files.size(), 120);
        for (const QString& name : files)
            QCOMPARE(TestPictures::ReadBytes(suppliedFolder(*program) + u'/' + name),
                     TestPictures::ReadBytes(installed + u'/' + name));
        QCOMPARE(QDir(program->folder()).entryList({QStringLiteral("P*I*.bmp")}, QDir::Files), QStringList());
        QCOMPARE(Files::GetAttr(suppliedFolder(*program)).value, 17);
    }

    void startFromAnotherFolderUsesThatFolder()
    {
        const QString other = program->path(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkdir(other));
        for (int page = 1; page <= 10; ++page)
            for (int slot = 0; slot <= 11; ++slot) {
                const QString name = QStringLiteral("/P%1I%2.bmp").arg(page).arg(slot);
                QVERIFY(QFile::copy(MadeAsset(name.mid(1)), other + name));
            }
        QVERIFY(QDir::setCurrent(other));
        startFromReadme();
        QCOMPARE(session.appPath, other);
        QVERIFY(QFileInfo::exists(other + QStringLiteral("/Wren Photo Album/P2I4.bmp")));
        QVERIFY(!QFileInfo::exists(suppliedFolder(*program)));
    }

    void unwritableProgramFolderStillReachesOptions()
    {
        program->addSuppliedPictures();
        const QString folder = program->folder();
        const bool root = ::geteuid() == 0;
        // Root ignores permissions; the immutable flag stops even root.
        if (root) {
            if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) != 0)
                QSKIP("cannot make a folder unwritable for root here (chattr)");
        } else {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        startFromReadme();
        if (root)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
        else
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(session.suppliedAlbumPresent, 0);
        QVERIFY(!QFileInfo::exists(suppliedFolder(*program)));
        cover()->tmrCover_Timer();
        QVERIFY(options()->isVisible());
        QVERIFY(!options()->optDefault->isEnabled());
        QVERIFY(program->user.asked.isEmpty()); // no message during start-up
    }

    void removedProgramFolderStillReachesOptions()
    {
        const QString gone = program->path(QStringLiteral("gone"));
        QVERIFY(QDir().mkdir(gone));
        QVERIFY(QDir::setCurrent(gone));
        QVERIFY(QDir().rmdir(gone));
        startFromReadme();
        QCOMPARE(session.suppliedAlbumPresent, 0);
        QVERIFY(!QFileInfo::exists(QStringLiteral("/Wren Photo Album")));
        cover()->tmrCover_Timer();
        QVERIFY(options()->isVisible());
        QVERIFY(program->user.asked.isEmpty());
    }

    void suppliedAlbumNameTakenByAFile()
    {
        program->addSuppliedPictures();
        QFile file(suppliedFolder(*program));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the user's own file");
        file.close();
        startFromReadme();
        QCOMPARE(session.suppliedAlbumPresent, 0);
        QVERIFY(QFileInfo(suppliedFolder(*program)).isFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("the user's own file"));
        cover()->tmrCover_Timer();
        QVERIFY(options()->isVisible());
        QVERIFY(!options()->optDefault->isEnabled());
    }

    void missingPlaceholderAndDatabaseAreNoObstacle()
    {
        program->addSuppliedPicture(1, 1);
        startFromReadme();
        cover()->tmrCover_Timer();
        QVERIFY(options()->isVisible());
        // Start-up never makes the photo data file or the placeholder itself.
        QVERIFY(!QFileInfo::exists(program->path(QStringLiteral("PhotoData.mdb"))));
        QVERIFY(!QFileInfo::exists(program->path(QStringLiteral("Empty.bmp"))));
    }

    void confirmExitAsksAndEndsOnlyOnYes()
    {
        program->user.answerButton(vbNo);
        ConfirmExit();
        QCOMPARE(program->user.programEnds, 0);
        QCOMPARE(program->user.asked.size(), 1);
        const Question q = program->user.asked.first();
        QCOMPARE(q.prompt, QStringLiteral("Are you sure that you want to exit the program !!!\r\n"
                                          "         If you changed the pictures and\r\n"
                                          "If you did not save the Album the data will be lost."));
        QCOMPARE(q.style, 20);
        QCOMPARE(q.title, QStringLiteral("WARNING"));

        program->user.answerButton(vbYes);
        ConfirmExit();
        QCOMPARE(program->user.programEnds, 1);
    }

    void escOnOptionsAsksTheExitQuestion()
    {
        program->addSuppliedPicture(1, 0);
        startFromReadme();
        cover()->tmrCover_Timer();
        session.albumName = QStringLiteral("kept");
        program->user.answerButton(vbNo);
        QTest::keyClick(options(), Qt::Key_Escape);
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.first().title, QStringLiteral("WARNING"));
        QCOMPARE(program->user.programEnds, 0);
        QVERIFY(options()->isVisible());
        QCOMPARE(session.albumName, QStringLiteral("kept")); // No changes nothing

        program->user.answerButton(vbYes);
        options()->Menu(QStringLiteral("mnuExit"))->trigger();
        QCOMPARE(program->user.programEnds, 1);
    }

private:
    std::unique_ptr<TestProgram> program;
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
