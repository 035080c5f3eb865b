// A program killed part-way, or sharing its folder with a second copy, loses
// nothing: each step is run in a child process (this executable again, with
// "--child") that is killed there, and the next load shows what was promised.
#include "albumdeletion.h"
#include "albumpaths.h"
#include "forms.h"
#include "frmpage1.h"
#include "interaction.h"
#include "keptfile.h"
#include "pagewriter.h"
#include "photorecordset.h"
#include "photostore.h"
#include "picturebox.h"
#include "program.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "settings.h"
#include "startup.h"
#include "testnotes.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImageReader>
#include <QMimeData>
#include <QProcess>
#include <QTest>

#include <csignal>

namespace {

const QString Album = QStringLiteral("Holiday");
const QSize OldSize(64, 48); // the pictures on disk before
const QSize NewSize(40, 30); // the pictures a save writes

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

void openAlbum()
{
    session.albumName = Album;
    page()->Show();
    page()->mnuP_Click(1);
}

// What the user finds: the album folder's entries (hidden ones too; pictures
// old or new by their size), the album's notes, and the page's filled slots.
QStringList albumState(const QString& folder)
{
    QStringList state;
    for (const QFileInfo& e : QDir(folder).entryInfoList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QSize size = QImageReader(e.filePath()).size();
        state << e.fileName() + u'=' +
                     (e.isDir() ? u"folder"_qs : size == OldSize ? u"old"_qs : size == NewSize ? u"new"_qs : u"?"_qs);
    }
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
    auto rs = db->OpenRecordset(PhotoQuery::Table(), nullptr);
    rs->MoveNext();
    state << TestNotes::Walk(*rs, [](PhotoRecordset& r) {
        return u"note "_qs + r.Text(PhotoFields::AlbumName) + u'/' + r.Text(PhotoFields::ImageNr);
    });
    QStringList filled;
    for (int s = 0; s <= 11; ++s)
        if (page()->Image1(s)->Tag == QStringLiteral("1"))
            filled << QString::number(s);
    state << u"slots "_qs + filled.join(u' ');
    return state;
}

// Answers OK, and is killed at the second question: the user's program ended
// while a message is on screen.
class KilledAtSecondQuestion final : public Interaction {
public:
    KilledAtSecondQuestion() { InstallInteraction(this); }
    ~KilledAtSecondQuestion() override { InstallInteraction(nullptr); }
    int messageBox(const Question&) override
    {
        if (++m_asked == 2)
            std::raise(SIGKILL);
        return vbOK;
    }
    QString inputBox(const Question&) override { return {}; }
    void showModal(Form&, const Question&) override {}
    bool printerSetup(QPrinter&, const Question&) override { return false; }
    void endProgram() override {}

private:
    int m_asked = 0;
};

// The second program, on the program folder `folder`: does `step`'s action
// and is killed there when QUILL_KILL_AT names it.
int RunChild(const QString& step, const QString& folder)
{
    Forms::Reset();
    QDir::setCurrent(folder);
    Settings::UseFile(folder + QStringLiteral("/child-settings.ini"));
    session = SessionState{};
    session.appPath = session.startPath = folder;
    ResetStartUp();
    RegisterScreens();
    if (step == QStringLiteral("picture-delete-note-refused")) {
        KilledAtSecondQuestion user;
        openAlbum();
        page()->mnuDeletePicture_Click();
        QTest::mouseClick(page()->Image1(2), Qt::LeftButton);
        return 0;
    }
    ScriptedInteraction user;
    if (step.startsWith(QStringLiteral("picture-delete"))) {
        openAlbum();
        page()->mnuDeletePicture_Click();
        user.answerButton(vbOK);
        QTest::mouseClick(page()->Image1(2), Qt::LeftButton);
    } else if (step.startsWith(QStringLiteral("page-save"))) {
        // Pasted pixels, or (":files") JPEG files added, which are saved as their own bytes.
        KeptFile::SetFolder(folder + QStringLiteral("/kept"));
        std::vector<PageWriter::Slot> pictures;
        for (int s = 0; s <= 3; ++s) {
            Picture picture;
            picture.natural = NewSize;
            picture.full = TestPictures::Photo(NewSize.width(), NewSize.height(), s);
            if (step.endsWith(QStringLiteral(":files"))) {
                const QString file = folder + QStringLiteral("/added%1.jpg").arg(s);
                if (!TestPictures::Save(picture.full, file, "JPEG"))
                    return 4;
                picture = Pictures::LoadKeptPicture(file).picture;
            }
            pictures.push_back({s, picture});
        }
        PageWriter::WritePage(folder + u'/' + Album, 1, pictures);
    } else if (step.startsWith(QStringLiteral("album-delete"))) {
        session.albumName = Album;
        user.answerButton(vbYes);
        DeleteAlbum();
    }
    return user.unexpected.isEmpty() ? 0 : 3;
}

// Runs the second program; `killAt` empty lets it finish.
bool runSecondProgram(const QString& step, const QString& killAt)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!killAt.isEmpty())
        env.insert(QStringLiteral("QUILL_KILL_AT"), killAt);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), step, session.appPath});
    if (!child.waitForFinished(60000))
        return false;
    return killAt.isEmpty() ? child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0
                            : child.exitStatus() == QProcess::CrashExit; // killed at the step, not before its end
}

} // namespace

