// Slot pictures through the desktop's thumbnail cache: where entries go and
// what they say, stale entries made again, fail entries, other programs'
// thumbnails, and a cache that cannot be written.
#include "pictureloader.h"
#include "slotreader.h"
#include "slotreading.h"
#include "testpictures.h"
#include "thumbnailcache.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

using SlotReader::ReadSlotPicture;

namespace {

const QSize Box(200, 200);

// The text chunks of a PNG file, read the way libpng-based viewers see them.
QHash<QByteArray, QByteArray> pngText(const QString& path)
{
    const QByteArray png = TestPictures::ReadBytes(path);
    QHash<QByteArray, QByteArray> texts;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        const QByteArray typeAndData = png.mid(at + 4, 4 + qsizetype(length));
        if (qFromBigEndian<quint32>(png.constData() + at + 8 + length) !=
            quint32(crc32(0, reinterpret_cast<const Bytef*>(typeAndData.constData()), uInt(typeAndData.size()))))
            return {}; // a damaged chunk
        if (typeAndData.startsWith("tEXt")) {
            const QList<QByteArray> parts = typeAndData.mid(4).split('\0');
            texts.insert(parts.value(0), parts.value(1));
        }
        at += 12 + qsizetype(length);
    }
    return texts;
}

// A PNG as another viewer writes it: its own text chunks, after the header chunk.
QByteArray pngWith(const QImage& image, const QList<std::pair<QByteArray, QByteArray>>& texts)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QByteArray chunks;
    for (const auto& [key, value] : texts) {
        const QByteArray data = "tEXt" + key + '\0' + value;
        char word[4];
        qToBigEndian<quint32>(quint32(data.size() - 4), word);
        chunks += QByteArray(word, 4) + data;
        qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size()))), word);
        chunks += QByteArray(word, 4);
    }
    return png.left(33) + chunks + png.mid(33);
}

// A fail entry as another program, or an older version of this one, leaves it:
// stamped for `facts`, with `keys` (error, reason, ...) besides.
bool writeFailEntry(const ThumbnailCache& cache, const ThumbnailCache::FileFacts& facts,
                    const QList<std::pair<QByteArray, QByteArray>>& keys)
{
    QImage dot(1, 1, QImage::Format_ARGB32);
    dot.fill(Qt::transparent);
    const QString path = cache.FailPath(facts);
    return QDir().mkpath(QFileInfo(path).path()) &&
           TestPictures::WriteBytes(path, pngWith(dot, QList<std::pair<QByteArray, QByteArray>>{
                                                           {"Thumb::URI", facts.uri.toLatin1()},
                                                           {"Thumb::MTime", QByteArray::number(facts.mtime)},
                                                           {"X-Quillbook::MTimeNs", QByteArray::number(facts.mtimeNs)}} +
                                                           keys));
}

// A passing error of access, made real for as long as it lives.
class AccessFault {
public:
    // The file cannot be opened: no permission (mode 000, and this thread stripped of the
    // capabilities that let root read any file), or no file handle left in the process.
    AccessFault(const QString& kind, const QString& path) : m_path(path)
    {
        if (kind == QStringLiteral("no permission")) {
            QFile::setPermissions(path, {});
            syscall(SYS_capget, &m_header, m_saved);
            __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
            lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
            m_capsChanged = syscall(SYS_capset, &m_header, lowered) == 0;
        } else {
            ::getrlimit(RLIMIT_NOFILE, &m_limit);
            rlimit lower = m_limit;
            lower.rlim_cur = std::min<rlim_t>(lower.rlim_cur, 1024);
            ::setrlimit(RLIMIT_NOFILE, &lower);
            for (int fd; (fd = ::dup(STDIN_FILENO)) >= 0;)
                m_held.push_back(fd);
        }
    }
    ~AccessFault()
    {
        if (m_capsChanged)
            syscall(SYS_capset, &m_header, m_saved);
        for (int fd : m_held)
            ::close(fd);
        if (!m_held.empty())
            ::setrlimit(RLIMIT_NOFILE, &m_limit);
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    }

private:
    QString m_path;
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_capsChanged = false;
    rlimit m_limit{};
    std::vector<int> m_held;
};

} // namespace

