// The photo data store against the sqlite3 command-line tool on the same file
// in the same run: the full listing opened and stepped through 1,000 records,
// and a browser search, on 100,000 notes across 500 albums. Rounds are
// interleaved; prints medians and the ratio ours / sqlite3.
//
// Start-up with a million notes: from StartUp to the cover on screen and to
// the options screen, after a change of the notes (a backup is due) against
// no change (no backup), interleaved in the same run; beside them how long
// the backup took on its own thread, and what the same backup costs when
// start-up waits for it.
#include "forms.h"
#include "frmoption1.h"
#include "photobackups.h"
#include "photorecordset.h"
#include "photostore.h"
#include "program.h"
#include "screennames.h"
#include "session.h"
#include "settings.h"
#include "startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 7;
constexpr int Notes = 100000;
constexpr int Albums = 500;
QString storePath;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Made once: `notes` notes with words a search can find.
void makeStore(const QString& path, int notes)
{
    if (QFile::exists(path + QStringLiteral(".ready")))
        return;
    QFile::remove(path);
    auto db = PhotoDatabase::Open(path, nullptr);
    QSqlDatabase c = db->connection();
    c.transaction();
    QSqlQuery q(c);
    q.prepare(QStringLiteral("INSERT INTO PhotoData VALUES (?, ?, ?, ?, ?, ?, ?)"));
    const char* words[] = {"beach", "dog", "garden", "mountain", "birthday", "lake", "snow", "city"};
    for (int n = 0; n < notes; ++n) {
        const int page = 1 + (n / 12) % 10, slot = n % 12;
        q.bindValue(0, QStringLiteral("Album %1 of the family").arg((n * 7919) % Albums));
        q.bindValue(1, QString::number(page));
        q.bindValue(2, page);
        q.bindValue(3, QStringLiteral("P%1I%2").arg(page).arg(slot));
        q.bindValue(4, slot);
        q.bindValue(5, QStringLiteral("%1 June 19%2").arg(1 + n % 28).arg(50 + n % 50));
        q.bindValue(6, QStringLiteral("A day at the %1 with %2 and the %3")
                           .arg(QLatin1String(words[n % 8]), QLatin1String(words[(n / 8) % 8]),
                                QLatin1String(words[(n / 64) % 8])));
        q.exec();
    }
    c.commit();
    QFile ready(path + QStringLiteral(".ready"));
    ready.open(QIODevice::WriteOnly);
}

void prepareStore(const QString& folder)
{
    QDir().mkpath(folder);
    storePath = folder + QStringLiteral("/PhotoData.mdb");
    makeStore(storePath, Notes);
}

double ourListing(const PhotoQuery& query, int steps)
{
    const auto t0 = Clock::now();
    auto db = PhotoDatabase::Open(storePath, nullptr);
    auto rs = db->OpenRecordset(query, nullptr);
    qsizetype chars = 0;
    rs->MoveFirst();
    for (int i = 0; i < steps && !rs->Eof(); ++i, rs->MoveNext()) {
        for (const QString& f : {PhotoFields::AlbumName, PhotoFields::PageNr, PhotoFields::ImageNr, PhotoFields::Date,
                                 PhotoFields::Discription})
            chars += rs->Text(f).size();
    }
    benchmark::DoNotOptimize(chars);
    rs.reset();
    db.reset();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double cliListing(const QString& sql)
{
    const auto t0 = Clock::now();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), storePath, sql});
    p.waitForFinished(-1);
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void compare(benchmark::State& state, const PhotoQuery& ours, int steps, const QString& sql)
{
    std::vector<double> mine, theirs;
    for (auto _ : state) {
        for (int round = 0; round < Rounds; ++round) {
            if (round % 2) {
                mine.push_back(ourListing(ours, steps));
                theirs.push_back(cliListing(sql));
            } else {
                theirs.push_back(cliListing(sql));
                mine.push_back(ourListing(ours, steps));
            }
        }
    }
    state.counters["ours_ms"] = median(mine);
    state.counters["sqlite3_ms"] = median(theirs);
    state.counters["ours_vs_sqlite3"] = median(mine) / median(theirs);
}

void BM_FullListingStep1000(benchmark::State& state)
{
    compare(state, PhotoQuery::FullListing(), 1000,
            QStringLiteral("select * from PhotoData order by [Album Name] collate nocase, [Pa], [P2] limit 1001"));
}

