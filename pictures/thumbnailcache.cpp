#include "thumbnailcache.h"

#include "decoding.h"
#include "pngencoder.h"

#include "fileops.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryFile>

#include <array>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

#ifndef QUILL_VERSION
#define QUILL_VERSION "0"
#endif

namespace {

constexpr std::array<std::pair<int, const char*>, 3> Sizes{{{256, "large"}, {512, "x-large"}, {1024, "xx-large"}}};
// A thumbnail file bigger than this is not one (1024 x 1024 RGBA PNG stays well below).
constexpr qint64 MaxThumbnailBytes = 16ll << 20;

std::mutex sharedMutex;
QString sharedRoot;

const char* folderFor(int size)
{
    for (const auto& [px, name] : Sizes)
        if (px == size)
            return name;
    return nullptr;
}

// Makes the folder and those above it up to the root, owner-only as the standard asks.
bool makeFolder(const QString& folder)
{
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const QString parent = QFileInfo(folder).path();
    if (parent != folder && !makeFolder(parent))
        return false;
    return ::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || errno == EEXIST;
}

// The standard's text chunks (keys such as "Thumb::URI", which Qt's PNG writer would split
// at the colon) are put in and read out here, by hand.
quint32 crc32(const QByteArray& bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char b : bytes)
        c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendBigEndian(QByteArray& out, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((v >> shift) & 0xFF));
}

quint32 bigEndianAt(const QByteArray& bytes, qsizetype at)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | quint8(bytes[at + i]);
    return v;
}

constexpr qsizetype SignatureBytes = 8;
constexpr qsizetype HeaderChunkEnd = SignatureBytes + 4 + 4 + 13 + 4;

// The PNG with text chunks put in after its header chunk.
QByteArray withText(const QByteArray& png, const QList<std::pair<QString, QString>>& texts)
{
    QByteArray chunks;
    for (const auto& [key, value] : texts) {
        const QByteArray data = "tEXt" + key.toLatin1() + '\0' + value.toLatin1();
        appendBigEndian(chunks, quint32(data.size() - 4));
        chunks += data;
        appendBigEndian(chunks, crc32(data));
    }
    return png.left(HeaderChunkEnd) + chunks + png.mid(HeaderChunkEnd);
}

// The most of a text value ever read: a fail entry's reason is only ever shown in a message,
// and no other value of a sound entry comes near the other limit (a file URI of the longest path).
constexpr qint64 MaxReasonBytes = 400;
constexpr qint64 MaxTextBytes = 16 << 10;
const QLatin1String ReasonKey("X-Quillbook::Reason");

// The text chunks before the picture data, each value read only up to its limit (the rest of a
// chunk is skipped, never read); an empty map for anything that is not a sound PNG.
QHash<QString, QString> textOf(QIODevice& png)
{
    QHash<QString, QString> texts;
    const qint64 size = png.size();
    if (!png.seek(0) || png.read(SignatureBytes) != QByteArrayLiteral("\x89PNG\r\n\x1a\n"))
        return texts;
    qint64 at = SignatureBytes;
    for (int chunk = 0; chunk < 64 && at + 12 <= size; ++chunk) {
        if (!png.seek(at))
            return {};
        const QByteArray head = png.read(8);
        if (head.size() != 8)
            return {};
        const quint32 length = bigEndianAt(head, 0);
        if (qint64(length) > size - at - 12)
            return {};
        const QByteArray type = head.mid(4);
        if (type == "IDAT" || type == "IEND")
            break;
        if (type == "tEXt") {
            // A key of at most 79 bytes and its zero, then the value.
            const QByteArray start = png.read(std::min<qint64>(length, 80));
            const qsizetype zero = start.indexOf('\0');
            if (zero > 0) {
                const QString key = QString::fromLatin1(start.left(zero));
                const qint64 limit = key == ReasonKey ? MaxReasonBytes : MaxTextBytes;
                const QByteArray value =
                    start.mid(zero + 1) + png.read(std::min<qint64>(length, zero + 1 + limit) - start.size());
                texts.insert(key, QString::fromLatin1(value.left(limit)));
            }
        }
        at += 12 + qint64(length);
    }
    return texts;
}

