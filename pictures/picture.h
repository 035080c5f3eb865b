#pragma once

#include <QFileInfo>
#include <QImage>
#include <QSize>
#include <QString>

// What a picture element holds: the pixels it shows (sized for the screen,
// with the screen's device pixel ratio), the picture's own size, and where the
// full picture comes from, so that the full-size view and printing can load
// it at full resolution.
struct Picture {
    QImage shown;          // display pixels; devicePixelRatio set
    QSize natural;         // the picture's own size in pixels, upright
    QString sourcePath;    // its file, or empty
    QImage full;           // the full picture when it has no file (the clipboard)

    bool isNull() const { return shown.isNull(); }
    bool hasFullSource() const { return !sourcePath.isEmpty() || !full.isNull(); }
    // Where it came from, as a screen reader tells it.
    QString sourceDescription() const
    {
        return sourcePath.isEmpty() ? QStringLiteral("pasted picture") : QFileInfo(sourcePath).fileName();
    }
};
