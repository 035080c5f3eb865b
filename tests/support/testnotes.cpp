#include "testnotes.h"

#include "photorecordset.h"
#include "photostore.h"
#include "session.h"

#include <QTest>

namespace TestNotes {

void Add(PhotoDatabase& db, const QString& album, int page, int slot, const QString& text)
{
    RunError e;
    auto rs = db.OpenRecordset(PhotoQuery::Table(), &e);
    QVERIFY2(rs, qPrintable(e.description));
    QVERIFY(!rs->AddNew().failed());
    QVERIFY(!rs->SetField(PhotoFields::AlbumName, album).failed());
    QVERIFY(!rs->SetField(PhotoFields::PageNr, QString::number(page)).failed());
    QVERIFY(!rs->SetField(PhotoFields::Pa, page).failed());
    QVERIFY(!rs->SetField(PhotoFields::ImageNr, QStringLiteral("P%1I%2").arg(page).arg(slot)).failed());
    QVERIFY(!rs->SetField(PhotoFields::P2, slot).failed());
    QVERIFY(!rs->SetField(PhotoFields::Date, QStringLiteral("1999")).failed());
    QVERIFY(!rs->SetField(PhotoFields::Discription, text).failed());
    const RunError stored = rs->Update();
    QVERIFY2(!stored.failed(), qPrintable(stored.description));
}

void Add(const QString& album, int page, int slot, const QString& text)
{
    RunError e;
    auto db = PhotoDatabase::OpenInProgramFolder(session.appPath, &e);
    QVERIFY2(db, qPrintable(e.description));
    Add(*db, album, page, slot, text);
}

QStringList Walk(PhotoRecordset& rs, const std::function<QString(PhotoRecordset&)>& row, int bound)
{
    QStringList rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        if (rows.size() == bound) {
            QTest::qFail(qPrintable(QStringLiteral("The record set did not end after %1 records").arg(bound)),
                         __FILE__, __LINE__);
            break;
        }
        rows << row(rs);
    }
    return rows;
}

QStringList Listing(PhotoDatabase& db, const PhotoQuery& query)
{
    auto rs = db.OpenRecordset(query, nullptr);
    if (!rs)
        return {QStringLiteral("<failed>")};
    return Walk(*rs, [](PhotoRecordset& r) {
        return r.Text(PhotoFields::AlbumName) + u'/' + r.Text(PhotoFields::ImageNr) + u'/' +
               r.Text(PhotoFields::Discription);
    });
}

} // namespace TestNotes
