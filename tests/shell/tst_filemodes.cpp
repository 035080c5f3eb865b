// Private by default: the program folder and every folder above it that the
// program makes are the owner's alone (0700), and so are the photo data file,
// its write-ahead log and its backups (0600), whatever the umask; the page
// writer's files follow the umask (0666 & ~umask), as any program's files do.
#include "pagewriter.h"
#include "photobackups.h"
#include "photostore.h"
#include "programfolder.h"
#include "testnotes.h"
#include "testprogram.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

int modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QString octal(int mode)
{
    return QStringLiteral("0%1").arg(mode, 3, 8, QLatin1Char('0'));
}

// The process umask for one test, put back after it.
class Umask {
public:
    explicit Umask(int mask) : m_previous(::umask(mode_t(mask))) {}
    ~Umask() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

} // namespace

class TestFileModes : public QObject {
    Q_OBJECT

private slots:
    void modes_data()
    {
        QTest::addColumn<int>("mask");
        QTest::newRow("022") << 022;
        QTest::newRow("002") << 002;
        QTest::newRow("000") << 0;
        QTest::newRow("077") << 077;
    }
    void modes()
    {
        QFETCH(int, mask);
        QTemporaryDir base;
        const Umask umask(mask);

        // A new program folder, two levels of it new too.
        const QString folder = base.filePath(QStringLiteral("share/deeper/Quillbook"));
        QString problem;
        QVERIFY2(ProgramFolder::LayOut(folder, QFileInfo(MadeAsset(QStringLiteral("Empty.bmp"))).path(), &problem),
                 qPrintable(problem));
        for (const QString& made : {base.filePath(QStringLiteral("share")), base.filePath(QStringLiteral("share/deeper")), folder})
            QCOMPARE(octal(modeOf(made)), octal(0700));
        const QString laidOut = folder + QStringLiteral("/PhotoData.mdb");
        QCOMPARE(octal(modeOf(laidOut)), octal(0600));

        // A store made afresh, its log once written, and its backups.
        const QString store = base.filePath(QStringLiteral("PhotoData.mdb"));
        {
            RunError e;
            auto db = PhotoDatabase::Open(store, &e);
            QVERIFY2(db, qPrintable(e.description));
            TestNotes::Add(*db, QStringLiteral("A"), 1, 1, QStringLiteral("private"));
            QCOMPARE(octal(modeOf(store)), octal(0600));
            QCOMPARE(octal(modeOf(store + QStringLiteral("-wal"))), octal(0600));
            QVERIFY(!PhotoBackups::Keep(store).failed());
            QTest::qWait(5); // a later file time than the backup
            TestNotes::Add(*db, QStringLiteral("A"), 1, 2, QStringLiteral("private too"));
            QVERIFY(!PhotoBackups::Keep(store).failed());
        }
        for (int g = 1; g <= 2; ++g)
            QCOMPARE(octal(modeOf(PhotoBackups::BackupPath(store, g))), octal(0600));

        // A page written into an album folder.
        const QString album = base.filePath(QStringLiteral("Holiday"));
        QVERIFY(QDir().mkdir(album));
        QImage pixels(8, 8, QImage::Format_RGB32);
        pixels.fill(Qt::red);
        PageWriter::Slot slot;
        slot.slot = 0;
        slot.picture.shown = pixels;
        slot.picture.natural = pixels.size();
        slot.picture.full = pixels;
        QVERIFY(!PageWriter::WritePage(album, 1, {slot}).failed());
        QCOMPARE(octal(modeOf(album + QStringLiteral("/P1I0.bmp"))), octal(0666 & ~mask));
    }
};

QTEST_MAIN(TestFileModes)
#include "tst_filemodes.moc"
