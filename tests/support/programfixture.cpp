#include "programfixture.h"

#include "forms.h"
#include "frmpage1.h"
#include "picturebox.h"
#include "screennames.h"
#include "session.h"
#include "testpictures.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

void ProgramFixture::StartProgram(bool withNotes)
{
    program = std::make_unique<TestProgram>();
    program->addEmptyPicture();
    if (withNotes)
        program->addPhotoData();
    program->takeAsProgramFolder();
}

bool ProgramFixture::MakeAlbum(const QString& name, const QList<std::pair<QString, QImage>>& pictures)
{
    album = program->path(name);
    if (!QDir().mkdir(album))
        return false;
    for (const auto& [file, picture] : pictures) {
        if (!TestPictures::Save(picture, album + u'/' + file, "BMP"))
            return false;
    }
    return true;
}

void ProgramFixture::OpenAlbum(const QString& name)
{
    session.albumName = name;
    session.pageNr = QStringLiteral("1");
    session.albumChanged = 0;
    auto* page = Forms::Get<FrmPage1>(Screen::Page1);
    page->Show();
    page->mnuP_Click(1);
}

void ProgramFixture::Paste(int slot, const QImage& image)
{
    auto* data = new QMimeData;
    data->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(data);
    auto* page = Forms::Get<FrmPage1>(Screen::Page1);
    page->mnuPaste_Click();
    QTest::mouseClick(page->Image1(slot), Qt::LeftButton);
    QCOMPARE(page->Image1(slot)->Tag, QStringLiteral("1"));
}
