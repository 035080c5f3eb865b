#pragma once

#include "elementscreens.h"

#include <QString>

#include <functional>
#include <optional>

// Stepping through an album's pictures in the full-size view, and the line that says what it shows.
namespace AlbumSteps {

inline constexpr int Pages = 10;
inline constexpr int SlotsPerPage = 12;

struct Place {
    int page = 1; // 1..10
    int slot = 0; // 0..11
    bool operator==(const Place&) const = default;
};

enum class Step { Next, Previous, First, Last };

// The filled slot `step` leads to from `from`, across pages, empty slots skipped; nothing
// when there is none (the last picture has no next one).
std::optional<Place> Find(Place from, Step step, const std::function<bool(int page, int slot)>& filled);

// "Trip, page 3, picture 5", with the note's date and description when it has one.
QString Line(const QString& albumName, Place place, const std::optional<PictureNote>& note);

} // namespace AlbumSteps
