// Makes the program folder's fixed contents into the folder given:
// "Empty.bmp", "P1I0.bmp" .. "P10I11.bmp" and "PhotoData.mdb".
#include "photostore.h"
#include "scenes.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>

namespace {

bool fail(const QString& what)
{
    std::fprintf(stderr, "makeassets: %s\n", qPrintable(what));
    return false;
}

bool saveBmp(const QImage& image, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "BMP") || !file.commit())
        return fail(QStringLiteral("cannot write ") + path);
    return true;
}

bool makePictures(const QDir& out)
{
    if (!saveBmp(Scenes::EmptyPicture(), out.filePath(QStringLiteral("Empty.bmp"))))
        return false;
    for (int page = 1; page <= 10; ++page) {
        for (int slot = 0; slot <= 11; ++slot) {
            QImage picture = Scenes::SuppliedPicture(page, slot);
            if (Scenes::StoredWithPalette(page, slot))
                picture = picture.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither | Qt::PreferDither);
            const QString name = QStringLiteral("P%1I%2.bmp").arg(page).arg(slot);
            if (!saveBmp(picture, out.filePath(name)))
                return false;
        }
    }
    return true;
}

// The delivered photo data file: the table with its seven fields and the one
// placeholder record whose text fields are a single blank.
bool makePhotoData(const QDir& out)
{
    const QString path = out.filePath(QStringLiteral("PhotoData.mdb"));
    QFile::remove(path);
    const RunError made = PhotoDatabase::Create(path);
    return !made.failed() || fail(made.description);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quill_makeassets OUTPUT_FOLDER\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("cannot make ") + out.path()), 1;
    return makePictures(out) && makePhotoData(out) ? 0 : 1;
}
