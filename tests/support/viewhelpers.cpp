#include "viewhelpers.h"

#include "fitting.h"
#include "forms.h"
#include "frmdisplaypicture.h"
#include "picturebox.h"
#include "screennames.h"
#include "session.h"
#include "testpictures.h"

#include <QApplication>
#include <QWheelEvent>

namespace ViewHelpers {

const QList<std::pair<QString, QImage>>& SteppingAlbum()
{
    static const QList<std::pair<QString, QImage>> pictures{
        {QStringLiteral("P1I2.bmp"), TestPictures::Photo(40, 30, 1)},
        {QStringLiteral("P1I7.bmp"), TestPictures::Photo(42, 30, 2)},
        {QStringLiteral("P2I0.bmp"), TestPictures::Photo(44, 30, 3)},
        {QStringLiteral("P4I11.bmp"), TestPictures::Photo(46, 30, 4)},
    };
    return pictures;
}

void Wheel(QWidget* on, QPointF at, int notches, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent wheel(at, on->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(on, &wheel);
}

void ShowFitted(const Picture& picture)
{
    auto* view = Forms::Get<FrmDisplayPicture>(Screen::DisplayPicture);
    PictureBox* img1 = view->img1();
    img1->SetStretch(false);
    view->SetPictureFrom(picture);
    session.picWidth = img1->Width();
    session.picHeight = img1->Height();
    FitViewPicture(*img1);
    img1->SetStretch(true);
    view->Show();
}

} // namespace ViewHelpers
