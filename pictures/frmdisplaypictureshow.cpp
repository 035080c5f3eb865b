// The full-size view's slide show and its read-ahead of the pictures next to the one shown.
#include "frmdisplaypicture.h"

#include "fitting.h"
#include "forms.h"
#include "picturebox.h"
#include "session.h"
#include "slideshow.h"
#include "viewreadahead.h"

#include <QLabel>
#include <QTimer>

#include <cmath>

namespace {
// How long a notice (the slide show's pace) stays on the line over the picture.
constexpr int NoticeMilliseconds = 2500;

// The device pixels a picture of `natural` size takes in a view whose inner area is `inner`:
// FitViewPicture's arithmetic in the same float steps, then the canvas's rounding to pixels.
// Were it a pixel off, the picture element would only scale the picture once more.
QSize shownPixels(QSize natural, QSize inner, qreal dpr)
{
    if (natural.isEmpty() || inner.isEmpty())
        return {};
    const float picWidth = float(natural.width() * (100.0 / inner.width()));
    const float picHeight = float(natural.height() * (100.0 / inner.height()));
    float left = 0, top = 0, width = 0, height = 0;
    if (picWidth > picHeight) {
        width = Fitting::ViewSide;
        height = width * (picHeight / picWidth);
        top = (100.0f - height) / 2.0f;
        left = Fitting::ViewMargin;
    } else {
        height = Fitting::ViewSide;
        width = height * (picWidth / picHeight);
        top = Fitting::ViewMargin;
        left = (100.0f - width) / 2.0f;
    }
    const QRectF units(left, top, width, height);
    const double sx = inner.width() / 100.0, sy = inner.height() / 100.0;
    const long x0 = std::lround(units.left() * sx), x1 = std::lround(units.right() * sx);
    const long y0 = std::lround(units.top() * sy), y1 = std::lround(units.bottom() * sy);
    return (QSizeF(double(x1 - x0), double(y1 - y0)) * dpr).toSize();
}
} // namespace

SlideShow& FrmDisplayPicture::Slides()
{
    if (!m_slides)
        m_slides = new SlideShow(*this, [this] { return slideStep(); }, [this](const QString& text) { Notice(text); });
    return *m_slides;
}

ViewReadAhead& FrmDisplayPicture::ReadAhead()
{
    if (!m_readAhead)
        m_readAhead = std::make_unique<ViewReadAhead>();
    return *m_readAhead;
}

void FrmDisplayPicture::Notice(const QString& text)
{
    if (!m_noticeEnd) {
        m_noticeEnd = new QTimer(this);
        m_noticeEnd->setSingleShot(true);
        connect(m_noticeEnd, &QTimer::timeout, this, [this] {
            m_line->setText(m_description);
            m_line->setVisible(m_lineWanted && !m_description.isEmpty());
        });
    }
    // Shown even while I has hidden the line: the user just asked for what it says.
    m_line->setText(text);
    m_line->show();
    m_line->raise();
    m_noticeEnd->start(NoticeMilliseconds);
}

QSize FrmDisplayPicture::viewBox() const
{
    const qreal dpr = devicePixelRatioF();
    return (QSizeF(Canvas()->size().expandedTo(QSize(640, 480))) * dpr).toSize();
}

bool FrmDisplayPicture::slideStep()
{
    AlbumOnView* walk = album();
    if (!walk || Forms::Front() != this || m_printing)
        return false;
    const AlbumSteps::Place from{walk->PageShown(), session.imageNr};
    const std::optional<AlbumSteps::Place> to =
        AlbumSteps::Find(from, AlbumSteps::Step::Next, [walk](int page, int slot) { return walk->Filled(page, slot); });
    if (!to) {
        // Like a film, the show ends at the album's last picture rather than starting again.
        Notice(QStringLiteral("Slide show ended: this is the album's last picture"));
        return false;
    }
    if (to->page != from.page && session.albumChanged != 0) {
        // Nobody may be watching: the show stops here, and the page's save check asks now.
        Slides().Stop();
        StepTo(AlbumSteps::Step::Next);
        Notice(QStringLiteral("Slide show stopped: page %1 had unsaved changes").arg(from.page));
        return false;
    }
    StepTo(AlbumSteps::Step::Next);
    AlbumOnView* still = album();
    return still && (still->PageShown() != from.page || session.imageNr != from.slot);
}

void FrmDisplayPicture::readAheadFrom(AlbumOnView& walk, AlbumSteps::Place place)
{
    // The next picture first: a slide show and Right go that way.
    QList<Picture> wanted;
    const auto filled = [&walk](int page, int slot) { return walk.Filled(page, slot); };
    for (const AlbumSteps::Step step : {AlbumSteps::Step::Next, AlbumSteps::Step::Previous}) {
        if (const std::optional<AlbumSteps::Place> to = AlbumSteps::Find(place, step, filled))
            wanted.append(walk.PictureAt(to->page, to->slot));
    }
    const QSize inner = Canvas()->size();
    const qreal dpr = devicePixelRatioF();
    ReadAhead().Want(wanted, viewBox(), dpr, [inner, dpr](QSize natural) { return shownPixels(natural, inner, dpr); });
}
