#include "unsavedpictures.h"

#include "albumpaths.h"
#include "fileops.h"
#include "fitting.h"
#include "forms.h"
#include "frmpage1.h"
#include "interaction.h"
#include "keptfile.h"
#include "pageloader.h"
#include "picturebox.h"
#include "screennames.h"
#include "session.h"
#include "val.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace UnsavedPictures {
namespace {

struct Kept {
    int slot = -1;
    QString file; // in the kept-files folder
    QString name; // the file it was added from (empty when pasted)
};

struct Record {
    QString path; // the record file
    QString programFolder;
    QString album;
    int page = 0;
    QList<Kept> pictures;
};

QString stemOf(qint64 pid)
{
    return QStringLiteral("unsaved-%1").arg(pid);
}

// A picture file of a record: "unsaved-<pid>-P<page>I<slot>", a PNG with ".png"; nothing else is ever opened.
const QRegularExpression& pictureName()
{
    static const QRegularExpression name(
        QStringLiteral("^unsaved-([1-9][0-9]{0,9})-P([1-9]|10)I([0-9]|1[01])(\\.png)?$"));
    return name;
}

// Removes a record and every picture file of its process.
void discard(const QString& folder, const QString& stem)
{
    QDir dir(folder);
    for (const QString& name : dir.entryList({stem + QStringLiteral("-*")}, QDir::Files | QDir::System))
        dir.remove(name);
    dir.remove(stem + QStringLiteral(".json"));
}

bool processGone(qint64 pid)
{
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Picture files a run left without a record (ended between the two), of processes that are gone.
void sweep(const QString& folder)
{
    QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("unsaved-*")}, QDir::Files | QDir::System)) {
        const QRegularExpressionMatch m = pictureName().match(name);
        if (!m.hasMatch())
            continue;
        const qint64 pid = m.captured(1).toLongLong();
        if (!dir.exists(stemOf(pid) + QStringLiteral(".json")) && processGone(pid))
            dir.remove(name);
    }
}

Record read(const QString& path)
{
    Record r;
    r.path = path;
    QFile file(path);
    if (file.size() > 64 * 1024 || !file.open(QIODevice::ReadOnly))
        return r;
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    r.programFolder = o.value(QLatin1String("programFolder")).toString();
    r.album = o.value(QLatin1String("album")).toString();
    r.page = o.value(QLatin1String("page")).toInt();
    const QString stem = QFileInfo(path).completeBaseName();
    for (const QJsonValue& v : o.value(QLatin1String("pictures")).toArray()) {
        const QJsonObject p = v.toObject();
        Kept k{p.value(QLatin1String("slot")).toInt(-1), p.value(QLatin1String("file")).toString(),
               p.value(QLatin1String("name")).toString()};
        const QRegularExpressionMatch m = pictureName().match(k.file);
        // Only this record's own files, of its page and slot.
        if (m.hasMatch() && k.file.startsWith(stem + u'-') && m.captured(2).toInt() == r.page &&
            m.captured(3).toInt() == k.slot && QFileInfo(QFileInfo(path).dir().filePath(k.file)).isFile())
            r.pictures << k;
    }
    return r;
}

// Where a record's pictures go back: its album when that is still a stored
// album that takes changes, else a new album, named at its first save.
bool albumStillThere(const QString& album)
{
    if (AlbumPaths::IsUnsavedAlbum(album) || !AlbumPaths::IsPlainAlbumName(album))
        return false;
    const QString folder = AlbumPaths::InProgramFolder(session.appPath, album);
    if (!Files::IsRealFolder(folder))
        return false;
    return album != ProgramFiles::SuppliedAlbum ||
           Files::GetAttr(folder).value != Files::Directory + Files::ReadOnly;
}

void restore(const Record& r, bool there)
{
    auto* page = Forms::Get<FrmPage1>(Screen::Page1);
    if (!page)
        return;
    session.albumName = there ? r.album : AlbumPaths::NewAlbum;
    session.pageNr = QStringLiteral("1");
    session.albumChanged = 0;
    if (QAction* deleteAlbum = page->Menu(QStringLiteral("mnuDeleteAlbum")))
        deleteAlbum->setEnabled(there);
    page->Show();
    page->mnuP_Click(r.page);
    const QDir dir = QFileInfo(r.path).dir();
    for (const Kept& k : r.pictures) {
        // A private copy again, nameless as every added picture's.
        Pictures::LoadResult loaded = Pictures::LoadKeptPicture(dir.filePath(k.file), SlotPixels(), SlotPixelRatio());
        if (loaded.error.failed())
            continue;
        loaded.picture.originalName = k.name;
        PictureBox* box = page->Image1(k.slot);
        box->SetPicture(loaded.picture);
        FitSlotPicture(*box, std::int16_t(k.slot));
        box->Tag = QStringLiteral("1");
        session.albumChanged = 1;
    }
}

} // namespace

