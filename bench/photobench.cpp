// The photo data store against the sqlite3 command-line tool on the same file
// in the same run: the full listing opened and stepped through 1,000 records,
// and a browser search, on 100,000 notes across 500 albums. Rounds are
// interleaved; prints medians and the ratio ours / sqlite3.
#include "photorecordset.h"
#include "photostore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

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

// Made once: 100,000 notes with words a search can find.
void prepareStore(const QString& folder)
{
    QDir().mkpath(folder);
    storePath = folder + QStringLiteral("/PhotoData.mdb");
    if (QFile::exists(storePath + QStringLiteral(".ready")))
        return;
    QFile::remove(storePath);
    auto db = PhotoDatabase::Open(storePath, nullptr);
    QSqlDatabase c = db->connection();
    c.transaction();
    QSqlQuery q(c);
    q.prepare(QStringLiteral("INSERT INTO PhotoData VALUES (?, ?, ?, ?, ?, ?, ?)"));
    const char* words[] = {"beach", "dog", "garden", "mountain", "birthday", "lake", "snow", "city"};
    for (int n = 0; n < Notes; ++n) {
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
    QFile ready(storePath + QStringLiteral(".ready"));
    ready.open(QIODevice::WriteOnly);
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

} // namespace

BENCHMARK(BM_FullListingStep1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BrowserSearch)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    prepareStore(qEnvironmentVariable("QUILL_BENCH_DIR", QDir::tempPath() + QStringLiteral("/quill-bench")) +
                 QStringLiteral("/photodata"));
    ourListing(PhotoQuery::FullListing(), 10); // warm the page cache for both
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
