#include "programfolder.h"

#include "fileops.h"
#include "screennames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ProgramFolder {

QString UserFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Quillbook");
}

QString InstalledData()
{
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QString dir = QCoreApplication::applicationDirPath();
        candidates << dir + QStringLiteral("/../share/quillbook") << dir;
    }
#ifdef QUILL_BUILT_DATA
    candidates << QStringLiteral(QUILL_BUILT_DATA);
#endif
    for (const QString& c : std::as_const(candidates)) {
        if (QFileInfo::exists(c + u'/' + ProgramFiles::EmptyPicture))
            return QDir(c).absolutePath();
    }
    return {};
}

Choice Choose(const QStringList& arguments, const QString& currentFolder)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--program-folder"));
    if (at >= 0) {
        if (at + 1 >= arguments.size() || arguments[at + 1].isEmpty())
            return {{}, QStringLiteral("--program-folder needs a folder.")};
        return {QDir(arguments[at + 1]).absolutePath(), {}};
    }
    if (QFileInfo::exists(currentFolder + u'/' + ProgramFiles::EmptyPicture))
        return {currentFolder, {}};
    return {UserFolder(), {}};
}

bool LayOut(const QString& folder, const QString& data, QString* problem)
{
    if (!QDir().mkpath(folder)) {
        *problem = QStringLiteral("The program folder \"%1\" cannot be made.").arg(folder);
        return false;
    }
    if (data.isEmpty() || QDir(data).absolutePath() == QDir(folder).absolutePath())
        return true;
    // The supplied pictures are read where they are installed (start-up copies them into
    // the supplied album once): only what the user's folder needs of its own is copied.
    const QStringList names{ProgramFiles::EmptyPicture, ProgramFiles::PhotoDatabase};
    for (const QString& name : std::as_const(names)) {
        const QString target = folder + u'/' + name;
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink() || !QFileInfo::exists(data + u'/' + name))
            continue; // never over anything that is there
        if (const RunError e = Files::FileCopy(data + u'/' + name, target); e.failed()) {
            *problem = QStringLiteral("\"%1\" cannot be laid out: %2").arg(target, e.description);
            return false;
        }
    }
    return true;
}

} // namespace ProgramFolder