QString Question(const QString& album, int page)
{
    return QStringLiteral("Pictures added to album %1 page %2 were not saved. Restore them?").arg(album).arg(page);
}

int Keep()
{
    auto* page = Forms::IsLoaded(Screen::Page1) ? Forms::Get<FrmPage1>(Screen::Page1) : nullptr;
    const int pageNr = int(Val(session.pageNr));
    if (!page || session.albumChanged == 0 || pageNr < 1 || pageNr > 10)
        return 0;
    const QString folder = KeptFile::Folder();
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    const QString stem = stemOf(::getpid());
    discard(folder, stem);
    QJsonArray pictures;
    for (int s = 0; s <= 11; ++s) {
        PictureBox* box = page->Image1(s);
        if (!box || box->Tag != QStringLiteral("1"))
            continue;
        const Picture& picture = box->GetPicture();
        QString file = stem + QStringLiteral("-P%1I%2").arg(pageNr).arg(s);
        if (picture.kept) {
            if (picture.kept->KeepAs(folder + u'/' + file).failed())
                continue;
        } else if (!picture.full.isNull() && picture.sourcePath.isEmpty()) {
            // Pasted as bare pixels: kept as a PNG.
            file += QStringLiteral(".png");
            QSaveFile out(folder + u'/' + file);
            if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
                !picture.full.save(&out, "PNG") || !out.commit())
                continue;
        } else {
            continue; // a saved file of an album: nothing to keep
        }
        pictures.append(QJsonObject{{QStringLiteral("slot"), s}, {QStringLiteral("file"), file},
                                    {QStringLiteral("name"), picture.originalName}});
    }
    if (pictures.isEmpty())
        return 0;
    const QJsonObject record{{QStringLiteral("programFolder"), session.appPath},
                             {QStringLiteral("album"), session.albumName},
                             {QStringLiteral("page"), pageNr},
                             {QStringLiteral("pictures"), pictures}};
    // The record last, whole or not at all: without it the pictures are leftovers the next start sweeps.
    QSaveFile out(folder + u'/' + stem + QStringLiteral(".json"));
    if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        out.write(QJsonDocument(record).toJson()) < 0 || !out.commit()) {
        discard(folder, stem);
        return 0;
    }
    return int(pictures.size());
}

void OfferBack()
{
    const QString folder = KeptFile::Folder();
    if (!QFileInfo(folder).isDir())
        return;
    sweep(folder);
    const QFileInfoList records =
        QDir(folder).entryInfoList({QStringLiteral("unsaved-*.json")}, QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo& info : records) {
        const QString stem = info.completeBaseName();
        if (stem == stemOf(::getpid()))
            continue; // this run's own
        const Record r = read(info.filePath());
        const bool folderGone = !QFileInfo(r.programFolder).isDir();
        if (r.programFolder != session.appPath && !folderGone)
            continue; // another program folder's: offered when that one starts
        if (folderGone || r.pictures.isEmpty() || r.page < 1 || r.page > 10) {
            discard(folder, stem);
            continue;
        }
        const bool there = albumStillThere(r.album);
        const QString album = r.album.isEmpty() ? AlbumPaths::NewAlbum : r.album;
        QString prompt = Question(album, r.page);
        if (!there && !AlbumPaths::IsUnsavedAlbum(r.album))
            prompt += QStringLiteral("\r\nThe album is no longer there: they come back on page %1 of a new album.")
                          .arg(r.page);
        if (MsgBox(prompt, vbYesNo | vbQuestion, QStringLiteral("UNSAVED PICTURES")) != vbYes) {
            discard(folder, stem);
            continue;
        }
        restore(r, there);
        discard(folder, stem);
        return; // the page on screen holds these changes now; other records wait for a later start
    }
}

} // namespace UnsavedPictures