// Reads a kept PNG: only a regular file of sane size, and only when its stamp matches.
struct KeptPng {
    QImage image;
    QHash<QString, QString> texts;
};
std::optional<KeptPng> readKept(const QString& file, const ThumbnailCache::FileFacts& facts, int maxSide,
                                bool wantImage)
{
    const int fd = Files::OpenRegular(file);
    if (fd < 0)
        return std::nullopt;
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    if (f.size() <= 0 || (wantImage && f.size() > MaxThumbnailBytes))
        return std::nullopt;
    KeptPng kept;
    // A fail entry is read a few bytes at a time, however large the file; a thumbnail whole.
    QByteArray bytes;
    QBuffer whole(&bytes);
    if (wantImage) {
        bytes = f.readAll();
        whole.open(QIODevice::ReadOnly);
    }
    kept.texts = textOf(wantImage ? static_cast<QIODevice&>(whole) : f);
    const auto text = [&](const char* key) { return kept.texts.value(QLatin1String(key)); };
    if (text("Thumb::URI") != facts.uri || text("Thumb::MTime") != QString::number(facts.mtime))
        return std::nullopt;
    const QString keptSize = text("Thumb::Size");
    if (!keptSize.isEmpty() && keptSize != QString::number(facts.size))
        return std::nullopt;
    const QString keptNs = text("X-Quillbook::MTimeNs");
    if (!keptNs.isEmpty() && keptNs != QString::number(facts.mtimeNs))
        return std::nullopt;
    if (!wantImage)
        return kept;
    // A thumbnail this program wrote under another generation (earlier ones kept the reader's
    // colour profile with pixels already made sRGB) is not used; the next read writes it again.
    const bool ours = !keptNs.isEmpty() || text("Software").startsWith(QLatin1String("Quillbook"));
    if (ours && text("X-Quillbook::Generation") != QString::number(ThumbnailCache::Generation))
        return std::nullopt;
    whole.seek(0);
    QImageReader reader(&whole, "png");
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isEmpty() || size.width() > maxSide || size.height() > maxSide)
        return std::nullopt;
    kept.image = reader.read();
    if (kept.image.isNull())
        return std::nullopt;
    return kept;
}

QString fileNameFor(const QString& uri)
{
    return QString::fromLatin1(QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

} // namespace

QString ThumbnailCache::DesktopRoot()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/thumbnails");
}

void ThumbnailCache::UseShared(const QString& root)
{
    const std::lock_guard<std::mutex> lock(sharedMutex);
    sharedRoot = root;
}

ThumbnailCache ThumbnailCache::Shared()
{
    const std::lock_guard<std::mutex> lock(sharedMutex);
    return ThumbnailCache(sharedRoot);
}

int ThumbnailCache::SizeFor(int side)
{
    // A slot a few pixels larger than a kept size is shown from it: a 2% enlargement is
    // not seen, while the next size up costs four times the pixels to read.
    for (const auto& [px, name] : Sizes)
        if (side <= px + px / 20)
            return px;
    return 0;
}

QString ThumbnailCache::Uri(const QString& path)
{
    // Escaped as GLib escapes file names into URIs (the desktop's file managers name their
    // entries so): letters, digits and !$&'()*+,-./:=@_~ stay, every other byte is %XX.
    static const QByteArray keep = QByteArrayLiteral("!$&'()*+,-./:=@_~");
    QByteArray uri = "file://";
    for (const char c : QFile::encodeName(QFileInfo(path).absoluteFilePath())) {
        const uchar b = uchar(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || keep.contains(c))
            uri += c;
        else
            uri += '%' + QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    }
    return QString::fromLatin1(uri);
}

std::optional<ThumbnailCache::FileFacts> ThumbnailCache::Facts(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    FileFacts facts;
    facts.path = path;
    facts.uri = Uri(path);
    facts.mtime = qint64(st.st_mtim.tv_sec);
    facts.mtimeNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    facts.size = qint64(st.st_size);
    facts.device = quint64(st.st_dev);
    facts.inode = quint64(st.st_ino);
    return facts;
}

QString ThumbnailCache::ThumbnailPath(const FileFacts& facts, int size) const
{
    const char* folder = folderFor(size);
    if (!enabled() || !folder)
        return {};
    return m_root + u'/' + QLatin1String(folder) + u'/' + fileNameFor(facts.uri);
}

QString ThumbnailCache::FailPath(const FileFacts& facts) const
{
    if (!enabled())
        return {};
    return m_root + QStringLiteral("/fail/quillbook-" QUILL_VERSION "/") + fileNameFor(facts.uri);
}

std::optional<ThumbnailCache::Thumbnail> ThumbnailCache::Find(const FileFacts& facts, int size) const
{
    if (!enabled() || facts.path.startsWith(m_root + u'/'))
        return std::nullopt; // never a thumbnail of a thumbnail
    for (const auto& [px, name] : Sizes) {
        if (px < size)
            continue;
        std::optional<KeptPng> kept = readKept(ThumbnailPath(facts, px), facts, px, true);
        if (!kept)
            continue;
        Thumbnail t;
        t.image = std::move(kept->image);
        const QSize natural(kept->texts.value(QStringLiteral("Thumb::Image::Width")).toInt(),
                            kept->texts.value(QStringLiteral("Thumb::Image::Height")).toInt());
        // Another program may not say the picture's size, or say one of another shape;
        // the thumbnail's own shape is then what the slot needs.
        const QSize shape = natural.isEmpty() ? QSize() : natural.scaled(t.image.size(), Qt::KeepAspectRatio);
        const bool fits = !shape.isEmpty() && qAbs(shape.width() - t.image.width()) <= 2 &&
                          qAbs(shape.height() - t.image.height()) <= 2;
        t.natural = fits ? natural : t.image.size();
        return t;
    }
    return std::nullopt;
}

