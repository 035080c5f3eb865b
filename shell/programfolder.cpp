#include "programfolder.h"

#include "fileops.h"
#include "screennames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ProgramFolder {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// $name when it is an absolute path, else $HOME + fallback; empty when neither.
QString baseFolder(const char* name, const QString& fallback)
{
    const QString set = qEnvironmentVariable(name);
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return QDir::cleanPath(set);
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty() || !QDir::isAbsolutePath(home))
        return {};
    return QDir::cleanPath(home + fallback);
}

// Makes `folder` and every missing folder above it, each the owner's alone;
// those it made are added to `made`, the outermost first.
RunError makePrivatePath(const QString& folder, QStringList* made)
{
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    struct stat st {};
    if (::stat(native(clean).constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? RunError{} : RunError::make(RunError::FileAlreadyExists);
    const QString parent = QFileInfo(clean).path();
    if (parent != clean) {
        if (const RunError e = makePrivatePath(parent, made); e.failed())
            return e;
    }
    const RunError e = Files::MkDir(clean, 0700);
    if (!e.failed())
        *made << clean;
    return e.number == RunError::PathFileAccess ? RunError{} : e; // made meanwhile by another program
}

bool isProgramFolder(const QString& folder)
{
    return QFileInfo::exists(folder + u'/' + ProgramFiles::EmptyPicture) ||
           QFileInfo::exists(folder + u'/' + ProgramFiles::PhotoDatabase);
}

// The photo data file is copied under a passing name, made the owner's alone
// (where the file system keeps owners' modes), then put into place: never over
// a file that is there.
RunError copyPrivately(const QString& source, const QString& target)
{
    const QString building = target + QStringLiteral(".new-%1").arg(::getpid());
    QFile::remove(building);
    RunError e = Files::FileCopy(source, building);
    if (!e.failed())
        e = Files::SetPrivateMode(building, 0600);
    if (e.failed()) {
        QFile::remove(building);
        return e;
    }
    e = Files::PlaceNew(building, target);
    return e.number == RunError::FileAlreadyExists ? RunError{} : e; // laid out meanwhile by another start
}

} // namespace

QString DataHome()
{
    return baseFolder("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

QString CacheHome()
{
    return baseFolder("XDG_CACHE_HOME", QStringLiteral("/.cache"));
}

QString UserFolder()
{
    const QString base = DataHome();
    return base.isEmpty() ? QString() : base + QStringLiteral("/Quillbook");
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
        const QString folder = QDir(arguments[at + 1]).absolutePath();
        const QFileInfo info(folder);
        if (info.exists() && !info.isDir())
            return {{}, QStringLiteral("\"%1\" is not a folder, so it cannot be the program folder.").arg(folder)};
        if (info.isDir() && !QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System) &&
            !isProgramFolder(folder))
            return {{},
                    QStringLiteral("The folder \"%1\" holds other files and is not a program folder "
                                   "(it has no \"%2\" and no \"%3\"), so Quillbook leaves it as it is.\n"
                                   "Choose a new or empty folder, or a program folder, with --program-folder.")
                        .arg(folder, ProgramFiles::EmptyPicture, ProgramFiles::PhotoDatabase)};
        return {folder, {}};
    }
    if (QFileInfo::exists(currentFolder + u'/' + ProgramFiles::EmptyPicture))
        return {currentFolder, {}};
    const QString user = UserFolder();
    if (user.isEmpty())
        return {{},
                QStringLiteral("HOME is not set, so Quillbook has no folder of its own to keep albums and notes in.\n"
                               "Set HOME to your home folder, or choose a program folder with --program-folder.")};
    return {user, {}};
}

bool LayOut(const QString& folder, const QString& data, QString* problem)
{
    // What this call makes; taken away again when the folder cannot be laid
    // out whole, so a failed start leaves nothing half laid out behind.
    QStringList made;
    const auto fail = [&made, problem](const QString& why) {
        for (auto it = made.crbegin(); it != made.crend(); ++it) {
            if (::unlink(native(*it).constData()) != 0)
                ::rmdir(native(*it).constData());
        }
        *problem = why;
        return false;
    };
    if (const RunError e = makePrivatePath(folder, &made); e.failed())
        return fail(QStringLiteral("The program folder \"%1\" cannot be made: %2").arg(folder, e.description));
    if (data.isEmpty() || QDir(data).absolutePath() == QDir(folder).absolutePath())
        return true;
    // The supplied pictures are read where they are installed (start-up copies them into
    // the supplied album once): only what the user's folder needs of its own is copied.
    const QStringList names{ProgramFiles::EmptyPicture, ProgramFiles::PhotoDatabase};
    for (const QString& name : std::as_const(names)) {
        const QString target = folder + u'/' + name;
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink() || !QFileInfo::exists(data + u'/' + name))
            continue; // never over anything that is there
        const RunError e = name == ProgramFiles::PhotoDatabase ? copyPrivately(data + u'/' + name, target)
                                                               : Files::FileCopy(data + u'/' + name, target);
        if (e.failed())
            return fail(QStringLiteral("\"%1\" cannot be laid out: %2").arg(target, e.description));
        made << target;
    }
    return true;
}

} // namespace ProgramFolder
