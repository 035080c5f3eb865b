// Saving a page of twelve 24-megapixel pictures: all twelve changed, and one
// changed with eleven unchanged, against `cp` of the same bytes in the same
// run (and `cp` followed by `sync`, since the page writer syncs every file
// before it takes the old one's place). Then a page of twelve phone photos
// (12 MP JPEGs) added from their files, saved as their own bytes, against the
// same `cp` (the private copies are made before the clock starts and are not
// flushed: the save's one flush writes them, as `cp` plus `sync` writes its
// copies), and the saved album folder's size against the photos' own, for
// JPEG and HEIC, with the size the same page took as bitmaps before.
// Rounds are interleaved.
#include "albumpaths.h"
#include "benchpictures.h"
#include "keptfile.h"
#include "pagewriter.h"
#include "pictureloader.h"
#include "testheif.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 3;
QString root, sources, album, copies;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double since(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

QString source(int slot)
{
    return sources + QStringLiteral("/photo%1.bmp").arg(slot);
}

// Twelve 6000 by 4000 bitmaps, made once.
void prepare()
{
    QDir().mkpath(sources);
    for (int s = 0; s < 12; ++s) {
        if (QFile::exists(source(s)))
            continue;
        QImage image(6000, 4000, QImage::Format_RGB888);
        for (int y = 0; y < image.height(); ++y) {
            uchar* line = image.scanLine(y);
            for (int x = 0; x < image.width() * 3; ++x)
                line[x] = uchar((x * 7 + y * 3 + s * 31) ^ (x >> 5));
        }
        image.save(source(s), "BMP");
    }
}

double ourSave(const std::vector<int>& changed)
{
    std::vector<PageWriter::Slot> page;
    for (int s = 0; s < 12; ++s) {
        Picture p;
        const bool fromSource = std::find(changed.begin(), changed.end(), s) != changed.end();
        p.sourcePath = fromSource ? source(s) : album + u'/' + AlbumPaths::SlotFileName(3, s);
        page.push_back({s, p});
    }
    const auto t0 = Clock::now();
    const RunError e = PageWriter::WritePage(album, 3, page);
    const double ms = since(t0);
    if (e.failed())
        qFatal("%s", qPrintable(e.description));
    return ms;
}

double cp(const std::vector<int>& changed, bool sync)
{
    QStringList args;
    for (int s : changed)
        args << source(s);
    args << copies;
    const auto t0 = Clock::now();
    QProcess::execute(QStringLiteral("cp"), args);
    if (sync)
        QProcess::execute(QStringLiteral("sync"), {QStringLiteral("-f"), copies});
    return since(t0);
}

void compare(benchmark::State& state, const std::vector<int>& changed)
{
    ourSave({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}); // the album holds every picture once
    std::vector<double> ours, plain, synced;
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            // Each starts with nothing left to write back from the one before.
            ::sync();
            plain.push_back(cp(changed, false));
            ::sync();
            ours.push_back(ourSave(changed));
            ::sync();
            synced.push_back(cp(changed, true));
        }
    }
    state.counters["ours_ms"] = median(ours);
    state.counters["cp_ms"] = median(plain);
    state.counters["cp_sync_ms"] = median(synced);
    state.counters["ours_vs_cp"] = median(ours) / median(plain);
    state.counters["ours_vs_cp_sync"] = median(ours) / median(synced);
}

void BM_AllTwelveChanged(benchmark::State& state)
{
    compare(state, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
}

void BM_OneChangedElevenUnchanged(benchmark::State& state)
{
    compare(state, {5});
}

// Twelve phone photos, 4000 by 3000, as JPEG (quality 92) or HEIC, made once.
QString phone(const QString& format, int slot)
{
    return root + QStringLiteral("/phone-") + format + QStringLiteral("/photo%1.").arg(slot) + format;
}

void preparePhones(const QString& format)
{
    QDir().mkpath(QFileInfo(phone(format, 0)).path());
    for (int s = 0; s < 12; ++s) {
        if (QFile::exists(phone(format, s)))
            continue;
        const QImage photo = BenchPictures::Photo(4000, 3000, s + 1);
        if (format == u"jpg") {
            photo.save(phone(format, s), "JPEG", 92);
            continue;
        }
        TestHeif::Options options;
        options.preset = "ultrafast";
        options.quality = 50; // about the size a phone writes (2 to 3 MB for 12 MP of this noisy content)
        const QByteArray heic = TestHeif::Encode(photo, heif_compression_HEVC, options);
        QFile out(phone(format, s));
        if (heic.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(heic) != heic.size())
            qFatal("no HEIC encoder");
    }
}

// The page as the page screen holds it after the photos were added: private copies.
std::vector<PageWriter::Slot> keptPage(const QString& format)
{
    std::vector<PageWriter::Slot> page;
    for (int s = 0; s < 12; ++s) {
        RunError error;
        Picture p;
        p.kept = KeptFile::Copy(phone(format, s), &error);
        if (!p.kept)
            qFatal("%s", qPrintable(error.description));
        p.sourcePath = p.kept->Path();
        p.originalName = p.kept->OriginalName();
        page.push_back({s, p});
    }
    return page;
}

// Bytes on disk (allocated blocks) of the regular files in `folder`.
double folderBytes(const QString& folder)
{
    double bytes = 0;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        struct stat st {};
        if (::stat(QFile::encodeName(f.filePath()).constData(), &st) == 0)
            bytes += double(st.st_blocks) * 512;
    }
    return bytes;
}