bool ThumbnailCache::Has(const FileFacts& facts, int size) const
{
    if (!enabled() || facts.path.startsWith(m_root + u'/'))
        return false;
    for (const auto& [px, name] : Sizes)
        if (px >= size && readKept(ThumbnailPath(facts, px), facts, px, false))
            return true;
    return false;
}

std::optional<RunError> ThumbnailCache::FindFailure(const FileFacts& facts) const
{
    if (!enabled())
        return std::nullopt;
    const std::optional<KeptPng> kept = readKept(FailPath(facts), facts, 1, false);
    // Ours only: a fail entry without the exact time could be an older file's.
    if (!kept || kept->texts.value(QStringLiteral("X-Quillbook::MTimeNs")) != QString::number(facts.mtimeNs))
        return std::nullopt;
    // Only a file that was read and holds no picture is remembered; an entry for anything else
    // (a passing error such as no permission, kept by an older version) is not believed.
    const QString number = kept->texts.value(QStringLiteral("X-Quillbook::Error"));
    if (!number.isEmpty() && number.toInt() != RunError::InvalidPicture)
        return std::nullopt;
    // Nor one kept when the program read fewer kinds of picture: the file may be one it reads now.
    if (kept->texts.value(QStringLiteral("X-Quillbook::Readers")) != QLatin1String(Pictures::ReadersGeneration))
        return std::nullopt;
    return RunError{RunError::InvalidPicture, kept->texts.value(ReasonKey)};
}

bool ThumbnailCache::Store(const FileFacts& facts, int size, const QImage& thumbnail, QSize natural) const
{
    const QString target = ThumbnailPath(facts, size);
    if (target.isEmpty() || thumbnail.isNull() || facts.path.startsWith(m_root + u'/'))
        return false;
    return writePng(target, thumbnail, facts,
                    {{QStringLiteral("Thumb::Image::Width"), QString::number(natural.width())},
                     {QStringLiteral("Thumb::Image::Height"), QString::number(natural.height())}});
}

bool ThumbnailCache::StoreFailure(const FileFacts& facts, const RunError& error) const
{
    const QString target = FailPath(facts);
    if (target.isEmpty() || error.number != RunError::InvalidPicture)
        return false; // a passing error (no permission, a missing disk, ...) is never remembered
    QImage dot(1, 1, QImage::Format_ARGB32);
    dot.fill(Qt::transparent);
    return writePng(target, dot, facts,
                    {{QStringLiteral("X-Quillbook::Error"), QString::number(error.number)},
                     {QStringLiteral("X-Quillbook::Readers"), QLatin1String(Pictures::ReadersGeneration)},
                     {ReasonKey, error.description.left(MaxReasonBytes)}});
}

bool ThumbnailCache::writable() const
{
    QString folder = m_root;
    struct stat st {};
    while (!folder.isEmpty() && ::stat(QFile::encodeName(folder).constData(), &st) != 0) {
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            return false;
        folder = parent;
    }
    return !folder.isEmpty() && S_ISDIR(st.st_mode) && ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

bool ThumbnailCache::MakeFolder(const QString& folder)
{
    return makeFolder(folder);
}

bool ThumbnailCache::writePng(const QString& target, const QImage& image, const FileFacts& facts,
                              const QList<std::pair<QString, QString>>& extra) const
{
    const QString folder = QFileInfo(target).path();
    if (!makeFolder(folder))
        return false;
    // Written for speed: one for every picture the read-ahead decodes (pngencoder.h).
    const QByteArray png = PngEncoder::Encode(image);
    if (png.isEmpty())
        return false;
    QList<std::pair<QString, QString>> texts{
        {QStringLiteral("Thumb::URI"), facts.uri},
        {QStringLiteral("Thumb::MTime"), QString::number(facts.mtime)},
        {QStringLiteral("Thumb::Size"), QString::number(facts.size)},
        {QStringLiteral("X-Quillbook::MTimeNs"), QString::number(facts.mtimeNs)},
        {QStringLiteral("X-Quillbook::Generation"), QString::number(Generation)},
        {QStringLiteral("Software"), QStringLiteral("Quillbook " QUILL_VERSION)}};
    texts += extra;
    const QByteArray bytes = withText(png, texts);
    return WriteEntry(target, bytes);
}

bool ThumbnailCache::WriteEntry(const QString& target, const QByteArray& bytes)
{
    // Written beside the entry (owner-only from the start) and renamed over it: a reader sees
    // the old entry or the new one, never half of one. Not synced to disk: a cache entry is
    // worth no wait for the disk (the read-ahead writes hundreds), and one left torn by a crash
    // fails its reader's checks and is written again.
    QTemporaryFile out(target + QStringLiteral(".XXXXXX"));
    if (!out.open() || out.write(bytes) != bytes.size() || !out.flush())
        return false;
    if (::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return false;
    out.setAutoRemove(false);
    return true;
}
