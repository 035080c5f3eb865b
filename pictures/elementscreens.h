#pragma once

#include <QString>

#include <optional>

class PictureBox;

// What the album code needs of the page screen: its slots. The page screen hands itself in
// as this interface, so code on lower floors fills and reads the slots without linking to the
// page screen or looking it up.
class SlotScreen {
public:
    virtual ~SlotScreen() = default;
    // Image1(0..11) are the page's slots, Image1(12) the hidden spare; nullptr otherwise.
    virtual PictureBox* Image1(int index) = 0;
};

struct Picture;

// A note about a picture, as the line over the full-size view shows it.
struct PictureNote {
    QString date;
    QString description;
};

// What the full-size view needs of the page screen to step through the album. The page screen
// hands itself in as this when it opens the view; the view never looks the page screen up.
class AlbumOnView {
public:
    virtual ~AlbumOnView() = default;
    // The page on screen (1..10).
    virtual int PageShown() const = 0;
    // Whether `slot` of `page` holds a picture: the page on screen as it is now, the others as stored.
    virtual bool Filled(int page, int slot) = 0;
    // Turns to `page` as the page menu does, save check first; false when the page stays.
    virtual bool TurnTo(int page) = 0;
    // The picture of `slot` on the page on screen.
    virtual Picture SlotPicture(int slot) = 0;
    // The first note about `slot` of the page on screen; nothing when it has none.
    virtual std::optional<PictureNote> NoteOf(int slot) = 0;
    // The picture of `slot` of `page`: on the page on screen as it is now, on the others its
    // stored file (read ahead before the step there).
    virtual Picture PictureAt(int page, int slot) = 0;
    // The view goes back to the page showing `slot`: a slot that has the keyboard gives it to that one.
    virtual void BackAt(int slot) = 0;
};
