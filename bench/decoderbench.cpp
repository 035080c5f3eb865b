// The sealed decoder helper against the same libraries decoding in the program:
// a page of twelve 12-megapixel HEIC pictures and a page of twelve PNG
// screenshots, each read at slot size on two threads, both ways in the same run,
// interleaved round by round. Prints medians and the ratio (the promise: at most 1.15).
// And the cost of a colour profile on a JPEG page (read in the program): the same
// pictures with an Adobe RGB profile and without one (the promise: at most 1.10).
// Per format (PNG, WebP, 16-bit TIFF, GIF, HEIC, AVIF): one whole picture decoded through the
// helper to the program's 32-bit sRGB picture against the format's own library decoding the same
// file to 32 bits in this process, interleaved round by round (the promise: at most 1.3).
// Page against the desktop's thumbnailers (argument "thumbnailers", alone): per format (JPEG, PNG,
// HEIC, AVIF, 16-bit TIFF) a page of twelve pictures at 230 pixels through the program's loader on
// one thread against vipsthumbnail, gdk-pixbuf-thumbnailer and heif-thumbnailer (those installed
// that read the format), each as a desktop runs it, interleaved round by round; the ratio is to the
// fastest (the goal: at most 1.0). A peer that is not installed or cannot read the format is named
// and left out; a format no peer reads is skipped ("thumbnailers HEIC": the rows whose name starts so).
// Progressive JPEG (argument "progressive", alone; also in the full run): a page of twelve
// progressive 24-megapixel JPEGs at slot size through the loader, whose reading stops once the
// slot's pixels are known, against the same load left to Qt's reader (reading every scan), and the
// same page stored baseline as the floor, picture after picture, interleaved round by round (the
// goal: at most 0.65 of Qt's reader).
// Argument "jpeg": that page only; "formats": the format rows only ("formats PNG": those whose
// name starts so).
#include "benchpictures.h"
#include "decoding.h"
#include "formatdecoders.h"
#include "pictureloader.h"
#include "progressivejpeg.h"
#include "testheif.h"
#include "thumbnailpeers.h"

#include <QDir>
#include <QFile>
#include <QColorSpace>
#include <QGuiApplication>
#include <QImageWriter>
#include <QImageReader>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <libheif/heif.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 5;
const QSize SlotBox(250, 250);

QImage photo(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int n = ((x * 7 + y * 13 + seed * 31) ^ (x * y)) & 15;
            line[3 * x] = uchar((x * 255 / width + n) & 255);
            line[3 * x + 1] = uchar((y * 255 / height + n) & 255);
            line[3 * x + 2] = uchar(((x + y) * 128 / (width + height) + 64 + n) & 255);
        }
    }
    return image;
}

QByteArray heic(const QImage& rgb)
{
    TestHeif::Options options;
    options.quality = 85;
    options.preset = "ultrafast";
    return TestHeif::Encode(rgb, heif_compression_HEVC, options);
}

QImage screenshot(int seed)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(QColor(0xf4, 0xf4, 0xf4));
    QPainter p(&image);
    for (int i = 0; i < 40; ++i) {
        p.fillRect(QRect((i * 97 + seed * 13) % 1800, (i * 53) % 1000, 120 + i * 3, 60), QColor::fromHsv((i * 37 + seed * 50) % 360, 80, 230));
        p.drawText(QPoint((i * 131) % 1800, (i * 71) % 1050 + 20), QStringLiteral("Quillbook window %1 — settings, files, pictures").arg(i));
    }
    p.end();
    return image;
}

