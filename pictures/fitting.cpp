#include "fitting.h"

#include "picturebox.h"
#include "session.h"

using Fitting::SlotSide;

namespace {
// The height-to-width ratio of the slot picture being fitted.
float fitRatio = 0.0f;

bool onPage(std::int16_t index)
{
    return index >= 0 && index <= 11;
}
} // namespace

void FitSlotPicture(PictureBox& element, std::int16_t index)
{
    // Not painted while it is placed. Hiding and showing it instead would paint it a second
    // time after the page is painted (a shown child asks for its own repaint later).
    element.setUpdatesEnabled(false);
    element.SetStretch(false);
    const float W = element.Width();
    const float H = element.Height();
    if (H == W) {
        element.SetWidth(SlotSide);
        element.SetHeight(SlotSide);
    } else if (element.Height() > element.Width()) {
        fitRatio = element.Height() / element.Width();
        element.SetHeight(SlotSide);
        element.SetWidth(float(double(SlotSide) / double(fitRatio)));
        PlaceTallSlotPicture(element, index);
    } else if (element.Height() < element.Width()) {
        fitRatio = element.Height() / element.Width();
        element.SetWidth(SlotSide);
        element.SetHeight(float(double(SlotSide) * double(fitRatio)));
        PlaceWideSlotPicture(element, index);
    }
    element.SetStretch(true);
    element.setUpdatesEnabled(true);
    element.SetVisible(true);
}

void PlaceWideSlotPicture(PictureBox& element, std::int16_t index)
{
    if (!onPage(index))
        return;
    if (!(element.Height() < SlotSide))
        return;
    element.SetTop(Fitting::SlotTop(index) + (SlotSide - element.Height()) / 2.0f);
    element.SetLeft(Fitting::SlotLeft(index));
}

void PlaceTallSlotPicture(PictureBox& element, std::int16_t index)
{
    if (!onPage(index))
        return;
    if (!(element.Width() < SlotSide))
        return;
    element.SetLeft(Fitting::SlotLeft(index) + (SlotSide - element.Width()) / 2.0f);
    element.SetTop(Fitting::SlotTop(index));
}

namespace {
// A picture of no size (no picture at all) is fitted as a square, never to a size of NaN or 0.
bool hasNoSize()
{
    return !(session.picWidth > 0) || !(session.picHeight > 0);
}
} // namespace

void FitViewPicture(PictureBox& img1)
{
    if (hasNoSize() || !(session.picWidth > session.picHeight)) {
        FitViewPictureByHeight(img1);
        return;
    }
    const float r = session.picHeight / session.picWidth;
    img1.SetWidth(Fitting::ViewSide);
    img1.SetHeight(img1.Width() * r);
    img1.SetTop((100.0f - img1.Height()) / 2.0f);
    img1.SetLeft(Fitting::ViewMargin);
}

void FitViewPictureByHeight(PictureBox& img1)
{
    const float r = hasNoSize() ? 1.0f : session.picWidth / session.picHeight;
    img1.SetHeight(Fitting::ViewSide);
    img1.SetWidth(img1.Height() * r);
    img1.SetTop(Fitting::ViewMargin);
    img1.SetLeft((100.0f - img1.Width()) / 2.0f);
}
