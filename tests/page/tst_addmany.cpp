// Several pictures added at once: chosen together in the file chooser, or
// dropped together from a file manager. They fill the slot clicked and the
// empty slots after it, then, after a question and the page's save check, the
// next pages.
#include "albumpaths.h"
#include "forms.h"
#include "frmgetfile.h"
#include "frmpage1.h"
#include "frmpbar3.h"
#include "interaction.h"
#include "keptfile.h"
#include "picturebatch.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <memory>
#include <set>

#include <unistd.h>

namespace {

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

// Each slot of the page on screen: the width of the picture it holds (the
// files' widths tell them apart), or 0 when it is empty.
QList<int> slotWidths()
{
    QList<int> widths;
    for (int s = 0; s <= 11; ++s) {
        PictureBox* box = page()->Image1(s);
        widths << (box->Tag == QLatin1String("1") ? box->GetPicture().natural.width() : 0);
    }
    return widths;
}

// The private copies open in this process: every one is held by a picture on the page, or
// is a leftover.
int keptFilesOpen()
{
    int open = 0;
    const QByteArray folder = QFile::encodeName(KeptFile::Folder());
    for (const QString& fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::Files)) {
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(QStringLiteral("/proc/self/fd/") + fd).constData(), target,
                                     sizeof target);
        open += n > 0 && QByteArray(target, int(n)).startsWith(folder) ? 1 : 0;
    }
    return open;
}

// The real loader, each file held until the test lets its name go (or `patience` passes, so
// that a loader wrongly run on the UI thread ends the test instead of hanging it).
class Gate {
public:
    explicit Gate(std::chrono::seconds patience = std::chrono::seconds(30))
    {
        PictureBatch::SetLoaderForTests([state = m_state, patience](const QString& path, QSize box, qreal dpr) {
            const QString name = QFileInfo(path).completeBaseName();
            {
                std::unique_lock<std::mutex> lock(state->mutex);
                ++state->started;
                state->waiting.wait_for(lock, patience,
                                        [&] { return state->all || state->open.count(name) > 0; });
            }
            Pictures::LoadResult loaded = Pictures::LoadKeptPicture(path, box, dpr);
            const std::lock_guard<std::mutex> lock(state->mutex);
            state->loaded.insert(name);
            return loaded;
        });
    }
    ~Gate()
    {
        openAll();
        PictureBatch::SetLoaderForTests({});
    }
    void open(const QString& name)
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->open.insert(name);
        m_state->waiting.notify_all();
    }
    void openAll()
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->all = true;
        m_state->waiting.notify_all();
    }
    bool loaded(const QString& name)
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->loaded.count(name) > 0;
    }
    int started()
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->started;
    }
    // Every load started has ended.
    bool idle()
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        return int(m_state->loaded.size()) == m_state->started;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable waiting;
        std::set<QString> open, loaded;
        int started = 0;
        bool all = false;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// Answers as the script does, but first runs the event loop while a question is open, as a
// real dialog does, calling `meanwhile` there.
class EventLoopInQuestions final : public Interaction {
public:
    EventLoopInQuestions(ScriptedInteraction& script, std::function<void()> meanwhile)
        : m_script(script), m_meanwhile(std::move(meanwhile))
    {
        InstallInteraction(this);
    }
    ~EventLoopInQuestions() override { InstallInteraction(&m_script); }
    int messageBox(const Question& q) override
    {
        m_meanwhile();
        return m_script.messageBox(q);
    }
    QString inputBox(const Question& q) override { return m_script.inputBox(q); }
    void showModal(Form& form, const Question& q) override { m_script.showModal(form, q); }
    bool printerSetup(QPrinter& printer, const Question& q) override { return m_script.printerSetup(printer, q); }
    void endProgram() override { m_script.endProgram(); }

private:
    ScriptedInteraction& m_script;
    std::function<void()> m_meanwhile;
};

} // namespace

class TestAddMany : public ProgramFixture {
    Q_OBJECT

    QString pics;

