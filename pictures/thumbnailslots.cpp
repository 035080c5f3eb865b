// The slot entries of the thumbnail cache: each slot picture as it is shown, raw,
// so that a page turn reads twelve files and decodes and scales nothing.
#include "thumbnailcache.h"

#include "fileops.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char Magic[8] = {'Q', 'B', 'S', 'L', 'O', 'T', '\r', '\n'};
// Slots larger than this are not kept (a 4K screen's slot is about 700 pixels across).
constexpr int MaxSide = 4096;

// Native byte order: an entry of another machine fails its magic or its generation.
struct Header {
    char magic[8];
    quint32 generation;
    quint32 headerBytes;
    qint32 boxWidth, boxHeight;
    qint32 width, height;
    qint32 naturalWidth, naturalHeight;
    qint64 size, mtimeNs;
    quint64 device, inode;
    char uriHash[16];
    quint64 pixelHash;
    quint64 headerHash; // of every byte before it
};
static_assert(sizeof(Header) % 8 == 0);

// A quick 64-bit hash, a word at a time: it tells a damaged entry from a sound one at
// memory speed (a slot's 200 KB in tens of microseconds), which a turn can afford.
quint64 hashOf(const void* data, std::size_t bytes)
{
    const auto* p = static_cast<const unsigned char*>(data);
    quint64 h = 0x9E3779B97F4A7C15ull ^ bytes;
    std::size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 0x100000001B3ull;
        h ^= h >> 32;
    }
    for (; i < bytes; ++i)
        h = (h ^ p[i]) * 0x100000001B3ull;
    return h;
}

QByteArray uriHash(const QString& uri)
{
    return QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5);
}

std::atomic<qint64> budget{192ll << 20};
// What this program believes the folder holds; -1 until it has looked.
std::mutex folderMutex;
qint64 folderBytes = -1;

// Whether a picture of `size` may be kept for a slot of `box`: at most the box, or as the page
// paints it, which may be a few pixels more (the page's own rounding).
bool fitsBox(QSize size, QSize box)
{
    return size.width() > 0 && size.height() > 0 && size.width() <= box.width() + box.width() / 20 + 2 &&
           size.height() <= box.height() + box.height() / 20 + 2;
}

// Whether `h` is a sound header of this generation for the file as it is now, at this box.
bool soundFor(const Header& h, const ThumbnailCache::FileFacts& facts, QSize box)
{
    const QByteArray name = uriHash(facts.uri);
    return std::memcmp(h.magic, Magic, sizeof Magic) == 0 && h.generation == quint32(ThumbnailCache::Generation) &&
           h.headerBytes == sizeof(Header) && h.headerHash == hashOf(&h, offsetof(Header, headerHash)) &&
           h.boxWidth == box.width() && h.boxHeight == box.height() && fitsBox(QSize(h.width, h.height), box) &&
           h.naturalWidth > 0 && h.naturalHeight > 0 &&
           h.size == facts.size && h.mtimeNs == facts.mtimeNs && h.device == facts.device && h.inode == facts.inode &&
           std::memcmp(h.uriHash, name.constData(), sizeof h.uriHash) == 0;
}

bool readAll(int fd, void* into, std::size_t bytes, off_t at)
{
    auto* p = static_cast<char*>(into);
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, p, bytes, at);
        if (n <= 0)
            return false;
        p += n;
        at += n;
        bytes -= std::size_t(n);
    }
    return true;
}

// An open slot entry whose header is sound for the file as it is now and whose length is
// exactly its pixels'; -1 otherwise.
int openSound(const QString& path, const ThumbnailCache::FileFacts& facts, QSize box, Header& h)
{
    const int fd = Files::OpenRegular(path);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size >= off_t(sizeof h) && readAll(fd, &h, sizeof h, 0) &&
        soundFor(h, facts, box) && st.st_size == off_t(sizeof h) + off_t(h.width) * h.height * 4)
        return fd;
    ::close(fd);
    return -1;
}

// Removes the least recently used entries until the folder holds at most 90% of the budget.
void evict(const QString& folder)
{
    struct Entry {
        QString path;
        qint64 bytes;
        qint64 used;
    };
    std::vector<Entry> entries;
    qint64 total = 0;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        struct stat st {};
        const QString path = dir.filePath(name);
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        entries.push_back({path, qint64(st.st_size), qint64(st.st_mtim.tv_sec)});
        total += qint64(st.st_size);
    }
    const qint64 limit = budget.load();
    if (total > limit) {
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.used < b.used; });
        for (const Entry& e : entries) {
            if (total <= limit - limit / 10)
                break;
            if (QFile::remove(e.path))
                total -= e.bytes;
        }
    }
    folderBytes = total;
}

} // namespace