void BM_BrowserSearch(benchmark::State& state)
{
    compare(state, PhotoQuery::BrowserSearch(QStringLiteral("dog*lake")), 1000000,
            QStringLiteral("select * from PhotoData not indexed where [Discription] like '%dog%lake%' "
                           "order by [Album Name] collate nocase, [Pa], [P2]"));
}

// Start-up: a program folder with a million notes, not a first run.
constexpr int StartUpNotes = 1000000;
constexpr int StartUpRounds = 7;
QString startUpFolder;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The notes changed now (as a save moves the store's time on): the next start takes a backup.
void changeNotes(const QString& store)
{
    ::utimensat(AT_FDCWD, QFile::encodeName(store).constData(), nullptr, 0);
}

struct StartUpTimes {
    double cover = 0;   // StartUp returned: the cover is on screen
    double options = 0; // the options screen is on screen
    double backup = 0;  // the backup on its own thread is done
};

StartUpTimes startOnce()
{
    Forms::Reset();
    session = SessionState{};
    ResetStartUp();
    RegisterScreens();
    StartUpTimes t;
    const auto t0 = Clock::now();
    StartUp();
    t.cover = msSince(t0);
    auto* options = Forms::Get<FrmOption1>(Screen::Option1);
    while (!options->isVisible())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    t.options = msSince(t0);
    PhotoBackups::WaitForBackground();
    t.backup = msSince(t0);
    return t;
}

void BM_StartUpWithMillionNotes(benchmark::State& state)
{
    const QString store = startUpFolder + QStringLiteral("/PhotoData.mdb");
    const QString newest = PhotoBackups::BackupPath(store, 1);
    std::vector<double> coverWith, coverWithout, optionsWith, optionsWithout, background, foreground;
    for (auto _ : state) {
        PhotoBackups::Keep(store); // up to date before the first round
        for (int round = 0; round < StartUpRounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool withBackup = (round + turn) % 2 == 0;
                if (withBackup)
                    changeNotes(store);
                const QDateTime before = QFileInfo(newest).lastModified();
                const StartUpTimes t = startOnce();
                const bool tookOne = QFileInfo(newest).lastModified() != before;
                if (tookOne != withBackup) {
                    state.SkipWithError("a backup was taken when none was due, or none when one was");
                    return;
                }
                (withBackup ? coverWith : coverWithout).push_back(t.cover);
                (withBackup ? optionsWith : optionsWithout).push_back(t.options);
                if (withBackup) {
                    background.push_back(t.backup);
                    // The same backup, with start-up waiting for it.
                    changeNotes(store);
                    const auto t0 = Clock::now();
                    PhotoBackups::Keep(store);
                    foreground.push_back(msSince(t0));
                }
            }
        }
    }
    Forms::Reset();
    ResetStartUp();
    state.counters["store_mb"] = double(QFileInfo(store).size()) / 1e6;
    state.counters["cover_ms_backup"] = median(coverWith);
    state.counters["cover_ms_no_backup"] = median(coverWithout);
    state.counters["cover_backup_vs_none"] = median(coverWith) / median(coverWithout);
    state.counters["options_ms_backup"] = median(optionsWith);
    state.counters["options_ms_no_backup"] = median(optionsWithout);
    state.counters["options_backup_vs_none"] = median(optionsWith) / median(optionsWithout);
    state.counters["backup_done_ms"] = median(background);
    state.counters["waited_backup_ms"] = median(foreground);
}

void prepareStartUp(const QString& folder)
{
    startUpFolder = folder;
    QDir().mkpath(folder + QStringLiteral("/Wren Photo Album")); // not a first run
    makeStore(folder + QStringLiteral("/PhotoData.mdb"), StartUpNotes);
    QDir::setCurrent(folder);
    Settings::UseFile(folder + QStringLiteral("/settings.ini"));
}

} // namespace

BENCHMARK(BM_StartUpWithMillionNotes)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullListingStep1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BrowserSearch)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString benchDir = qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench"));
    prepareStore(benchDir + QStringLiteral("/photodata"));
    prepareStartUp(benchDir + QStringLiteral("/startup"));
    ourListing(PhotoQuery::FullListing(), 10); // warm the page cache for both
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
