#include "testprogram.h"

#include "fileops.h"
#include "forms.h"
#include "keptfile.h"
#include "program.h"
#include "session.h"
#include "settings.h"
#include "startup.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

QString MadeAsset(const QString& name)
{
    return QStringLiteral(QUILL_ASSET_DIR) + u'/' + name;
}

TestProgram::TestProgram()
{
    Forms::Reset();
    m_previousFolder = QDir::currentPath();
    QDir::setCurrent(m_folder.path());
    Settings::UseFile(m_settings.filePath(QStringLiteral("settings.ini")));
    KeptFile::SetFolder(m_settings.filePath(QStringLiteral("kept")));
    session = SessionState{};
    ResetStartUp();
    RegisterScreens();
}

TestProgram::~TestProgram()
{
    Forms::Reset();
    QDir::setCurrent(m_previousFolder);
    Settings::UseFile({});
    KeptFile::SetFolder({});
    session = SessionState{};
    ResetStartUp();
    // Read-only folders made by a test must not stop the clean-up.
    QDirIterator it(m_folder.path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        Files::SetAttr(it.next(), 0);
}

QString TestProgram::path(const QString& name) const
{
    return m_folder.filePath(name);
}

void TestProgram::addSuppliedPictures()
{
    for (int page = 1; page <= 10; ++page)
        for (int slot = 0; slot <= 11; ++slot)
            addSuppliedPicture(page, slot);
}

void TestProgram::addSuppliedPicture(int page, int slot)
{
    const QString name = QStringLiteral("P%1I%2.bmp").arg(page).arg(slot);
    QFile::copy(MadeAsset(name), path(name));
}

void TestProgram::addEmptyPicture()
{
    QFile::copy(MadeAsset(QStringLiteral("Empty.bmp")), path(QStringLiteral("Empty.bmp")));
}

void TestProgram::addPhotoData()
{
    QFile::copy(MadeAsset(QStringLiteral("PhotoData.mdb")), path(QStringLiteral("PhotoData.mdb")));
}

void TestProgram::takeAsProgramFolder()
{
    session.appPath = folder();
    session.startPath = folder();
}

void TestProgram::setSetting(const QString& key, const QString& value)
{
    Settings::SaveSetting(QStringLiteral("Quillbook"), QStringLiteral("Startup"), key, value);
}

QString TestProgram::setting(const QString& key) const
{
    return Settings::GetSetting(QStringLiteral("Quillbook"), QStringLiteral("Startup"), key, QStringLiteral("<absent>"));
}

QString TestProgram::surprises() const
{
    QStringList problems = user.unexpected;
    if (user.pendingAnswers() > 0)
        problems << QStringLiteral("%1 answer(s) never asked for").arg(user.pendingAnswers());
    return problems.join(u'\n');
}
