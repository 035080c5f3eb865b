// Backups of the notes: three generations kept, none lost when a copy is stopped, killed
// or taken by two programs at once.
#include "photobackups.h"
#include "photorecordset.h"
#include "photostore.h"
#include "storefixture.h"
#include "testnotes.h"
#include "testpictures.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The child of the backup tests: one backup of the store, as a program
// takes it at start. With QUILL_BACKUP_PAUSE it says "copying" once it holds
// the backup to itself and goes on when a line comes in.
int takeBackup(const QString& path)
{
    const bool pause = qEnvironmentVariableIsSet("QUILL_BACKUP_PAUSE");
    bool paused = false;
    return PhotoBackups::Keep(path, [&] {
               if (pause && !paused) {
                   paused = true;
                   std::printf("copying\n");
                   std::fflush(stdout);
                   char line[8];
                   return std::fgets(line, sizeof line, stdin) == nullptr;
               }
               return false;
           })
               .failed()
               ? 3
               : 0;
}

} // namespace

class TestPhotoBackups : public StoreFixture {
    Q_OBJECT

private slots:
    void init()
    {
        const QString failed = OpenFreshStore();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
    void cleanup()
    {
        EmptyFolder();
    }

    void backupsKeepThreeVersions()
    {
        for (int version = 1; version <= 4; ++version) {
            TestNotes::Add(*db, QStringLiteral("A"), 1, 1, QStringLiteral("version %1").arg(version));
            QTest::qWait(5); // a later file time than the backup before
            QVERIFY(!PhotoBackups::Keep(storePath).failed());
            QVERIFY(!PhotoBackups::Keep(storePath).failed()); // unchanged: no new backup
        }
        for (int g = 1; g <= 3; ++g) {
            auto backup = PhotoDatabase::Open(PhotoBackups::BackupPath(storePath, g), nullptr);
            QVERIFY(backup);
            QCOMPARE(TestNotes::Listing(*backup, PhotoQuery::FullListing()).size(), 4 - (g - 1));
        }
        QVERIFY(!QFile::exists(PhotoBackups::BackupPath(storePath, 4)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{});
    }

    // A backup that stops half-way (asked to, here; killed, in life) never
    // takes the place of a good one, and leaves nothing behind.
    void stoppedBackupKeepsTheGoodOnes()
    {
        TestNotes::Add(*db, QStringLiteral("A"), 1, 1, QStringLiteral("first"));
        QVERIFY(!PhotoBackups::Keep(storePath).failed());
        const QByteArray good = TestPictures::ReadBytes(PhotoBackups::BackupPath(storePath, 1));
        QTest::qWait(5); // a later file time than the backup
        for (int n = 0; n < 8; ++n) // several megabytes: the copy takes more than one step
            TestNotes::Add(*db, QStringLiteral("B"), 1, n, QString(1 << 20, QChar(u'a' + n)));
        int asked = 0;
        const RunError e = PhotoBackups::Keep(storePath, [&asked] { return ++asked == 1; });
        QVERIFY(e.failed());
        QCOMPARE(asked, 1);
        QCOMPARE(TestPictures::ReadBytes(PhotoBackups::BackupPath(storePath, 1)), good);
        QVERIFY(!QFile::exists(PhotoBackups::BackupPath(storePath, 2)));
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.backup-*")}, QDir::Files | QDir::Hidden), QStringList{});

        QVERIFY(!PhotoBackups::Keep(storePath).failed()); // the next start takes it whole
        QCOMPARE(TestPictures::ReadBytes(PhotoBackups::BackupPath(storePath, 2)), good);
        auto backup = PhotoDatabase::Open(PhotoBackups::BackupPath(storePath, 1), nullptr);
        QVERIFY(backup);
        QCOMPARE(TestNotes::Listing(*backup, PhotoQuery::FullListing()).size(), 1 + 8);
    }

    // A note saved while a backup is being copied neither waits for it nor is
    // lost: the backup holds the notes as they were when it began, and the
    // next backup takes the new note too.
    void saveDuringBackupNeitherWaitsNorIsLost()
    {
        for (int n = 0; n < 8; ++n) // several megabytes: the copy takes more than one step
            TestNotes::Add(*db, QStringLiteral("A"), 1, n, QString(1 << 20, QChar(u'a' + n)));
        QSqlQuery(db->connection()).exec(QStringLiteral("PRAGMA busy_timeout = 0")); // a save that waits fails
        RunError saved;
        int steps = 0;
        QVERIFY(!PhotoBackups::Keep(storePath, [&] {
                     if (++steps == 1) {
                         auto rs = db->OpenRecordset(PhotoQuery::Table(), nullptr);
                         rs->AddNew();
                         rs->SetField(PhotoFields::AlbumName, QStringLiteral("B"));
                         rs->SetField(PhotoFields::Discription, QStringLiteral("saved meanwhile"));
                         saved = rs->Update();
                     }
                     return false;
                 }).failed());
        QVERIFY(steps >= 1);
        QVERIFY2(!saved.failed(), qPrintable(saved.description));
        const PhotoQuery meanwhile = PhotoQuery::BrowserSearch(QStringLiteral("saved meanwhile"));
        {
            auto backup = PhotoDatabase::Open(PhotoBackups::BackupPath(storePath, 1), nullptr);
            QVERIFY(backup);
            QCOMPARE(TestNotes::Listing(*backup, PhotoQuery::FullListing()).size(), 8);
            QCOMPARE(TestNotes::Listing(*backup, meanwhile), QStringList{});
        }
        QVERIFY(!PhotoBackups::Keep(storePath).failed());
        auto next = PhotoDatabase::Open(PhotoBackups::BackupPath(storePath, 1), nullptr);
        QVERIFY(next);
        QCOMPARE(TestNotes::Listing(*next, meanwhile), QStringList{QStringLiteral("B//saved meanwhile")});
    }

    // Two programs started together on one folder: the second finds the
    // first taking the backup and leaves it to it, even when a note was saved
    // meanwhile; the next start takes that one, and one after it finds the
    // newest backup holding the notes as they are and takes none.
    void twoProgramsTakeOneBackup()
    {
        const QList<QByteArray> before = threeGenerationsAndAChange();
        QProcess first;
        startBackupProgram(first);
        QVERIFY(first.waitForReadyRead(10000));
        QCOMPARE(first.readLine(), QByteArray("copying\n"));
        TestNotes::Add(*db, QStringLiteral("A"), 1, 2, QStringLiteral("version 5")); // saved meanwhile
        QVERIFY(!PhotoBackups::Keep(storePath).failed()); // the second program
        first.write("go\n");
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitCode(), 0);
        checkMovedOnOnce(before);

        QVERIFY(!PhotoBackups::Keep(storePath).failed()); // the next start: version 5
        QList<QByteArray> kept;
        for (int g = 1; g <= PhotoBackups::Kept; ++g)
            kept << TestPictures::ReadBytes(PhotoBackups::BackupPath(storePath, g));
        QCOMPARE(kept[2], before[0]);
        // The store's time moves on (as when the last program using it writes
        // its log into it), its notes do not: no generation moves.
        QFile store(storePath);
        QVERIFY(store.open(QIODevice::ReadWrite) &&
                store.setFileTime(QDateTime::currentDateTime().addSecs(1), QFileDevice::FileModificationTime));
        store.close();
        QVERIFY(!PhotoBackups::Keep(storePath).failed());
        for (int g = 1; g <= PhotoBackups::Kept; ++g)
            QCOMPARE(TestPictures::ReadBytes(PhotoBackups::BackupPath(storePath, g)), kept[g - 1]);
    }

    // A program killed at any step of its backup leaves every generation
    // whole; the next start takes the backup and loses none of them.
    void killedBackupLosesNoGeneration_data()
    {
        QTest::addColumn<QString>("step");
        for (const char* step : {"backup-copying", "backup-copied", "backup-moved-to-3", "backup-moved-to-2"})
            QTest::newRow(step) << QString::fromLatin1(step);
    }
    void killedBackupLosesNoGeneration()
    {
        QFETCH(QString, step);
        const QList<QByteArray> before = threeGenerationsAndAChange();
        QProcess killed;
        startBackupProgram(killed, step);
        QVERIFY(killed.waitForFinished(10000));
        QCOMPARE(killed.exitStatus(), QProcess::CrashExit);
        for (int g = 1; g <= PhotoBackups::Kept; ++g) {
            const QString path = PhotoBackups::BackupPath(storePath, g);
            QVERIFY2(!QFile::exists(path) || before.contains(TestPictures::ReadBytes(path)), qPrintable(path));
        }
        QVERIFY(!PhotoBackups::Keep(storePath).failed()); // the next start
        checkMovedOnOnce(before);
    }

    // The passing copy of a backup whose program was killed goes at the next
    // backup; one of a program still running stays, and so does any other file.
    void leftoverOfAKilledBackupIsRemoved()
    {
        QProcess gone;
        gone.start(QStringLiteral("cat"), {});
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        gone.closeWriteChannel();
        QVERIFY(gone.waitForFinished());
        const QString dead = storePath + QStringLiteral(".backup-%1").arg(deadPid);
        const QString running = storePath + QStringLiteral(".backup-1"); // init runs as long as the machine
        const QString other = storePath + QStringLiteral(".backup-12x");
        for (const QString& path : {dead, running, other}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("half a backup") > 0);
        }
        TestNotes::Add(*db, QStringLiteral("A"), 1, 1, QStringLiteral("note"));
        QVERIFY(!PhotoBackups::Keep(storePath).failed());
        QVERIFY(!QFile::exists(dead));
        QCOMPARE(TestPictures::ReadBytes(running), QByteArray("half a backup"));
        QCOMPARE(TestPictures::ReadBytes(other), QByteArray("half a backup"));
        QVERIFY(PhotoDatabase::Open(PhotoBackups::BackupPath(storePath, 1), nullptr));
    }

private:
    // Another program taking a backup of the store, stopped by the test while
    // it copies (QUILL_BACKUP_PAUSE) or killed at a step (QUILL_KILL_AT).
    void startBackupProgram(QProcess& child, const QString& killAt = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILL_BACKUP_OF"), storePath);
        if (killAt.isEmpty())
            env.insert(QStringLiteral("QUILL_BACKUP_PAUSE"), QStringLiteral("1"));
        else
            env.insert(QStringLiteral("QUILL_KILL_AT"), killAt);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
    }

