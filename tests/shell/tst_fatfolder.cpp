// A program folder on a FAT stick: a real FAT file system (an image made by
// mkfs.vfat, mounted through the kernel's loop device or, where the kernel has
// no FAT, through fusefat), which keeps no owner permissions, no hard links and
// refuses some characters in names. Needs root; skipped where it cannot mount.
#include "fileops.h"
#include "photobackups.h"
#include "photostore.h"
#include "programfolder.h"
#include "testnotes.h"
#include "testprogram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

bool run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

} // namespace

class TestFatFolder : public QObject {
    Q_OBJECT

    QTemporaryDir work;
    QString fat;       // the mounted FAT file system; empty when none could be mounted
    QString whyNoFat;
    bool kernelFat = false; // fusefat cannot hold SQLite's shared memory index (it refuses its ftruncate)
    int row = 0;

private slots:
    void initTestCase()
    {
        const QString image = work.filePath(QStringLiteral("stick.img"));
        const QString mountPoint = work.filePath(QStringLiteral("stick"));
        QVERIFY(QDir().mkdir(mountPoint));
        if (::geteuid() != 0) {
            whyNoFat = QStringLiteral("mounting a FAT image needs root");
            return;
        }
        QFile img(image);
        const QString mkfs =
            QStandardPaths::findExecutable(QStringLiteral("mkfs.vfat"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (mkfs.isEmpty() || !img.open(QIODevice::WriteOnly) || !img.resize(16 << 20)) {
            whyNoFat = QStringLiteral("no mkfs.vfat (dosfstools)");
            return;
        }
        img.close();
        if (!run(mkfs, {image})) {
            whyNoFat = QStringLiteral("mkfs.vfat failed");
            return;
        }
        kernelFat = run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), image, mountPoint});
        if (kernelFat || run(QStringLiteral("fusefat"), {QStringLiteral("-o"), QStringLiteral("rw+"), image, mountPoint}))
            fat = mountPoint;
        else
            whyNoFat = QStringLiteral("neither the kernel (mount -o loop) nor fusefat can mount a FAT image here");
    }
    void cleanupTestCase()
    {
        if (!fat.isEmpty())
            run(QStringLiteral("umount"), {fat});
    }

    // Laying out a program folder on FAT works, with the owner's modes skipped;
    // one that fails, for a name FAT refuses or a file that cannot be copied,
    // says why and leaves nothing behind, on FAT or not.
    void layOut_data()
    {
        QTest::addColumn<bool>("onFat");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("photoDataCopies");
        QTest::addColumn<QString>("said"); // empty: laid out
        QTest::newRow("FAT: a new program folder") << true << QStringLiteral("Quillbook") << true << QString();
        QTest::newRow("FAT: a name FAT refuses")
            << true << QStringLiteral("Photos: 2024?") << true
            << QStringLiteral("The file system there does not take the characters \":\" \"?\" in a name.");
        QTest::newRow("FAT: photo data cannot be copied") << true << QStringLiteral("Quillbook") << false
                                                          << QStringLiteral("PhotoData.mdb\" cannot be laid out");
        QTest::newRow("local: photo data cannot be copied") << false << QStringLiteral("Quillbook") << false
                                                            << QStringLiteral("PhotoData.mdb\" cannot be laid out");
    }
    void layOut()
    {
        QFETCH(bool, onFat);
        QFETCH(QString, name);
        QFETCH(bool, photoDataCopies);
        QFETCH(QString, said);
        if (onFat && fat.isEmpty())
            QSKIP(qPrintable(whyNoFat));
        // Below a folder of its own that is there already: what the lay-out makes is all there is.
        const QString base = (onFat ? fat : work.path()) + QStringLiteral("/row%1").arg(++row);
        QVERIFY(QDir().mkdir(base));
        const QString folder = base + QStringLiteral("/deeper/") + name;
        QString data = QFileInfo(MadeAsset(QStringLiteral("Empty.bmp"))).path();
        if (!photoDataCopies) { // a folder where the photo data file should be: it cannot be copied
            data = work.filePath(QStringLiteral("data%1").arg(row));
            QVERIFY(QDir().mkpath(data + QStringLiteral("/PhotoData.mdb")));
            QVERIFY(QFile::copy(MadeAsset(QStringLiteral("Empty.bmp")), data + QStringLiteral("/Empty.bmp")));
        }

        QString problem;
        const bool laidOut = ProgramFolder::LayOut(folder, data, &problem);
        if (!said.isEmpty()) {
            QVERIFY(!laidOut);
            QVERIFY2(problem.contains(said), qPrintable(problem));
            QCOMPARE(entries(base), QStringList{}); // nothing half laid out
            return;
        }
        QVERIFY2(laidOut, qPrintable(problem));
        QCOMPARE(entries(folder), (QStringList{QStringLiteral("Empty.bmp"), QStringLiteral("PhotoData.mdb")}));
        const QString store = folder + QStringLiteral("/PhotoData.mdb");
        QFile laid(store), source(data + QStringLiteral("/PhotoData.mdb"));
        QVERIFY(laid.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly));
        QCOMPARE(laid.readAll(), source.readAll());
        if (kernelFat) {
            RunError e;
            auto db = PhotoDatabase::Open(store, &e);
            QVERIFY2(db, qPrintable(e.description));
            TestNotes::Add(*db, QStringLiteral("Stick"), 1, 1, QStringLiteral("kept on FAT"));
            QVERIFY(!PhotoBackups::Keep(store).failed());
        }
        // An album name FAT refuses is told by its characters.
        const RunError album = Files::MkDir(folder + QStringLiteral("/Trip: Rome"));
        QCOMPARE(album.number, Files::BadFileName);
        QCOMPARE(album.description, QStringLiteral("The file system there does not take the characters \":\" in a name."));
        QVERIFY(!Files::MkDir(folder + QStringLiteral("/Trip to Rome")).failed());
    }
};

QTEST_MAIN(TestFatFolder)
#include "tst_fatfolder.moc"
