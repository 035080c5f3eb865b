// Start-up: the program folder, the first-run install of the supplied album,
// the cover's hand-over and the exit question.
#include "fileops.h"
#include "forms.h"
#include "frmcover.h"
#include "frmoption1.h"
#include "frmreadme.h"
#include "photobackups.h"
#include "photorecordset.h"
#include "photostore.h"
#include "programfolder.h"
#include "screennames.h"
#include "session.h"
#include "sharedprocs.h"
#include "startup.h"
#include "testnotes.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
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

// Environment variables set for one test and put back after it; a null value unsets.
class Environment {
public:
    void set(const char* name, const QString& value)
    {
        m_saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }
    ~Environment()
    {
        for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
            if (it->wasSet)
                qputenv(it->name, it->value);
            else
                qunsetenv(it->name);
        }
    }

private:
    struct Saved {
        const char* name;
        bool wasSet;
        QByteArray value;
    };
    QList<Saved> m_saved;
};

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

    // The user's folders follow the XDG rules: a relative XDG_DATA_HOME or
    // XDG_CACHE_HOME is ignored, and without HOME there is no folder at all
    // (never "//.local/share").
    void userFoldersFollowTheXdgRules_data()
    {
        QTest::addColumn<QString>("dataHome");
        QTest::addColumn<QString>("cacheHome");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("cache");
        const QString unset;
        QTest::newRow("absolute") << "/x/data" << "/x/cache/" << "/home/u" << "/x/data" << "/x/cache";
        QTest::newRow("relative") << "x/data" << "./cache" << "/home/u" << "/home/u/.local/share" << "/home/u/.cache";
        QTest::newRow("empty") << "" << "" << "/home/u" << "/home/u/.local/share" << "/home/u/.cache";
        QTest::newRow("unset") << unset << unset << "/home/u" << "/home/u/.local/share" << "/home/u/.cache";
        QTest::newRow("no home") << unset << unset << unset << "" << "";
        QTest::newRow("empty home") << unset << unset << "" << "" << "";
        QTest::newRow("relative home") << unset << unset << "u" << "" << "";
        QTest::newRow("relative, no home") << "x/data" << "x/cache" << unset << "" << "";
        QTest::newRow("absolute, no home") << "/x/data" << "/x/cache" << unset << "/x/data" << "/x/cache";
    }
    void userFoldersFollowTheXdgRules()
    {
        QFETCH(QString, dataHome);
        QFETCH(QString, cacheHome);
        QFETCH(QString, home);
        QFETCH(QString, data);
        QFETCH(QString, cache);
        Environment env;
        env.set("XDG_DATA_HOME", dataHome);
        env.set("XDG_CACHE_HOME", cacheHome);
        env.set("HOME", home);
        QCOMPARE(ProgramFolder::DataHome(), data);
        QCOMPARE(ProgramFolder::CacheHome(), cache);
        const ProgramFolder::Choice choice = ProgramFolder::Choose({QStringLiteral("quillbook")}, program->folder());
        if (data.isEmpty()) {
            QCOMPARE(choice.folder, QString());
            QVERIFY2(choice.problem.contains(QStringLiteral("HOME is not set")), qPrintable(choice.problem));
        } else {
            QCOMPARE(choice.folder, data + QStringLiteral("/Quillbook"));
            QCOMPARE(choice.problem, QString());
        }
    }

    // --program-folder takes a new folder, an empty one or a program folder,
    // never a folder of other data (nor a file).
    void programFolderArgument_data()
    {
        QTest::addColumn<QStringList>("content");
        QTest::addColumn<bool>("taken");
        QTest::newRow("new") << QStringList{QStringLiteral("<none>")} << true;
        QTest::newRow("empty") << QStringList{} << true;
        QTest::newRow("program folder") << QStringList{QStringLiteral("Empty.bmp"), QStringLiteral("Holiday/")} << true;
        QTest::newRow("notes only") << QStringList{QStringLiteral("PhotoData.mdb")} << true;
        QTest::newRow("other files") << QStringList{QStringLiteral("thesis.odt"), QStringLiteral("P1I0.bmp")} << false;
        QTest::newRow("hidden file") << QStringList{QStringLiteral(".bashrc")} << false;
        QTest::newRow("a folder") << QStringList{QStringLiteral("Music/")} << false;
        QTest::newRow("a file") << QStringList{QStringLiteral("<file>")} << false;
    }
    void programFolderArgument()
    {
        QFETCH(QStringList, content);
        QFETCH(bool, taken);
        const QString chosen = program->path(QStringLiteral("chosen"));
        if (content == QStringList{QStringLiteral("<file>")}) {
            QVERIFY(TestPictures::WriteBytes(chosen, "a file"));
        } else if (content != QStringList{QStringLiteral("<none>")}) {
            QVERIFY(QDir().mkdir(chosen));
            for (const QString& name : std::as_const(content)) {
                if (name.endsWith(u'/'))
                    QVERIFY(QDir().mkdir(chosen + u'/' + name));
                else
                    QVERIFY(TestPictures::WriteBytes(chosen + u'/' + name, "the user's"));
            }
        }
        const ProgramFolder::Choice choice = ProgramFolder::Choose(
            {QStringLiteral("quillbook"), QStringLiteral("--program-folder"), chosen}, program->folder());
        if (taken) {
            QCOMPARE(choice.folder, chosen);
            QCOMPARE(choice.problem, QString());
        } else {
            QCOMPARE(choice.folder, QString());
            QVERIFY2(choice.problem.contains(chosen), qPrintable(choice.problem));
        }
    }

