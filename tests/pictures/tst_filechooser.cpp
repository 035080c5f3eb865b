// The picture file chooser: its file types, lists, the path it hands back,
// the preview's place and its messages.
#include "filechooser.h"
#include "forms.h"
#include "frmgetfile.h"
#include "picturebox.h"
#include "programfixture.h"
#include "screennames.h"
#include "session.h"
#include "testpictures.h"
#include "testprogram.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QAccessible>
#include <QComboBox>
#include <QTest>

#include <functional>

namespace {

FrmGetFile* chooser()
{
    return Forms::Get<FrmGetFile>(Screen::GetFile);
}

QStringList listed(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

QStringList names(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list << QString::fromUtf8(text);
    return list;
}

} // namespace

class TestFileChooser : public ProgramFixture {
    Q_OBJECT

private slots:
    void init()
    {
        StartProgram(false);
        pictures = program->path(QStringLiteral("pictures"));
        QVERIFY(QDir().mkdir(pictures));
        QVERIFY(TestPictures::Save(TestPictures::Photo(640, 480), pictures + QStringLiteral("/photo.jpg"), "JPEG"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(50, 50), pictures + QStringLiteral("/PHOTO.JPG"), "JPEG"));
        QVERIFY(TestPictures::Save(TestPictures::Photo(30, 60), pictures + QStringLiteral("/tall.bmp"), "BMP"));
        QVERIFY(TestPictures::WriteBytes(pictures + QStringLiteral("/notes.txt"), "not a picture"));
        QVERIFY(TestPictures::WriteBytes(pictures + QStringLiteral("/README"), "no dot"));
        QVERIFY(QDir().mkdir(pictures + QStringLiteral("/sub.jpg"))); // a folder is not a file
    }
    void cleanup()
    {
        QUILL_END_PROGRAM(program);
    }

    void opensWithTheSixTypesAndStartsInTheProgramFolder()
    {
        QCOMPARE(chooser()->DirectoryPath(), program->folder());
        for (int opening = 0; opening < 2; ++opening) {
            program->user.answerModal([](Form& f) {
                auto& c = static_cast<FrmGetFile&>(f);
                c.cboFileType->setCurrentIndex(3); // another type, before Cancel
                c.cmdCancel->click();
            });
            SetUpFileChooser();
            QStringList types;
            for (int i = 0; i < chooser()->cboFileType->count(); ++i)
                types << chooser()->cboFileType->itemText(i);
            QCOMPARE(types, (QStringList{QStringLiteral("All Files (*.*)"), QStringLiteral("Bitmap (*.BMP)"),
                                         QStringLiteral("Jpeg (*.JPG)"), QStringLiteral("Gif files (*.GIF)"),
                                         QStringLiteral("Icon files (*.ICO)"), QStringLiteral("Metafile files (*.MTF)")}));
        }
        QCOMPARE(program->user.asked.last().screen, Screen::GetFile);
        QCOMPARE(chooser()->Caption(), QStringLiteral("Select A Picture File"));
        QCOMPARE(chooser()->Tag, QString());
    }

