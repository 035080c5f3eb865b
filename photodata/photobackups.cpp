#include "photobackups.h"

#include "photostore.h"

#include <QFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace PhotoBackups {
namespace {

bool modifiedTime(const QString& path, timespec* time)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *time = st.st_mtim;
    return true;
}

bool newer(const timespec& a, const timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

} // namespace

QString BackupPath(const QString& storePath, int generation)
{
    return storePath + u'.' + QString::number(generation);
}

RunError Keep(const QString& storePath)
{
    timespec store{}, log{}, newest{};
    if (!modifiedTime(storePath, &store))
        return {};
    // Every write moves the time of the store or of its write-ahead log on;
    // the newest backup was written after the version it holds.
    if (modifiedTime(storePath + QStringLiteral("-wal"), &log) && newer(log, store))
        store = log;
    if (modifiedTime(BackupPath(storePath, 1), &newest) && !newer(store, newest))
        return {};

    const QString building = storePath + QStringLiteral(".backup-%1").arg(::getpid());
    QFile::remove(building);
    RunError error;
    {
        auto db = PhotoDatabase::Open(storePath, &error);
        if (!db)
            return error;
        error = db->BackupTo(building);
    }
    if (error.failed()) {
        QFile::remove(building);
        return error;
    }
    // Each step is a rename: at every moment each generation is a whole file.
    for (int g = Kept; g > 1; --g) {
        const QByteArray from = QFile::encodeName(BackupPath(storePath, g - 1));
        if (::access(from.constData(), F_OK) == 0)
            std::rename(from.constData(), QFile::encodeName(BackupPath(storePath, g)).constData());
    }
    if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(BackupPath(storePath, 1)).constData()) != 0) {
        QFile::remove(building);
        return RunError::make(RunError::PathFileAccess, BackupPath(storePath, 1));
    }
    return {};
}

} // namespace PhotoBackups
