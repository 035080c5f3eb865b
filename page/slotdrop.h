#pragma once

#include "pictureloader.h"

#include <QList>
#include <QObject>
#include <QStringList>

class FrmPage1;
class PictureBox;
class QMimeData;

// Pictures dropped onto a slot from another program (a file manager's
// picture file, or image data): the slot takes it as Paste would, with the
// same guard for the supplied album and the same message for what is not a
// picture. Several files dropped at once fill the slot and the empty slots after
// it, as several chosen files do. Only in the normal mode; nothing is written
// until the page is saved.
class SlotDrop final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SlotDrop)
public:
    SlotDrop(FrmPage1& page, const QList<PictureBox*>& boxes);

    // What a drop of `data` onto `slot` does (the drop event's handler).
    void Drop(int slot, const QMimeData* data);

    // True for an offer that may hold a picture: files or image data.
    static bool MayHoldPicture(const QMimeData* data);
    // The local files of an offer, in its order.
    static QStringList LocalFiles(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether a drop onto `slot` may change it now (normal mode, not the read-only supplied album).
    bool MayTake(int slot);
    void Apply(int slot, const Pictures::LoadResult& dropped);
    void ApplyMany(int slot, const QStringList& files);

    FrmPage1& m_page;
    QList<PictureBox*> m_slots;
};
