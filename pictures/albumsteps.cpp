#include "albumsteps.h"

namespace AlbumSteps {

std::optional<Place> Find(Place from, Step step, const std::function<bool(int page, int slot)>& filled)
{
    constexpr int count = Pages * SlotsPerPage;
    const int at = (from.page - 1) * SlotsPerPage + from.slot;
    int index = 0, by = 1;
    switch (step) {
    case Step::Next: index = at + 1; break;
    case Step::Previous: index = at - 1; by = -1; break;
    case Step::First: index = 0; break;
    case Step::Last: index = count - 1; by = -1; break;
    }
    for (; index >= 0 && index < count; index += by) {
        const Place place{index / SlotsPerPage + 1, index % SlotsPerPage};
        if (filled(place.page, place.slot))
            return place;
    }
    return std::nullopt;
}

QString Line(const QString& albumName, Place place, const std::optional<PictureNote>& note)
{
    QString line = QStringLiteral("%1, page %2, picture %3").arg(albumName.trimmed()).arg(place.page).arg(place.slot);
    if (!note)
        return line;
    const QString date = note->date.trimmed(), description = note->description.simplified();
    if (!date.isEmpty())
        line += QStringLiteral(", ") + date;
    if (!description.isEmpty())
        line += QStringLiteral(": ") + description;
    return line;
}

} // namespace AlbumSteps
