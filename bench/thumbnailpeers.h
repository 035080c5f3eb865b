#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The thumbnailers a Linux desktop uses, run on a page of pictures as the desktop runs them: each
// picture (vipsthumbnail: the whole page at once) by its own process, a PNG at the size asked for.
namespace ThumbnailPeers {

struct Peer {
    QString name;    // as the row prints it
    QString program; // found on the PATH; empty when the peer is not installed
    // The page to thumbnails of `side` pixels in `into`; false when the peer fails on a picture.
    std::function<bool(const QStringList& page, int side, const QString& into)> run;
};

// vipsthumbnail (libvips-tools), gdk-pixbuf-thumbnailer (libgdk-pixbuf2.0-bin), heif-thumbnailer
// (heif-thumbnailer): every peer, installed or not.
QList<Peer> Peers();

} // namespace ThumbnailPeers
