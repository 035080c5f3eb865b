// The platform layer: files and folders, settings, the question seam and the screens runtime.
#include "countingform.h"
#include "fileops.h"
#include "forms.h"
#include "interaction.h"
#include "settings.h"
#include "testprogram.h"
#include "val.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QFile>
#include <QGuiApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        program = std::make_unique<TestProgram>();
        CountingForm::resetCounts();
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void makeFolderTellsExistingFolderFromFile()
    {
        const QString dir = program->path(QStringLiteral("Album"));
        QCOMPARE(Files::MkDir(dir).number, 0);
        QVERIFY(QFileInfo(dir).isDir());
        QCOMPARE(Files::MkDir(dir).number, int(RunError::PathFileAccess));

        // A file of that name is not "the folder exists already" and stays whole.
        const QString file = program->path(QStringLiteral("Plain"));
        writeFile(file, "user data");
        const RunError onFile = Files::MkDir(file);
        QVERIFY(onFile.failed());
        QVERIFY(onFile.number != RunError::PathFileAccess);
        QCOMPARE(readFile(file), QByteArray("user data"));

        QCOMPARE(Files::MkDir(program->path(QStringLiteral("missing/child"))).number, int(RunError::PathNotFound));
        QCOMPARE(Files::MkDir(QString()).number, int(RunError::PathNotFound));
    }

    void removeFolderNeverRemovesContentsOrFiles()
    {
        const QString dir = program->path(QStringLiteral("Full"));
        QVERIFY(QDir().mkdir(dir));
        writeFile(dir + QStringLiteral("/P1I0.bmp"), "picture");
        QVERIFY(Files::RmDir(dir).failed());
        QCOMPARE(readFile(dir + QStringLiteral("/P1I0.bmp")), QByteArray("picture"));

        const QString file = program->path(QStringLiteral("file"));
        writeFile(file, "keep");
        QVERIFY(Files::RmDir(file).failed());
        QCOMPARE(readFile(file), QByteArray("keep"));

        QVERIFY(QFile::remove(dir + QStringLiteral("/P1I0.bmp")));
        QCOMPARE(Files::RmDir(dir).number, 0);
        QVERIFY(!QFileInfo::exists(dir));
    }

    void copyReplacesTargetAndFailsCleanly()
    {
        const QString src = program->path(QStringLiteral("a.bmp"));
        const QString dst = program->path(QStringLiteral("b.bmp"));
        writeFile(src, QByteArray(3 * 1024 * 1024 + 17, 'x'));
        writeFile(dst, "old");
        QCOMPARE(Files::FileCopy(src, dst).number, 0);
        QCOMPARE(readFile(dst), readFile(src));

        writeFile(dst, "old");
        QCOMPARE(Files::FileCopy(program->path(QStringLiteral("none.bmp")), dst).number,
                 int(RunError::FileNotFound));
        QCOMPARE(Files::FileCopy(program->folder(), dst).number, int(RunError::FileNotFound));
        QCOMPARE(readFile(dst), QByteArray("old"));
        QCOMPARE(Files::FileCopy(src, program->path(QStringLiteral("no/such/folder/b.bmp"))).number,
                 int(RunError::PathNotFound));
        // No half-written temporary files left behind.
        QCOMPARE(QDir(program->folder()).entryList(QDir::Files).size(), 2);

        // Onto itself: the file stays as it was.
        QCOMPARE(Files::FileCopy(src, src).number, 0);
        QCOMPARE(readFile(src), QByteArray(3 * 1024 * 1024 + 17, 'x'));

        // A write that fails part-way (the file size limit, which binds root too) leaves the old target whole.
        rlimit before{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = before;
        small.rlim_cur = 1024 * 1024;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        const RunError failed = Files::FileCopy(src, dst);
        ::setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(failed.failed());
        QCOMPARE(readFile(dst), QByteArray("old"));
        QCOMPARE(QDir(program->folder()).entryList(QDir::Files).size(), 2);
    }

    void realMessageBoxesAnswerWithTheButtonPressed_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("answer");
        QTest::newRow("OK") << int(vbOKOnly) << int(QMessageBox::Ok) << int(vbOK);
        QTest::newRow("OK of OK-Cancel") << int(vbOKCancel) << int(QMessageBox::Ok) << int(vbOK);
        QTest::newRow("Cancel") << int(vbOKCancel) << int(QMessageBox::Cancel) << int(vbCancel);
        QTest::newRow("Yes") << int(vbYesNo) << int(QMessageBox::Yes) << int(vbYes);
        QTest::newRow("No") << int(vbYesNo) << int(QMessageBox::No) << int(vbNo);
    }
    void realMessageBoxesAnswerWithTheButtonPressed()
    {
        QFETCH(int, style);
        QFETCH(int, button);
        QFETCH(int, answer);
        InstallInteraction(nullptr); // the program's own dialogs
        QTimer::singleShot(0, [button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box)
                box->button(QMessageBox::StandardButton(button))->click();
        });
        const int got = MsgBox(QStringLiteral("Question?"), style, QStringLiteral("WARNING"));
        InstallInteraction(&program->user);
        QCOMPARE(got, answer);
    }

    void wildcardsMatchWholeNames_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("no prefix match") << "P1I1" << "P1I10" << false;
        QTest::newRow("no suffix match") << "I1" << "P1I1" << false;
        QTest::newRow("exact, case ignored") << "p1i1" << "P1I1" << true;
        QTest::newRow("star at the start") << "*I1" << "P10I1" << true;
        QTest::newRow("star at the start, no tail match") << "*I1" << "P1I10" << false;
        QTest::newRow("star at the end") << "P1I*" << "p1i11" << true;
        QTest::newRow("question at both ends") << "?1I?" << "P1I1" << true;
        QTest::newRow("question takes exactly one") << "?1I?" << "P1I10" << false;
    }
    void wildcardsMatchWholeNames()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(Files::WildcardMatch(pattern, name), matches);
    }

    void killMatchesWildcardIgnoringCase()
    {
        for (const char* name : {"P1I1.bmp", "p1i1.JPG", "P1I10.bmp", "P1I11.bmp", "P2I1.bmp"})
            writeFile(program->path(QString::fromLatin1(name)), "x");
        QCOMPARE(Files::Kill(program->path(QStringLiteral("P1I1.*"))).number, 0);
        QStringList left = QDir(program->folder()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left, (QStringList{QStringLiteral("P1I10.bmp"), QStringLiteral("P1I11.bmp"),
                                    QStringLiteral("P2I1.bmp")}));
        QCOMPARE(Files::Kill(program->path(QStringLiteral("P1I1.*"))).number, int(RunError::FileNotFound));

        QVERIFY(Files::WildcardMatch(QStringLiteral("P?I*.BMP"), QStringLiteral("p3i11.bmp")));
        QVERIFY(!Files::WildcardMatch(QStringLiteral("P1I1.*"), QStringLiteral("P1I10.bmp")));
        QVERIFY(Files::WildcardMatch(QStringLiteral("*"), QString()));
        QVERIFY(!Files::WildcardMatch(QStringLiteral("?"), QString()));
    }

    void attributesFollowTheOwnersWriteBit()
    {
        const QString dir = program->path(QStringLiteral("Wren Photo Album"));
        QVERIFY(QDir().mkdir(dir));
        QCOMPARE(Files::GetAttr(dir).value, int(Files::Directory));
        QCOMPARE(Files::SetAttr(dir, Files::ReadOnly).number, 0);
        QCOMPARE(Files::GetAttr(dir).value, int(Files::Directory | Files::ReadOnly));
        QVERIFY(!(QFileInfo(dir).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)));
        QCOMPARE(Files::SetAttr(dir, 0).number, 0);
        QCOMPARE(Files::GetAttr(dir).value, int(Files::Directory));

        const QString file = program->path(QStringLiteral("f"));
        writeFile(file, "x");
        QCOMPARE(Files::GetAttr(file).value, 0);
        QCOMPARE(Files::GetAttr(program->path(QStringLiteral("gone"))).error.number, int(RunError::FileNotFound));
        QCOMPARE(Files::SetAttr(program->path(QStringLiteral("gone")), 1).number, int(RunError::FileNotFound));
    }

    void currentFolder()
    {
        const QString dir = program->path(QStringLiteral("sub"));
        QVERIFY(QDir().mkdir(dir));
        QCOMPARE(Files::ChDir(dir).number, 0);
        QCOMPARE(Files::CurDir(), QDir(dir).absolutePath());
        QCOMPARE(Files::ChDir(program->path(QStringLiteral("nowhere"))).number, int(RunError::PathNotFound));
        QCOMPARE(Files::CurDir(), QDir(dir).absolutePath());
    }

    void valReadsLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("one") << QStringLiteral("1") << 1.0;
        QTest::newRow("blanks") << QStringLiteral("  1") << 1.0;
        QTest::newRow("trailing text") << QStringLiteral("1abc") << 1.0;
        QTest::newRow("zero") << QStringLiteral("0") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("words") << QStringLiteral("yes") << 0.0;
        QTest::newRow("negative decimal") << QStringLiteral("-2.5x") << -2.5;
        QTest::newRow("ten") << QStringLiteral("10") << 10.0;
    }
    void valReadsLeadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(Val(text), value);
    }

    void settingsStayInTheirOwnFile()
    {
        QCOMPARE(Settings::GetSetting(QStringLiteral("Quillbook"), QStringLiteral("Startup"),
                                      QStringLiteral("Display Readme"), QStringLiteral("0")),
                 QStringLiteral("0"));
        Settings::SaveSetting(QStringLiteral("Quillbook"), QStringLiteral("Startup"), QStringLiteral("Display Readme"),
                              QStringLiteral("1"));
        QCOMPARE(program->setting(QStringLiteral("Display Readme")), QStringLiteral("1"));
        // Nothing reached the user's own store.
        QSettings user(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillbook"),
                       QStringLiteral("Quillbook"));
        QVERIFY(!user.contains(QStringLiteral("Startup/Display Readme")));
    }

    void questionsGoThroughTheSeam()
    {
        program->user.answerButton(vbYes);
        QCOMPARE(MsgBox(QStringLiteral("Line one\r\nLine two"), vbYesNo + vbQuestion), int(vbYes));
        program->user.answerText(QStringLiteral("Holiday"));
        QCOMPARE(InputBox(QStringLiteral("Name?"), QStringLiteral("Save Album")), QStringLiteral("Holiday"));
        QCOMPARE(program->user.asked.size(), 2);
        const Question& first = program->user.asked[0];
        QCOMPARE(first.title, QStringLiteral("Quillbook"));
        QCOMPARE(ButtonsOf(first.style), int(vbYesNo));
        QCOMPARE(IconOf(first.style), int(vbQuestion));
        QCOMPARE(DisplayText(first.prompt), QStringLiteral("Line one\nLine two"));
        QCOMPARE(program->user.asked[1].title, QStringLiteral("Save Album"));

        // An unexpected question is recorded and answered with the safe button.
        QCOMPARE(MsgBox(QStringLiteral("Surprise"), vbYesNo), int(vbNo));
        QCOMPARE(program->user.unexpected.size(), 1);
        program->user.unexpected.clear();

        // Reading a question that was not asked fails the test instead of reading past the end.
        QEXPECT_FAIL("", "the fourth question was never asked", Continue);
        const Question& missing = program->user.asked[3];
        QCOMPARE(missing.prompt, QStringLiteral("<question 3 read, but 3 asked>"));
    }

    void screensLoadOnceAndReloadAfterUnload()
    {
        CountingForm::registerAs(QStringLiteral("frmA"));
        QVERIFY(!Forms::IsLoaded(QStringLiteral("frmA")));
        Form* a = Forms::Get(QStringLiteral("frmA"));
        QVERIFY(a);
        QCOMPARE(Forms::Get(QStringLiteral("frmA")), a);
        QCOMPARE(CountingForm::loads.value(QStringLiteral("frmA")), 1);
        QVERIFY(!a->isVisible());

        Forms::Unload(QStringLiteral("frmA"));
        QCOMPARE(CountingForm::unloads.value(QStringLiteral("frmA")), 1);
        QVERIFY(!Forms::IsLoaded(QStringLiteral("frmA")));
        Forms::Get(QStringLiteral("frmA"));
        QCOMPARE(CountingForm::loads.value(QStringLiteral("frmA")), 2);

        // A screen the program lacks: every reference does nothing.
        QVERIFY(!Forms::Get(QStringLiteral("frmNone")));
        Forms::Show(QStringLiteral("frmNone"));
        Forms::Unload(QStringLiteral("frmNone"));
        QVERIFY(!Forms::IsLoaded(QStringLiteral("frmNone")));
    }

    void frontScreenIsActivatedDeterministically()
    {
        CountingForm::registerAs(QStringLiteral("frmA"));
        CountingForm::registerAs(QStringLiteral("frmB"));
        auto* a = Forms::Get<CountingForm>(QStringLiteral("frmA"));
        auto* b = Forms::Get<CountingForm>(QStringLiteral("frmB"));
        a->Show();
        QCOMPARE(a->activations, 1);
        a->Show();
        QCOMPARE(a->activations, 1); // already in front
        b->Show();
        QCOMPARE(b->activations, 1);
        QCOMPARE(Forms::Front(), b);
        b->Hide();
        QCOMPARE(a->activations, 2);
        QCOMPARE(Forms::Front(), a);

        // A disabled screen stays visible, takes no input and is not brought forward.
        b->Show();
        a->setEnabled(false);
        QVERIFY(a->isVisible());
        b->Hide();
        QCOMPARE(a->activations, 2);
        QVERIFY(!Forms::Front());
        a->setEnabled(true);

        // Unloading the front screen from its own handler is safe.
        b->Show();
        QPushButton* unloadMe = new QPushButton(b);
        QObject::connect(unloadMe, &QPushButton::clicked, [] { Forms::Unload(QStringLiteral("frmB")); });
        unloadMe->click();
        QVERIFY(!Forms::IsLoaded(QStringLiteral("frmB")));
        QCOMPARE(a->activations, 3);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(Forms::VisibleScreens(), QStringList{QStringLiteral("frmA")});
    }

    void escAndEnterPressTheirButtons()
    {
        CountingForm::registerAs(QStringLiteral("frmA"));
        Form* a = Forms::Get(QStringLiteral("frmA"));
        auto* cancel = new QPushButton(a->Canvas());
        auto* go = new QPushButton(a->Canvas());
        cancel->hide(); // out of sight, still pressed by Esc
        int cancels = 0, goes = 0;
        QObject::connect(cancel, &QPushButton::clicked, [&] { ++cancels; });
        QObject::connect(go, &QPushButton::clicked, [&] { ++goes; });
        a->SetCancelButton(cancel);
        a->SetDefaultButton(go);
        a->Show();
        QTest::keyClick(a, Qt::Key_Escape);
        QTest::keyClick(a, Qt::Key_Return);
        QTest::keyClick(a, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(cancels, 1);
        QCOMPARE(goes, 2);
        cancel->setEnabled(false);
        QTest::keyClick(a, Qt::Key_Escape);
        QCOMPARE(cancels, 1);
    }

    void returnPressesTheFocusedButtonBeforeTheDefault()
    {
        CountingForm::registerAs(QStringLiteral("frmA"));
        Form* a = Forms::Get(QStringLiteral("frmA"));
        auto* help = new QPushButton(a->Canvas());
        auto* go = new QPushButton(a->Canvas());
        auto* tick = new QCheckBox(a->Canvas());
        int helps = 0, goes = 0;
        QObject::connect(help, &QPushButton::clicked, [&] { ++helps; });
        QObject::connect(go, &QPushButton::clicked, [&] { ++goes; });
        a->SetDefaultButton(go);
        a->Show();
        a->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(a));
        help->setFocus();
        QTest::keyClick(help, Qt::Key_Return);
        QTest::keyClick(help, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(helps, 2);
        QCOMPARE(goes, 0);
        tick->setFocus(); // a tick box keeps Return for the default button
        QTest::keyClick(tick, Qt::Key_Return);
        QCOMPARE(goes, 1);
        QVERIFY(!tick->isChecked());
        help->setEnabled(false);
        QTest::keyClick(a, Qt::Key_Return);
        QCOMPARE(helps, 2);
    }

    void fullScreenPlacementAndScale()
    {
        CountingForm::registerAs(QStringLiteral("frmA"));
        Form* a = Forms::Get(QStringLiteral("frmA"));
        a->FillScreen();
        a->SetScale(100, 100);
        auto* box = new QWidget;
        a->Place(box, 25, 10, 50, 20);
        a->Show();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(a->windowState() & Qt::WindowMaximized);
        QVERIFY(qAbs(a->x() - screen.x()) <= 8 && qAbs(a->y() - screen.y()) <= 40);
        QVERIFY(a->width() >= screen.width() - 16 && a->height() >= screen.height() - 40);
        const QSize inner = a->Canvas()->size();
        QVERIFY(qAbs(box->x() - inner.width() / 4) <= 1);
        QVERIFY(qAbs(box->y() - inner.height() / 10) <= 1);
        QVERIFY(qAbs(box->width() - inner.width() / 2) <= 1);
        QCOMPARE(a->Placed(box), QRectF(25, 10, 50, 20));

        // A uniform scale keeps proportions and centres the area.
        a->SetScale(200, 100, true);
        const int side = std::min(inner.width() / 2, inner.height());
        QVERIFY(qAbs(box->width() - side / 2) <= 1);
        QVERIFY(qAbs(box->height() - side / 5) <= 1);
    }

    void modalScreenReturnsWhenHidden()
    {
        CountingForm::registerAs(QStringLiteral("frmA"));
        Form* a = Forms::Get(QStringLiteral("frmA"));
        program->user.answerModal([](Form& f) {
            f.Tag = QStringLiteral("/chosen/file.bmp");
            f.Hide();
        });
        a->ShowModal();
        QVERIFY(!a->isVisible());
        QCOMPARE(a->Tag, QStringLiteral("/chosen/file.bmp"));
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.last().kind, Question::Kind::ModalScreen);
        QCOMPARE(program->user.asked.last().screen, QStringLiteral("frmA"));
    }

private:
    std::unique_ptr<TestProgram> program;
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