    void openedAgainShowsAllFilesAndHandsBackTheFileShown()
    {
        // The program folder has a file of the same name: it must never be the one handed back.
        QVERIFY(TestPictures::Save(TestPictures::Photo(20, 20), program->path(QStringLiteral("tall.bmp")), "BMP"));
        chooser()->SetDirectoryPath(pictures);
        const QStringList all{QStringLiteral("notes.txt"), QStringLiteral("photo.jpg"), QStringLiteral("PHOTO.JPG"),
                              QStringLiteral("README"), QStringLiteral("tall.bmp")};
        QStringList shown;
        auto open = [&](const std::function<void(FrmGetFile&)>& play) {
            program->user.answerModal([&shown, play](Form& f) {
                auto& c = static_cast<FrmGetFile&>(f);
                shown = QStringList{c.cboFileType->currentText()} + listed(c.filFiles);
                play(c);
            });
            SetUpFileChooser();
        };
        // Bitmaps only, then Cancel: the next opening lists every file again.
        open([](FrmGetFile& c) {
            c.cboFileType->setCurrentIndex(1);
            QCOMPARE(listed(c.filFiles), QStringList{QStringLiteral("tall.bmp")});
            c.cmdCancel->click();
        });
        open([](FrmGetFile& c) {
            c.filFiles->setCurrentRow(listed(c.filFiles).indexOf(QStringLiteral("tall.bmp")));
            c.cmdOK->click();
        });
        QCOMPARE(shown, QStringList{QStringLiteral("All Files (*.*)")} + all);
        QCOMPARE(chooser()->Tag, pictures + QStringLiteral("/tall.bmp"));
        // Opened again, OK at once: the file still shown chosen, in the folder shown.
        open([](FrmGetFile& c) { c.cmdOK->click(); });
        QCOMPARE(chooser()->HighlightedFile(), QStringLiteral("tall.bmp"));
        QCOMPARE(chooser()->Tag, pictures + QStringLiteral("/tall.bmp"));
        // Two chosen with Ctrl+click, then opened again and OK at once: both again, in the list's order.
        open([](FrmGetFile& c) {
            for (const char* name : {"photo.jpg"}) {
                const QListWidgetItem* item = c.filFiles->findItems(QLatin1String(name), Qt::MatchExactly).first();
                QTest::mouseClick(c.filFiles->viewport(), Qt::LeftButton, Qt::ControlModifier,
                                  c.filFiles->visualItemRect(item).center());
            }
            QCOMPARE(c.txtFileName->text(), QStringLiteral("\"photo.jpg\" \"tall.bmp\""));
            c.cmdOK->click();
        });
        const QStringList both{pictures + QStringLiteral("/photo.jpg"), pictures + QStringLiteral("/tall.bmp")};
        QCOMPARE(chooser()->ChosenPaths(), both);
        QCOMPARE(chooser()->Tag, both.first());
        open([](FrmGetFile& c) { c.cmdOK->click(); });
        QCOMPARE(chooser()->ChosenPaths(), both);
    }

    // A folder chosen either way is opened, and nothing is handed back or asked.
    void aFolderOpensItOnly_data()
    {
        QTest::addColumn<bool>("typed");
        QTest::newRow("Enter in the folder list") << false;
        QTest::newRow("its path typed, then OK") << true;
    }
    void aFolderOpensItOnly()
    {
        QFETCH(bool, typed);
        chooser()->SetDirectoryPath(program->folder());
        chooser()->Tag.clear();
        chooser()->Show();
        if (typed) {
            QTest::keyClicks(chooser()->txtFileName, pictures);
            QTest::mouseClick(chooser()->cmdOK, Qt::LeftButton);
        } else {
            QListWidget* folders = chooser()->dirDirectory;
            for (int i = 0; i < folders->count(); ++i) {
                if (folders->item(i)->text().endsWith(QStringLiteral("pictures")))
                    folders->setCurrentRow(i);
            }
            QTest::keyClick(folders, Qt::Key_Return);
        }
        QCOMPARE(chooser()->DirectoryPath(), pictures);
        QVERIFY(chooser()->isVisible()); // not OK as well: no "No file is selected!"
        QVERIFY(chooser()->Tag.isEmpty());
        QVERIFY(chooser()->ChosenPaths().isEmpty());
        QVERIFY(program->user.asked.isEmpty());
        chooser()->Hide();
    }