    // Files 1.bmp .. n.bmp sorted as the list shows them ("01", "02", ...), file k 10 + k wide.
    QStringList makeFiles(int n)
    {
        QStringList paths;
        for (int k = 1; k <= n; ++k) {
            const QString path = pics + QStringLiteral("/%1.bmp").arg(k, 2, 10, QLatin1Char('0'));
            if (!TestPictures::Save(TestPictures::Photo(10 + k, 8), path, "BMP"))
                return {};
            paths << path;
        }
        return paths;
    }

private slots:
    void init()
    {
        StartProgram();
        const QImage photo = TestPictures::Photo(64, 48);
        QVERIFY(MakeAlbum(QStringLiteral("Holiday"), {{QStringLiteral("P1I1.bmp"), photo},
                                                      {QStringLiteral("P1I5.bmp"), photo},
                                                      {QStringLiteral("P2I1.bmp"), photo}}));
        pics = program->path(QStringLiteral("pics"));
        QVERIFY(QDir().mkdir(pics));
        OpenAlbum(QStringLiteral("Holiday"));
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    // Chosen in the chooser's list with Ctrl+A, or Ctrl+click in the reverse order: the files go
    // in as the list shows them, into the slot clicked and the empty slots after it.
    void chosenTogetherFillEmptySlots_data()
    {
        QTest::addColumn<QString>("albumName");
        QTest::addColumn<int>("files");
        QTest::addColumn<bool>("ctrlClicks");
        QTest::addColumn<int>("answer");         // to "did not fit", 0 when not asked
        QTest::addColumn<QList<int>>("page1");   // widths in the slots of page 1 afterwards
        QTest::addColumn<QList<int>>("page2");   // of page 2, empty when it was not reached
        QTest::addColumn<QString>("name");       // typed at a new album's name prompt; empty: Cancel
        const QList<int> filled1{11, 64, 12, 13, 14, 64, 15, 16, 17, 18, 19, 20};
        QTest::newRow("fits on the page") << QStringLiteral("Holiday") << 3 << true << 0
                                          << QList<int>{11, 64, 12, 13, 0, 64, 0, 0, 0, 0, 0, 0} << QList<int>{}
                                          << QString();
        QTest::newRow("too many, No") << QStringLiteral("Holiday") << 13 << false << int(vbNo) << filled1
                                      << QList<int>{} << QString();
        QTest::newRow("too many, Yes") << QStringLiteral("Holiday") << 13 << false << int(vbYes) << filled1
                                       << QList<int>{21, 64, 22, 23, 0, 0, 0, 0, 0, 0, 0, 0} << QString();
        const QList<int> full{11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
        QTest::newRow("new album, Yes") << AlbumPaths::NewAlbum << 13 << false << int(vbYes) << full
                                        << QList<int>{23, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0} << QStringLiteral("Trip");
        QTest::newRow("new album, name cancelled") << AlbumPaths::NewAlbum << 13 << false << int(vbYes) << full
                                                   << QList<int>{} << QString();
    }
    void chosenTogetherFillEmptySlots()
    {
        QFETCH(QString, albumName);
        QFETCH(int, files);
        QFETCH(bool, ctrlClicks);
        QFETCH(int, answer);
        QFETCH(QList<int>, page1);
        QFETCH(QList<int>, page2);
        QFETCH(QString, name);
        if (albumName != session.albumName)
            OpenAlbum(albumName);
        QCOMPARE(makeFiles(files).size(), files);
        program->user.answerModal([this, ctrlClicks](Form& f) {
            auto& c = static_cast<FrmGetFile&>(f);
            c.SetDirectoryPath(pics);
            QListWidget* list = c.filFiles;
            if (ctrlClicks) {
                for (int row = list->count() - 1; row >= 0; --row)
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                                      list->visualItemRect(list->item(row)).center());
            } else {
                list->setFocus();
                QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
            }
            c.cmdOK->click();
        });
        page()->mnuAddPicture_Click();
        const bool saving = answer == vbYes;
        const bool naming = albumName == AlbumPaths::NewAlbum;
        if (answer != 0)
            program->user.answerButton(answer);
        if (saving)
            program->user.answerButton(vbYes); // "Do you want to save changes to Page 1"
        if (saving && naming)
            program->user.answerText(name);
        QTest::mouseClick(page()->Image1(0), Qt::LeftButton);
        QTRY_VERIFY(!page()->AddingPictures());

        QCOMPARE(page()->editMode, QStringLiteral("0"));
        if (answer != 0) {
            QCOMPARE(program->user.asked[1].prompt,
                     QStringLiteral("%1 pictures did not fit on page 1. Go on with page 2?").arg(files - 12 + (naming ? 0 : 2)));
        } else {
            QCOMPARE(program->user.asked.size(), 1); // the chooser only
        }
        if (page2.isEmpty()) { // the page stays, as filled
            QCOMPARE(session.pageNr, QStringLiteral("1"));
            QCOMPARE(slotWidths(), page1);
            QCOMPARE(session.albumChanged, 1);
            QCOMPARE(session.albumName, albumName);
            QCOMPARE(QDir(program->folder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                     (QStringList{QStringLiteral("Holiday"), QStringLiteral("pics")}));
            return;
        }
        // The page was saved as a page change saves it, then the rest went onto page 2.
        QCOMPARE(program->user.asked[2].prompt, QStringLiteral("Do you want to save changes to Page 1"));
        QCOMPARE(session.pageNr, QStringLiteral("2"));
        QCOMPARE(session.albumName, naming ? name : albumName);
        QCOMPARE(slotWidths(), page2);
        QCOMPARE(session.albumChanged, 1);
        const QString folder = program->path(session.albumName);
        for (int s = 0; s <= 11; ++s)
            QCOMPARE(QFile::exists(folder + QStringLiteral("/P1I%1.bmp").arg(s)), page1[s] != 0);
        program->user.answerButton(vbNo); // to saving page 2
        page()->mnuP_Click(1);
        QCOMPARE(slotWidths(), page1);
    }

    void lastPageFullLeavesTheRestOut()
    {
        page()->mnuP_Click(10);
        QCOMPARE(makeFiles(14).size(), 14);
        QStringList files;
        for (const QString& name : QDir(pics).entryList(QDir::Files, QDir::Name))
            files << pics + u'/' + name;
        program->user.answerButton(vbOK);
        page()->AddPictures(0, files);
        QTRY_VERIFY(!page()->AddingPictures());
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked[0].prompt, QStringLiteral("Page 10 is full: 2 pictures were left out."));
        QCOMPARE(slotWidths(), (QList<int>{11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22}));
        QCOMPARE(session.pageNr, QStringLiteral("10"));
    }

    // Made off the UI thread, the pictures still go in in file order, whichever is ready first;
    // a file that holds no picture is told by name and skipped.
    void badFileAmongMany()
    {
        QStringList files = makeFiles(3);
        QVERIFY(TestPictures::WriteBytes(pics + QStringLiteral("/02b.bmp"), "a shopping list"));
        files.insert(2, pics + QStringLiteral("/02b.bmp"));
        Gate gate;
        program->user.answerButton(vbOK);
        page()->AddPictures(2, files);
        gate.open(QStringLiteral("02"));
        QTRY_VERIFY(gate.loaded(QStringLiteral("02")));
        QCoreApplication::processEvents();
        QCOMPARE(slotWidths(), (QList<int>{0, 64, 0, 0, 0, 64, 0, 0, 0, 0, 0, 0})); // 01 goes first
        gate.open(QStringLiteral("02b"));
        QTRY_VERIFY(gate.loaded(QStringLiteral("02b")));
        gate.openAll();
        QTRY_VERIFY(!page()->AddingPictures());
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked[0].prompt, QStringLiteral("The file selected is not a picture file\r\n02b.bmp"));
        QCOMPARE(slotWidths(), (QList<int>{0, 64, 11, 12, 13, 64, 0, 0, 0, 0, 0, 0}));
    }