// Makes the pages once, in a cache folder.
QStringList prepare(const QString& folder, const char* kind)
{
    QDir().mkpath(folder);
    QStringList files;
    const bool isHeic = QByteArray(kind) == "heic";
    const bool isJpeg = QByteArray(kind).startsWith("jpg");
    const bool isAvif = QByteArray(kind) == "avif", isTiff16 = QByteArray(kind) == "tif16";
    for (int i = 0; i < 12; ++i) {
        const QString path = folder + QStringLiteral("/%1-%2.pic").arg(QLatin1String(kind)).arg(i);
        files << path;
        if (QFile::exists(path))
            continue;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        if (isHeic) {
            f.write(heic(photo(4000, 3000, i % 3)));
        } else if (isAvif) {
            TestHeif::Options options;
            options.quality = 80;
            f.write(TestHeif::Encode(photo(2000, 1500, i % 3), heif_compression_AV1, options));
        } else if (isTiff16) {
            f.write(FormatDecoders::MakeTiff16(photo(2400, 1600, i % 3)));
        } else if (isJpeg) {
            const bool large = QByteArray(kind).startsWith("jpg24");
            QImage picture = large ? BenchPictures::Photo(6000, 4000, i % 3 + 1) : photo(4000, 3000, i % 3);
            if (QByteArray(kind) == "jpg-adobergb")
                picture.setColorSpace(QColorSpace(QColorSpace::AdobeRgb)); // written as its ICC profile
            QImageWriter writer(&f, "JPEG");
            writer.setQuality(90);
            writer.setProgressiveScanWrite(QByteArray(kind) == "jpg24-progressive");
            writer.write(picture);
        } else {
            screenshot(i).save(&f, "PNG");
        }
    }
    return files;
}

