// The page screen's editing modes: add, delete, copy and paste, their menus,
// the files and notes a deletion removes, and the clipboard with other programs.
#include "albumpaths.h"
#include "fileops.h"
#include "fitting.h"
#include "forms.h"
#include "frmgetfile.h"
#include "frmpage1.h"
#include "photorecordset.h"
#include "photostore.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "slotdrop.h"
#include "startup.h"
#include "testnotes.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QCoreApplication>
#include <QDropEvent>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

namespace {

FrmPage1* page()
{
    return Forms::Get<FrmPage1>(Screen::Page1);
}

void click(int slot)
{
    QTest::mouseClick(page()->Image1(slot), Qt::LeftButton);
}

// The menus a mode disables, as "name=enabled".
QStringList menuState()
{
    QStringList state;
    for (const char* name : {"mnuFile", "mnuEdit", "mnuMenu", "mnuHelp", "mnuPD", "mnuPU"})
        state << QLatin1String(name) + u'=' + QString::number(page()->Menu(QLatin1String(name))->isEnabled());
    return state;
}

// The file chooser, when it opens, is given `path` and OK.
void chooseFile(ScriptedInteraction& user, const QString& path)
{
    user.answerModal([path](Form& f) {
        auto& c = static_cast<FrmGetFile&>(f);
        c.txtFileName->setText(path);
        c.cmdOK->click();
    });
}

int notesOf(const QString& key)
{
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, nullptr);
    auto rs = db->OpenRecordset(PhotoQuery::Picture(session.albumName, session.pageNr, key), nullptr);
    rs->ReadAhead();
    return rs->RecordCount();
}

} // namespace