class TestThumbnailCache : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        cache = ThumbnailCache(dir->filePath(QStringLiteral("cache/thumbnails")));
        // A name that is not its own URI, with the characters file URIs are told apart by.
        picture = dir->filePath(QStringLiteral("Ann's [Trip]; été/P1I0.bmp"));
        QVERIFY(QDir().mkpath(QFileInfo(picture).path()));
        QVERIFY(TestPictures::Save(TestPictures::Photo(1200, 800, 3), picture, "JPEG"));
    }

    void keptEntryFollowsTheStandard()
    {
        const SlotReader::Read first = ReadAndKeep(picture, Box, cache);
        QVERIFY(!first.result.error.failed());
        QVERIFY(first.keep);

        // As GLib's file managers name it: only these are left as they are.
        const QString uri = QStringLiteral("file://") +
                            QString::fromUtf8(QFile::encodeName(picture).toPercentEncoding("!$&'()*+,/:=@"));
        const QString name = QString::fromLatin1(QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex());
        const QString entry = cache.root() + QStringLiteral("/large/") + name + QStringLiteral(".png");
        QVERIFY2(QFile::exists(entry), qPrintable(entry));
        QCOMPARE(ModeOf(entry), mode_t(0600));
        QCOMPARE(ModeOf(cache.root()), mode_t(0700));
        QCOMPARE(QDir(cache.root() + QStringLiteral("/large")).entryList(QDir::Files).size(), 1); // no temporary left

        struct stat st {};
        ::stat(QFile::encodeName(picture).constData(), &st);
        const QHash<QByteArray, QByteArray> text = pngText(entry);
        QCOMPARE(text.value("Thumb::URI"), uri.toLatin1());
        QCOMPARE(text.value("Thumb::MTime"), QByteArray::number(qint64(st.st_mtim.tv_sec)));
        QCOMPARE(text.value("Thumb::Size"), QByteArray::number(qint64(st.st_size)));
        QCOMPARE(QImageReader(entry, "png").size(), QSize(256, 170));

        // Shown again from the entry, as good as the direct decode, with nothing more to keep.
        const SlotReader::Read second = ReadSlotPicture(picture, Box, 1.0, cache);
        QCOMPARE(second.result.picture.natural, QSize(1200, 800));
        QCOMPARE(second.result.picture.sourcePath, picture);
        // Also for a slot a little larger than the kept size, which it is enlarged to fill.
        for (const QSize box : {Box, QSize(268, 268)}) {
            const SlotReader::Read kept = ReadSlotPicture(picture, box, 1.0, cache);
            QVERIFY(kept.fromCache);
            QVERIFY(!kept.keep || kept.keep->thumbnail.isNull()); // at most the new slot's entry
            const QImage direct = Pictures::LoadPicture(picture, box, 1.0).picture.shown;
            QCOMPARE(kept.result.picture.shown.size(), direct.size());
            const double psnr = TestPictures::Psnr(kept.result.picture.shown, direct);
            qInfo("kept thumbnail against the direct decode at %d px: %.1f dB", box.width(), psnr);
            QVERIFY2(psnr >= 35.0, qPrintable(QString::number(psnr)));
        }
    }

    void staleEntryIsMadeAgain_data()
    {
        QTest::addColumn<qint64>("shiftNs");
        QTest::newRow("another second") << qint64(5'000'000'000);
        QTest::newRow("the same second") << qint64(1);
    }
    void staleEntryIsMadeAgain()
    {
        QFETCH(qint64, shiftNs);
        QVERIFY(TestPictures::WriteBytes(picture, TestPictures::Bitmap(TestPictures::Photo(1200, 800, 4), 24, false)));
        ReadAndKeep(picture, Box, cache);
        struct stat st {};
        ::stat(QFile::encodeName(picture).constData(), &st);
        // Another picture of the same size, the same byte count, in the file's place.
        QImage red(1200, 800, QImage::Format_RGB888);
        red.fill(Qt::red);
        QVERIFY(TestPictures::WriteBytes(picture, TestPictures::Bitmap(red, 24, false)));
        QCOMPARE(QFileInfo(picture).size(), qint64(st.st_size));
        SetMTime(picture, qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec + shiftNs);

        const SlotReader::Read again = ReadAndKeep(picture, Box, cache);
        QVERIFY(again.keep); // read again, not taken from the entry
        QCOMPARE(QColor(again.result.picture.shown.pixel(50, 50)), QColor(Qt::red));
        QVERIFY(!ReadSlotPicture(picture, Box, 1.0, cache).keep); // and the new entry is used
    }

    void failedWriteLeavesTheOldEntry()
    {
        const SlotReader::Read first = ReadAndKeep(picture, Box, cache);
        const QString entry = cache.ThumbnailPath(*ThumbnailCache::Facts(picture), 256);
        const QByteArray old = TestPictures::ReadBytes(entry);
        QVERIFY(old.size() > 10000);
        // The same entry written again, failing part-way (the file size limit binds root too).
        rlimit before{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = before;
        small.rlim_cur = rlim_t(old.size() / 2);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        const bool written = SlotReader::Keep(cache, *first.keep);
        ::setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(!written);
        QCOMPARE(TestPictures::ReadBytes(entry), old);
        QCOMPARE(QDir(QFileInfo(entry).path()).entryList(QDir::Files).size(), 1);
    }

    void failEntryStopsASecondDecode()
    {
        QImage blue(640, 480, QImage::Format_RGB888);
        blue.fill(Qt::blue);
        QByteArray good = TestPictures::Bitmap(blue, 24, false);
        QByteArray broken = good;
        broken[0] = 'X';
        broken[1] = 'X';
        QVERIFY(TestPictures::WriteBytes(picture, broken));
        struct stat st {};
        ::stat(QFile::encodeName(picture).constData(), &st);
        const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;

        const SlotReader::Read first = ReadAndKeep(picture, Box, cache);
        QCOMPARE(first.result.error.number, int(RunError::InvalidPicture));
        const QStringList fails = QDir(cache.root() + QStringLiteral("/fail/quillbook-" QUILL_VERSION)).entryList(QDir::Files);
        QCOMPARE(fails.size(), 1);

        // The file mended behind our back with its time and size as they were: the entry
        // still answers, which shows the picture is not decoded again.
        QVERIFY(TestPictures::WriteBytes(picture, good));
        SetMTime(picture, mtime);
        const SlotReader::Read second = ReadSlotPicture(picture, Box, 1.0, cache);
        QCOMPARE(second.result.error.number, int(RunError::InvalidPicture));
        QCOMPARE(second.result.error.description, first.result.error.description);
        QVERIFY(!second.keep);
        // Any real change reads it again.
        SetMTime(picture, mtime + 1'000'000'000);
        QVERIFY(!ReadSlotPicture(picture, Box, 1.0, cache).result.error.failed());
        // A missing file is an empty slot, not a failure to remember.
        QVERIFY(!ReadSlotPicture(dir->filePath(QStringLiteral("P9I9.bmp")), Box, 1.0, cache).keep);
    }

    void passingErrorsAreNotRemembered_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("error");
        QTest::newRow("no permission") << QStringLiteral("no permission") << EACCES;
        QTest::newRow("no file handle left") << QStringLiteral("no file handles") << EMFILE;
    }
    void passingErrorsAreNotRemembered()
    {
        QFETCH(QString, kind);
        QFETCH(int, error);
        {
            const AccessFault fault(kind, picture);
            const SlotReader::Read read = ReadSlotPicture(picture, Box, 1.0, cache);
            QCOMPARE(read.result.error.number, int(RunError::PathFileAccess));
            QVERIFY2(read.result.error.description.contains(QString::fromLocal8Bit(std::strerror(error))),
                     qPrintable(read.result.error.description));
            QVERIFY(!read.keep);
            // Nor would the cache take one, or believe one an older version kept.
            QVERIFY(!cache.StoreFailure(*ThumbnailCache::Facts(picture), read.result.error));
        }
        QVERIFY(!QFile::exists(cache.FailPath(*ThumbnailCache::Facts(picture))));
        QVERIFY(writeFailEntry(cache, *ThumbnailCache::Facts(picture),
                               {{"X-Quillbook::Error", "75"}, {"X-Quillbook::Reason", "Permission denied"}}));
        // The access given back (its time unchanged): the picture shows.
        QVERIFY(!ReadSlotPicture(picture, Box, 1.0, cache).result.error.failed());
    }

    void failEntryReasonIsCut()
    {
        QVERIFY(TestPictures::WriteBytes(picture, "not a picture at all"));
        const ThumbnailCache::FileFacts facts = *ThumbnailCache::Facts(picture);
        // Ours, written with a long reason, is kept cut.
        QVERIFY(cache.StoreFailure(facts, RunError{RunError::InvalidPicture, QString(5000, u'r')}));
        QCOMPARE(cache.FindFailure(facts)->description, QString(400, u'r'));
        // Another's of 4 MB is read only as far as it is shown.
        QVERIFY(writeFailEntry(cache, facts,
                               {{"X-Quillbook::Reason", QByteArray(4 << 20, 'x')},
                                {"X-Quillbook::Readers", Pictures::ReadersGeneration},
                                {"X-Quillbook::Error", "481"}}));
        const std::optional<RunError> failed = cache.FindFailure(facts);
        QVERIFY(failed);
        QCOMPARE(failed->number, int(RunError::InvalidPicture));
        QCOMPARE(failed->description, QString(400, u'x'));
    }

    void failEntryOfFewerReadersIsNotBelieved()
    {
        // A TIFF the program once could not read, remembered then; it reads TIFF now.
        QVERIFY(TestPictures::Save(TestPictures::Photo(300, 200), picture, "TIFF"));
        const ThumbnailCache::FileFacts facts = *ThumbnailCache::Facts(picture);
        QVERIFY(writeFailEntry(cache, facts,
                               {{"X-Quillbook::Error", "481"},
                                {"X-Quillbook::Reason", "not a kind of picture an album holds (tiff)"}}));
        QVERIFY(!cache.FindFailure(facts));
        const SlotReader::Read read = ReadSlotPicture(picture, Box, 1.0, cache);
        QCOMPARE(read.result.error.number, 0);
        QCOMPARE(read.result.picture.natural, QSize(300, 200));
    }

    void hostileFilesReadOnce()
    {
        // Every hostile file gives the same answer the second time, a failure from its fail entry.
        const QDir corpus(QStringLiteral(QUILL_CORPUS_DIR));
        for (const QString& name : corpus.entryList(QDir::Files)) {
            const QString copy = dir->filePath(name + QStringLiteral(".bmp"));
            QVERIFY(QFile::copy(corpus.filePath(name), copy));
            const SlotReader::Read first = ReadAndKeep(copy, Box, cache);
            const SlotReader::Read second = ReadSlotPicture(copy, Box, 1.0, cache);
            QCOMPARE(second.result.error.number, first.result.error.number);
            QVERIFY2(!second.keep || !first.result.error.failed(), qPrintable(name));
        }
    }

    void otherProgramsEntries_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("used");
        QTest::newRow("a valid thumbnail") << QStringLiteral("valid") << true;
        QTest::newRow("ours of this generation") << QStringLiteral("ours") << true;
        QTest::newRow("ours of an earlier generation") << QStringLiteral("ours earlier") << false;
        QTest::newRow("ours without a generation") << QStringLiteral("ours unmarked") << false;
        QTest::newRow("one saying a size of another shape") << QStringLiteral("odd size") << true;
        QTest::newRow("another file's") << QStringLiteral("wrong uri") << false;
        QTest::newRow("of the file before it was changed") << QStringLiteral("older") << false;
        QTest::newRow("of a time the file has not reached") << QStringLiteral("newer") << false;
        QTest::newRow("not a picture") << QStringLiteral("garbage") << false;
        QTest::newRow("too large") << QStringLiteral("huge") << false;
        QTest::newRow("a named pipe") << QStringLiteral("fifo") << false;
    }
    void otherProgramsEntries()
    {
        QFETCH(QString, kind);
        QFETCH(bool, used);
        const ThumbnailCache::FileFacts facts = *ThumbnailCache::Facts(picture);
        const QString entry = cache.ThumbnailPath(facts, 256);
        QVERIFY(QDir().mkpath(QFileInfo(entry).path()));
        if (kind == QStringLiteral("garbage")) {
            QVERIFY(TestPictures::WriteBytes(entry, "\x89PNG not really"));
        } else if (kind == QStringLiteral("fifo")) {
            QVERIFY(::mkfifo(QFile::encodeName(entry).constData(), 0600) == 0);
        } else {
            // Another viewer's thumbnail (or ours, with our keys), all green.
            QImage green(kind == QStringLiteral("huge") ? 2000 : 256, 171, QImage::Format_RGB32);
            green.fill(Qt::green);
            const QByteArray uri = (kind == QStringLiteral("wrong uri") ? facts.uri + u'x' : facts.uri).toLatin1();
            const qint64 mtime = facts.mtime + (kind == QStringLiteral("older") ? -60 : kind == QStringLiteral("newer") ? 60 : 0);
            QList<std::pair<QByteArray, QByteArray>> keys{{"Thumb::URI", uri}, {"Thumb::MTime", QByteArray::number(mtime)}};
            if (kind.startsWith(QStringLiteral("ours"))) // as this program writes them, of any generation
                keys << std::pair<QByteArray, QByteArray>{"X-Quillbook::MTimeNs", QByteArray::number(facts.mtimeNs)}
                     << std::pair<QByteArray, QByteArray>{"Software", "Quillbook 1"};
            if (kind == QStringLiteral("ours") || kind == QStringLiteral("ours earlier"))
                keys << std::pair<QByteArray, QByteArray>{
                    "X-Quillbook::Generation",
                    QByteArray::number(ThumbnailCache::Generation - (kind == QStringLiteral("ours") ? 0 : 1))};
            if (kind == QStringLiteral("odd size"))
                keys << std::pair<QByteArray, QByteArray>{"Thumb::Image::Width", "5000"}
                     << std::pair<QByteArray, QByteArray>{"Thumb::Image::Height", "100"};
            QVERIFY(TestPictures::WriteBytes(entry, pngWith(green, keys)));
        }
        const SlotReader::Read read = ReadSlotPicture(picture, Box, 1.0, cache);
        QVERIFY(!read.result.error.failed());
        QCOMPARE(QColor(read.result.picture.shown.pixel(100, 60)) == QColor(Qt::green), used);
        QCOMPARE(read.result.picture.shown.size(), QSize(200, 133));
    }

    void cacheThatCannotBeWritten()
    {
        // Its folder's place is taken by a file (read-only folders do not stop root).
        QVERIFY(TestPictures::WriteBytes(dir->filePath(QStringLiteral("cache")), "a file"));
        const SlotReader::Read read = ReadSlotPicture(picture, Box, 1.0, cache);
        QVERIFY(!read.result.error.failed());
        QCOMPARE(read.result.picture.shown.size(), QSize(200, 133));
        QVERIFY(read.keep);
        QVERIFY(!SlotReader::Keep(cache, *read.keep));
        QVERIFY(!ReadSlotPicture(picture, Box, 1.0, cache).result.error.failed());
        // The picture's own folder holds nothing new.
        QCOMPARE(QDir(QFileInfo(picture).path()).entryList(QDir::Files), QStringList{QStringLiteral("P1I0.bmp")});
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
    ThumbnailCache cache;
    QString picture;
};

QTEST_MAIN(TestThumbnailCache)
#include "tst_thumbnailcache.moc"