void ThumbnailCache::SetSlotBudget(qint64 bytes)
{
    budget = bytes;
    const std::lock_guard<std::mutex> lock(folderMutex);
    folderBytes = -1;
}

QString ThumbnailCache::SlotFolder() const
{
    return enabled() ? m_root + QStringLiteral("/quillbook-slots") : QString();
}

QString ThumbnailCache::SlotPath(const FileFacts& facts, QSize box) const
{
    if (!enabled() || box.isEmpty())
        return {};
    return SlotFolder() + u'/' + QString::fromLatin1(uriHash(facts.uri).toHex()) +
           QStringLiteral("-%1x%2-g%3.rgb32").arg(box.width()).arg(box.height()).arg(Generation);
}

std::optional<ThumbnailCache::SlotPicture> ThumbnailCache::FindSlot(const FileFacts& facts, QSize box) const
{
    if (!enabled() || box.width() > MaxSide || box.height() > MaxSide || facts.path.startsWith(m_root + u'/'))
        return std::nullopt;
    Header h;
    const int fd = openSound(SlotPath(facts, box), facts, box, h);
    if (fd < 0)
        return std::nullopt;
    SlotPicture kept;
    kept.shown = QImage(h.width, h.height, QImage::Format_RGB32);
    const qsizetype row = qsizetype(h.width) * 4;
    bool read = !kept.shown.isNull();
    // One read when the image's rows lie end to end (always, for 4-byte pixels).
    if (read && kept.shown.bytesPerLine() == row)
        read = readAll(fd, kept.shown.bits(), std::size_t(row * h.height), sizeof h);
    else
        for (int y = 0; read && y < h.height; ++y)
            read = readAll(fd, kept.shown.scanLine(y), std::size_t(row), off_t(sizeof h + row * y));
    // Used again: the last to go when the folder is over its budget.
    if (read)
        ::futimens(fd, nullptr);
    ::close(fd);
    if (!read)
        return std::nullopt;
    quint64 hash = 0x9E3779B97F4A7C15ull;
    for (int y = 0; y < h.height; ++y)
        hash = hash * 31 + hashOf(kept.shown.constScanLine(y), std::size_t(row));
    if (hash != h.pixelHash)
        return std::nullopt;
    kept.natural = QSize(h.naturalWidth, h.naturalHeight);
    return kept;
}

bool ThumbnailCache::HasSlot(const FileFacts& facts, QSize box) const
{
    if (!enabled() || facts.path.startsWith(m_root + u'/'))
        return false;
    Header h;
    const int fd = openSound(SlotPath(facts, box), facts, box, h);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool ThumbnailCache::StoreSlot(const FileFacts& facts, QSize box, const QImage& shown, QSize natural) const
{
    const QString target = SlotPath(facts, box);
    if (target.isEmpty() || shown.isNull() || natural.isEmpty() || facts.path.startsWith(m_root + u'/') ||
        !fitsBox(shown.size(), box) || box.width() > MaxSide ||
        box.height() > MaxSide)
        return false;
    const QImage pixels = shown.format() == QImage::Format_RGB32 ? shown : shown.convertToFormat(QImage::Format_RGB32);
    const qsizetype row = qsizetype(pixels.width()) * 4;
    Header h{};
    std::memcpy(h.magic, Magic, sizeof Magic);
    h.generation = quint32(Generation);
    h.headerBytes = sizeof h;
    h.boxWidth = box.width();
    h.boxHeight = box.height();
    h.width = pixels.width();
    h.height = pixels.height();
    h.naturalWidth = natural.width();
    h.naturalHeight = natural.height();
    h.size = facts.size;
    h.mtimeNs = facts.mtimeNs;
    h.device = facts.device;
    h.inode = facts.inode;
    std::memcpy(h.uriHash, uriHash(facts.uri).constData(), sizeof h.uriHash);
    QByteArray bytes(qsizetype(sizeof h) + row * pixels.height(), Qt::Uninitialized);
    quint64 hash = 0x9E3779B97F4A7C15ull;
    for (int y = 0; y < pixels.height(); ++y) {
        std::memcpy(bytes.data() + sizeof h + row * y, pixels.constScanLine(y), std::size_t(row));
        hash = hash * 31 + hashOf(pixels.constScanLine(y), std::size_t(row));
    }
    h.pixelHash = hash;
    h.headerHash = hashOf(&h, offsetof(Header, headerHash));
    std::memcpy(bytes.data(), &h, sizeof h);

    const QString folder = SlotFolder();
    if (!MakeFolder(folder))
        return false;
    if (!WriteEntry(target, bytes))
        return false;
    const std::lock_guard<std::mutex> lock(folderMutex);
    if (folderBytes >= 0)
        folderBytes += bytes.size();
    if (folderBytes < 0 || folderBytes > budget.load())
        evict(folder);
    return true;
}
