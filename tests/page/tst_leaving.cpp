// Nothing a user makes is lost or misplaced: an added picture outlives its
// file, every way off a changed page runs the save check, album names that
// would be mistaken for an unsaved album are refused, the album list follows
// the saves, the supplied album once writable keeps its edits, and the
// promises of "Save Page to Disk".
#include "albumpaths.h"
#include "fileops.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "frmgetfile.h"
#include "frmpage1.h"
#include "frmphotodata.h"
#include "frmselectalbum1.h"
#include "photorecordset.h"
#include "photostore.h"
#include "picturebox.h"
#include "pictureloader.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "sessionend.h"
#include "testnotes.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <variant>

namespace {

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

void click(int slot)
{
    QTest::mouseClick(page()->Image1(slot), Qt::LeftButton);
}

void paste(int slot, const QImage& image)
{
    auto* data = new QMimeData;
    data->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(data);
    page()->mnuPaste_Click();
    click(slot);
}

QImage pixels(const QImage& image)
{
    QImage i = image.convertToFormat(QImage::Format_RGB32);
    i.setDevicePixelRatio(1);
    return i;
}

QStringList listedAlbums()
{
    auto* list = Forms::Get<FrmSelectAlbum1>(Screen::SelectAlbum1);
    QStringList names;
    for (int i = 0; list && i < list->lstAlbumList->count(); ++i)
        names << list->lstAlbumList->item(i)->text();
    return names;
}

QStringList prompts(const ScriptedInteraction& user)
{
    QStringList p;
    for (const Question& q : user.asked)
        p << q.prompt;
    return p;
}

const QString SavePageQuestion = QStringLiteral("Do you want to save changes to Page 1");

} // namespace

