#pragma once

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
