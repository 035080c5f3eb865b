#include "slotdrop.h"

#include "albumguard.h"
#include "clipboardpicture.h"
#include "fitting.h"
#include "frmpage1.h"
#include "interaction.h"
#include "pageloader.h"
#include "picturebox.h"
#include "session.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>

SlotDrop::SlotDrop(FrmPage1& page, const QList<PictureBox*>& boxes) : QObject(&page), m_page(page), m_slots(boxes)
{
    for (PictureBox* slot : m_slots) {
        slot->setAcceptDrops(true);
        slot->installEventFilter(this);
    }
}

bool SlotDrop::MayHoldPicture(const QMimeData* data)
{
    if (!data)
        return false;
    if (data->hasUrls() || data->hasImage())
        return true;
    for (const QString& format : data->formats()) {
        if (format.startsWith(QLatin1String("image/")))
            return true;
    }
    return false;
}

void SlotDrop::Drop(int slot, const QMimeData* data)
{
    Apply(slot, ClipboardPicture::FromData(data, SlotPixels(), SlotPixelRatio()));
}

void SlotDrop::Apply(int slot, const Pictures::LoadResult& dropped)
{
    PictureBox* box = m_page.Image1(slot);
    if (!box || slot > 11 || m_page.editMode != QLatin1String("0"))
        return;
    if (SuppliedAlbumRefuses())
        return;
    if (dropped.error.failed()) {
        // What is not a picture is told as a chosen file is; the slot stays as it was.
        MsgBox(QStringLiteral("The file selected is not a picture file"), vbOKOnly, QStringLiteral("ERROR"));
        return;
    }
    box->SetPicture(dropped.picture);
    FitSlotPicture(*box, std::int16_t(slot));
    box->Tag = QStringLiteral("1");
    session.albumChanged = 1;
}

bool SlotDrop::eventFilter(QObject* watched, QEvent* event)
{
    const int slot = int(m_slots.indexOf(static_cast<PictureBox*>(watched)));
    if (slot < 0)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (m_page.editMode == QLatin1String("0") && MayHoldPicture(drag->mimeData()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        // The offer is read while the other program still gives it; the slot takes it (or a
        // message is shown) once the drop is answered, so no question keeps that program waiting.
        if (m_page.editMode != QLatin1String("0")) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        const Pictures::LoadResult dropped =
            ClipboardPicture::FromData(drop->mimeData(), SlotPixels(), SlotPixelRatio());
        QTimer::singleShot(0, this, [this, slot, dropped] { Apply(slot, dropped); });
        return true;
    }
    default:
        return false;
    }
}
