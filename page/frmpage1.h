#pragma once

#include "elementscreens.h"
#include "form.h"

#include <array>
#include <memory>

class PageForView;
class PictureBatch;
struct Picture;
struct RunError;
class PictureBox;
class SlotDrop;
class SlotFocus;
class QLabel;
class QPushButton;

// The page screen: one page of twelve picture slots, in page units of 20
// twips. The whole page is scaled uniformly to fill the window; every place
// and size the code sets and reads stays in page units.
class FrmPage1 final : public Form, public SlotScreen {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmPage1)
public:
    FrmPage1();
    ~FrmPage1() override;

    void Form_Load() override;

    PictureBox* Image1(int index) override;
    QLabel* Label1(int index);

    // Page menu: go to page n (the family mnuP1_Click .. mnuP10_Click).
    void mnuP_Click(int n);
    void mnuPU_Click();
    void mnuPD_Click();
    void Image1_MouseDown(int index, Qt::MouseButton button);
    void mnuOptions_Click();
    void mnuop_Click();
    void mnuDeleteAlbum_Click();
    // The editing modes: each starts from the Edit menu and ends with the next left click on a slot.
    void mnuAddPicture_Click();
    void mnuDeletePicture_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    void cmdCancelAddDelete_Click();
    // Several files added at once (chosen together, or dropped): `slot` and the empty slots after
    // it, then, after the question and the page change's save check, the next pages' empty slots.
    // The pictures are made ready off the UI thread and go in, in order, as each is ready; the
    // window answers meanwhile. More than twelve show the progress screen, with Cancel.
    void AddPictures(int slot, QStringList files);
    // True while several pictures are going in.
    bool AddingPictures() const { return m_batch != nullptr; }
    // Stops adding: the slots filled so far stay, nothing more goes in.
    void CancelAdding();
    void mnuSaveAlbum_Click();
    void mnuMin_Click();
    void mnuHelp_Click();
    void cmdExit_Click();
    void mnuExit_Click();

    // newAlbumName holds this while no album name has been asked for.
    static const QString NoNameMarker;

    // "0" normal, "1" add, "2" delete, "3" copy, "4" paste.
    QString editMode = QStringLiteral("0");

    QLabel* lblAddDelIns = nullptr;
    QPushButton* cmdCancelAddDelete = nullptr;
    QPushButton* cmdExit = nullptr;

    // The page's extent in page units.
    static constexpr double PageWidth = 468;
    static constexpr double PageHeight = 345;
    // Where the cancel button of the editing modes stands (page units).
    static constexpr double CancelButtonTop = 6;

    // Every way the page screen goes (closing its window, the options screen
    // coming forward, the end of the program) runs the save check first; a
    // page that could not be written stays loaded.
    bool Form_QueryUnload() override;

    SlotFocus* SlotKeys() const { return m_slotFocus; }
    SlotDrop* SlotDrops() const { return m_slotDrop; }

protected:
    // Page Up / Right and Page Down / Left, Home and End, and the mouse wheel turn
    // pages through the menu handlers, while the menus they stand for are enabled
    // (Right and Left only while no slot has the keyboard: then they move between slots).
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void createSlots();
    void createMenus();
    void GoToPage();
    void PageChange();
    // Names and describes every slot for screen readers, once the handler that changed them has run.
    void DescribeSlotsSoon();
    void DescribeSlots();
    void ImgRep(int slot);
    // The save check before a page change; false when the page must stay (its pictures could not be written).
    // `leaving`: the page screen is about to go, so the slots are not refilled afterwards, and
    // Cancel at a new album's name keeps the page (a page turn goes on without saving).
    bool ChPgSave(bool leaving = false);
    void SavePage();
    // The save check before the page screen is left; once the user has
    // decided (saved, or No), the page counts as unchanged. False when the page must stay.
    bool MayLeave();
    void AddDelOnMsgCor();
    void EndAddDelete();
    void CorDel(int slot);
    void AddPicture(int slot);
    // One file into `slot` as an add does it; false (after its message) when it holds no picture.
    // `nameIt`: one of several, so the message names the file.
    bool PlaceFile(int slot, const QString& path, bool nameIt);
    // A picture made ready for `slot` goes in as an add puts it; false (after its message) when
    // it holds none.
    bool PlaceLoaded(int slot, const QString& path, const Picture& picture, const RunError& error, bool nameIt);
    void PictureReady(int index, const Picture& picture, const RunError& error);
    // The page is full while pictures remain: the next page after the question and the save check.
    void PageFull();
    void ShowAddingProgress();
    void HideAddingProgress();
    void PastePicture(int slot);
    void DeletePicture(int slot);
    void ButtonTwo(int slot);
    // The view shows the slot's picture, fitted; shared by both mouse buttons.
    void PrepareView(int slot);

    std::array<PictureBox*, 13> m_images{};
    std::array<QLabel*, 12> m_labels{};
    std::array<QWidget*, 12> m_frames{};
    SlotFocus* m_slotFocus = nullptr; // the keyboard on the slots
    SlotDrop* m_slotDrop = nullptr;   // pictures dropped from other programs
    std::unique_ptr<PageForView> m_forView; // what the full-size view steps through
    PictureBatch* m_batch = nullptr; // the pictures going in, while they do
    QList<int> m_targets;            // the slots they take on this page, in order
    int m_target = 0;                // the next of them
    int m_wheel = 0; // wheel turn not yet spent on a page
    bool m_describing = false;
};