double savePage(const QString& folder, const std::vector<PageWriter::Slot>& page, bool syncFirst = true)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    if (syncFirst)
        ::sync();
    const auto t0 = Clock::now();
    const RunError e = PageWriter::WritePage(folder, 1, page);
    const double ms = since(t0);
    if (e.failed())
        qFatal("%s", qPrintable(e.description));
    return ms;
}

double cpPhones(const QString& format)
{
    QDir(copies).removeRecursively();
    QDir().mkpath(copies);
    QStringList args;
    for (int s = 0; s < 12; ++s)
        args << phone(format, s);
    args << copies;
    ::sync();
    const auto t0 = Clock::now();
    QProcess::execute(QStringLiteral("cp"), args);
    QProcess::execute(QStringLiteral("sync"), {QStringLiteral("-f"), copies});
    return since(t0);
}

// (a) A page save of twelve kept JPEGs against `cp` plus `sync -f` of the same files (the writer
// flushes before it puts files in place). The first save of a private copy links it: nothing is
// copied, the flush writes the copies made when the photos were added (also timed with the making
// of the copies, the whole of what `cp` does); a second save of the same copies, into another
// album, copies them in the kernel.
void BM_TwelveKeptJpegs(benchmark::State& state)
{
    preparePhones(QStringLiteral("jpg"));
    std::vector<double> linked, keepAndLink, copied, plain;
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            plain.push_back(cpPhones(QStringLiteral("jpg")));
            QDir(album + QStringLiteral("-kept")).removeRecursively();
            ::sync();
            const auto t0 = Clock::now();
            const std::vector<PageWriter::Slot> page = keptPage(QStringLiteral("jpg")); // done as they are added
            const double keeping = since(t0);
            linked.push_back(savePage(album + QStringLiteral("-kept"), page, false)); // flushes the copies too
            keepAndLink.push_back(keeping + linked.back());
            copied.push_back(savePage(album + QStringLiteral("-kept2"), page));
        }
    }
    state.counters["save_linked_ms"] = median(linked);
    state.counters["keep_and_save_ms"] = median(keepAndLink);
    state.counters["save_copied_ms"] = median(copied);
    state.counters["cp_sync_ms"] = median(plain);
    state.counters["linked_vs_cp_sync"] = median(linked) / median(plain);
    state.counters["keep_and_save_vs_cp_sync"] = median(keepAndLink) / median(plain);
    state.counters["copied_vs_cp_sync"] = median(copied) / median(plain);
}

// (b) The saved album folder against the photos' own files, and the same page as bitmaps
// (each photo decoded and written as a bitmap, as every picture was saved before).
void albumSize(benchmark::State& state, const QString& format)
{
    preparePhones(format);
    double originals = 0;
    for (int s = 0; s < 12; ++s) {
        struct stat st {};
        ::stat(QFile::encodeName(phone(format, s)).constData(), &st);
        originals += double(st.st_blocks) * 512;
    }
    const QString folder = album + QStringLiteral("-size-") + format;
    for (auto _ : state) {
        savePage(folder, keptPage(format));
        state.counters["album_vs_originals"] = folderBytes(folder) / originals;
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        for (int s = 0; s < 12; ++s) { // decoded and written as a bitmap, one at a time
            Picture p;
            p.full = Pictures::LoadPicture(phone(format, s)).picture.shown;
            if (p.full.isNull() || PageWriter::WritePage(folder, 1, {{s, p}}).failed())
                qFatal("no bitmap of %s", qPrintable(phone(format, s)));
        }
        state.counters["bitmaps_vs_originals"] = folderBytes(folder) / originals;
        QDir(folder).removeRecursively();
    }
    state.counters["originals_MB"] = originals / 1e6;
}

void BM_AlbumSizeJpeg(benchmark::State& state)
{
    albumSize(state, QStringLiteral("jpg"));
}

void BM_AlbumSizeHeic(benchmark::State& state)
{
    albumSize(state, QStringLiteral("heic"));
}

} // namespace

BENCHMARK(BM_TwelveKeptJpegs)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AlbumSizeJpeg)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AlbumSizeHeic)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AllTwelveChanged)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OneChangedElevenUnchanged)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    root = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench")) +
           QStringLiteral("/save");
    sources = root + QStringLiteral("/sources");
    album = root + QStringLiteral("/album");
    copies = root + QStringLiteral("/cp");
    KeptFile::SetFolder(root + QStringLiteral("/kept")); // beside the album, as ~/.cache and the program folder usually are
    prepare();
    QDir().mkpath(album);
    QDir().mkpath(copies);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