// Each picture on one of two threads, in turn.
double onTwoThreads(const QStringList& files, const std::function<bool(const QString&)>& read, int& read_ok)
{
    std::atomic<int> next{0}, ok{0};
    const auto t0 = Clock::now();
    auto work = [&] {
        for (int i = next++; i < files.size(); i = next++)
            ok += read(files[i]) ? 1 : 0;
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    read_ok = ok;
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// The same library in the program: libheif, then the same finish to the slot.
bool heifInProcess(const QString& path)
{
    const QByteArray bytes = bytesOf(path);
    heif_context* context = heif_context_alloc();
    heif_context_read_from_memory_without_copy(context, bytes.constData(), size_t(bytes.size()), nullptr);
    heif_image_handle* handle = nullptr;
    heif_context_get_primary_image_handle(context, &handle);
    heif_image* decoded = nullptr;
    heif_decode_image(handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr);
    bool ok = false;
    if (decoded) {
        int stride = 0;
        const uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
        const QImage view(plane, heif_image_get_width(decoded, heif_channel_interleaved),
                          heif_image_get_height(decoded, heif_channel_interleaved), stride, QImage::Format_RGB888);
        ok = !Pictures::Finished(view, Pictures::TargetSize(view.size(), SlotBox), 1.0).isNull();
        heif_image_release(decoded);
    }
    heif_image_handle_release(handle);
    heif_context_free(context);
    return ok;
}

// Qt's PNG reader in the program, then the same finish to the slot.
bool pngInProcess(const QString& path)
{
    QImageReader reader(path);
    const QImage image = reader.read();
    return !Pictures::Finished(image, Pictures::TargetSize(image.size(), SlotBox), 1.0).isNull();
}

// The program's own loader: the sealed helper for HEIC and PNG, libjpeg-turbo in the program for JPEG.
bool throughLoader(const QString& path)
{
    const Pictures::LoadResult r = Pictures::LoadPicture(path, SlotBox);
    if (r.error.failed())
        std::printf("%s: %s\n", qPrintable(path), qPrintable(r.error.description));
    return !r.error.failed();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timed(const std::function<bool()>& work, bool& ok)
{
    const auto t0 = Clock::now();
    ok = work() && ok;
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// One row a format; false when a row is over its promise.
bool formatRows(const QString& cache, const QByteArray& only = {})
{
    constexpr double Promise = 1.3;
    const QImage picture = photo(2400, 1600, 1);
    struct Row {
        const char* name;
        const char* file;
        std::function<QByteArray()> make;
        std::function<QImage(const QString& path)> direct;
    };
    using namespace FormatDecoders;
    const std::vector<Row> rows{
        {"PNG 2400x1600 (libpng)", "whole.png", [&] { return MakePng(picture); }, [](const QString& p) { return Png(bytesOf(p)); }},
        {"WebP 2400x1600 (libwebp)", "whole.webp", [&] { return MakeWebp(picture); }, [](const QString& p) { return Webp(bytesOf(p)); }},
        {"TIFF 16-bit 2400x1600 (libtiff)", "whole.tif", [&] { return MakeTiff16(picture); }, [](const QString& p) { return Tiff(p); }},
        {"GIF 2400x1600 (giflib)", "whole.gif", [&] { return MakeGif(picture); }, [](const QString& p) { return Gif(bytesOf(p)); }},
        {"HEIC 2400x1600 (libheif)", "whole.heic", [&] { return heic(picture); }, [](const QString& p) { return Heif(bytesOf(p)); }},
        {"AVIF 2400x1600 (libavif)", "whole.avif",
         [&] {
             TestHeif::Options options;
             options.quality = 80;
             return TestHeif::Encode(picture, heif_compression_AV1, options);
         },
         [](const QString& p) { return Avif(bytesOf(p)); }},
    };
    bool within = true;
    for (const Row& row : rows) {
        if (!QByteArray(row.name).startsWith(only))
            continue;
        const QString path = cache + QStringLiteral("/") + QLatin1String(row.file);
        if (!QFile::exists(path)) {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(row.make()) <= 0) {
                std::printf("%s: could not be made\n", row.name);
                return false;
            }
        }
        const auto helper = [&] {
            const Pictures::LoadResult r = Pictures::LoadPicture(path);
            return !r.error.failed() && r.picture.shown.size() == picture.size();
        };
        const auto direct = [&] { return row.direct(path).size() == picture.size(); };
        bool ok = true;
        timed(helper, ok); // a helper started, the file in the page cache
        timed(direct, ok);
        std::vector<double> throughHelper, inProcess;
        for (int round = 0; round < 2 * Rounds + 1; ++round) {
            throughHelper.push_back(timed(helper, ok));
            inProcess.push_back(timed(direct, ok));
        }
        if (!ok) {
            std::printf("%s: not read whole both ways\n", row.name);
            return false;
        }
        const double ratio = median(throughHelper) / median(inProcess);
        std::printf("%-34s sealed helper %8.1f ms   own library %8.1f ms   ratio %.2f %s\n", row.name,
                    median(throughHelper), median(inProcess), ratio, ratio <= Promise ? "(within 1.30)" : "(OVER 1.30)");
        std::fflush(stdout);
        within = within && ratio <= Promise;
    }
    return within;
}


// The page through the program's loader against the desktop's thumbnailers; false when over the goal.
bool thumbnailerRows(const QString& cache, const QByteArray& only)
{
    constexpr int Side = 230;
    constexpr int PeerRounds = 3;
    struct Format {
        const char* name;
        const char* kind;
    };
    const std::vector<Format> formats{{"JPEG 12 x 12 MP", "jpg-plain"},   {"PNG 12 x 1920x1080", "png"},
                                      {"HEIC 12 x 12 MP", "heic"},        {"AVIF 12 x 2000x1500", "avif"},
                                      {"TIFF 16-bit 12 x 2400x1600", "tif16"}};
    const QList<ThumbnailPeers::Peer> peers = ThumbnailPeers::Peers();
    for (const ThumbnailPeers::Peer& peer : peers) {
        if (peer.program.isEmpty())
            std::printf("%s is not installed: its column is left out\n", qPrintable(peer.name));
    }
    const auto ours = [](const QStringList& page) {
        bool ok = true;
        for (const QString& path : page)
            ok = !Pictures::LoadPicture(path, QSize(Side, Side)).error.failed() && ok;
        return ok;
    };
    bool within = true;
    for (const Format& format : formats) {
        if (!QByteArray(format.name).startsWith(only))
            continue;
        const QStringList page = prepare(cache, format.kind);
        QTemporaryDir out;
        const auto peerRun = [&](const ThumbnailPeers::Peer& peer) {
            QDir(out.path()).removeRecursively();
            QDir().mkpath(out.path());
            return peer.run(page, Side, out.path());
        };
        // Which installed peers read the format (one page each, which also warms them up).
        QList<ThumbnailPeers::Peer> reading;
        QStringList notes;
        for (const ThumbnailPeers::Peer& peer : peers) {
            if (peer.program.isEmpty())
                continue;
            if (peerRun(peer))
                reading << peer;
            else
                notes << peer.name + QStringLiteral(" cannot read it");
        }
        if (!ours(page)) {
            std::printf("%-28s the program's loader could not read the page\n", format.name);
            within = false;
            continue;
        }
        if (reading.isEmpty()) {
            std::printf("%-28s no peer reads it (%s): skipped\n", format.name, qPrintable(notes.join(QStringLiteral(", "))));
            continue;
        }
        std::vector<double> loader;
        std::vector<std::vector<double>> peerTimes(std::size_t(reading.size()));
        QString failed;
        for (int round = 0; round < PeerRounds; ++round) {
            // Ours and each peer in turn, starting one further along each round.
            for (int turn = 0; turn <= reading.size(); ++turn) {
                const int who = (turn + round) % int(reading.size() + 1);
                bool ok = true;
                if (who == reading.size())
                    loader.push_back(timed([&] { return ours(page); }, ok));
                else
                    peerTimes[std::size_t(who)].push_back(timed([&] { return peerRun(reading[who]); }, ok));
                if (!ok)
                    failed = who == reading.size() ? QStringLiteral("the loader") : reading[who].name;
            }
        }
        if (!failed.isEmpty()) {
            std::printf("%-28s a page failed while timed (%s)\n", format.name, qPrintable(failed));
            within = false;
            continue;
        }
        QString line;
        double best = 0;
        QString bestName;
        for (int i = 0; i < reading.size(); ++i) {
            const double m = median(peerTimes[std::size_t(i)]);
            line += QStringLiteral("   %1 %2 ms").arg(reading[i].name).arg(m, 0, 'f', 1);
            if (bestName.isEmpty() || m < best)
                best = m, bestName = reading[i].name;
        }
        const double ratio = median(loader) / best;
        std::printf("%-28s loader %7.1f ms%s   ratio to %s %.2f %s%s\n", format.name, median(loader), qPrintable(line),
                    qPrintable(bestName), ratio, ratio <= 1.0 ? "(within 1.00)" : "(OVER 1.00)",
                    notes.isEmpty() ? "" : qPrintable(QStringLiteral("   (") + notes.join(QStringLiteral(", ")) + u')'));
        std::fflush(stdout);
        within = within && ratio <= 1.0;
    }
    return within;
}

} // namespace

// One picture after another, the reading stopped early or (`early` false) left to Qt's reader.
double onePage(const QStringList& files, bool early, bool& ok)
{
    ProgressiveJpeg::SetEnabled(early);
    const auto t0 = Clock::now();
    for (const QString& file : files)
        ok = throughLoader(file) && ok;
    ProgressiveJpeg::SetEnabled(true);
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

bool progressiveRows(const QString& cache)
{
    const QStringList progressive = prepare(cache, "jpg24-progressive"), baseline = prepare(cache, "jpg24-baseline");
    bool ok = true;
    onePage(progressive, true, ok); // files in the page cache
    onePage(baseline, true, ok);
    const int before = ProgressiveJpeg::Counted().pictures;
    std::vector<double> early, qt, floor;
    for (int round = 0; round < Rounds; ++round) {
        early.push_back(onePage(progressive, true, ok));
        qt.push_back(onePage(progressive, false, ok));
        floor.push_back(onePage(baseline, true, ok));
    }
    const bool stopped = ProgressiveJpeg::Counted().pictures - before == Rounds * progressive.size();
    const double ratio = median(early) / median(qt);
    std::printf("%-34s stopping early %8.1f ms   Qt's reader %8.1f ms   baseline %8.1f ms   ratio %.2f %s\n",
                "Progressive JPEG, 12 x 24 MP", median(early), median(qt), median(floor), ratio,
                ratio <= 0.65 ? "(within 0.65)" : "(OVER 0.65)");
    std::printf("%-34s a picture: %.0f ms, %.0f ms, %.0f ms%s\n", "", median(early) / 12, median(qt) / 12,
                median(floor) / 12, stopped ? "" : "   (NOT READ BY THE EARLY-STOPPING READER)");
    return ok && stopped && ratio <= 0.65;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QImageReader::setAllocationLimit(int(Pictures::MemoryBudgetBytes >> 20));
    heif_init(nullptr);
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/quillbook-bench/decoder");
    struct Page {
        const char* name;
        QStringList files;
        std::function<bool(const QString&)> inProcess;
    };
    std::vector<Page> pages{{"HEIC, 12 x 12 MP", prepare(cache, "heic"), heifInProcess},
                            {"PNG screenshots, 12 x 1920x1080", prepare(cache, "png"), pngInProcess}};
    int status = 0;
    if (argc > 1 && QByteArray(argv[1]) == "progressive") {
        status = progressiveRows(cache) ? 0 : 1;
        heif_deinit();
        return status;
    }
    if (argc > 1 && QByteArray(argv[1]) == "thumbnailers") {
        status = thumbnailerRows(cache, argc > 2 ? QByteArray(argv[2]) : QByteArray()) ? 0 : 1;
        heif_deinit();
        return status;
    }
    if (argc > 1 && QByteArray(argv[1]) == "formats") {
        QDir().mkpath(cache);
        status = formatRows(cache, argc > 2 ? QByteArray(argv[2]) : QByteArray()) ? 0 : 1;
        heif_deinit();
        return status;
    }
    // The colour profile's cost on the JPEG page: the same pictures with and without one.
    {
        const QStringList profiled = prepare(cache, "jpg-adobergb"), plain = prepare(cache, "jpg-plain");
        std::vector<double> withProfile, without;
        int ok = 0;
        onTwoThreads(profiled, throughLoader, ok);
        onTwoThreads(plain, throughLoader, ok);
        for (int round = 0; round < Rounds; ++round) {
            withProfile.push_back(onTwoThreads(profiled, throughLoader, ok));
            without.push_back(onTwoThreads(plain, throughLoader, ok));
        }
        const double ratio = median(withProfile) / median(without);
        std::printf("%-34s with an Adobe RGB profile %8.1f ms   without %8.1f ms   ratio %.2f %s\n",
                    "JPEG, 12 x 12 MP", median(withProfile), median(without), ratio,
                    ratio <= 1.10 ? "(within 1.10)" : "(OVER 1.10)");
        if (ratio > 1.10)
            status = 1;
    }
    if (argc > 1 && QByteArray(argv[1]) == "jpeg")
        pages.clear(); // the colour profile's cost only
    else if (!formatRows(cache) || !progressiveRows(cache))
        status = 1;
    for (const Page& page : pages) {
        std::vector<double> helper, direct;
        int ok = 0;
        onTwoThreads(page.files, throughLoader, ok); // helpers started, files in the page cache
        for (int round = 0; round < Rounds; ++round) {
            int okHelper = 0, okDirect = 0;
            helper.push_back(onTwoThreads(page.files, throughLoader, okHelper));
            direct.push_back(onTwoThreads(page.files, page.inProcess, okDirect));
            if (okHelper != 12 || okDirect != 12) {
                std::printf("%s: only %d (helper) and %d (in the program) of 12 read\n", page.name, okHelper, okDirect);
                return 2;
            }
        }
        const double ratio = median(helper) / median(direct);
        std::printf("%-34s sealed helper %8.1f ms   in the program %8.1f ms   ratio %.2f %s\n", page.name,
                    median(helper), median(direct), ratio, ratio <= 1.15 ? "(within 1.15)" : "(OVER 1.15)");
        if (ratio > 1.15)
            status = 1;
    }
    heif_deinit();
    return status;
}
