// The photo data store: its listings and their orders, the search patterns,
// the record set, and that no note is ever lost or a foreign file touched.
#include "likepattern.h"
#include "photobackups.h"
#include "photorecordset.h"
#include "photostore.h"
#include "smallfilesystem.h"
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
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The child of the durability test: saves numbered notes until it is killed,
// printing each number once its save has returned.
int writeNotesUntilKilled(const QString& path)
{
    auto db = PhotoDatabase::Open(path, nullptr);
    if (!db)
        return 1;
    for (int n = 0;; ++n) {
        auto rs = db->OpenRecordset(PhotoQuery::Table(), nullptr);
        rs->AddNew();
        rs->SetField(PhotoFields::AlbumName, QStringLiteral("Kill"));
        rs->SetField(PhotoFields::Discription, QStringLiteral("note %1").arg(n));
        if (rs->Update().failed())
            return 2;
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
}

} // namespace

class TestPhotoStore : public StoreFixture {
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

    void newStoreHoldsTheTableAndPlaceholder()
    {
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::Table()), QStringList{QStringLiteral(" / / ")});
        QSqlQuery q(db->connection());
        QVERIFY(q.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'PhotoData'")) && q.next());
        QCOMPARE(q.value(0).toString(),
                 QStringLiteral("CREATE TABLE PhotoData ([Album Name] TEXT, [Page Nr] TEXT, [Pa] SMALLINT, "
                                "[Image Nr] TEXT, [P2] SMALLINT, [Date] TEXT, [Discription] TEXT)"));
    }

    void orderings()
    {
        TestNotes::Add(*db, QStringLiteral("beta"), 1, 0, QStringLiteral("b"));
        TestNotes::Add(*db, QStringLiteral("Alpha"), 10, 0, QStringLiteral("a10"));
        TestNotes::Add(*db, QStringLiteral("alpha"), 2, 11, QStringLiteral("a2"));
        TestNotes::Add(*db, QStringLiteral("Alpha"), 9, 3, QStringLiteral("a9"));
        const QString placeholder = QStringLiteral(" / / ");
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::FullListing()),
                 (QStringList{QStringLiteral("alpha/P2I11/a2"), QStringLiteral("Alpha/P9I3/a9"),
                              QStringLiteral("Alpha/P10I0/a10"), QStringLiteral("beta/P1I0/b")}));
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::BrowserSearch(QStringLiteral("a"))),
                 (QStringList{QStringLiteral("alpha/P2I11/a2"), QStringLiteral("Alpha/P9I3/a9"),
                              QStringLiteral("Alpha/P10I0/a10")}));
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::RecordScreenSearch(QStringLiteral("a"))),
                 (QStringList{QStringLiteral("Alpha/P10I0/a10"), QStringLiteral("alpha/P2I11/a2"),
                              QStringLiteral("Alpha/P9I3/a9")}));
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::Table()),
                 (QStringList{placeholder, QStringLiteral("beta/P1I0/b"), QStringLiteral("Alpha/P10I0/a10"),
                              QStringLiteral("alpha/P2I11/a2"), QStringLiteral("Alpha/P9I3/a9")}));
    }

    void pictureQuery()
    {
        TestNotes::Add(*db, QStringLiteral("Anns Trip"), 3, 5, QStringLiteral("found"));
        TestNotes::Add(*db, QStringLiteral("Anns Trip"), 3, 6, QStringLiteral("other slot"));
        TestNotes::Add(*db, QStringLiteral("Anns Trip"), 10, 5, QStringLiteral("other page"));
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::Picture(QStringLiteral("Ann's Trip"), QStringLiteral("3"),
                                                  QStringLiteral("P3I5"))),
                 QStringList{QStringLiteral("Anns Trip/P3I5/found")});
        // A name that would break a spliced query is only a value.
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::Picture(QStringLiteral("x') OR ('1'='1"), QStringLiteral("3"),
                                                  QStringLiteral("P3I5"))),
                 QStringList{});
    }

    void placeholderIsNeverListedNorDeleted()
    {
        TestNotes::Add(*db, QStringLiteral(" "), 1, 1, QStringLiteral("blank album"));
        for (const PhotoQuery& q : {PhotoQuery::FullListing(), PhotoQuery::BrowserSearch(QStringLiteral("?")),
                                    PhotoQuery::RecordScreenSearch(QStringLiteral("*")),
                                    PhotoQuery::Picture(QStringLiteral(" "), QStringLiteral("1"), QStringLiteral("P1I1"))})
            QCOMPARE(TestNotes::Listing(*db, q), QStringList{QStringLiteral(" /P1I1/blank album")});
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::Picture(QStringLiteral(" "), QStringLiteral(" "), QStringLiteral(" "))),
                 QStringList{});
        auto table = db->OpenRecordset(PhotoQuery::Table(), nullptr);
        QCOMPARE(table->Delete().number, int(PhotoErrors::PlaceholderKept));

        int count = -1;
        QVERIFY(!db->DeleteAlbumRecords(QStringLiteral(" "), &count).failed());
        QCOMPARE(count, 1);
        QVERIFY(!db->DeletePictureRecords(QStringLiteral(" "), QStringLiteral(" "), QStringLiteral(" "), &count).failed());
        QCOMPARE(count, 0);
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::Table()), QStringList{QStringLiteral(" / / ")});
    }

    void lostPlaceholderIsPutBack_data()
    {
        QTest::addColumn<int>("notes");
        QTest::newRow("among notes") << 2;
        QTest::newRow("alone") << 0;
    }
    void lostPlaceholderIsPutBack()
    {
        QFETCH(int, notes);
        for (int n = 1; n <= notes; ++n)
            TestNotes::Add(*db, QStringLiteral("A"), 1, n, QString::number(n));
        QSqlQuery q(db->connection());
        QVERIFY(q.exec(QStringLiteral("DELETE FROM PhotoData WHERE [Album Name] = ' '")));
        q.finish();
        db.reset();
        db = PhotoDatabase::Open(storePath, nullptr);
        QVERIFY(db);
        QStringList table{QStringLiteral(" / / ")};
        for (int n = 1; n <= notes; ++n)
            table << QStringLiteral("A/P1I%1/%1").arg(n);
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::Table()), table);
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::FullListing()), table.mid(1));

        // A store that has its placeholder is not written when it opens.
        const quint64 writes = PhotoDatabase::WriteGeneration();
        QVERIFY(PhotoDatabase::Open(storePath, nullptr));
        QCOMPARE(PhotoDatabase::WriteGeneration(), writes);
    }

    void patterns_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("found");
        auto row = [](const char* name, const char* search, QStringList found) {
            QTest::newRow(name) << QString::fromUtf8(search) << found;
        };
        row("plain, case ignored", "dog", {QStringLiteral("A Dog barks")});
        row("star", "*o*g*", {QStringLiteral("A Dog barks"), QStringLiteral("hog wash"), QStringLiteral("log [sic]")});
        row("one character", "d?g", {QStringLiteral("A Dog barks"), QStringLiteral("dig 7")});
        row("digit", "#", {QStringLiteral("dig 7"), QStringLiteral("100% sure")});
        row("list", "[dh]og", {QStringLiteral("A Dog barks"), QStringLiteral("hog wash")});
        row("not in list", "[!d]og", {QStringLiteral("hog wash"), QStringLiteral("log [sic]")});
        row("range", "[a-c]oat", {QStringLiteral("Ann's boat")});
        row("percent is literal", "0%", {QStringLiteral("100% sure")});
        row("underscore is literal", "r_s", {QStringLiteral("under_score")});
        row("apostrophe", "Ann's", {QStringLiteral("Ann's boat")});
        row("bracket without end", "[sic", {QStringLiteral("log [sic]")});
        row("nothing", "cat", {});
    }
    void patterns()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, found);
        for (const char* note : {"A Dog barks", "hog wash", "dig 7", "100% sure", "under_score", "Ann's boat",
                                 "log [sic]"})
            TestNotes::Add(*db, QStringLiteral("A"), 1, 1, QString::fromUtf8(note));
        QStringList descriptions;
        for (const QString& row : TestNotes::Listing(*db, PhotoQuery::BrowserSearch(search)))
            descriptions << row.section(u'/', 2);
        QCOMPARE(descriptions, found);
    }

    void patternCoversTheWholeText()
    {
        QVERIFY(LikePattern(QStringLiteral("d?g")).matches(QStringLiteral("DOG")));
        QVERIFY(!LikePattern(QStringLiteral("d?g")).matches(QStringLiteral("dogs")));
        QVERIFY(!LikePattern(QStringLiteral("d?g")).matches(QStringLiteral("a dog")));
        QVERIFY(LikePattern(QStringLiteral("*ÄPFEL*")).matches(QStringLiteral("grüne äpfel")));
    }

    void emptyAndSingleSets()
    {
        RunError e;
        auto none = db->OpenRecordset(PhotoQuery::BrowserSearch(QStringLiteral("zzz")), &e);
        QVERIFY(none && !e.failed());
        QVERIFY(none->Bof() && none->Eof());
        QCOMPARE(none->MoveLast().number, int(PhotoErrors::NoCurrentRecord));
        QCOMPARE(none->MoveFirst().number, int(PhotoErrors::NoCurrentRecord));
        none->Text(PhotoFields::Date, &e);
        QCOMPARE(e.number, int(PhotoErrors::NoCurrentRecord));

        auto one = db->OpenRecordset(PhotoQuery::Table(), nullptr);
        QCOMPARE(one->RecordCount(), 1);
        QCOMPARE(one->PercentPosition(), 0.0f);
        QVERIFY(!one->MoveNext().failed()); // past the end: a flag, not an error
        QVERIFY(one->Eof() && !one->Bof());
        QCOMPARE(one->MoveNext().number, int(PhotoErrors::NoCurrentRecord));
        QVERIFY(!one->MovePrevious().failed());
        QCOMPARE(one->Text(PhotoFields::AlbumName), QStringLiteral(" "));
    }

    void positionsAndBookmarks()
    {
        TestNotes::Add(*db, QStringLiteral("A"), 1, 1, QStringLiteral("one"));
        TestNotes::Add(*db, QStringLiteral("A"), 1, 2, QStringLiteral("two"));
        auto rs = db->OpenRecordset(PhotoQuery::FullListing(), nullptr);
        QCOMPARE(rs->RecordCount(), 2); // exact before the last record was visited
        const auto position = [](PhotoRecordset& r) {
            return QStringLiteral("%1% #%2").arg(r.PercentPosition()).arg(r.AbsolutePosition());
        };
        QCOMPARE(TestNotes::Walk(*rs, position), (QStringList{QStringLiteral("0% #0"), QStringLiteral("50% #1")}));
        QCOMPARE(rs->AbsolutePosition(), -1);
        QVERIFY(!rs->MoveFirst().failed());
        QVERIFY(!rs->AddNew().failed());
        rs->SetField(PhotoFields::AlbumName, QStringLiteral("B"));
        QVERIFY(!rs->Update().failed());
        QCOMPARE(rs->Text(PhotoFields::Discription), QStringLiteral("one")); // still on the record it was on
        QCOMPARE(rs->RecordCount(), 3);
        QVERIFY(!rs->GoToBookmark(rs->LastModified()).failed());
        QCOMPARE(rs->Text(PhotoFields::AlbumName), QStringLiteral("B"));
    }

    void addAfterEditAbandonsTheEdit()
    {
        TestNotes::Add(*db, QStringLiteral("A"), 1, 1, QStringLiteral("kept"));
        auto rs = db->OpenRecordset(PhotoQuery::FullListing(), nullptr);
        rs->MoveLast();
        QVERIFY(!rs->Edit().failed());
        rs->SetField(PhotoFields::Discription, QStringLiteral("changed"));
        QVERIFY(!rs->AddNew().failed());
        rs->SetField(PhotoFields::AlbumName, QStringLiteral("A"));
        rs->SetField(PhotoFields::Pa, 2);
        rs->SetField(PhotoFields::Discription, QStringLiteral("added"));
        QVERIFY(!rs->Update().failed());
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::FullListing()),
                 (QStringList{QStringLiteral("A/P1I1/kept"), QStringLiteral("A//added")}));
        QCOMPARE(rs->Update().number, int(PhotoErrors::UpdateWithoutAddOrEdit));
        QVERIFY(!rs->Edit().failed());
        rs->SetField(PhotoFields::Discription, QStringLiteral("edited"));
        QVERIFY(!rs->Update().failed());
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::FullListing()).at(0), QStringLiteral("A/P1I1/edited"));
        QVERIFY(!rs->Edit().failed());
        QCOMPARE(rs->SetField(PhotoFields::Pa, QStringLiteral("ten")).number, 3421);
        QCOMPARE(rs->SetField(PhotoFields::P2, 40000).number, 3421); // not a 16-bit number
        rs->CancelUpdate();
        QCOMPARE(rs->SetField(PhotoFields::Pa, 1).number, int(PhotoErrors::UpdateWithoutAddOrEdit));
    }

    void deleteThenMove()
    {
        for (int s = 1; s <= 3; ++s)
            TestNotes::Add(*db, QStringLiteral("A"), 1, s, QString::number(s));
        auto rs = db->OpenRecordset(PhotoQuery::FullListing(), nullptr);
        rs->MoveFirst();
        rs->MoveNext(); // on "2"
        QVERIFY(!rs->Delete().failed());
        RunError e;
        rs->Text(PhotoFields::Discription, &e);
        QCOMPARE(e.number, int(PhotoErrors::RecordIsDeleted));
        QCOMPARE(rs->Delete().number, int(PhotoErrors::RecordIsDeleted));
        QVERIFY(!rs->MoveNext().failed());
        QCOMPARE(rs->Text(PhotoFields::Discription), QStringLiteral("3"));
        QCOMPARE(rs->RecordCount(), 2);
        QVERIFY(!rs->MovePrevious().failed());
        QCOMPARE(rs->Text(PhotoFields::Discription), QStringLiteral("1"));
    }

    void twoHandlesSideBySide()
    {
        TestNotes::Add(*db, QStringLiteral("A"), 1, 1, QStringLiteral("shared"));
        auto reading = db->OpenRecordset(PhotoQuery::FullListing(), nullptr); // a listing not read to its end
        auto other = PhotoDatabase::Open(storePath, nullptr);
        QVERIFY(other);
        auto mine = db->OpenRecordset(PhotoQuery::FullListing(), nullptr);
        mine->MoveLast();
        auto theirs = other->OpenRecordset(PhotoQuery::FullListing(), nullptr);
        theirs->MoveLast();
        QVERIFY(!theirs->Delete().failed());
        RunError e;
        mine->Text(PhotoFields::Discription, &e);
        QCOMPARE(e.number, int(PhotoErrors::RecordIsDeleted));
        TestNotes::Add(*other, QStringLiteral("B"), 2, 2, QStringLiteral("from the other"));
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::FullListing()).last(), QStringLiteral("B/P2I2/from the other"));
    }

    void foreignFilesAreLeftAlone_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("empty file") << 0;
        QTest::newRow("text") << 1;
        QTest::newRow("damaged store") << 2;
        QTest::newRow("store header only") << 3;
    }
    void foreignFilesAreLeftAlone()
    {
        QFETCH(int, kind);
        db.reset();
        QByteArray content = TestPictures::ReadBytes(storePath);
        if (kind == 0)
            content.clear();
        else if (kind == 1)
            content = "Dear diary,\n";
        else if (kind == 2)
            content.replace(100, 2000, QByteArray(2000, '\xff'));
        else
            content.truncate(100);
        QFile f(storePath);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        f.close();
        RunError e;
        QVERIFY(!PhotoDatabase::Open(storePath, &e));
        QCOMPARE(e.number, int(PhotoErrors::NotAPhotoStore));
        QVERIFY(e.description.contains(storePath));
        PhotoBackups::Keep(storePath); // no backup of what is not a store
        QCOMPARE(TestPictures::ReadBytes(storePath), content);
        QVERIFY(!QFile::exists(PhotoBackups::BackupPath(storePath, 1)));
    }

    void otherTableIsNotAStore()
    {
        db.reset();
        QFile::remove(storePath);
        {
            auto made = PhotoDatabase::Open(storePath, nullptr);
            QSqlQuery q(made->connection());
            QVERIFY(q.exec(QStringLiteral("ALTER TABLE PhotoData RENAME TO Other")));
        }
        const QByteArray before = TestPictures::ReadBytes(storePath);
        RunError e;
        QVERIFY(!PhotoDatabase::Open(storePath, &e));
        QVERIFY2(e.description.contains(QStringLiteral("no table PhotoData")), qPrintable(e.description));
        QCOMPARE(TestPictures::ReadBytes(storePath), before);
    }

    // Every write of a store that another program holds locked says SQLite's own reason.
    void lockedStoreSaysWhy_data()
    {
        QTest::addColumn<int>("write");
        QTest::newRow("new note") << 0;
        QTest::newRow("changed note") << 1;
        QTest::newRow("deleted note") << 2;
        QTest::newRow("album's notes") << 3;
        QTest::newRow("picture's notes") << 4;
    }
    void lockedStoreSaysWhy()
    {
        QFETCH(int, write);
        TestNotes::Add(*db, QStringLiteral("A"), 1, 1, QStringLiteral("kept"));
        QSqlQuery(db->connection()).exec(QStringLiteral("PRAGMA busy_timeout = 0")); // no wait for the lock
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        other.setDatabaseName(storePath);
        QVERIFY(other.open());
        {
            QSqlQuery lock(other);
            QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        auto rs = db->OpenRecordset(PhotoQuery::BrowserSearch(QStringLiteral("kept")), nullptr);
        QVERIFY(rs && !rs->Eof());
        RunError e;
        switch (write) {
        case 0:
            rs->AddNew();
            rs->SetField(PhotoFields::AlbumName, QStringLiteral("B"));
            e = rs->Update();
            break;
        case 1:
            rs->Edit();
            rs->SetField(PhotoFields::Discription, QStringLiteral("changed"));
            e = rs->Update();
            break;
        case 2:
            e = rs->Delete();
            break;
        case 3:
            e = db->DeleteAlbumRecords(QStringLiteral("A"));
            break;
        default:
            e = db->DeletePictureRecords(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("P1I1"));
            break;
        }
        rs.reset();
        QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
        other.close();
        other = {};
        QSqlDatabase::removeDatabase(QStringLiteral("locker"));
        QCOMPARE(e.number, int(PhotoErrors::StoreFailed));
        QVERIFY2(e.description.contains(storePath), qPrintable(e.description));
        QVERIFY2(e.description.endsWith(QStringLiteral(": database is locked.")), qPrintable(e.description));
        QCOMPARE(TestNotes::Listing(*db, PhotoQuery::BrowserSearch(QStringLiteral("kept"))), QStringList{QStringLiteral("A/P1I1/kept")});
    }

    void killedWriterLosesNoSavedNote()
    {
        db.reset();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILL_NOTE_WRITER"), storePath);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QByteArray printed;
        while (printed.count('\n') < 150 && child.state() == QProcess::Running) {
            child.waitForReadyRead(5000);
            printed += child.readAllStandardOutput();
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();
        printed += child.readAllStandardOutput();
        const QList<QByteArray> lines = printed.left(printed.lastIndexOf('\n')).split('\n');
        QVERIFY(lines.size() >= 150);

        auto reopened = PhotoDatabase::Open(storePath, nullptr);
        QVERIFY(reopened);
        QSqlQuery q(reopened->connection());
        QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
        const QStringList stored = TestNotes::Listing(*reopened, PhotoQuery::BrowserSearch(QStringLiteral("note")));
        for (const QByteArray& n : lines)
            QVERIFY2(stored.contains(QStringLiteral("Kill//note ") + QString::fromLatin1(n)), n.constData());
    }

    // Another program holds the store open, its "-shm" index is a sparse file and the disk
    // is full: writing through SQLite's mapping of the index would end the program with
    // SIGBUS. Opening the store says so instead (in a child with a private mount table).
    void indexWithoutRoomIsToldNotACrash()
    {
        db.reset(); // the store whole in its one file
        QTemporaryDir small;
        const QByteArray said =
            OnASmallFileSystem(small.path(), "64k", [&] { return openWithAFullIndex(storePath, small.path()); });
        if (said.startsWith("skip: "))
            QSKIP(said.constData());
        QVERIFY2(said.contains("PhotoData.mdb-shm\" cannot be written: " + QByteArray(std::strerror(ENOSPC))),
                 said.constData());
    }

private:
    // In the child: a small full file system at `folder` holding a copy of the store with a
    // sparse index another handle holds (an open file description's lock, as another process's);
    // reports what opening the store said.
    static QByteArray openWithAFullIndex(const QString& store, const QString& folder)
    {
        const QString copy = folder + QStringLiteral("/PhotoData.mdb");
        if (!QFile::copy(store, copy))
            return "the store could not be copied";
        const QByteArray shm = QFile::encodeName(copy) + "-shm";
        const int index = ::open(shm.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        struct flock held {};
        held.l_type = F_RDLCK;
        held.l_whence = SEEK_SET;
        held.l_start = 128; // SQLite's "someone has the store open" byte
        held.l_len = 1;
        if (index < 0 || ::ftruncate(index, 32768) != 0 || ::fcntl(index, F_OFD_SETLK, &held) != 0)
            return "the index could not be made";
        QFile filler(folder + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return "no filler";
        const QByteArray block(1024, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        RunError error;
        const bool opened = PhotoDatabase::Open(copy, &error) != nullptr;
        return opened ? QByteArray("opened") : error.description.toLocal8Bit();
    }
};

int main(int argc, char** argv)
{
    const QString writer = qEnvironmentVariable("QUILL_NOTE_WRITER");
    QCoreApplication app(argc, argv);
    if (!writer.isEmpty())
        return writeNotesUntilKilled(writer);
    TestPhotoStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_photostore.moc"