    void screenReadersHearLabelsAndLevels()
    {
        chooser()->SetDirectoryPath(pictures);
        chooser()->cboFileType->clear();
        chooser()->cboFileType->addItems(FileChooser::FileTypes());
        chooser()->cboFileType->setCurrentIndex(2);
        chooser()->Show();
        // The boxes are named by their labels; their values are what they show.
        const QList<std::pair<QWidget*, QString>> boxes{{chooser()->cboFileType, QStringLiteral("File Type")},
                                                        {chooser()->drvDrive, QStringLiteral("Drive")}};
        for (const auto& [box, name] : boxes) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
            QVERIFY(a);
            QCOMPARE(a->text(QAccessible::Name), name);
            QCOMPARE(a->role(), QAccessible::ComboBox);
            QCOMPARE(a->text(QAccessible::Value), static_cast<QComboBox*>(box)->currentText());
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(chooser()->cboFileType)->text(QAccessible::Value),
                 QStringLiteral("Jpeg (*.JPG)"));
        // The folder list: each folder by its plain name, its depth in the description.
        QStringList heard;
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(chooser()->dirDirectory);
        QVERIFY(list);
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface* item = list->child(i);
            if (item->role() != QAccessible::ListItem && item->role() != QAccessible::TreeItem)
                continue;
            heard << item->text(QAccessible::Name) + u'|' + item->text(QAccessible::Description);
        }
        const QStringList parts = pictures.split(u'/', Qt::SkipEmptyParts);
        QStringList expected{QStringLiteral("/|level 1")};
        for (int i = 0; i < parts.size(); ++i)
            expected << parts[i] + QStringLiteral("|level %1").arg(i + 2);
        expected << QStringLiteral("sub.jpg|level %1, not opened").arg(parts.size() + 2);
        QCOMPARE(heard, expected);
    }

    void filesFilteredByTypeIgnoringCase()
    {
        chooser()->SetDirectoryPath(pictures);
        chooser()->cboFileType->clear();
        chooser()->cboFileType->addItems(FileChooser::FileTypes());
        QCOMPARE(listed(chooser()->filFiles), (QStringList{QStringLiteral("notes.txt"), QStringLiteral("photo.jpg"),
                                                           QStringLiteral("PHOTO.JPG"), QStringLiteral("README"),
                                                           QStringLiteral("tall.bmp")}));
        chooser()->cboFileType->setCurrentIndex(2);
        QCOMPARE(listed(chooser()->filFiles), (QStringList{QStringLiteral("photo.jpg"), QStringLiteral("PHOTO.JPG")}));
        chooser()->cboFileType->setCurrentIndex(1);
        QCOMPARE(listed(chooser()->filFiles), QStringList{QStringLiteral("tall.bmp")});
        QCOMPARE(chooser()->lblDirName->text(), pictures);
        QCOMPARE(FileChooser::PatternOf(QStringLiteral("Gif files (*.GIF)")), QStringLiteral("*.GIF"));
    }

    void pathHandedBack_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("highlighted");
        QTest::addColumn<QStringList>("selected"); // in the list's order
        QTest::addColumn<QStringList>("chosen");
        const QStringList none;
        const QStringList two = names({"a.jpg", "c.jpg"});
        QTest::newRow("highlighted") << "/home/ann" << "a.jpg" << "a.jpg" << none << names({"/home/ann/a.jpg"});
        QTest::newRow("root folder") << "/" << "a.jpg" << "a.jpg" << none << names({"/a.jpg"});
        QTest::newRow("typed path") << "/home/ann" << "/tmp/b.png" << "a.jpg" << none << names({"/tmp/b.png"});
        QTest::newRow("case counts") << "/home/ann" << "A.JPG" << "a.jpg" << none << names({"/home/ann/A.JPG"});
        QTest::newRow("typed name, none highlighted") << "/home/ann" << "P1I3.bmp" << "" << none
                                                      << names({"/home/ann/P1I3.bmp"});
        QTest::newRow("one selected") << "/home/ann" << "a.jpg" << "a.jpg" << names({"a.jpg"})
                                      << names({"/home/ann/a.jpg"});
        QTest::newRow("several selected") << "/home/ann" << "\"a.jpg\" \"c.jpg\"" << "c.jpg" << two
                                          << names({"/home/ann/a.jpg", "/home/ann/c.jpg"});
        QTest::newRow("several selected, a name typed") << "/home/ann" << "b.jpg" << "c.jpg" << two
                                                        << names({"/home/ann/b.jpg"});
    }
    void pathHandedBack()
    {
        QFETCH(QString, folder);
        QFETCH(QString, typed);
        QFETCH(QString, highlighted);
        QFETCH(QStringList, selected);
        QFETCH(QStringList, chosen);
        QCOMPARE(FileChooser::ChosenPaths(folder, typed, highlighted, selected), chosen);
        if (selected.size() < 2)
            QCOMPARE(FileChooser::ChosenPath(folder, typed, highlighted), chosen.first());
        else
            QCOMPARE(FileChooser::SelectionText(selected, highlighted), QStringLiteral("\"a.jpg\" \"c.jpg\""));
    }

    void clickPreviewThenOk()
    {
        chooser()->SetDirectoryPath(pictures);
        chooser()->Show();
        const QList<QListWidgetItem*> items = chooser()->filFiles->findItems(QStringLiteral("photo.jpg"), Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        QTest::mouseClick(chooser()->filFiles->viewport(), Qt::LeftButton, {},
                          chooser()->filFiles->visualItemRect(items.first()).center());
        QCOMPARE(chooser()->txtFileName->text(), QStringLiteral("photo.jpg"));
        // 640 by 480: the width fills the box, centred at (2350, 4567).
        const PictureBox* preview = chooser()->Image1;
        QCOMPARE(QRectF(preview->Left(), preview->Top(), preview->Width(), preview->Height()),
                 QRectF(1622.5, 4021.375, 1455, 1091.25));
        QVERIFY(preview->HasPicture());
        QCOMPARE(FileChooser::PreviewPlace(FileChooser::DivisorsFor(750, 750)).top, 3839.5); // square
        chooser()->cmdOK->click();
        QCOMPARE(chooser()->Tag, pictures + QStringLiteral("/photo.jpg"));
        QCOMPARE(chooser()->ChosenPaths(), QStringList{chooser()->Tag}); // one file: the one path
        QVERIFY(!chooser()->isVisible());
        QVERIFY(!preview->HasPicture());
    }

    void messages()
    {
        chooser()->SetDirectoryPath(pictures);
        chooser()->Show();
        program->user.answerButton(vbOK);
        chooser()->filFiles->setCurrentRow(chooser()->filFiles->row(
            chooser()->filFiles->findItems(QStringLiteral("notes.txt"), Qt::MatchExactly).first()));
        QCOMPARE(program->user.asked.size(), 1);
        QCOMPARE(program->user.asked[0].prompt, QStringLiteral("The file selected is not a picture file"));
        QCOMPARE(program->user.asked[0].style, int(vbOKOnly));
        QCOMPARE(program->user.asked[0].title, QStringLiteral("ERROR"));

        chooser()->txtFileName->clear();
        program->user.answerButton(vbOK);
        chooser()->cmdOK->click();
        QCOMPARE(program->user.asked[1].prompt, QStringLiteral("No file is selected!"));
        QCOMPARE(program->user.asked[1].style, int(vbOKOnly | vbExclamation));
        QCOMPARE(program->user.asked[1].title, QStringLiteral("Error"));
        QVERIFY(chooser()->isVisible());

        program->user.answerButton(vbNo);
        QTest::keyClick(chooser(), Qt::Key_Escape);
        QCOMPARE(program->user.asked[2].title, QStringLiteral("WARNING"));
        QVERIFY(chooser()->isVisible());
        QCOMPARE(program->user.programEnds, 0);
    }

private:
    QString pictures;
};

QTEST_MAIN(TestFileChooser)
#include "tst_filechooser.moc"
