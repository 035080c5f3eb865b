#pragma once

#include "elementscreens.h"

class FrmPage1;

// The page screen as the full-size view sees it: the album's filled slots, the page change
// through the page menu (save check first), and the notes about a picture.
class PageForView final : public AlbumOnView {
public:
    explicit PageForView(FrmPage1& page) : m_page(page) {}

    int PageShown() const override;
    bool Filled(int page, int slot) override;
    bool TurnTo(int page) override;
    Picture SlotPicture(int slot) override;
    std::optional<PictureNote> NoteOf(int slot) override;
    Picture PictureAt(int page, int slot) override;
    void BackAt(int slot) override;

private:
    static QString storedFile(int page, int slot);

    FrmPage1& m_page;
};
