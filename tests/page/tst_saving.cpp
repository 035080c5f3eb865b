// Keeping a page: "Save Page to Disk", the save check before every page
// change, naming a new album, failed writes, and the whole request end to end.
#include "albumpaths.h"
#include "albumsaving.h"
#include "fileops.h"
#include "filesizelimit.h"
#include "forms.h"
#include "frmcover.h"
#include "frmgetfile.h"
#include "frmoption1.h"
#include "frmpage1.h"
#include "frmpbar3.h"
#include "frmselectalbum1.h"
#include "pagewriter.h"
#include "picturebox.h"
#include "program.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "smallfilesystem.h"
#include "startup.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList prompts(const ScriptedInteraction& user)
{
    QStringList p;
    for (const Question& q : user.asked)
        p << q.prompt;
    return p;
}

// Every entry of a folder, hidden ones too: files with their bytes, folders marked.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    for (const QFileInfo& e : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        entries[e.fileName()] = e.isDir() ? QByteArray("<folder>") : bytes(e.filePath());
    return entries;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString reason(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

// The number of a process that has ended.
pid_t deadProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// On a 256 KB file system at `folder` holding an old P1I0.bmp, a page save of `picture` into it.
// Reports the writer's message, then the folder's entries.
QByteArray saveOnAFullDisk(const QString& folder, const Picture& picture)
{
    if (!TestPictures::Save(TestPictures::Photo(32, 32, 4), folder + QStringLiteral("/P1I0.bmp"), "BMP"))
        return "the old picture could not be written";
    const RunError e = PageWriter::WritePage(folder, 1, {{0, picture}});
    return e.description.toLocal8Bit() + "\nentries: " + entries(folder).join(u' ').toLocal8Bit() + "\nold: " +
           QByteArray::number(QImage(folder + QStringLiteral("/P1I0.bmp")).width());
}

} // namespace