#ifdef QUILL_PROGRAM
    // The program itself stops with its reason, and lays nothing out, without
    // HOME or at a folder of other data.
    void programStopsWithItsReason_data()
    {
        QTest::addColumn<bool>("withHome");
        QTest::addColumn<bool>("foreignFolder");
        QTest::addColumn<QString>("said");
        QTest::newRow("HOME unset") << false << false << QStringLiteral("HOME is not set");
        QTest::newRow("folder of other data") << true << true << QStringLiteral("is not a program folder");
    }
    void programStopsWithItsReason()
    {
        QFETCH(bool, withHome);
        QFETCH(bool, foreignFolder);
        QFETCH(QString, said);
        const QString foreign = program->path(QStringLiteral("documents"));
        QVERIFY(QDir().mkdir(foreign));
        QVERIFY(TestPictures::WriteBytes(foreign + QStringLiteral("/letter.txt"), "Dear"));
        const QString home = program->path(QStringLiteral("home"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        if (withHome)
            env.insert(QStringLiteral("HOME"), home);
        else
            env.remove(QStringLiteral("HOME"));
        QProcess quillbook;
        quillbook.setProcessEnvironment(env);
        quillbook.setWorkingDirectory(program->folder());
        QStringList arguments;
        if (foreignFolder)
            arguments << QStringLiteral("--program-folder") << foreign;
        quillbook.start(QStringLiteral(QUILL_PROGRAM), arguments);
        QVERIFY(quillbook.waitForStarted());
        if (!quillbook.waitForFinished(60000)) {
            quillbook.kill();
            quillbook.waitForFinished();
            QFAIL("the program went on");
        }
        QCOMPARE(quillbook.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillbook.exitCode(), 1);
        const QString told = QString::fromLocal8Bit(quillbook.readAllStandardError());
        QVERIFY2(told.contains(said), qPrintable(told));
        QCOMPARE(QDir(foreign).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("letter.txt")});
        QVERIFY(!QFileInfo::exists(home));
        QVERIFY(!QFileInfo::exists(program->path(QStringLiteral("Wren Photo Album"))));
    }
#endif


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

    // Another program's SQLite file in the old rollback mode, under the store's
    // name: start-up refuses it without writing a byte (no write-ahead log, no
    // index, no backup).
    void foreignRollbackStoreIsLeftAsItIs_data()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("other table") << QStringLiteral("CREATE TABLE Recipes (Name TEXT, Steps TEXT)");
        QTest::newRow("other fields") << QStringLiteral("CREATE TABLE PhotoData ([Album Name] TEXT, Page INTEGER)");
    }
    void foreignRollbackStoreIsLeftAsItIs()
    {
        QFETCH(QString, table);
        program->addSuppliedPicture(1, 0);
        const QString store = program->path(QStringLiteral("PhotoData.mdb"));
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(store);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode = DELETE")) && q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("delete"));
            QVERIFY(q.exec(table));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        const QByteArray before = TestPictures::ReadBytes(store);
        QCOMPARE(before.at(18), char(1)); // rollback mode in the header
        const QStringList files = QDir(program->folder()).entryList(QDir::Files);

        startFromReadme();
        cover()->tmrCover_Timer();
        QVERIFY(options()->isVisible());
        PhotoBackups::WaitForBackground();
        QCOMPARE(TestPictures::ReadBytes(store), before);
        QCOMPARE(QDir(program->folder()).entryList(QDir::Files), files);
    }

    // Start-up keeps a backup of changed notes on a thread of its own; the
    // options screen does not wait for it, and the backup is whole and private.
    void startUpKeepsABackupOfChangedNotes()
    {
        program->addSuppliedPicture(1, 0);
        program->addPhotoData();
        const QString store = program->path(QStringLiteral("PhotoData.mdb"));
        {
            auto db = PhotoDatabase::Open(store, nullptr);
            QVERIFY(db);
            TestNotes::Add(*db, QStringLiteral("Holiday"), 1, 0, QStringLiteral("kept aside"));
        }
        startFromReadme();
        cover()->tmrCover_Timer();
        QVERIFY(options()->isVisible());
        PhotoBackups::WaitForBackground();
        QVERIFY(QFileInfo::exists(PhotoBackups::BackupPath(store, 1)));
        auto kept = PhotoDatabase::Open(PhotoBackups::BackupPath(store, 1), nullptr);
        QVERIFY(kept);
        auto notes = kept->OpenRecordset(PhotoQuery::BrowserSearch(QStringLiteral("kept aside")), nullptr);
        QVERIFY(notes && !notes->Eof());
        QCOMPARE(notes->Text(PhotoFields::AlbumName), QStringLiteral("Holiday"));
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
