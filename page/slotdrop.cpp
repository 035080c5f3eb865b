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
#include <QUrl>

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

QStringList SlotDrop::LocalFiles(const QMimeData* data)
{
    QStringList files;
    if (data && data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile())
                files << url.toLocalFile();
        }
    }
    return files;
}

void SlotDrop::Drop(int slot, const QMimeData* data)
{
    if (const QStringList files = LocalFiles(data); files.size() > 1) {
        ApplyMany(slot, files);
        return;
    }
    Apply(slot, ClipboardPicture::FromData(data, SlotPixels(), SlotPixelRatio()));
}

bool SlotDrop::MayTake(int slot)
{
    if (!m_page.Image1(slot) || slot > 11 || m_page.editMode != QLatin1String("0"))
        return false;
    return !SuppliedAlbumRefuses();
}

void SlotDrop::ApplyMany(int slot, const QStringList& files)
{
    if (MayTake(slot))
        m_page.AddPictures(slot, files);
}

void SlotDrop::Apply(int slot, const Pictures::LoadResult& dropped)
{
    if (!MayTake(slot))
        return;
    PictureBox* box = m_page.Image1(slot);
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
        // Several files are read one by one as they go in, like several chosen files.
        if (const QStringList files = LocalFiles(drop->mimeData()); files.size() > 1) {
            QTimer::singleShot(0, this, [this, slot, files] { ApplyMany(slot, files); });
            return true;
        }
        const Pictures::LoadResult dropped =
            ClipboardPicture::FromData(drop->mimeData(), SlotPixels(), SlotPixelRatio());
        QTimer::singleShot(0, this, [this, slot, dropped] { Apply(slot, dropped); });
        return true;
    }
    default:
        return false;
    }
}
