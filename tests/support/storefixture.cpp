#include "storefixture.h"

#include <QDir>
#include <QFile>

QString StoreFixture::OpenFreshStore()
{
    storePath = dir.filePath(QStringLiteral("PhotoData.mdb"));
    QFile::remove(storePath);
    RunError e;
    db = PhotoDatabase::Open(storePath, &e);
    return db ? QString() : e.description + u' ';
}

void StoreFixture::EmptyFolder()
{
    db.reset();
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
        QFile::remove(dir.filePath(name));
}
