#pragma once

#include <QImage>
#include <QString>

// Metafiles rendered by the helper program quillbook-wmf, one process per
// metafile, with limits on its processor time, memory and canvas: a metafile
// that crashes or stalls the renderer costs that process, never the program.
namespace WmfProcess {

// True when the bytes start like a metafile (placeable or plain).
bool LooksLikeWmf(const QByteArray& head);

// The helper: $QUILL_WMF_HELPER, else quillbook-wmf beside the program or in
// ../libexec/quillbook, else the one of the build tree. Empty when there is none.
QString HelperPath();

// Renders the metafile in `path` (the longer side held to `maxSide`); a null
// image when the helper fails, runs over `timeLimitMs` or gives back anything
// but a picture of the promised size.
QImage Render(const QString& path, int maxSide, int timeLimitMs = 4000);

} // namespace WmfProcess
