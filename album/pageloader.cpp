#include "pageloader.h"

#include "albumdeletion.h"
#include "albumpaths.h"
#include "elementscreens.h"
#include "fileops.h"
#include "fitting.h"
#include "forms.h"
#include "frmpbar3.h"
#include "pageprefetch.h"
#include "pagereadahead.h"
#include "pagewriter.h"
#include "picturebox.h"
#include "screennames.h"
#include "session.h"
#include "thumbnailcache.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include <array>
#include <cstdlib>
#include <optional>

namespace {

constexpr std::array<int, 11> Progress{8, 16, 24, 33, 41, 50, 58, 66, 75, 83, 91};

// The twelve slot files of `page` ("1" to "10") in the open album.
QStringList pageFiles(const QString& page)
{
    return PageFiles(session.albumFilePrefix, page);
}

} // namespace

QStringList PageFiles(const QString& albumFilePrefix, const QString& page)
{
    QStringList files;
    for (int s = 0; s <= 11; ++s)
        files << albumFilePrefix + page + QStringLiteral("I") + QString::number(s) + QStringLiteral(".bmp");
    return files;
}

// The slot's size on the page screen as shown full-screen, at the screen's pixel ratio.
QSize SlotPixels()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize area = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    const qreal dpr = screen ? screen->devicePixelRatio() : 1.0;
    const double unit = std::min(area.width() / 468.0, area.height() / 345.0);
    const int side = std::max(32, int(std::ceil(Fitting::SlotSide * unit * dpr)));
    return {side, side};
}

qreal SlotPixelRatio()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

int SlotProgress(int slot)
{
    return slot >= 0 && slot < int(Progress.size()) ? Progress[std::size_t(slot)] : 100;
}

void LoadPage(SlotScreen& pageScreen, const QString& page)
{
    auto* bar = Forms::Get<FrmPbar3>(Screen::Pbar3);
    if (bar) {
        bar->Show();
        bar->lblTitle->setText(QStringLiteral("Loading"));
        bar->lblAName->setText(session.albumFolderName);
        bar->lblSloc->setText(QStringLiteral("Page ") + session.pageNr);
        bar->SetProgress(0);
        bar->Refresh();
    }
    Forms::Hide(Screen::SelectAlbum1);
    if (bar)
        bar->Refresh();
    Forms::Hide(Screen::Option1);
    // A save or a picture delete killed part-way is finished or undone now,
    // and the hidden files it left go.
    if (session.albumFilePrefix.endsWith(QStringLiteral("/P"))) {
        PageWriter::RemoveLeftovers(session.albumFilePrefix.chopped(2));
        FinishInterruptedPictureDeletes(session.albumFilePrefix.chopped(2));
    }

    // Every slot's picture is decoded ahead on the worker threads (or was read ahead
    // while the user looked at another page); the slots are still filled, and the
    // progress counted, one after the other.
    const QStringList files = pageFiles(page);
    const QSize box = SlotPixels();
    const qreal dpr = SlotPixelRatio();
    PageReadAhead& ahead = PageReadAhead::Instance();
    ahead.Pause();
    PagePrefetch::Ready ready(std::size_t(files.size()));
    for (qsizetype s = 0; s < files.size(); ++s)
        ready[std::size_t(s)] = ahead.TakeRead(files[s], box, dpr);
    PagePrefetch prefetch(files, box, dpr, std::move(ready));
    Pictures::LoadResult placeholder = Pictures::LoadPicture(
        AlbumPaths::InProgramFolder(session.appPath, ProgramFiles::EmptyPicture), box, dpr);
    if (placeholder.error.failed()) // never the previous page's picture under this page's label
        placeholder.picture = Pictures::DrawnPlaceholder(box, dpr, false);
    std::optional<Picture> unreadable; // drawn once, when a page first needs it

    for (std::int16_t s = 0; s <= 11; ++s) {
        PictureBox* slot = pageScreen.Image1(s);
        slot->SetPicture(placeholder.picture);
        slot->Move(Fitting::SlotLeft(s), Fitting::SlotTop(s), Fitting::SlotSide, Fitting::SlotSide);
        const Pictures::LoadResult loaded = prefetch.take(s);
        if (!loaded.error.failed()) {
            slot->SetPicture(loaded.picture);
            FitSlotPicture(*slot, s);
            const QSize painted = (QSizeF(slot->size()) * slot->devicePixelRatioF()).toSize();
            prefetch.painted(s, loaded.picture, painted);
            ahead.LearnPaintedSize(*slot->parentWidget(), box, dpr, s, loaded.picture.natural, painted);
            slot->Tag = QStringLiteral("1");
        } else {
            if (loaded.error.number != RunError::FileNotFound) {
                // A file is there but cannot be shown: not an empty slot to fill and save over unseen.
                if (!unreadable)
                    unreadable = Pictures::DrawnPlaceholder(box, dpr, true);
                slot->SetPicture(*unreadable);
                slot->Problem = files[s] + QStringLiteral("\r\n") + loaded.error.description;
            }
            slot->Tag = QStringLiteral("0");
        }
        if (bar && s <= 10) {
            bar->SetProgress(SlotProgress(s));
            bar->Refresh();
        }
    }
    if (bar) {
        bar->SetProgress(100);
        bar->Refresh();
    }
    ahead.Keep(prefetch.takeToKeep());
    // The next page is the likeliest: read into memory.
    const int number = page.toInt();
    QList<QStringList> neighbours;
    if (number >= 1 && number < 10)
        neighbours << pageFiles(QString::number(number + 1));
    // Without a thumbnail cache to write, memory is all there is: the previous page too (most
    // often the page the user came from), so that turning back is as quick as turning on.
    if (!ThumbnailCache::Shared().writable() && number > 1 && number <= 10)
        neighbours << pageFiles(QString::number(number - 1));
    // Then every other page into the thumbnail cache only, from which a turn is about as quick:
    // the first and the last page (one key away, Home and End), the previous one (most often
    // the page the user came from, already there), then the others, nearest first. A page at
    // the far end is in the cache after two pages' reading, even on a busy machine.
    QList<int> others;
    for (const int end : {1, 10})
        if (std::abs(end - number) > 1)
            others << end;
    if (number > 1 && number <= 10 && !others.contains(number - 1))
        others << number - 1;
    for (int distance = 2; distance <= 9; ++distance)
        for (const int other : {number + distance, number - distance})
            if (other >= 1 && other <= 10 && !others.contains(other))
                others << other;
    QList<QStringList> rest;
    for (const int other : others)
        rest << pageFiles(QString::number(other));
    ahead.Want(neighbours, box, dpr, rest);
}

void ShowWrenAlbum(SlotScreen& pageScreen)
{
    const QString folder = AlbumPaths::InProgramFolder(session.appPath, ProgramFiles::SuppliedAlbum);
    if (Files::ChDir(folder).failed())
        return;
    session.albumFilePrefix = folder + QStringLiteral("/P");
    session.albumFolderName = ProgramFiles::SuppliedAlbum;
    LoadPage(pageScreen, QStringLiteral("1"));
    session.albumName = ProgramFiles::SuppliedAlbum;
    Forms::Hide(Screen::Pbar3);
}