class TestEditing : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram();
        const QImage photo = TestPictures::Photo(64, 48);
        QVERIFY(MakeAlbum(QStringLiteral("Holiday"), {{QStringLiteral("P1I1.bmp"), photo},
                                                      {QStringLiteral("P1I10.bmp"), photo},
                                                      {QStringLiteral("P1I11.bmp"), photo},
                                                      {QStringLiteral("P1I2.bmp"), photo}}));
        QVERIFY(TestPictures::Save(TestPictures::Photo(30, 90), program->path(QStringLiteral("tall.png")), "PNG"));
        OpenAlbum(QStringLiteral("Holiday"));
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void addThenCancelInTheChooser()
    {
        program->user.answerModal([](Form& f) { static_cast<FrmGetFile&>(f).cmdCancel->click(); });
        page()->Menu(QStringLiteral("mnuAddPicture"))->trigger();
        QCOMPARE(page()->editMode, QStringLiteral("0"));
        QCOMPARE(menuState(), (QStringList{QStringLiteral("mnuFile=1"), QStringLiteral("mnuEdit=1"),
                                           QStringLiteral("mnuMenu=1"), QStringLiteral("mnuHelp=1"),
                                           QStringLiteral("mnuPD=0"), QStringLiteral("mnuPU=1")}));
        QVERIFY(page()->Menu(QStringLiteral("mnuInst"))->isVisible());
        QVERIFY(page()->cmdCancelAddDelete->isHidden());
    }

    void addOverAFilledSlot()
    {
        chooseFile(program->user, program->path(QStringLiteral("tall.png")));
        page()->mnuAddPicture_Click();
        QCOMPARE(page()->editMode, QStringLiteral("1"));
        QCOMPARE(page()->lblAddDelIns->text(), QStringLiteral("Click the blank where you want the picture to appear"));
        QCOMPARE(page()->cmdCancelAddDelete->text(), QStringLiteral("Cancel Add/Delete"));
        QVERIFY(!page()->cmdCancelAddDelete->isHidden());
        click(2);
        PictureBox* slot = page()->Image1(2);
        QCOMPARE(slot->GetPicture().natural, QSize(30, 90));
        QVERIFY(slot->GetPicture().kept); // its full source kept privately
        QCOMPARE(slot->GetPicture().sourceDescription(), QStringLiteral("tall.png"));
        QCOMPARE(slot->Tag, QStringLiteral("1"));
        QCOMPARE(slot->Width(), 27.75f); // fitted: tall, the height fills the slot
        QCOMPARE(session.albumChanged, 1);
        QCOMPARE(page()->editMode, QStringLiteral("0"));
        QVERIFY(QFile::exists(album + QStringLiteral("/P1I2.bmp"))); // the old file waits for the save
    }

    void addOfAPathThatIsNoPicture()
    {
        chooseFile(program->user, QStringLiteral("/no/such/file.jpg"));
        page()->mnuAddPicture_Click();
        program->user.answerButton(vbOK);
        click(3);
        QCOMPARE(program->user.asked.size(), 2);
        QCOMPARE(program->user.asked.last().prompt, QStringLiteral("The file selected is not a picture file"));
        QCOMPARE(page()->Image1(3)->Tag, QStringLiteral("0"));
        QCOMPARE(session.albumChanged, 0);
        QCOMPARE(page()->editMode, QStringLiteral("0"));
    }

    void deleteSlotOneKeepsSlotsTenAndEleven()
    {
        QVERIFY(TestPictures::WriteBytes(album + QStringLiteral("/P1I1.jpg"), "old copy"));
        TestNotes::Add(session.albumName, 1, 1);
        TestNotes::Add(session.albumName, 1, 10);
        page()->mnuDeletePicture_Click();
        QCOMPARE(page()->lblAddDelIns->text(), QStringLiteral("Click the picture that you want to delete"));
        program->user.answerButton(vbOK);
        click(1);
        QCOMPARE(program->user.asked.size(), 1);
        const Question q = program->user.asked.last();
        QCOMPARE(q.prompt, QStringLiteral("This will delete the photo from your saved file Holiday"));
        QCOMPARE(q.style, int(vbOKCancel | vbInformation));
        QCOMPARE(q.title, QStringLiteral("WARNING"));
        QCOMPARE(QDir(album).entryList(QDir::Files),
                 (QStringList{QStringLiteral("P1I10.bmp"), QStringLiteral("P1I11.bmp"), QStringLiteral("P1I2.bmp")}));
        QCOMPARE(notesOf(QStringLiteral("P1I1")), 0);
        QCOMPARE(notesOf(QStringLiteral("P1I10")), 1);
        QCOMPARE(page()->Image1(1)->Tag, QStringLiteral("0"));
        QCOMPARE(page()->Image1(1)->GetPicture().natural, QSize(111, 111));
        QCOMPARE(QRectF(page()->Image1(1)->Left(), page()->Image1(1)->Top(), page()->Image1(1)->Width(),
                        page()->Image1(1)->Height()),
                 QRectF(Fitting::SlotLeft(1), Fitting::SlotTop(1), 83.25, 83.25));
        QCOMPARE(session.albumChanged, 1);
        QCOMPARE(session.deletePictureAnswer, QStringLiteral("1"));
    }

    void deleteCancelledInTheConfirmation()
    {
        TestNotes::Add(session.albumName, 1, 2);
        page()->mnuDeletePicture_Click();
        program->user.answerButton(vbCancel);
        click(2);
        QVERIFY(QFile::exists(album + QStringLiteral("/P1I2.bmp")));
        QCOMPARE(notesOf(QStringLiteral("P1I2")), 1);
        QCOMPARE(page()->Image1(2)->Tag, QStringLiteral("1"));
        QCOMPARE(session.albumChanged, 0);
        QCOMPARE(page()->editMode, QStringLiteral("0"));
        QCOMPARE(page()->Menu(QStringLiteral("mnuInst"))->text(),
                 QStringLiteral("Click any Picture to see full size picture' )"));
    }

    void deleteOnANewAlbum()
    {
        session.albumName = QStringLiteral("New Album");
        page()->mnuDeletePicture_Click();
        program->user.answerButton(vbOK);
        click(2);
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.last().prompt,
                 QStringLiteral("This will delete the photo from your saved file New Album"));
        QCOMPARE(page()->Image1(2)->Tag, QStringLiteral("0"));
        QCOMPARE(QDir(album).entryList(QDir::Files).size(), 4);
    }

    // A picture and its note go together or not at all: in an album whose
    // folder is a link, and when the note cannot be deleted, the delete is
    // refused with a message, and the file, the note and the slot all stay.
    void deleteKeepsPictureAndNoteTogether_data()
    {
        QTest::addColumn<bool>("linkedFolder");
        QTest::newRow("album folder is a link") << true;
        QTest::newRow("note cannot be deleted") << false;
    }
    void deleteKeepsPictureAndNoteTogether()
    {
        QFETCH(bool, linkedFolder);
        if (linkedFolder) {
            QVERIFY(QFile::link(album, program->path(QStringLiteral("Linked"))));
            session.albumName = QStringLiteral("Linked");
            page()->mnuP_Click(1);
        }
        TestNotes::Add(session.albumName, 1, 2);
        const QByteArray before = TestPictures::ReadBytes(album + QStringLiteral("/P1I2.bmp"));
        const QStringList files = QDir(album).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        const QString store = program->path(ProgramFiles::PhotoDatabase);
        if (!linkedFolder) { // a folder where the store belongs: the note cannot be deleted
            QVERIFY(QFile::rename(store, store + QStringLiteral(".away")));
            QVERIFY(QDir().mkdir(store));
        }
        page()->mnuDeletePicture_Click();
        program->user.answerButton(vbOK);
        program->user.answerButton(vbOK);
        click(2);
        if (!linkedFolder) {
            QVERIFY(QDir().rmdir(store));
            QVERIFY(QFile::rename(store + QStringLiteral(".away"), store));
        }
        QCOMPARE(program->user.asked.size(), 2);
        const Question told = program->user.asked[1];
        if (linkedFolder)
            QVERIFY2(told.prompt.contains(QStringLiteral("is a link")) &&
                         told.prompt.contains(QStringLiteral("The picture and its notes are kept.")),
                     qPrintable(told.prompt));
        QCOMPARE(told.title, linkedFolder ? QStringLiteral("WARNING") : QStringLiteral("ERROR"));
        QCOMPARE(TestPictures::ReadBytes(album + QStringLiteral("/P1I2.bmp")), before);
        QCOMPARE(QDir(album).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), files);
        QCOMPARE(notesOf(QStringLiteral("P1I2")), 1);
        QCOMPARE(page()->Image1(2)->Tag, QStringLiteral("1"));
        QCOMPARE(session.albumChanged, 0);
        QCOMPARE(page()->editMode, QStringLiteral("0"));
    }

    void menusDuringAndAfterEachMode_data()
    {
        QTest::addColumn<int>("pageNumber");
        QTest::newRow("page 1") << 1;
        QTest::newRow("page 10") << 10;
    }
    void menusDuringAndAfterEachMode()
    {
        QFETCH(int, pageNumber);
        page()->mnuP_Click(pageNumber);
        const QStringList during{QStringLiteral("mnuFile=0"), QStringLiteral("mnuEdit=0"), QStringLiteral("mnuMenu=0"),
                                 QStringLiteral("mnuHelp=0"), QStringLiteral("mnuPD=0"), QStringLiteral("mnuPU=0")};
        const QStringList after{QStringLiteral("mnuFile=1"), QStringLiteral("mnuEdit=1"), QStringLiteral("mnuMenu=1"),
                                QStringLiteral("mnuHelp=1"), QStringLiteral("mnuPD=%1").arg(pageNumber != 1),
                                QStringLiteral("mnuPU=%1").arg(pageNumber != 10)};
        const QList<std::pair<void (FrmPage1::*)(), QString>> modes{
            {&FrmPage1::mnuDeletePicture_Click, QStringLiteral("Cancel Add/Delete")},
            {&FrmPage1::mnuCopy_Click, QStringLiteral("Cancel Copy")},
            {&FrmPage1::mnuPaste_Click, QStringLiteral("Cancel Paste")}};
        for (const auto& [enter, caption] : modes) {
            (page()->*enter)();
            QCOMPARE(menuState(), during);
            QVERIFY(!page()->Menu(QStringLiteral("mnuInst"))->isVisible());
            QCOMPARE(page()->cmdCancelAddDelete->text(), caption);
            page()->Menu(QStringLiteral("mnuP5"))->trigger(); // a disabled menu's item does nothing
            QCOMPARE(session.pageNr, QString::number(pageNumber));
            page()->cmdCancelAddDelete->click();
            QCOMPARE(menuState(), after);
            QCOMPARE(page()->editMode, QStringLiteral("0"));
        }
    }

    void firstModeCancelButtonIsOutOfSight()
    {
        Forms::Load(Screen::GetFile); // as start-up does
        QCOMPARE(page()->Placed(page()->cmdCancelAddDelete).top(), -1500.0);
        page()->mnuCopy_Click();
        QVERIFY(!page()->cmdCancelAddDelete->isHidden());
        click(1); // the mode still ends with the click
        QCOMPARE(page()->Placed(page()->cmdCancelAddDelete).top(), 6.0);
    }

    void suppliedAlbumRefusesChangesButCopies()
    {
        const QString supplied = program->path(ProgramFiles::SuppliedAlbum);
        QVERIFY(QDir().mkdir(supplied));
        QVERIFY(!Files::SetAttr(supplied, Files::ReadOnly).failed());
        session.albumName = ProgramFiles::SuppliedAlbum;
        qsizetype told = 0;
        for (auto handler : {&FrmPage1::mnuAddPicture_Click, &FrmPage1::mnuDeletePicture_Click,
                             &FrmPage1::mnuPaste_Click}) {
            program->user.answerButton(vbOK);
            (page()->*handler)();
            QCOMPARE(program->user.asked.size(), ++told);
            QCOMPARE(program->user.asked.last().title, QStringLiteral("WARNING"));
            QVERIFY(program->user.asked.last().prompt.contains(QStringLiteral("Attributes MANUALLY")));
            QCOMPARE(page()->editMode, QStringLiteral("0"));
        }
        page()->mnuCopy_Click();
        QCOMPARE(page()->editMode, QStringLiteral("3"));
    }

    void copyOffersTheFullPictureAsPng()
    {
        QVERIFY(TestPictures::Save(TestPictures::Photo(900, 700, 3), album + QStringLiteral("/P1I5.bmp"), "BMP"));
        page()->mnuP_Click(1);
        page()->mnuCopy_Click();
        click(5);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data->hasFormat(QStringLiteral("image/png")));
        const QImage offered = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
        const QImage original(album + QStringLiteral("/P1I5.bmp"));
        QCOMPARE(offered.size(), QSize(900, 700)); // the full picture, not the slot's
        QCOMPARE(offered.convertToFormat(QImage::Format_RGB32), original.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(session.albumChanged, 0);

        page()->mnuCopy_Click();
        click(7); // an empty slot: the placeholder
        QCOMPARE(QImage::fromData(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png"))).size(),
                 QSize(111, 111));
    }

    void copyOffersASavedSlotAsAFile_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("added"); // a picture added from a file and not saved yet
        QTest::addColumn<bool>("offersFile");
        QTest::newRow("saved picture") << 2 << false << true;
        QTest::newRow("empty slot") << 7 << false << false;
        QTest::newRow("added, not saved") << 2 << true << false;
    }
    void copyOffersASavedSlotAsAFile()
    {
        QFETCH(int, slot);
        QFETCH(bool, added);
        QFETCH(bool, offersFile);
        if (added) {
            chooseFile(program->user, program->path(QStringLiteral("tall.png")));
            page()->mnuAddPicture_Click();
            click(slot);
        }
        page()->mnuCopy_Click();
        click(slot);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data->hasFormat(QStringLiteral("image/png"))); // the picture itself, always
        QVERIFY(data->hasImage());
        QCOMPARE(data->hasFormat(QStringLiteral("text/uri-list")), offersFile);
        if (!offersFile)
            return;
        const QString file = QFileInfo(album + QStringLiteral("/P1I2.bmp")).canonicalFilePath();
        QCOMPARE(data->urls(), QList<QUrl>{QUrl::fromLocalFile(file)});
        QCOMPARE(QString::fromUtf8(data->data(QStringLiteral("text/uri-list"))).trimmed(),
                 QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
        QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")),
                 "copy\n" + QUrl::fromLocalFile(file).toEncoded());
        QCOMPARE(QImage::fromData(data->data(QStringLiteral("image/png"))).size(), QSize(64, 48));
    }

    void dropFromAnotherProgram_data()
    {
        QTest::addColumn<QString>("offer"); // what the other program drags
        QTest::addColumn<bool>("supplied");
        QTest::addColumn<QString>("told"); // the message's title, or empty
        QTest::addColumn<QSize>("taken");  // the picture slot 4 then holds, or empty
        QTest::newRow("picture file") << QStringLiteral("file") << false << QString() << QSize(30, 90);
        QTest::newRow("image data") << QStringLiteral("png") << false << QString() << QSize(1200, 400);
        QTest::newRow("not a picture") << QStringLiteral("text file") << false << QStringLiteral("ERROR") << QSize();
        QTest::newRow("onto the supplied album") << QStringLiteral("file") << true << QStringLiteral("WARNING")
                                                 << QSize();
    }
    void dropFromAnotherProgram()
    {
        QFETCH(QString, offer);
        QFETCH(bool, supplied);
        QFETCH(QString, told);
        QFETCH(QSize, taken);
        if (supplied) {
            const QString wren = program->path(ProgramFiles::SuppliedAlbum);
            QVERIFY(QDir().mkdir(wren));
            QVERIFY(!Files::SetAttr(wren, Files::ReadOnly).failed());
            session.albumName = ProgramFiles::SuppliedAlbum;
            page()->mnuP_Click(1);
        }
        const QString folder = AlbumPaths::InProgramFolder(session.appPath, session.albumName);
        const QStringList before = QDir(folder).entryList(QDir::Files);
        QMimeData data;
        if (offer == QLatin1String("file")) {
            data.setUrls({QUrl::fromLocalFile(program->path(QStringLiteral("tall.png")))});
        } else if (offer == QLatin1String("text file")) {
            QVERIFY(TestPictures::WriteBytes(program->path(QStringLiteral("notes.txt")), "a shopping list"));
            data.setUrls({QUrl::fromLocalFile(program->path(QStringLiteral("notes.txt")))});
        } else {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            TestPictures::Photo(1200, 400, 5).save(&buffer, "PNG");
            data.setData(QStringLiteral("image/png"), png);
        }
        if (!told.isEmpty())
            program->user.answerButton(vbOK);
        PictureBox* slot = page()->Image1(4);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slot, &enter);
        QVERIFY(enter.isAccepted()); // the slot takes a drag that may hold a picture
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slot, &drop);
        if (!told.isEmpty()) {
            QTRY_COMPARE(program->user.asked.size(), 1);
            QCOMPARE(program->user.asked.first().title, told);
            if (supplied)
                QVERIFY(program->user.asked.first().prompt.contains(QStringLiteral("Attributes MANUALLY")));
            else
                QCOMPARE(program->user.asked.first().prompt, QStringLiteral("The file selected is not a picture file"));
            QCOMPARE(slot->Tag, QStringLiteral("0"));
            QCOMPARE(session.albumChanged, 0);
        } else {
            QTRY_COMPARE(slot->Tag, QStringLiteral("1"));
            QCOMPARE(slot->GetPicture().natural, taken);
            QCOMPARE(session.albumChanged, 1);
            QCOMPARE(page()->Image1(5)->Tag, QStringLiteral("0")); // only the slot it fell on
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files), before); // nothing written before a save
    }

    void noDropDuringAnEditingMode()
    {
        page()->mnuCopy_Click();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(program->path(QStringLiteral("tall.png")))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(page()->Image1(4), &enter);
        QVERIFY(!enter.isAccepted());
        page()->SlotDrops()->Drop(4, &data);
        QCOMPARE(page()->Image1(4)->Tag, QStringLiteral("0"));
        QCOMPARE(page()->editMode, QStringLiteral("3"));
    }

    void pasteFromAnotherProgram()
    {
        // Another program offers only encoded PNG bytes.
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        TestPictures::Photo(1200, 400, 5).save(&buffer, "PNG");
        auto* data = new QMimeData;
        data->setData(QStringLiteral("image/png"), png);
        QGuiApplication::clipboard()->setMimeData(data);

        page()->mnuPaste_Click();
        QCOMPARE(page()->lblAddDelIns->text(),
                 QStringLiteral("Click the Blank where you want to Paste the picture from Clipboard"));
        click(6);
        PictureBox* slot = page()->Image1(6);
        QCOMPARE(slot->Tag, QStringLiteral("1"));
        QCOMPARE(slot->GetPicture().natural, QSize(1200, 400));
        QVERIFY(slot->GetPicture().kept); // kept whole for saving, in a private file
        QVERIFY(slot->GetPicture().full.isNull()); // not decoded in memory
        QCOMPARE(slot->Height(), 27.75f);
        QCOMPARE(session.albumChanged, 1);

        // Nothing on the clipboard: told, and the slot stays as it was.
        QGuiApplication::clipboard()->clear();
        session.albumChanged = 0;
        page()->mnuPaste_Click();
        program->user.answerButton(vbOK);
        click(7);
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked.last().title, QStringLiteral("ERROR"));
        QCOMPARE(page()->Image1(7)->Tag, QStringLiteral("0"));
        QCOMPARE(session.albumChanged, 0);
        QCOMPARE(page()->editMode, QStringLiteral("0"));
    }

};

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