class TestSaving : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram();
        QVERIFY(MakeAlbum(QStringLiteral("Holiday"), {{QStringLiteral("P1I3.bmp"), TestPictures::Photo(64, 48, 1)}}));
        OpenAlbum(QStringLiteral("Holiday"));
    }
    void cleanup()
    {
        PageWriter::StartWith(PageWriter::PlaceWay::Swap);
        QUILL_END_PROGRAM(program);
    }

    void nothingToSave()
    {
        OpenAlbum(QStringLiteral("New Album"));
        program->user.answerButton(vbOK);
        page()->Menu(QStringLiteral("mnuSaveAlbum"))->trigger();
        QCOMPARE(prompts(program->user),
                 QStringList{QStringLiteral("There are no pictures in the album\r\n    and it will not be saved.")});
        QCOMPARE(program->user.asked[0].style, int(vbOKOnly | vbInformation));
        QCOMPARE(QDir(program->folder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{QStringLiteral("Holiday")});
    }

    void emptyNameThenCancel()
    {
        Paste(0, TestPictures::Photo(40, 40));
        program->user.answerText({});
        program->user.answerButton(vbCancel);
        page()->mnuSaveAlbum_Click();
        QCOMPARE(program->user.asked.size(), 2);
        QCOMPARE(program->user.asked[0].prompt, QStringLiteral("Enter the name of the album that you want to save."));
        QCOMPARE(program->user.asked[0].title, QStringLiteral("Save Album"));
        QCOMPARE(program->user.asked[0].defaultText, QStringLiteral("Holiday"));
        QCOMPARE(program->user.asked[1].prompt, QStringLiteral("You either did not enter a name or pressed Cancel"));
        QCOMPARE(program->user.asked[1].style, int(vbOKCancel | vbInformation));
        QVERIFY(!QFile::exists(album + QStringLiteral("/P1I0.bmp")));
        QCOMPARE(session.albumChanged, 1);
    }

    void existingAlbumNoThenCancel()
    {
        QVERIFY(QDir().mkdir(program->path(QStringLiteral("Trip"))));
        Paste(0, TestPictures::Photo(40, 40));
        program->user.answerText(QStringLiteral("Trip"));
        program->user.answerButton(vbOK);
        program->user.answerButton(vbNo);
        program->user.answerText({});
        program->user.answerButton(vbCancel);
        page()->mnuSaveAlbum_Click();
        QCOMPARE(program->user.asked.size(), 5);
        QCOMPARE(program->user.asked[1].prompt, QStringLiteral("You have allready saved a Album named ( Trip )"));
        QCOMPARE(program->user.asked[1].style, int(vbOKOnly | vbExclamation));
        QCOMPARE(program->user.asked[2].prompt, QStringLiteral("Are you sure that you want to change the saved Album ( Trip )"));
        QCOMPARE(program->user.asked[2].title, QStringLiteral("WARNING"));
        QCOMPARE(QDir(program->path(QStringLiteral("Trip"))).entryList(QDir::Files), QStringList{});
        QCOMPARE(session.deletePictureAnswer, QString());
    }

    void openAlbumUnderItsOwnNameAndPageTen()
    {
        page()->mnuP_Click(10);
        QList<int> progress;
        connect(Forms::Get<FrmPbar3>(Screen::Pbar3)->pbr2, &QProgressBar::valueChanged, this,
                [&progress](int v) { progress << v; });
        Paste(11, TestPictures::Photo(80, 20, 7));
        program->user.answerText(QStringLiteral("Holiday"));
        page()->mnuSaveAlbum_Click();
        QCOMPARE(program->user.asked.size(), 1); // no question about the existing folder
        QCOMPARE(QImage(album + QStringLiteral("/P10I11.bmp")).size(), QSize(80, 20));
        QCOMPARE(bytes(album + QStringLiteral("/P10I11.bmp")).left(2), QByteArray("BM"));
        QCOMPARE(progress, (QList<int>{0, 8, 16, 24, 33, 41, 50, 58, 66, 75, 83, 91, 100}));
        QCOMPARE(Forms::Get<FrmPbar3>(Screen::Pbar3)->lblADone->text(), QStringLiteral("100%"));
        QVERIFY(!Forms::Get<FrmPbar3>(Screen::Pbar3)->isVisible());
        QCOMPARE(session.albumChanged, 0);
        QCOMPARE(QDir(album).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("P10I11.bmp"), QStringLiteral("P1I3.bmp")}));
    }

    void askSaveAlbum()
    {
        AskSaveAlbum();
        QCOMPARE(session.saveAlbumAnswer, QStringLiteral("7"));
        QVERIFY(program->user.asked.isEmpty());
        session.albumChanged = 1;
        program->user.answerButton(vbYes);
        AskSaveAlbum();
        QCOMPARE(session.saveAlbumAnswer, QStringLiteral("6"));
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked[0].prompt, QStringLiteral("    If you have changed any picture\r\n"
                                                               "                       or\r\n"
                                                               "            created a new Album.\r\n"
                                                               "       You should save the album\r\n"
                                                               "before going to the Select Album Page\r\n"
                                                               "\r\n"
                                                               "    Do you want to save the Album?"));
        QCOMPARE(program->user.asked[0].style, int(vbYesNo | vbInformation));
    }

    void pageChangesThatAskNothing()
    {
        page()->mnuP_Click(2); // no edit
        QVERIFY(program->user.asked.isEmpty());
        page()->mnuP_Click(1);
        page()->mnuDeletePicture_Click(); // every picture deleted: already on disk
        program->user.answerButton(vbOK);
        QTest::mouseClick(page()->Image1(3), Qt::LeftButton);
        page()->mnuP_Click(2);
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(session.pageNr, QStringLiteral("2"));
    }

    void changedPageSavedAtThePageChange()
    {
        Paste(5, TestPictures::Photo(50, 100, 3));
        program->user.answerButton(vbYes);
        page()->Menu(QStringLiteral("mnuPU"))->trigger();
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked[0].prompt, QStringLiteral("Do you want to save changes to Page 1"));
        QCOMPARE(program->user.asked[0].style, int(vbYesNo | vbQuestion));
        QCOMPARE(program->user.asked[0].title, QStringLiteral("SAVE CHANGES"));
        QCOMPARE(QImage(album + QStringLiteral("/P1I5.bmp")).size(), QSize(50, 100));
        QCOMPARE(session.pageNr, QStringLiteral("2"));
        QCOMPARE(session.albumChanged, 0);
    }

    void newAlbumNamedAtThePageChange()
    {
        OpenAlbum(QStringLiteral("New Album"));
        Paste(2, TestPictures::Photo(40, 40));
        program->user.answerButton(vbYes);
        program->user.answerText({}); // Cancel at the name: nothing saved, the page still changes
        page()->mnuP_Click(2);
        QCOMPARE(program->user.asked.size(), 2);
        QCOMPARE(program->user.asked[1].prompt, QStringLiteral("Enter the name of the album that you want to save"));
        QCOMPARE(program->user.asked[1].title, QStringLiteral("SAVE ALBUM"));
        QCOMPARE(session.pageNr, QStringLiteral("2"));
        QCOMPARE(QDir(program->folder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{QStringLiteral("Holiday")});

        Paste(2, TestPictures::Photo(40, 40));
        program->user.answerButton(vbYes);
        program->user.answerText(QStringLiteral("Holiday"));
        program->user.answerButton(vbOK);
        program->user.answerButton(vbYes);
        program->user.answerText(QStringLiteral("Fresh"));
        page()->mnuP_Click(3);
        QCOMPARE(program->user.asked.size(), 7);
        QCOMPARE(program->user.asked[4].prompt, QStringLiteral("Filename Holiday allready used"));
        QCOMPARE(program->user.asked[4].style, int(vbOKOnly));
        QCOMPARE(program->user.asked[4].title, QStringLiteral("WARNING"));
        QVERIFY(QFile::exists(program->path(QStringLiteral("Fresh/P2I2.bmp"))));
        QCOMPARE(session.albumName, QStringLiteral("Fresh"));
        QCOMPARE(page()->Caption(), QStringLiteral("Album \"Fresh -- Page 3\""));
        QCOMPARE(QDir(album).entryList(QDir::Files), QStringList{QStringLiteral("P1I3.bmp")});
    }

    void badAlbumNamesAreAskedAgain_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("atPageChange");
        const QList<std::pair<const char*, QString>> names{
            {"dot", QStringLiteral(".")},          {"dot dot", QStringLiteral("..")},
            {"separator", QStringLiteral("a/b")},  {"backslash", QStringLiteral("a\\b")},
            {"control", QStringLiteral("a\tb")},   {"too long", QString(300, u'x')},
            {"escape", QStringLiteral("../up")}};
        for (const auto& [tag, name] : names) {
            QTest::newRow((QByteArray(tag) + " (save)").constData()) << name << false;
            QTest::newRow((QByteArray(tag) + " (page change)").constData()) << name << true;
        }
    }
    void badAlbumNamesAreAskedAgain()
    {
        QFETCH(QString, name);
        QFETCH(bool, atPageChange);
        OpenAlbum(QStringLiteral("New Album"));
        Paste(2, TestPictures::Photo(40, 40));
        if (atPageChange)
            program->user.answerButton(vbYes);
        program->user.answerText(name);
        program->user.answerButton(vbOK);
        program->user.answerText({});
        if (!atPageChange)
            program->user.answerButton(vbCancel);
        if (atPageChange)
            page()->mnuP_Click(2);
        else
            page()->mnuSaveAlbum_Click();
        const int told = atPageChange ? 2 : 1;
        QCOMPARE(program->user.asked.size(), 4);
        QCOMPARE(program->user.asked[told].title, QStringLiteral("WARNING"));
        QVERIFY(program->user.asked[told].prompt.contains(QStringLiteral("another name")));
        QCOMPARE(program->user.asked[told + 1].kind, Question::Kind::Input); // asked again
        QCOMPARE(QDir(program->folder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{QStringLiteral("Holiday")});
        QCOMPARE(QDir(program->path(QStringLiteral(".."))).entryList({QStringLiteral("up")}), QStringList{});
    }

    void failedWriteKeepsEverything_data()
    {
        QTest::addColumn<bool>("vanishedFolder");
        QTest::newRow("write fails part-way") << false;
        QTest::newRow("vanished folder") << true; // made again for the save, and gone again when it fails
    }
    void failedWriteKeepsEverything()
    {
        QFETCH(bool, vanishedFolder);
        const QByteArray before = bytes(album + QStringLiteral("/P1I3.bmp"));
        Paste(3, TestPictures::Photo(600, 600, 9)); // about 1.4 MB as a bitmap
        Paste(4, TestPictures::Photo(20, 20, 9));
        if (vanishedFolder)
            QVERIFY(QDir(album).removeRecursively());
        program->user.answerButton(vbYes);
        program->user.answerButton(vbOK);
        {
            const FileSizeLimit limit(512 * 1024);
            page()->mnuP_Click(2);
        }
        QCOMPARE(program->user.asked.size(), 2);
        const QString told = program->user.asked[1].prompt;
        QVERIFY2(told.contains(album + QStringLiteral("/P1I3.bmp")) &&
                     told.contains(reason(EFBIG)) &&
                     told.contains(QStringLiteral("No picture file of this page was changed.")),
                 qPrintable(told));
        QCOMPARE(program->user.asked[1].title, QStringLiteral("ERROR"));
        QCOMPARE(session.pageNr, QStringLiteral("1")); // the page did not change
        QCOMPARE(session.albumChanged, 1);
        QCOMPARE(page()->Image1(3)->GetPicture().natural, QSize(600, 600));
        QVERIFY(!Forms::Get<FrmPbar3>(Screen::Pbar3)->isVisible());
        if (!vanishedFolder) {
            QCOMPARE(bytes(album + QStringLiteral("/P1I3.bmp")), before); // whole, not truncated
            QCOMPARE(QDir(album).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("P1I3.bmp")});
        } else {
            QVERIFY(!QFileInfo::exists(album)); // no empty folder left behind
        }
    }

    // A failed "Save Page to Disk" is not taken as saved: the page stays
    // changed, leaving it asks again and stays when the save fails again, and
    // nothing of the attempt is left in the album folder.
    void failedSavePageToDiskIsNotTakenAsSaved()
    {
        const QByteArray before = bytes(album + QStringLiteral("/P1I3.bmp"));
        Paste(2, TestPictures::Photo(20, 20, 2));
        Paste(4, TestPictures::Photo(600, 600, 9)); // about 1 MB as a bitmap: slot 4 fails after slot 2 was written
        program->user.answerText(QStringLiteral("Holiday"));
        program->user.answerButton(vbOK);
        program->user.answerButton(vbYes); // Select New Album: save first?
        program->user.answerText(QStringLiteral("Holiday"));
        program->user.answerButton(vbOK);
        {
            const FileSizeLimit limit(512 * 1024);
            page()->Menu(QStringLiteral("mnuSaveAlbum"))->trigger();
            page()->Menu(QStringLiteral("mnuop"))->trigger();
        }
        const QStringList told = prompts(program->user);
        QCOMPARE(told.size(), 5);
        QVERIFY2(told[1].contains(album + QStringLiteral("/P1I4.bmp")) && told[1].contains(reason(EFBIG)) &&
                     told[1].contains(QStringLiteral("No picture file of this page was changed.")),
                 qPrintable(told[1]));
        QVERIFY(told[2].contains(QStringLiteral("Do you want to save the Album?")));
        QCOMPARE(told[4], told[1]);
        QCOMPARE(session.albumChanged, 1);
        QVERIFY(Forms::IsLoaded(Screen::Page1) && page()->isVisible()); // the page stays on screen
        QVERIFY(!Forms::IsLoaded(Screen::SelectAlbum1) || !Forms::Get(Screen::SelectAlbum1)->isVisible());
        QCOMPARE(entries(album), QStringList{QStringLiteral("P1I3.bmp")});
        QCOMPARE(bytes(album + QStringLiteral("/P1I3.bmp")), before);
    }

    // One file of the page cannot be put in place (a folder holds its name):
    // every other file of the page is as it was, and the message says so. A
    // file system that can neither swap names nor keep hard links can only
    // rename: then the message names the file already replaced.
    void pageSaveIsAllOrNothing_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<bool>("fromFiles"); // JPEG files added: saved as their own bytes
        for (const bool fromFiles : {false, true}) {
            const char* what = fromFiles ? ", JPEG files" : ", pasted pixels";
            QTest::newRow(qPrintable(u"swapping names"_qs + QLatin1String(what))) << int(PageWriter::PlaceWay::Swap) << fromFiles;
            QTest::newRow(qPrintable(u"keeping hard links"_qs + QLatin1String(what))) << int(PageWriter::PlaceWay::Link) << fromFiles;
            QTest::newRow(qPrintable(u"renaming only"_qs + QLatin1String(what))) << int(PageWriter::PlaceWay::Rename) << fromFiles;
        }
    }
    void pageSaveIsAllOrNothing()
    {
        QFETCH(int, way);
        QFETCH(bool, fromFiles);
        QVERIFY(TestPictures::Save(TestPictures::Photo(64, 48, 5), album + QStringLiteral("/P1I0.bmp"), "BMP"));
        QVERIFY(QDir().mkdir(album + QStringLiteral("/P1I5.bmp")));
        OpenAlbum(QStringLiteral("Holiday"));
        const QMap<QString, QByteArray> before = snapshot(album);
        const auto add = [&](int slot, const QImage& image) {
            if (!fromFiles)
                return Paste(slot, image);
            const QString file = program->path(QStringLiteral("photo%1.jpg").arg(slot));
            QVERIFY(TestPictures::Save(image, file, "JPEG"));
            auto* data = new QMimeData;
            data->setUrls({QUrl::fromLocalFile(file)}); // a copied file, pasted
            QGuiApplication::clipboard()->setMimeData(data);
            page()->mnuPaste_Click();
            QTest::mouseClick(page()->Image1(slot), Qt::LeftButton);
        };
        add(0, TestPictures::Photo(40, 40, 1)); // replaces a file
        add(1, TestPictures::Photo(30, 30, 2)); // a new file
        add(3, TestPictures::Photo(20, 20, 3)); // replaces a file
        add(5, TestPictures::Photo(50, 50, 4)); // cannot be put in place
        program->user.answerText(QStringLiteral("Holiday"));
        program->user.answerButton(vbOK);
        PageWriter::StartWith(PageWriter::PlaceWay(way));
        page()->Menu(QStringLiteral("mnuSaveAlbum"))->trigger();
        PageWriter::StartWith(PageWriter::PlaceWay::Swap);
        QCOMPARE(program->user.asked.size(), 2);
        const QString told = program->user.asked[1].prompt;
        QVERIFY2(told.contains(album + QStringLiteral("/P1I5.bmp")) && told.contains(reason(EISDIR)), qPrintable(told));
        QCOMPARE(session.albumChanged, 1);
        const QMap<QString, QByteArray> after = snapshot(album);
        if (PageWriter::PlaceWay(way) != PageWriter::PlaceWay::Rename) {
            QCOMPARE(after, before); // byte for byte
            QVERIFY2(told.contains(QStringLiteral("No picture file of this page was changed.")), qPrintable(told));
        } else {
            QCOMPARE(after.keys(), before.keys());
            QCOMPARE(QImage(album + QStringLiteral("/P1I0.bmp")).size(), QSize(40, 40));
            QCOMPARE(QImage(album + QStringLiteral("/P1I3.bmp")).size(), QSize(20, 20));
            QVERIFY2(told.contains(QStringLiteral("could not be put back: P1I0.bmp, P1I3.bmp.")) &&
                         !told.contains(QStringLiteral("No picture file")),
                     qPrintable(told));
        }

        // Once the folder is out of the way, the same page saves whole, leaving nothing hidden behind.
        QVERIFY(QDir().rmdir(album + QStringLiteral("/P1I5.bmp")));
        program->user.answerText(QStringLiteral("Holiday"));
        PageWriter::StartWith(PageWriter::PlaceWay(way));
        page()->Menu(QStringLiteral("mnuSaveAlbum"))->trigger();
        QCOMPARE(program->user.asked.size(), 3);
        QCOMPARE(session.albumChanged, 0);
        QCOMPARE(entries(album), (QStringList{QStringLiteral("P1I0.bmp"), QStringLiteral("P1I1.bmp"),
                                              QStringLiteral("P1I3.bmp"), QStringLiteral("P1I5.bmp")}));
        QCOMPARE(QImage(album + QStringLiteral("/P1I5.bmp")).size(), QSize(50, 50));
        QCOMPARE(QImage(album + QStringLiteral("/P1I0.bmp")).size(), QSize(40, 40));
        if (fromFiles) // the first try's links undone, the second saves the same bytes all the same
            QVERIFY(bytes(album + QStringLiteral("/P1I1.bmp")) == bytes(program->path(QStringLiteral("photo1.jpg"))));
    }

    // The hidden files of a save that was killed go at the next save or load
    // of the album: only those of a process that is gone, only of exactly that
    // name, only in that album's folder.
    void leftoversOfAKilledSaveGo_data()
    {
        QTest::addColumn<bool>("bySave");
        QTest::newRow("next save") << true;
        QTest::newRow("next load") << false;
    }
    void leftoversOfAKilledSaveGo()
    {
        QFETCH(bool, bySave);
        const QString dead = QString::number(deadProcess());
        const QStringList gone{u".P1I0.bmp.saving-"_qs + dead, u".P7I11.bmp.saving-"_qs + dead,
                               u".P10I3.bmp.kept-"_qs + dead};
        const QStringList stay{u".P1I2.bmp.saving-1"_qs, // a process that is there
                               u".P1I0.bmp.saving-"_qs + dead + u".x"_qs, u"P1I0.bmp.saving-"_qs + dead,
                               u".P1I12.bmp.saving-"_qs + dead, u".P1I0.bmp.saving-0"_qs + dead,
                               u".P1I0.bmp.saving-"_qs + dead + u"0000000000"_qs, u".P1I0.jpg.saving-"_qs + dead};
        for (const QString& name : gone + stay)
            QVERIFY(TestPictures::WriteBytes(album + u'/' + name, "part of a picture"));
        QVERIFY(QDir().mkdir(album + u"/.P2I0.bmp.saving-"_qs + dead));
        const QString other = program->path(QStringLiteral("Other"));
        QVERIFY(QDir().mkdir(other));
        QVERIFY(TestPictures::WriteBytes(other + u"/.P1I0.bmp.saving-"_qs + dead, "another album's"));
        if (bySave) {
            Paste(6, TestPictures::Photo(20, 20));
            program->user.answerText(QStringLiteral("Holiday"));
            page()->Menu(QStringLiteral("mnuSaveAlbum"))->trigger();
        } else {
            page()->mnuP_Click(2);
        }
        QStringList expected = stay;
        expected << u".P2I0.bmp.saving-"_qs + dead << QStringLiteral("P1I3.bmp");
        if (bySave)
            expected << QStringLiteral("P1I6.bmp");
        expected.sort();
        QStringList found = entries(album);
        found.sort();
        QCOMPARE(found, expected);
        QCOMPARE(entries(other).size(), 1);
    }

    // A full disk is told by its name, and the page's files stay as they were.
    void fullDiskIsToldByName_data()
    {
        QTest::addColumn<bool>("fromBitmap");
        QTest::newRow("converted") << false;
        QTest::newRow("copied from a bitmap") << true;
    }
    void fullDiskIsToldByName()
    {
        QFETCH(bool, fromBitmap);
        Picture picture;
        picture.full = TestPictures::Photo(600, 600, 6);
        picture.natural = picture.full.size();
        picture.shown = picture.full;
        if (fromBitmap) {
            picture.sourcePath = program->path(QStringLiteral("big.bmp"));
            QVERIFY(TestPictures::Save(picture.full, picture.sourcePath, "BMP"));
            picture.full = {};
        }
        QTemporaryDir small;
        const QByteArray said =
            OnASmallFileSystem(small.path(), "256k", [&] { return saveOnAFullDisk(small.path(), picture); });
        if (said.startsWith("skip: "))
            QSKIP(said.constData());
        QVERIFY2(said.contains("\"" + QFile::encodeName(small.path()) + "/P1I0.bmp\" could not be written: " +
                               reason(ENOSPC).toLocal8Bit()),
                 said.constData());
        QVERIFY2(said.endsWith("No picture file of this page was changed.\nentries: P1I0.bmp\nold: 32"), said.constData());
    }

    void everyAlbumOpensAtPageOne()
    {
        StartUp();
        Forms::Get<FrmCover>(Screen::Cover)->tmrCover_Timer();
        OpenAlbum(QStringLiteral("Holiday"));
        page()->mnuP_Click(5);
        page()->Menu(QStringLiteral("mnuOptions"))->trigger(); // unchanged: no question
        auto* options = Forms::Get<FrmOption1>(Screen::Option1);
        options->optNewAlbum->setChecked(true);
        QTest::mousePress(options->cmdSetOptions, Qt::LeftButton);
        QCOMPARE(page()->Caption(), QStringLiteral("Album \"New Album -- Page 1\""));
        QCOMPARE(session.pageNr, QStringLiteral("1"));
        page()->mnuPU_Click();
        QCOMPARE(session.pageNr, QStringLiteral("2"));
    }

    void keysAndWheelTurnPages_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        const QList<std::tuple<const char*, int, int>> keys{{"Page Up", Qt::Key_PageUp, +1},
                                                            {"Right", Qt::Key_Right, +1},
                                                            {"Page Down", Qt::Key_PageDown, -1},
                                                            {"Left", Qt::Key_Left, -1},
                                                            {"Home", Qt::Key_Home, 0},
                                                            {"End", Qt::Key_End, 0}};
        for (int from : {1, 5, 10}) {
            for (const auto& [name, key, step] : keys) {
                const int to = key == Qt::Key_Home ? 1 : key == Qt::Key_End ? 10 : std::clamp(from + step, 1, 10);
                QTest::newRow(qPrintable(QStringLiteral("%1 on page %2").arg(QLatin1String(name)).arg(from)))
                    << from << key << to;
            }
        }
    }
    void keysAndWheelTurnPages()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        page()->mnuP_Click(from);
        QTest::keyClick(page(), Qt::Key(key));
        QCOMPARE(session.pageNr, QString::number(to));
    }

    void keysWaitForTheModeAndTheSaveCheck()
    {
        page()->mnuCopy_Click();
        QTest::keyClick(page(), Qt::Key_PageUp);
        QTest::keyClick(page(), Qt::Key_End);
        QCOMPARE(session.pageNr, QStringLiteral("1")); // not during an editing mode
        page()->cmdCancelAddDelete->click();

        Paste(1, TestPictures::Photo(30, 30));
        program->user.answerButton(vbNo);
        QTest::keyClick(page(), Qt::Key_PageUp);
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.last().prompt, QStringLiteral("Do you want to save changes to Page 1"));
        QCOMPARE(session.pageNr, QStringLiteral("2"));

        QWheelEvent down(QPointF(10, 10), QPointF(10, 10), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(page(), &down);
        QCOMPARE(session.pageNr, QStringLiteral("3"));
    }

    void oneRequestEndToEnd()
    {
        // Options, Stored Album, Select, page 3, Add from a file, a click on a slot, page 4 with Yes.
        const QString photo = program->path(QStringLiteral("beach.png"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(120, 90, 4), photo, "PNG"));
        Forms::Reset();
        session = SessionState{};
        RegisterScreens();
        StartUp();
        Forms::Get<FrmCover>(Screen::Cover)->tmrCover_Timer();
        auto* options = Forms::Get<FrmOption1>(Screen::Option1);
        options->optSavedAlbum->setChecked(true);
        QTest::mousePress(options->cmdSetOptions, Qt::LeftButton);
        auto* list = Forms::Get<FrmSelectAlbum1>(Screen::SelectAlbum1);
        list->lstAlbumList->setCurrentRow(
            list->lstAlbumList->row(list->lstAlbumList->findItems(QStringLiteral("Holiday"), Qt::MatchExactly).first()));
        list->cmdSelect->click();
        QCOMPARE(page()->Caption(), QStringLiteral("Album \"Holiday -- Page 1\""));
        page()->Menu(QStringLiteral("mnuP3"))->trigger();
        program->user.answerModal([photo](Form& f) {
            auto& chooser = static_cast<FrmGetFile&>(f);
            chooser.SetDirectoryPath(QFileInfo(photo).path());
            chooser.filFiles->setCurrentItem(chooser.filFiles->findItems(QStringLiteral("beach.png"), Qt::MatchExactly).first());
            chooser.cmdOK->click();
        });
        page()->Menu(QStringLiteral("mnuAddPicture"))->trigger();
        QTest::mouseClick(page()->Image1(7), Qt::LeftButton);
        program->user.answerButton(vbYes);
        page()->Menu(QStringLiteral("mnuP4"))->trigger();
        QCOMPARE(program->user.asked.size(), 2);
        QCOMPARE(program->user.asked.last().prompt, QStringLiteral("Do you want to save changes to Page 3"));
        QCOMPARE(QImage(album + QStringLiteral("/P3I7.bmp")).size(), QSize(120, 90));
        QCOMPARE(page()->Caption(), QStringLiteral("Album \"Holiday -- Page 4\""));

        // A restart: the program state is rebuilt and the album shows the picture again.
        Forms::Reset();
        session = SessionState{};
        RegisterScreens();
        program->takeAsProgramFolder();
        OpenAlbum(QStringLiteral("Holiday"));
        page()->mnuP_Click(3);
        QCOMPARE(page()->Image1(7)->Tag, QStringLiteral("1"));
        QCOMPARE(page()->Image1(7)->GetPicture().natural, QSize(120, 90));
    }

    // The message after a failed save names what failed, never a picture of the page left
    // unchanged (P1I3.bmp, shown from its own file).
    void failedSaveNamesWhatFailed()
    {
        Paste(7, TestPictures::Photo(40, 40, 7));
        QVERIFY(QDir().rename(album, program->path(QStringLiteral("Holiday moved"))));
        QVERIFY(TestPictures::WriteBytes(album, "a file where the album folder was"));
        program->user.answerButton(vbYes);
        program->user.answerButton(vbOK);
        page()->mnuP_Click(2);
        QCOMPARE(program->user.asked.size(), 2);
        const QString told = program->user.asked[1].prompt;
        QVERIFY2(told.contains(QStringLiteral("\"%1\"").arg(album)) && told.contains(reason(ENOTDIR)) &&
                     !told.contains(QStringLiteral("P1I3")),
                 qPrintable(told));
        QCOMPARE(session.albumChanged, 1);
    }
};

QTEST_MAIN(TestSaving)
#include "tst_saving.moc"
