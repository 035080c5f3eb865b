#include "sessionend.h"

#include "forms.h"
#include "interaction.h"
#include "session.h"
#include "termsignal.h"
#include "unsavedpictures.h"

#include <QGuiApplication>
#include <QSessionManager>

namespace SessionEnd {

void Install(QGuiApplication& app)
{
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [](QSessionManager& manager) {
        const bool mayAsk = manager.allowsInteraction();
        const bool mayEnd = CommitData(mayAsk);
        if (mayAsk)
            manager.release();
        if (!mayEnd)
            manager.cancel();
    });
    TermSignal::Catch(&Terminated);
}

bool CommitData(bool mayAsk)
{
    if (!mayAsk) {
        UnsavedPictures::Keep();
        return true;
    }
    return Forms::QueryUnloadAll();
}

void Terminated()
{
    UnsavedPictures::Keep();
    EndProgram();
}

} // namespace SessionEnd
