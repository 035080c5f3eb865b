#pragma once

#include <QByteArray>
#include <QImage>

// Windows metafiles, rendered to a bitmap through libwmf (in the helper
// program quillbook-wmf only: see decoderprocess.h).
namespace Wmf {

// Reads the renderer's font map now, before the helper is sealed; the next
// Render uses what it read. False when the renderer cannot start.
bool Prepare();

// Renders the metafile at its own size (at 96 dots per inch), the longer side
// held to `maxSide` pixels. A null image when it cannot be rendered.
QImage Render(const QByteArray& data, int maxSide);

} // namespace Wmf