    // The window answers while slow pictures go in: its timers fire and it paints (Qt's painting
    // may use threads of its own) before the first is ready.
    void windowAnswersWhilePicturesGoIn()
    {
        const QStringList files = makeFiles(10); // every empty slot of the page
        Gate gate(std::chrono::seconds(2)); // short: loads on the UI thread would hold it up
        page()->AddPictures(0, files);
        bool fired = false;
        QTimer::singleShot(0, this, [&fired] { fired = true; });
        QTRY_VERIFY(fired);
        page()->grab();
        QVERIFY(!gate.loaded(QStringLiteral("01"))); // the paint did not wait for it
        QCOMPARE(page()->Image1(0)->Tag, QStringLiteral("0")); // nothing in yet
        QVERIFY(page()->AddingPictures());
        gate.openAll();
        QTRY_VERIFY(!page()->AddingPictures());
        QCOMPARE(slotWidths(), (QList<int>{11, 64, 12, 13, 14, 64, 15, 16, 17, 18, 19, 20}));
    }

    // Cancel part-way, at once, while pictures are still being made: the slots filled so far
    // stay, nothing more goes in, nothing is written, and no private copy is left behind.
    void cancelPartWay_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("how"); // the page's cancel button, or the progress screen's by mouse or Esc
        QTest::newRow("on the page") << 6 << QStringLiteral("page");
        QTest::newRow("progress screen, mouse") << 14 << QStringLiteral("mouse");
        QTest::newRow("progress screen, Esc") << 14 << QStringLiteral("esc");
    }
    void cancelPartWay()
    {
        QFETCH(int, files);
        QFETCH(QString, how);
        const QStringList paths = makeFiles(files);
        const QStringList albumBefore = QDir(program->path(QStringLiteral("Holiday"))).entryList(QDir::Files);
        Gate gate;
        page()->AddPictures(0, paths);
        auto* bar = Forms::Get<FrmPbar3>(Screen::Pbar3);
        QCOMPARE(bar->isVisible(), files > 12);
        for (const char* name : {"01", "02", "03"})
            gate.open(QLatin1String(name));
        QTRY_COMPARE(slotWidths(), (QList<int>{11, 64, 12, 13, 0, 64, 0, 0, 0, 0, 0, 0}));
        QVERIFY(page()->AddingPictures());
        if (how == QLatin1String("page"))
            QTest::mouseClick(page()->cmdCancelAddDelete, Qt::LeftButton);
        else if (how == QLatin1String("mouse"))
            QTest::mouseClick(bar->cmdCancel, Qt::LeftButton);
        else
            QTest::keyClick(bar, Qt::Key_Escape);
        QVERIFY(!page()->AddingPictures()); // at once, with loads still under way
        QVERIFY(!bar->isVisible());
        QCOMPARE(page()->editMode, QStringLiteral("0"));
        gate.openAll(); // what was being made ends, and goes nowhere
        QTRY_COMPARE(keptFilesOpen(), 3);
        QCoreApplication::processEvents();
        QCOMPARE(slotWidths(), (QList<int>{11, 64, 12, 13, 0, 64, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(QDir(KeptFile::Folder()).entryList(QDir::Files | QDir::Hidden), QStringList{});
        QCOMPARE(QDir(program->path(QStringLiteral("Holiday"))).entryList(QDir::Files), albumBefore);
        QCOMPARE(program->user.asked.size(), 0);
    }

    // While "did not fit" is open, nothing goes in and the workers wait: no load starts beyond
    // the few made ahead, whatever the event loop runs meanwhile.
    void workersWaitWhileAsked()
    {
        const QStringList files = makeFiles(16); // ten fit
        Gate gate;
        for (int k = 1; k <= 10; ++k)
            gate.open(QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')));
        QList<int> whileAsked;
        int startedWhileAsked = 0;
        EventLoopInQuestions spinning(program->user, [&] {
            gate.openAll();
            QTRY_VERIFY(gate.idle());
            QCoreApplication::processEvents();
            whileAsked = slotWidths();
            startedWhileAsked = gate.started();
        });
        program->user.answerButton(vbNo);
        page()->AddPictures(0, files);
        QTRY_VERIFY(!page()->AddingPictures());
        QCOMPARE(program->user.asked.size(), 1);
        const QList<int> full{11, 64, 12, 13, 14, 64, 15, 16, 17, 18, 19, 20};
        QCOMPARE(whileAsked, full);
        QVERIFY2(startedWhileAsked <= 10 + PictureBatch::Ahead, qPrintable(QString::number(startedWhileAsked)));
        QCOMPARE(slotWidths(), full);
        QTRY_COMPARE(keptFilesOpen(), 10);
    }

    void severalFilesDropped()
    {
        const QStringList files = makeFiles(3);
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& file : files)
            urls << QUrl::fromLocalFile(file);
        data.setUrls(urls);
        PictureBox* slot = page()->Image1(4);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slot, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slot, &drop);
        QTRY_COMPARE(slotWidths(), (QList<int>{0, 64, 0, 0, 11, 64, 12, 13, 0, 0, 0, 0}));
        QVERIFY(page()->Image1(6)->GetPicture().kept); // private copies, as one add makes
        QCOMPARE(session.albumChanged, 1);
    }
};

QTEST_MAIN(TestAddMany)
#include "tst_addmany.moc"