    // Three generations of backups, newest first, and a fourth version of the notes.
    QList<QByteArray> threeGenerationsAndAChange()
    {
        QList<QByteArray> kept;
        for (int version = 1; version <= 4; ++version) {
            // The last one of several megabytes: its copy takes more than one step.
            TestNotes::Add(*db, QStringLiteral("A"), 1, 1,
                           version < 4 ? QStringLiteral("version %1").arg(version) : QString(5 << 20, u'4'));
            if (version < 4) {
                QTest::qWait(5); // a later file time than the backup before
                PhotoBackups::Keep(storePath);
            }
        }
        for (int g = 1; g <= PhotoBackups::Kept; ++g)
            kept << TestPictures::ReadBytes(PhotoBackups::BackupPath(storePath, g));
        return kept;
    }

    // After a backup of the fourth version: it is the newest, and every
    // generation before it moved one place on, none lost, none twice.
    void checkMovedOnOnce(const QList<QByteArray>& before)
    {
        QCOMPARE(TestPictures::ReadBytes(PhotoBackups::BackupPath(storePath, 2)), before[0]);
        QCOMPARE(TestPictures::ReadBytes(PhotoBackups::BackupPath(storePath, 3)), before[1]);
        QVERIFY(!QFile::exists(PhotoBackups::BackupPath(storePath, 4)));
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.backup-*")}, QDir::Files | QDir::Hidden), QStringList{});
        auto newest = PhotoDatabase::Open(PhotoBackups::BackupPath(storePath, 1), nullptr);
        QVERIFY(newest);
        QCOMPARE(TestNotes::Listing(*newest, PhotoQuery::FullListing()).size(), 4);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (const QString store = qEnvironmentVariable("QUILL_BACKUP_OF"); !store.isEmpty())
        return takeBackup(store);
    TestPhotoBackups test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_photobackups.moc"