class TestLeaving : public ProgramFixture {
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
        QUILL_END_PROGRAM(program);
    }

    void addedPictureOutlivesItsFile_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("overwritten");
        for (const char* format : {"BMP", "PNG"}) {
            QTest::newRow((QByteArray(format) + ", deleted").constData()) << QByteArray(format) << false;
            QTest::newRow((QByteArray(format) + ", overwritten").constData()) << QByteArray(format) << true;
        }
    }
    void addedPictureOutlivesItsFile()
    {
        QFETCH(QByteArray, format);
        QFETCH(bool, overwritten);
        const QImage added = TestPictures::Photo(300, 200, 4);
        const QString stick = program->path(QStringLiteral("stick"));
        QVERIFY(QDir().mkdir(stick));
        const QString source = stick + QStringLiteral("/holiday.") + QString::fromLatin1(format).toLower();
        QVERIFY(TestPictures::Save(added, source, format.constData()));
        program->user.answerModal([source](Form& f) {
            auto& c = static_cast<FrmGetFile&>(f);
            c.txtFileName->setText(source);
            c.cmdOK->click();
        });
        page()->mnuAddPicture_Click();
        click(4);
        // Only slot-sized pixels are held; the full picture waits in a private file.
        QVERIFY(page()->Image1(4)->GetPicture().full.isNull());
        QVERIFY(page()->Image1(4)->GetPicture().shown.width() < added.width());

        // What becomes of the file after it was added: gone, or another picture.
        if (overwritten)
            QVERIFY(TestPictures::Save(TestPictures::Photo(300, 200, 9), source, format.constData()));
        else
            QVERIFY(QDir(stick).removeRecursively());

        page()->mnuCopy_Click();
        click(4);
        QCOMPARE(pixels(qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData())), pixels(added));

        click(4); // the full-size view, open while the page turns
        auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
        QVERIFY(view->isVisible());

        program->user.answerButton(vbYes);
        page()->mnuPU_Click();
        QCOMPARE(prompts(program->user).last(), SavePageQuestion);
        QCOMPARE(session.pageNr, QStringLiteral("2"));
        QCOMPARE(pixels(QImage(album + QStringLiteral("/P1I4.bmp"))), pixels(added));
        // The slot holds another page now; the view still holds the copy of the picture it shows (to print it, say).
        QVERIFY(view->img1()->GetPicture().kept);
        QCOMPARE(pixels(Pictures::Reload(view->img1()->GetPicture(), {}).shown), pixels(added));
    }

    void routesOffAChangedPage_data()
    {
        QTest::addColumn<int>("route");
        QTest::addColumn<bool>("writeFails");
        for (int route = 0; route < int(routes().size()); ++route) {
            QTest::newRow(qPrintable(routes()[std::size_t(route)].name)) << route << false;
            QTest::newRow(qPrintable(routes()[std::size_t(route)].name + QStringLiteral(", write fails")))
                << route << true;
        }
    }
    void routesOffAChangedPage()
    {
        QFETCH(int, route);
        QFETCH(bool, writeFails);
        const Route& r = routes()[std::size_t(route)];
        // Too large for the file size limit below (about 1.4 MB as a bitmap) when the write is to fail.
        paste(0, writeFails ? TestPictures::Photo(600, 600, 2) : TestPictures::Photo(40, 30, 2));
        for (const auto& answer : r.answers)
            std::holds_alternative<int>(answer) ? program->user.answerButton(std::get<int>(answer))
                                                : program->user.answerText(std::get<QString>(answer));
        if (writeFails)
            program->user.answerButton(vbOK); // told that the page could not be saved
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit normal = limit;
        if (writeFails) {
            std::signal(SIGXFSZ, SIG_IGN);
            limit.rlim_cur = 512 * 1024; // binds root too
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        r.take();
        ::setrlimit(RLIMIT_FSIZE, &normal);
        QCOMPARE(program->user.asked.value(r.questionAt).prompt, r.question);
        if (writeFails) {
            QCOMPARE(program->user.asked.last().title, QStringLiteral("ERROR"));
            // The page stays loaded (in front, unless the user is on another screen), with its change.
            QVERIFY(Forms::IsLoaded(Screen::Page1));
            if (!r.endsProgram)
                QCOMPARE(Forms::Front(), page());
            QVERIFY(!QFile::exists(album + QStringLiteral("/P1I0.bmp")));
            QCOMPARE(page()->Image1(0)->Tag, QStringLiteral("1"));
            QCOMPARE(session.albumChanged, 1);
            QCOMPARE(session.albumName, QStringLiteral("Holiday"));
            QCOMPARE(program->user.programEnds, 0);
            return;
        }
        QCOMPARE(QImage(album + QStringLiteral("/P1I0.bmp")).size(), QSize(40, 30));
        QCOMPARE(program->user.programEnds, r.endsProgram ? 1 : 0);
    }

    void newAlbumIsNoNameToSaveUnder_data()
    {
        QTest::addColumn<bool>("atPageChange");
        QTest::newRow("Save Page to Disk") << false;
        QTest::newRow("page change") << true;
    }
    void newAlbumIsNoNameToSaveUnder()
    {
        QFETCH(bool, atPageChange);
        // A folder "New Album" that another program (or an older version) made, with a picture and its note.
        const QString other = program->path(AlbumPaths::NewAlbum);
        QVERIFY(QDir().mkdir(other));
        QVERIFY(TestPictures::Save(TestPictures::Photo(20, 20), other + QStringLiteral("/P1I2.bmp"), "BMP"));
        TestNotes::Add(AlbumPaths::NewAlbum, 1, 2);
        const QByteArray before = TestPictures::ReadBytes(other + QStringLiteral("/P1I2.bmp"));

        OpenAlbum(AlbumPaths::NewAlbum);
        paste(2, TestPictures::Photo(40, 40));
        // Deleting in the album never saved asks as ever, and touches no folder and no note.
        program->user.answerButton(vbOK);
        page()->mnuDeletePicture_Click();
        click(2);
        QCOMPARE(page()->Image1(2)->Tag, QStringLiteral("0"));
        QCOMPARE(TestPictures::ReadBytes(other + QStringLiteral("/P1I2.bmp")), before);
        auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
        auto notes = db->OpenRecordset(PhotoQuery::Picture(AlbumPaths::NewAlbum, QStringLiteral("1"),
                                                           QStringLiteral("P1I2")), nullptr);
        notes->ReadAhead();
        QCOMPARE(notes->RecordCount(), 1);
        notes.reset();
        db.reset();

        paste(2, TestPictures::Photo(40, 40));
        program->user.asked.clear();
        if (atPageChange)
            program->user.answerButton(vbYes);
        program->user.answerText(AlbumPaths::NewAlbum); // accepted as offered
        program->user.answerButton(vbOK);
        program->user.answerText(QStringLiteral("Trip"));
        if (atPageChange)
            page()->mnuP_Click(2);
        else
            page()->mnuSaveAlbum_Click();
        const int told = atPageChange ? 2 : 1;
        QCOMPARE(program->user.asked.size(), told + 2);
        QCOMPARE(program->user.asked[told - 1].defaultText, AlbumPaths::NewAlbum);
        QCOMPARE(program->user.asked[told].title, QStringLiteral("WARNING"));
        QVERIFY(program->user.asked[told].prompt.contains(QStringLiteral("\"New Album\"")));
        QCOMPARE(program->user.asked[told + 1].kind, Question::Kind::Input); // asked again
        QVERIFY(QFile::exists(program->path(QStringLiteral("Trip/P1I2.bmp"))));
        QCOMPARE(QDir(other).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("P1I2.bmp")});
        QCOMPARE(TestPictures::ReadBytes(other + QStringLiteral("/P1I2.bmp")), before);
    }

    void albumListShowsTheAlbumJustSaved()
    {
        Forms::Load(Screen::SelectAlbum1); // loaded at start-up, before any save
        QVERIFY(!listedAlbums().contains(QStringLiteral("Fresh")));
        OpenAlbum(AlbumPaths::NewAlbum);
        paste(1, TestPictures::Photo(40, 40));
        program->user.answerButton(vbYes);
        program->user.answerText(QStringLiteral("Fresh"));
        page()->mnuP_Click(2);
        page()->mnuop_Click(); // saved: no question
        QVERIFY(listedAlbums().contains(QStringLiteral("Fresh")));

        OpenAlbum(QStringLiteral("Fresh"));
        paste(1, TestPictures::Photo(40, 40));
        program->user.answerText(QStringLiteral("Copy of Fresh"));
        page()->mnuSaveAlbum_Click();
        page()->mnuop_Click();
        QVERIFY(listedAlbums().contains(QStringLiteral("Copy of Fresh")));
        QCOMPARE(program->user.asked.size(), 3); // the two saves' questions, none on leaving
    }

    void suppliedAlbumKeepsItsEditsOnceWritable()
    {
        const QString supplied = program->path(ProgramFiles::SuppliedAlbum);
        QVERIFY(QDir().mkdir(supplied)); // made writable by the user
        OpenAlbum(ProgramFiles::SuppliedAlbum);
        paste(0, TestPictures::Photo(40, 40));
        program->user.answerButton(vbYes);
        page()->mnuPU_Click();
        QCOMPARE(prompts(program->user), QStringList{SavePageQuestion});
        QVERIFY(QFile::exists(supplied + QStringLiteral("/P1I0.bmp")));

        // Read-only again: every change is refused, and a page change asks nothing.
        QVERIFY(!Files::SetAttr(supplied, Files::Directory + Files::ReadOnly).failed());
        OpenAlbum(ProgramFiles::SuppliedAlbum);
        program->user.asked.clear();
        program->user.answerButton(vbOK);
        page()->mnuPaste_Click();
        QVERIFY(prompts(program->user).value(0).contains(QStringLiteral("is a Read only File")));
        page()->mnuPU_Click();
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(session.pageNr, QStringLiteral("2"));
        Files::SetAttr(supplied, Files::Directory);
    }

    // What "Save Page to Disk" promises.
    void savedIntoANewFolderTheOpenAlbumStays()
    {
        paste(7, TestPictures::Photo(40, 40));
        program->user.answerText(QStringLiteral("Other"));
        page()->mnuSaveAlbum_Click();
        QVERIFY(QFile::exists(program->path(QStringLiteral("Other/P1I7.bmp"))));
        QCOMPARE(session.albumName, QStringLiteral("Holiday"));
        QCOMPARE(page()->Caption(), QStringLiteral("Album \"Holiday -- Page 1\""));
        QCOMPARE(session.albumChanged, 0);
    }

    void yesAtTheExistingAlbumKeepsItsOtherFiles()
    {
        const QString trip = program->path(QStringLiteral("Trip"));
        QVERIFY(QDir().mkdir(trip));
        for (const char* name : {"P1I7.bmp", "P1I8.bmp", "P2I7.bmp", "notes.txt"})
            QVERIFY(TestPictures::WriteBytes(trip + u'/' + QLatin1String(name), QByteArray("old ") + name));
        paste(7, TestPictures::Photo(40, 40));
        program->user.answerText(QStringLiteral("Trip"));
        program->user.answerButton(vbOK);
        program->user.answerButton(vbYes);
        page()->mnuSaveAlbum_Click();
        QCOMPARE(program->user.asked[1].prompt, QStringLiteral("You have allready saved a Album named ( Trip )"));
        QCOMPARE(QImage(trip + QStringLiteral("/P1I7.bmp")).size(), QSize(40, 40));
        for (const char* name : {"P1I8.bmp", "P2I7.bmp", "notes.txt"})
            QCOMPARE(TestPictures::ReadBytes(trip + u'/' + QLatin1String(name)), QByteArray("old ") + name);
        QCOMPARE(QDir(trip).entryList(QDir::Files | QDir::Hidden).join(u','),
                 (QStringList{QStringLiteral("notes.txt"), QStringLiteral("P1I3.bmp"), QStringLiteral("P1I7.bmp"), QStringLiteral("P1I8.bmp"),
                              QStringLiteral("P2I7.bmp")}).join(u','));
    }

    void suppliedAlbumGuardsSavePageToDisk()
    {
        const QString supplied = program->path(ProgramFiles::SuppliedAlbum);
        QVERIFY(QDir().mkdir(supplied));
        OpenAlbum(ProgramFiles::SuppliedAlbum);
        paste(0, TestPictures::Photo(40, 40)); // while writable
        QVERIFY(!Files::SetAttr(supplied, Files::Directory + Files::ReadOnly).failed());
        program->user.asked.clear();
        program->user.answerButton(vbOK);
        page()->mnuSaveAlbum_Click();
        QCOMPARE(program->user.asked.size(), 1);
        QVERIFY(program->user.asked[0].prompt.contains(QStringLiteral("is a Read only File")));
        QCOMPARE(QDir(supplied).entryList(QDir::Files | QDir::Hidden), QStringList{});
        QCOMPARE(QDir(program->folder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("Holiday"), ProgramFiles::SuppliedAlbum}));
        Files::SetAttr(supplied, Files::Directory);
    }

    void noAtTheSaveQuestionWritesNothing()
    {
        paste(0, TestPictures::Photo(40, 40));
        program->user.answerButton(vbNo);
        page()->mnuPU_Click();
        QCOMPARE(prompts(program->user), QStringList{SavePageQuestion});
        QCOMPARE(session.pageNr, QStringLiteral("2"));
        QCOMPARE(QDir(album).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("P1I3.bmp")});
    }

    // On an album never saved, Cancel at the name keeps the page (loaded, in front, changed)
    // on every way off it; only a page turn goes on without saving.
    void cancelAtTheNameKeepsThePage_data()
    {
        QTest::addColumn<int>("route");
        for (int route = 0; route < int(cancelRoutes().size()); ++route)
            QTest::newRow(qPrintable(cancelRoutes()[std::size_t(route)].name)) << route;
    }
    void cancelAtTheNameKeepsThePage()
    {
        QFETCH(int, route);
        const CancelRoute& r = cancelRoutes()[std::size_t(route)];
        OpenAlbum(AlbumPaths::NewAlbum);
        paste(0, TestPictures::Photo(40, 30, 2));
        for (const auto& answer : r.answers)
            std::holds_alternative<int>(answer) ? program->user.answerButton(std::get<int>(answer))
                                                : program->user.answerText(std::get<QString>(answer));
        r.take();
        QCOMPARE(program->user.pendingAnswers(), 0);
        QCOMPARE(program->user.asked.value(r.nameAt).kind, Question::Kind::Input);
        QCOMPARE(QDir(program->folder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{QStringLiteral("Holiday")});
        QCOMPARE(program->user.programEnds, 0);
        if (r.pageTurns) {
            QCOMPARE(session.pageNr, QStringLiteral("2"));
            return;
        }
        QVERIFY(Forms::IsLoaded(Screen::Page1));
        QCOMPARE(Forms::Front(), page());
        QVERIFY(page()->isVisible());
        QCOMPARE(session.pageNr, QStringLiteral("1"));
        QCOMPARE(page()->Image1(0)->Tag, QStringLiteral("1"));
        QCOMPARE(session.albumChanged, 1);
        QCOMPARE(session.albumName, AlbumPaths::NewAlbum);
    }

private:
    struct CancelRoute {
        QString name;
        std::function<void()> take;
        QList<std::variant<int, QString>> answers; // up to and including the Cancel
        int nameAt;                                 // where the name prompt comes
        bool pageTurns = false;
    };
    static const std::vector<CancelRoute>& cancelRoutes()
    {
        const QString cancel; // an input box's Cancel
        static const std::vector<CancelRoute> all{
            {QStringLiteral("Page Up (the page turns)"), [] { page()->mnuPU_Click(); }, {vbYes, cancel}, 1, true},
            {QStringLiteral("Exit Program"), [] { page()->Menu(QStringLiteral("mnuExit"))->trigger(); },
             {vbYes, vbYes, cancel}, 2},
            {QStringLiteral("Esc on a help page"),
             [] {
                 page()->mnuHelp_Click();
                 QTest::keyClick(Forms::Front(), Qt::Key_Escape);
             },
             {vbYes, vbYes, cancel}, 2},
            {QStringLiteral("title-bar close"), [] { page()->close(); }, {vbYes, cancel}, 1},
            {QStringLiteral("File > Options"), [] { page()->Menu(QStringLiteral("mnuOptions"))->trigger(); },
             {vbYes, cancel}, 1},
            {QStringLiteral("options screen brought forward"), [] { Forms::Show(Screen::Option1); }, {vbYes, cancel}, 1},
            {QStringLiteral("Select New Album"), [] { page()->Menu(QStringLiteral("mnuop"))->trigger(); },
             {vbYes, cancel, vbCancel}, 1},
            {QStringLiteral("desktop session ends"), [] { QVERIFY(!SessionEnd::CommitData(true)); }, {vbYes, cancel}, 1},
        };
        return all;
    }

    struct Route {
        QString name;
        std::function<void()> take;
        QList<std::variant<int, QString>> answers; // before the save is written
        int questionAt;                             // where the save question comes
        QString question;
        bool endsProgram = false;
    };
    static const std::vector<Route>& routes()
    {
        static const QString leaveQuestion = QStringLiteral(
            "    If you have changed any picture\r\n                       or\r\n            created a new Album.\r\n"
            "       You should save the album\r\nbefore going to the Select Album Page\r\n\r\n"
            "    Do you want to save the Album?");
        static const std::vector<Route> all{
            {QStringLiteral("Page Up"), [] { page()->mnuPU_Click(); }, {vbYes}, 0, SavePageQuestion},
            {QStringLiteral("File > Options"), [] { page()->Menu(QStringLiteral("mnuOptions"))->trigger(); }, {vbYes},
             0, SavePageQuestion},
            {QStringLiteral("Select New Album"), [] { page()->Menu(QStringLiteral("mnuop"))->trigger(); },
             {vbYes, QStringLiteral("Holiday")}, 0, leaveQuestion},
            {QStringLiteral("title-bar close"), [] { page()->close(); }, {vbYes}, 0, SavePageQuestion},
            {QStringLiteral("Exit Program"), [] { page()->Menu(QStringLiteral("mnuExit"))->trigger(); },
             {vbYes, vbYes}, 1, SavePageQuestion, true},
            {QStringLiteral("Esc"), [] { QTest::keyClick(page(), Qt::Key_Escape); }, {vbYes, vbYes}, 1,
             SavePageQuestion, true},
            {QStringLiteral("Esc on a help page"),
             [] {
                 page()->mnuHelp_Click();
                 QTest::keyClick(Forms::Front(), Qt::Key_Escape);
             },
             {vbYes, vbYes}, 1, SavePageQuestion, true},
            {QStringLiteral("photo data screen, one of two notes deleted"),
             [] {
                 TestNotes::Add(QStringLiteral("Holiday"), 1, 3, QStringLiteral("first"));
                 TestNotes::Add(QStringLiteral("Holiday"), 1, 3, QStringLiteral("second"));
                 QTest::mouseClick(page()->Image1(3), Qt::RightButton);
                 auto* notes = Forms::Get<FrmPhotoData>(Screen::PhotoData);
                 QTRY_VERIFY(notes->cmdDelete->isEnabled());
                 notes->cmdDelete->click(); // asked, told "'Find' canceled", then the options screen
             },
             {vbYes, vbOK, vbYes}, 2, SavePageQuestion},
            {QStringLiteral("options screen brought forward by another screen"),
             [] { Forms::Show(Screen::Option1); }, {vbYes}, 0, SavePageQuestion},
        };
        return all;
    }

};

QTEST_MAIN(TestLeaving)
#include "tst_leaving.moc"