class TestInterrupted : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram();
        QList<std::pair<QString, QImage>> pictures;
        for (int s = 0; s <= 3; ++s)
            pictures.push_back({QStringLiteral("P1I%1.bmp").arg(s), TestPictures::Photo(OldSize.width(), OldSize.height(), s)});
        QVERIFY(MakeAlbum(Album, pictures));
        TestNotes::Add(Album, 1, 0);
        TestNotes::Add(Album, 1, 2);
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void killedAtAStep_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("slotTwoIsAFolder"); // the save cannot put P1I2.bmp in place and undoes itself
        QTest::addColumn<bool>("storeRefuses");     // the store cannot be written: looked at before any load
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<bool>("fromFiles"); // a page save of JPEG files added: their own bytes
        const QStringList notes{u"note Holiday/P1I0"_qs, u"note Holiday/P1I2"_qs};
        const QStringList old{u"P1I0.bmp=old"_qs, u"P1I1.bmp=old"_qs, u"P1I2.bmp=old"_qs, u"P1I3.bmp=old"_qs};
        QTest::newRow("delete picture, before its note: put back")
            << u"picture-delete-before-note"_qs << false << false << old + notes + QStringList{u"slots 0 1 2 3"_qs} << false;
        QTest::newRow("delete picture, after its note: finished")
            << u"picture-delete-after-note"_qs << false << false
            << QStringList{u"P1I0.bmp=old"_qs, u"P1I1.bmp=old"_qs, u"P1I3.bmp=old"_qs, u"note Holiday/P1I0"_qs,
                           u"slots 0 1 3"_qs} << false;
        QTest::newRow("page save, between the 2nd and 3rd exchange: finished")
            << u"page-save-placed-2"_qs << false << false
            << QStringList{u"P1I0.bmp=new"_qs, u"P1I1.bmp=new"_qs, u"P1I2.bmp=new"_qs, u"P1I3.bmp=new"_qs} + notes +
                   QStringList{u"slots 0 1 2 3"_qs} << false;
        QTest::newRow("page save, while undoing a failed save: undone")
            << u"page-save-putting-back"_qs << true << false
            << QStringList{u"P1I0.bmp=old"_qs, u"P1I1.bmp=old"_qs, u"P1I2.bmp=folder"_qs, u"P1I3.bmp=old"_qs} +
                   notes + QStringList{u"slots 0 1 3"_qs} << false;
        QTest::newRow("album delete, during the note delete: all kept")
            << u"album-delete-notes"_qs << false << false << old + notes + QStringList{u"slots 0 1 2 3"_qs} << false;
        QTest::newRow("delete picture, its note refused, killed at the message: files back before it")
            << u"picture-delete-note-refused"_qs << false << true << old + notes + QStringList{u"slots "_qs} << false;
        QTest::newRow("page save of JPEG files, between the 2nd and 3rd exchange: finished")
            << u"page-save-placed-2"_qs << false << false
            << QStringList{u"P1I0.bmp=new"_qs, u"P1I1.bmp=new"_qs, u"P1I2.bmp=new"_qs, u"P1I3.bmp=new"_qs} + notes +
                   QStringList{u"slots 0 1 2 3"_qs}
            << true;
        QTest::newRow("page save of JPEG files, while undoing a failed save: undone")
            << u"page-save-putting-back"_qs << true << false
            << QStringList{u"P1I0.bmp=old"_qs, u"P1I1.bmp=old"_qs, u"P1I2.bmp=folder"_qs, u"P1I3.bmp=old"_qs} +
                   notes + QStringList{u"slots 0 1 3"_qs}
            << true;
    }
    void killedAtAStep()
    {
        QFETCH(QString, step);
        QFETCH(bool, slotTwoIsAFolder);
        QFETCH(bool, storeRefuses);
        QFETCH(QStringList, found);
        QFETCH(bool, fromFiles);
        if (slotTwoIsAFolder)
            QVERIFY(QFile::remove(album + QStringLiteral("/P1I2.bmp")) && QDir().mkdir(album + QStringLiteral("/P1I2.bmp")));
        const QString store = program->path(ProgramFiles::PhotoDatabase);
        if (storeRefuses) // a folder where the store belongs: no note can be deleted
            QVERIFY(QFile::rename(store, store + u".away"_qs) && QDir().mkdir(store));
        QVERIFY(runSecondProgram(fromFiles ? step + u":files"_qs : step, step));
        if (storeRefuses)
            QVERIFY(QDir().rmdir(store) && QFile::rename(store + u".away"_qs, store));
        else
            openAlbum(); // the next start
        QCOMPARE(albumState(album), found);
        if (fromFiles && found.first().endsWith(u"=new"))
            QVERIFY(TestPictures::ReadBytes(album + u"/P1I1.bmp"_qs) == TestPictures::ReadBytes(program->path(u"added1.jpg"_qs)));
    }

    // A second copy of the program deletes the album while a changed page of it
    // is on screen here: the page is still saved, its unchanged pictures, whose
    // files went with the album, are named in a note.
    void pageSavedAfterASecondCopyDeletedItsAlbum_data()
    {
        QTest::addColumn<bool>("byPageChange");
        QTest::newRow("page change") << true;
        QTest::newRow("Save Page to Disk") << false;
    }
    void pageSavedAfterASecondCopyDeletedItsAlbum()
    {
        QFETCH(bool, byPageChange);
        openAlbum();
        auto* data = new QMimeData;
        data->setImageData(TestPictures::Photo(NewSize.width(), NewSize.height(), 9));
        QGuiApplication::clipboard()->setMimeData(data);
        page()->mnuPaste_Click();
        QTest::mouseClick(page()->Image1(5), Qt::LeftButton);
        QCOMPARE(session.albumChanged, 1);
        QVERIFY(runSecondProgram(QStringLiteral("album-delete"), {}));
        QVERIFY(!QFileInfo::exists(album));

        if (byPageChange) {
            program->user.answerButton(vbYes);
            program->user.answerButton(vbOK);
            page()->mnuP_Click(2);
        } else {
            program->user.answerText(Album);
            program->user.answerButton(vbOK);
            page()->mnuSaveAlbum_Click();
        }
        QCOMPARE(program->user.asked.size(), 2);
        const Question note = program->user.asked[1];
        QVERIFY2(note.prompt.startsWith(QStringLiteral(
                     "The page was saved, but these pictures of it were not: P1I0.bmp, P1I1.bmp, P1I2.bmp, P1I3.bmp.")),
                 qPrintable(note.prompt));
        QCOMPARE(note.title, QStringLiteral("WARNING"));
        QCOMPARE(session.albumChanged, 0);
        QCOMPARE(session.pageNr, byPageChange ? u"2"_qs : u"1"_qs);
        QCOMPARE(albumState(album).mid(0, 2), (QStringList{u"P1I5.bmp=new"_qs, // no notes: they went with the album
                                                           byPageChange ? u"slots "_qs : u"slots 0 1 2 3 5"_qs}));
    }

};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0)
        return RunChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestInterrupted test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_interrupted.moc"
