#pragma once

#include <QFileInfo>
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

class KeptFile;

// What a picture element holds: the pixels it shows (sized for the screen,
// with the screen's device pixel ratio), the picture's own size, and where the
// full picture comes from, so that the full-size view and printing can load
// it at full resolution.
struct Picture {
    QImage shown;          // display pixels; devicePixelRatio set
    QSize natural;         // the picture's own size in pixels, upright
    QString sourcePath;    // its file, or empty
    QImage full;           // the full picture when it has no file (the clipboard)
    // An added or pasted picture: the private copy `sourcePath` reads, and the
    // name of the file it came from (empty when pasted).
    std::shared_ptr<const KeptFile> kept;
    QString originalName;

    bool isNull() const { return shown.isNull(); }
    bool hasFullSource() const { return !sourcePath.isEmpty() || !full.isNull(); }
    // Where it came from, as a screen reader tells it.
    QString sourceDescription() const
    {
        if (kept)
            return originalName.isEmpty() ? QStringLiteral("pasted picture") : originalName;
        return sourcePath.isEmpty() ? QStringLiteral("pasted picture") : QFileInfo(sourcePath).fileName();
    }
};
