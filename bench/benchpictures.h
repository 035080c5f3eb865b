#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// The pictures the page benchmark loads, made once into a cache folder.
namespace BenchPictures {

// Photo-like content: gradients, texture, edges and sensor noise.
QImage Photo(int width, int height, int seed);

struct Album {
    QString folder;      // holds P1I*.bmp (24-bit bitmaps), P2I*.bmp (JPEG), P3I*.bmp (mixed)
    QStringList page(int page) const;
};

// Makes the album in `folder` unless it is there already.
Album Prepare(const QString& folder);

// A careful reference thumbnail: every source pixel weighted by the exact
// area it covers in the target.
QImage AreaAverage(const QImage& source, QSize target);

// libjpeg-turbo's own scaled decode of a JPEG file to the smallest scale that still
// covers `box` (the limit the page loader is measured against); false if it is no JPEG.
bool TurboScaledDecode(const QString& path, QSize box);

// The offscreen platform as a 1920 x 1080 screen, so the slots are the size a desktop
// shows them; before the application object is made.
void UseDesktopSizedScreen();

} // namespace BenchPictures
