// Several pictures added at once (chosen together, or dropped together): each
// is made ready off the UI thread and goes into the clicked slot and the empty
// slots after it, in order, then, after a question and the page's save check,
// into the next pages' empty slots. The window answers throughout; more than a
// page's worth shows the progress screen, whose Cancel stops at once.
#include "forms.h"
#include "frmpage1.h"
#include "frmpbar3.h"
#include "interaction.h"
#include "manypictures.h"
#include "pageloader.h"
#include "picturebatch.h"
#include "picturebox.h"
#include "screennames.h"
#include "session.h"
#include "val.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

namespace {

// More files than a page holds: the progress screen counts them.
constexpr int ProgressAbove = 12;

QStringList slotTags(FrmPage1& page)
{
    QStringList tags;
    for (int s = 0; s <= 11; ++s)
        tags << page.Image1(s)->Tag;
    return tags;
}

} // namespace

void FrmPage1::AddPictures(int slot, QStringList files)
{
    if (m_batch || files.isEmpty())
        return;
    // The add mode's menus stay off until the last picture is in: no page turn, no other edit.
    editMode = QStringLiteral("1");
    AddDelOnMsgCor();
    cmdCancelAddDelete->setText(QStringLiteral("Cancel Add"));
    cmdCancelAddDelete->show();
    lblAddDelIns->show();
    m_targets = ManyPictures::TargetSlots(slotTags(*this), slot);
    m_target = 0;
    m_batch = new PictureBatch(std::move(files), SlotPixels(), SlotPixelRatio(), this);
    connect(m_batch, &PictureBatch::Ready, this,
            [this](int index, const Pictures::LoadResult& loaded) { PictureReady(index, loaded.picture, loaded.error); });
    ShowAddingProgress();
    m_batch->Start();
}

void FrmPage1::PictureReady(int index, const Picture& picture, const RunError& error)
{
    const QString path = m_batch->Files()[index];
    if (error.failed()) {
        // Told, then skipped: the next file takes the slot. Nothing else goes in meanwhile.
        m_batch->Hold();
        PlaceLoaded(m_targets[m_target], path, picture, error, true);
        if (!m_batch)
            return; // stopped while the message was open
        m_batch->Resume();
    } else {
        PlaceLoaded(m_targets[m_target++], path, picture, error, true);
    }
    ShowAddingProgress();
    if (m_batch->HandedOver() == m_batch->Count())
        CancelAdding(); // all in
    else if (m_target >= m_targets.size())
        PageFull();
}

void FrmPage1::PageFull()
{
    m_batch->Hold();
    HideAddingProgress();
    const int left = m_batch->Count() - m_batch->HandedOver();
    const int page = int(Val(session.pageNr));
    if (page >= 10) {
        MsgBox(ManyPictures::LeftOutMessage(left), vbOKOnly | vbInformation, QStringLiteral("ADD PICTURES"));
        CancelAdding();
        return;
    }
    if (MsgBox(ManyPictures::DidNotFitQuestion(left, page), vbYesNo | vbQuestion, QStringLiteral("ADD PICTURES")) !=
        vbYes) {
        CancelAdding();
        return;
    }
    // The page change's own save check (naming a new album); Cancel at the name or a failed
    // save keeps the page, as filled. Then the page change, which has nothing left to ask.
    if (!MayLeave()) {
        CancelAdding();
        return;
    }
    mnuP_Click(page + 1);
    if (int(Val(session.pageNr)) != page + 1 || !m_batch) {
        CancelAdding(); // the page stayed (its save failed, or the new album got no name)
        return;
    }
    AddDelOnMsgCor(); // the page turn enabled its menus again
    m_targets = ManyPictures::TargetSlots(slotTags(*this), -1);
    m_target = 0;
    if (m_targets.isEmpty()) {
        PageFull();
        return;
    }
    ShowAddingProgress();
    m_batch->Resume();
}

void FrmPage1::CancelAdding()
{
    if (!m_batch)
        return;
    // Loads under way are abandoned, not waited for; what they made is freed where they end.
    m_batch->Cancel();
    m_batch->deleteLater(); // this may run inside its own signal
    m_batch = nullptr;
    HideAddingProgress();
    EndAddDelete();
}

void FrmPage1::ShowAddingProgress()
{
    if (!m_batch)
        return;
    const int done = m_batch->HandedOver();
    const int count = m_batch->Count();
    lblAddDelIns->setText(QStringLiteral("Adding pictures: %1 of %2").arg(done).arg(count));
    auto* bar = count > ProgressAbove ? Forms::Get<FrmPbar3>(Screen::Pbar3) : nullptr;
    if (!bar)
        return;
    if (!bar->cmdCancel->isVisible()) {
        bar->Show();
        bar->lblTitle->setText(QStringLiteral("Adding Pictures"));
        bar->lblAName->setText(session.albumName);
        bar->cmdCancel->setEnabled(true);
        bar->cmdCancel->show();
        bar->SetCancelButton(bar->cmdCancel);
        bar->SetDefaultButton(bar->cmdCancel);
        connect(bar->cmdCancel, &QPushButton::clicked, this, &FrmPage1::CancelAdding, Qt::UniqueConnection);
        bar->cmdCancel->setFocus();
    } else if (Forms::Front() != bar) {
        // The window system handed the focus back to the page (a question closed over it):
        // the progress screen, and its Cancel on the keyboard, stay in front.
        bar->Show();
    }
    bar->lblSloc->setText(QStringLiteral("Page ") + session.pageNr);
    bar->SetProgress(done * 100 / count);
}

void FrmPage1::HideAddingProgress()
{
    auto* bar = Forms::Get<FrmPbar3>(Screen::Pbar3);
    if (!bar || !bar->cmdCancel->isEnabled())
        return;
    disconnect(bar->cmdCancel, nullptr, this, nullptr);
    bar->cmdCancel->hide();
    bar->cmdCancel->setEnabled(false);
    bar->SetCancelButton(nullptr);
    bar->SetDefaultButton(nullptr);
    Forms::Hide(Screen::Pbar3);
}
