#include "listreadahead.h"

#include "form.h"
#include "forms.h"
#include "pageloader.h"
#include "pagereadahead.h"

#include <QPointer>

void ReadAheadFirstPage(const Form& list, const QString& albumFolder)
{
    if (albumFolder.isEmpty())
        return;
    PageReadAhead::Instance().WantInCache(
        PageFiles(albumFolder + QStringLiteral("/P"), QStringLiteral("1")), SlotPixels(), SlotPixelRatio(),
        [screen = QPointer<const Form>(&list)] {
            return screen && screen->isVisible() && !screen->isMinimized() && Forms::Front() == screen.data();
        });
}
