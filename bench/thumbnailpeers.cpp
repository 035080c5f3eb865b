#include "thumbnailpeers.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace ThumbnailPeers {
namespace {

bool runs(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice()); // a peer's complaints about a format it cannot read
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// One process a picture, as a desktop's thumbnailer service runs them: `arguments` for one.
Peer onePerPicture(const QString& name, const QString& executable,
                   std::function<QStringList(const QString& picture, int side, const QString& out)> arguments)
{
    const QString program = QStandardPaths::findExecutable(executable);
    return {name, program, [program, arguments](const QStringList& page, int side, const QString& into) {
                for (int i = 0; i < page.size(); ++i) {
                    const QString out = QDir(into).filePath(QStringLiteral("%1.png").arg(i));
                    if (!runs(program, arguments(page[i], side, out)) || !QFileInfo(out).isFile())
                        return false;
                }
                return true;
            }};
}

} // namespace

QList<Peer> Peers()
{
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    Peer whole{QStringLiteral("vipsthumbnail"), vips, [vips](const QStringList& page, int side, const QString& into) {
                   QStringList arguments{QStringLiteral("-s"), QString::number(side), QStringLiteral("-o"),
                                         QDir(into).filePath(QStringLiteral("%s.png"))};
                   return runs(vips, arguments + page) && QDir(into).entryList(QDir::Files).size() == page.size();
               }};
    return {whole,
            onePerPicture(QStringLiteral("gdk-pixbuf-thumbnailer"), QStringLiteral("gdk-pixbuf-thumbnailer"),
                          [](const QString& picture, int side, const QString& out) {
                              return QStringList{QStringLiteral("-s"), QString::number(side), picture, out};
                          }),
            onePerPicture(QStringLiteral("heif-thumbnailer"), QStringLiteral("heif-thumbnailer"),
                          [](const QString& picture, int side, const QString& out) {
                              return QStringList{QStringLiteral("-s"), QString::number(side), picture, out};
                          })};
}

} // namespace ThumbnailPeers
