#pragma once

class PictureBox;

// What the loaders and fitting need of the screens that hold picture
// elements; the screens implement these, so the code here reaches them by
// name through the screens runtime without linking to them.
class SlotScreen {
public:
    virtual ~SlotScreen() = default;
    // Image1(0..11) are the page's slots, Image1(12) the hidden spare; nullptr otherwise.
    virtual PictureBox* Image1(int index) = 0;
};

class ViewScreen {
public:
    virtual ~ViewScreen() = default;
    virtual PictureBox* img1() = 0;
};
