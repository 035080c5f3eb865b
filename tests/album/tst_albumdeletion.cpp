// Deleting an album with its notes, the note of one picture, and the guard
// that keeps the supplied album unchanged.
#include "albumdeletion.h"
#include "albumpaths.h"
#include "fileops.h"
#include "forms.h"
#include "frmpage1.h"
#include "photorecordset.h"
#include "picturebox.h"
#include "photostore.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "testnotes.h"
#include "testprogram.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString ManualMessage = QStringLiteral("Supplied Album, Wren Photo Album\r\n"
                                             "            is a Read only File\r\n"
                                             "   and must be Deleted Manually");

// "album/key" of every note but the placeholder, in the table's order.
QStringList notes()
{
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
    auto rs = db->OpenRecordset(PhotoQuery::Table(), nullptr);
    rs->MoveNext();
    return TestNotes::Walk(*rs, [](PhotoRecordset& r) {
        return r.Text(PhotoFields::AlbumName) + u'/' + r.Text(PhotoFields::ImageNr);
    });
}

void touch(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("x") == 1);
}

} // namespace

class TestAlbumDeletion : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram();
        outside = program->path(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/inner")));
        touch(outside + QStringLiteral("/keep.bmp"));
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void albumGoesWithItsNotes()
    {
        const QString album = program->path(QStringLiteral("Ann's Trip"));
        QVERIFY(QDir().mkdir(album));
        for (const char* name : {"P1I0.bmp", "P10I11.bmp", "notes", ".hidden"})
            touch(album + u'/' + QLatin1String(name));
        QVERIFY(QFile::link(outside + QStringLiteral("/keep.bmp"), album + QStringLiteral("/P2I2.bmp")));
        QVERIFY(QFile::link(outside, album + QStringLiteral("/P3I3.bmp")));
        TestNotes::Add(QStringLiteral("Ann's Trip"), 1, 0);
        TestNotes::Add(QStringLiteral("Anns Trip"), 10, 11); // as the photo data screen stores it
        TestNotes::Add(QStringLiteral("ann's trip"), 2, 2);  // another album: names are exact
        TestNotes::Add(QStringLiteral("Other"), 1, 0);
        session.albumName = QStringLiteral("Ann's Trip");

        program->user.answerButton(vbYes);
        Forms::Get<FrmPage1>(Screen::Page1)->mnuDeleteAlbum_Click();
        QCOMPARE(program->user.asked.size(), 1);
        const Question q = program->user.asked.first();
        QCOMPARE(q.prompt, QStringLiteral("Are you sure that you want to delete saved Ann's Trip"));
        QCOMPARE(q.style, int(vbYesNo | vbQuestion));
        QCOMPARE(q.title, QStringLiteral("WARNING"));
        QVERIFY(!QFileInfo::exists(album));
        QVERIFY(QFile::exists(outside + QStringLiteral("/keep.bmp"))); // links go, never what they point to
        QVERIFY(QFileInfo::exists(outside + QStringLiteral("/inner")));
        QCOMPARE(notes(), (QStringList{QStringLiteral("ann's trip/P2I2"), QStringLiteral("Other/P1I0")}));
        QVERIFY(Forms::VisibleScreens().contains(Screen::Option1));
    }

    void answeredNoKeepsEverything()
    {
        QVERIFY(QDir().mkdir(program->path(QStringLiteral("Holiday"))));
        touch(program->path(QStringLiteral("Holiday/P1I1.bmp")));
        TestNotes::Add(QStringLiteral("Holiday"), 1, 1);
        session.albumName = QStringLiteral("Holiday");
        program->user.answerButton(vbNo);
        DeleteAlbum();
        QVERIFY(QFile::exists(program->path(QStringLiteral("Holiday/P1I1.bmp"))));
        QCOMPARE(notes(), QStringList{QStringLiteral("Holiday/P1I1")});
    }

    void folderWithoutFilesGoesNotesStay()
    {
        QVERIFY(QDir().mkdir(program->path(QStringLiteral("Bare"))));
        TestNotes::Add(QStringLiteral("Bare"), 1, 1);
        session.albumName = QStringLiteral("Bare");
        program->user.answerButton(vbYes);
        DeleteAlbum();
        QVERIFY(!QFileInfo::exists(program->path(QStringLiteral("Bare"))));
        QCOMPARE(notes(), QStringList{QStringLiteral("Bare/P1I1")});
        QVERIFY(Forms::VisibleScreens().contains(Screen::Option1));
    }

    void nothingOutsideTheAlbumIsDeleted_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("new album, no folder") << QStringLiteral("New Album");
        QTest::newRow("no name") << QString();
        QTest::newRow("dot") << QStringLiteral(".");
        QTest::newRow("dot dot") << QStringLiteral("..");
        QTest::newRow("a path") << QStringLiteral("outside/inner");
        QTest::newRow("link to a folder") << QStringLiteral("Linked");
    }
    void nothingOutsideTheAlbumIsDeleted()
    {
        QFETCH(QString, name);
        QVERIFY(QFile::link(outside, program->path(QStringLiteral("Linked"))));
        touch(outside + QStringLiteral("/inner/P1I1.bmp"));
        TestNotes::Add(name, 1, 1);
        session.albumName = name;
        program->user.answerButton(vbYes);
        program->user.answerButton(vbOK);
        DeleteAlbum();
        QCOMPARE(program->user.asked.size(), 2);
        QCOMPARE(program->user.asked.last().prompt, ManualMessage);
        QCOMPARE(program->user.asked.last().style, int(vbOKOnly | vbInformation));
        QCOMPARE(program->user.asked.last().title, QStringLiteral("WARNING"));
        QVERIFY(QFile::exists(outside + QStringLiteral("/keep.bmp")));
        QVERIFY(QFile::exists(outside + QStringLiteral("/inner/P1I1.bmp")));
        QVERIFY(QFile::exists(program->path(QStringLiteral("Empty.bmp"))));
        QCOMPARE(notes().size(), 1);
    }

    void suppliedAlbumIsGuardedWhileReadOnly()
    {
        const QString supplied = program->path(ProgramFiles::SuppliedAlbum);
        QVERIFY(QDir().mkdir(supplied));
        touch(supplied + QStringLiteral("/P1I1.bmp"));
        QVERIFY(!Files::SetAttr(supplied, Files::ReadOnly).failed());
        session.albumName = ProgramFiles::SuppliedAlbum;
        auto* page = Forms::Get<FrmPage1>(Screen::Page1);
        program->user.answerButton(vbOK);
        page->Menu(QStringLiteral("mnuDeleteAlbum"))->trigger();
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.first().prompt, QStringLiteral("   Supplied Album, Wren Photo Album\r\n"
                                                                   "              is a Read only File\r\n"
                                                                   "and you must change the Folder and File\r\n"
                                                                   "             Attributes MANUALLY\r\n"
                                                                   "      in order to enable Album changes"));
        QCOMPARE(program->user.asked.first().style, int(vbOKOnly | vbInformation));
        QCOMPARE(program->user.asked.first().title, QStringLiteral("WARNING"));
        QCOMPARE(session.albumAttr, 17);
        QVERIFY(QFile::exists(supplied + QStringLiteral("/P1I1.bmp")));

        // Made writable by hand, it is an album like any other.
        QVERIFY(!Files::SetAttr(supplied, 0).failed());
        program->user.answerButton(vbYes);
        page->mnuDeleteAlbum_Click();
        QVERIFY(!QFileInfo::exists(supplied));
    }

    void pictureNoteGoesAlone()
    {
        TestNotes::Add(QStringLiteral("Ann's Trip"), 10, 11);
        TestNotes::Add(QStringLiteral("Anns Trip"), 10, 11);
        TestNotes::Add(QStringLiteral("Ann's Trip"), 1, 1);
        TestNotes::Add(QStringLiteral("Ann's Trip"), 10, 1);
        TestNotes::Add(QStringLiteral("Other"), 10, 11);
        session.albumName = QStringLiteral("Ann's Trip");
        session.pageNr = QStringLiteral("10");
        session.imageNr = 11;
        DeletePictureRecord();
        QCOMPARE(notes(), (QStringList{QStringLiteral("Ann's Trip/P1I1"), QStringLiteral("Ann's Trip/P10I1"),
                                       QStringLiteral("Other/P10I11")}));
    }

    void anotherAlbumsNotesStay_data()
    {
        QTest::addColumn<bool>("wholeAlbum");
        QTest::newRow("delete album") << true;
        QTest::newRow("delete picture") << false;
    }
    void anotherAlbumsNotesStay()
    {
        // "Anns Trip" is a stored album of its own: the notes stored under that
        // form belong to it, not to "Ann's Trip".
        QFETCH(bool, wholeAlbum);
        for (const char* name : {"Ann's Trip", "Anns Trip"}) {
            QVERIFY(QDir().mkdir(program->path(QLatin1String(name))));
            touch(program->path(QLatin1String(name) + QStringLiteral("/P1I0.bmp")));
        }
        TestNotes::Add(QStringLiteral("Ann's Trip"), 1, 0);
        TestNotes::Add(QStringLiteral("Anns Trip"), 1, 0);
        session.albumName = QStringLiteral("Ann's Trip");
        session.pageNr = QStringLiteral("1");
        session.imageNr = 0;
        if (wholeAlbum) {
            program->user.answerButton(vbYes);
            DeleteAlbum();
        } else {
            DeletePictureRecord();
        }
        QCOMPARE(notes(), QStringList{QStringLiteral("Anns Trip/P1I0")});
        QVERIFY(QFile::exists(program->path(QStringLiteral("Anns Trip/P1I0.bmp"))));
    }

    // The notes go first: when they cannot, the album is kept whole.
    void damagedStoreIsToldAndKept()
    {
        QFile::remove(program->path(ProgramFiles::PhotoDatabase));
        touch(program->path(ProgramFiles::PhotoDatabase));
        QVERIFY(QDir().mkdir(program->path(QStringLiteral("Holiday"))));
        touch(program->path(QStringLiteral("Holiday/P1I1.bmp")));
        session.albumName = QStringLiteral("Holiday");
        program->user.answerButton(vbYes);
        program->user.answerButton(vbOK);
        DeleteAlbum();
        QCOMPARE(program->user.asked.size(), 2);
        QVERIFY(program->user.asked.last().prompt.contains(program->path(ProgramFiles::PhotoDatabase)));
        QVERIFY(program->user.asked.last().prompt.endsWith(QStringLiteral("The album and its notes are kept.")));
        QCOMPARE(QFileInfo(program->path(ProgramFiles::PhotoDatabase)).size(), 1);
        QVERIFY(QFile::exists(program->path(QStringLiteral("Holiday/P1I1.bmp"))));
        QVERIFY(!Forms::VisibleScreens().contains(Screen::Option1));
    }

    // Notes stored under a name that has no folder (an album deleted while
    // they could not be, or by an older version) are not simply handed to a
    // new album of that name: its first save asks, Yes keeps them, No deletes them.
    void oldNotesOfTheNameAreAskedAbout_data()
    {
        QTest::addColumn<bool>("savePageToDisk");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("left");
        const QStringList other{QStringLiteral("Other/P1I0")};
        QTest::newRow("page change, kept") << false << int(vbYes)
                                           << QStringList{QStringLiteral("Trip/P1I0"), QStringLiteral("Trip/P2I3")} + other;
        QTest::newRow("page change, deleted") << false << int(vbNo) << other;
        QTest::newRow("Save Page to Disk, deleted") << true << int(vbNo) << other;
    }
    void oldNotesOfTheNameAreAskedAbout()
    {
        QFETCH(bool, savePageToDisk);
        QFETCH(int, answer);
        QFETCH(QStringList, left);
        TestNotes::Add(QStringLiteral("Trip"), 1, 0);
        TestNotes::Add(QStringLiteral("Trip"), 2, 3);
        TestNotes::Add(QStringLiteral("Other"), 1, 0);
        session.albumName = AlbumPaths::NewAlbum;
        session.pageNr = QStringLiteral("1");
        auto* page = Forms::Get<FrmPage1>(Screen::Page1);
        page->Show();
        auto* data = new QMimeData;
        data->setImageData(QImage(8, 8, QImage::Format_RGB32));
        QGuiApplication::clipboard()->setMimeData(data);
        page->mnuPaste_Click();
        QTest::mouseClick(page->Image1(0), Qt::LeftButton);
        if (!savePageToDisk)
            program->user.answerButton(vbYes); // save changes to page 1?
        program->user.answerText(QStringLiteral("Trip"));
        program->user.answerButton(answer);
        savePageToDisk ? page->mnuSaveAlbum_Click() : page->mnuP_Click(2);
        const Question asked = program->user.asked.last();
        QCOMPARE(asked.prompt, QStringLiteral("The notes still hold 2 notes of an earlier album named \"Trip\", which is "
                                              "no longer on disk.\r\n\r\nKeep them for the new album \"Trip\"? They "
                                              "will belong to its pictures in the same places.\r\n\r\nYes keeps the "
                                              "old notes, No deletes them."));
        QCOMPARE(asked.style, int(vbYesNo | vbQuestion));
        QCOMPARE(notes(), left);
        QVERIFY(QFile::exists(program->path(QStringLiteral("Trip/P1I0.bmp"))));
    }

private:
    QString outside;
};

QTEST_MAIN(TestAlbumDeletion)
#include "tst_albumdeletion.moc"
