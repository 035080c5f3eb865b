#pragma once

#include <array>
#include <cstdint>

class PictureBox;

// Fitting a picture into a box with its proportions kept: the twelve slots of
// the page (page units of 20 twips) and the full-size view (100 by 100 units).
// Pictures are enlarged as well as reduced.
namespace Fitting {

inline constexpr float SlotSide = 83.25f;
inline constexpr std::array<float, 4> ColumnLeft{30.0f, 138.0f, 246.0f, 354.0f};
inline constexpr std::array<float, 3> RowTop{24.0f, 126.0f, 228.0f};
inline constexpr float ViewSide = 97.5f;
inline constexpr float ViewMargin = 1.25f;

inline float SlotLeft(int slot) { return ColumnLeft[std::size_t(slot % 4)]; }
inline float SlotTop(int slot) { return RowTop[std::size_t(slot / 4)]; }

} // namespace Fitting

// The fitting procedures on a given element.
void FitSlotPicture(PictureBox& element, std::int16_t index);
void PlaceWideSlotPicture(PictureBox& element, std::int16_t index);
void PlaceTallSlotPicture(PictureBox& element, std::int16_t index);
// Read picWidth and picHeight of the session.
void FitViewPicture(PictureBox& img1);
void FitViewPictureByHeight(PictureBox& img1);
