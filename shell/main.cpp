#include "forms.h"
#include "interaction.h"
#include "pagereadahead.h"
#include "photobackups.h"
#include "program.h"
#include "programfolder.h"
#include "sessionend.h"
#include "startup.h"
#include "thumbnailcache.h"
#include "unsavedpictures.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {

bool desktopAvailable()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true; // the caller chose a platform on purpose
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (display && *display) || (wayland && *wayland);
}

} // namespace

int main(int argc, char** argv)
{
    if (!desktopAvailable()) {
        std::fputs("Quillbook needs a desktop session to show its windows.\n"
                   "Start it from a desktop, or without one under a virtual display:\n"
                   "    xvfb-run -a -s '-screen 0 1920x1080x24' quillbook\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbook"));
    QApplication::setOrganizationName(QStringLiteral("Quillbook"));
    // Hidden screens stay loaded for the whole run; the program ends through
    // the exit question or when the user closes the last visible window.
    QApplication::setQuitOnLastWindowClosed(false);

    // The program folder: never the home folder or any folder that is not a program folder.
    const ProgramFolder::Choice choice = ProgramFolder::Choose(QApplication::arguments(), QDir::currentPath());
    QString problem = choice.problem;
    if (problem.isEmpty())
        ProgramFolder::LayOut(choice.folder, ProgramFolder::InstalledData(), &problem);
    if (problem.isEmpty() && !QDir::setCurrent(choice.folder))
        problem = QStringLiteral("The program folder \"%1\" cannot be opened.").arg(choice.folder);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "Quillbook: %s\n", qPrintable(problem));
        // On a screen the user sees, not only on a terminal (a platform that shows nothing only prints).
        const QString platform = QGuiApplication::platformName();
        if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
            MsgBox(QString(problem).replace(u'\n', QStringLiteral("\r\n")), vbOKOnly | vbCritical);
        return 1;
    }

    // The supplied album's first copy reads the installed pictures where they are.
    SetSuppliedPictures(ProgramFolder::InstalledData());
    RegisterScreens();
    Forms::EndWhenNothingOnView(true);
    // The desktop session's end and SIGTERM lose nothing (see SessionEnd).
    SessionEnd::Install(app);
    // Thumbnails shared with the desktop (none without a home folder), and
    // neighbour pages read while the user looks.
    if (const QString cache = ProgramFolder::CacheHome(); !cache.isEmpty())
        ThumbnailCache::UseShared(cache + QStringLiteral("/thumbnails"));
    PageReadAhead::Instance().SetEnabled(true);
    RunProgram();
    const int code = QApplication::exec();
    // Ended by the session manager without a question: the unsaved pictures wait for the next start.
    UnsavedPictures::Keep();
    PageReadAhead::Instance().Shutdown();
    PhotoBackups::StopBackground(); // a backup not yet whole leaves the kept ones as they were
    return code;
}
