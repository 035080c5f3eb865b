#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// Pictures decoded by the helper program quillbook-wmf, one process per
// picture, sealed before it reads a byte (no file, no socket, no program can
// it open) and limited in processor time, memory and canvas: a picture that
// crashes, stalls or takes over its decoder costs that process, never the
// program. Everything but bitmaps and JPEG goes there.
namespace DecoderProcess {

// True when the bytes start like a metafile (placeable or plain).
bool LooksLikeWmf(const QByteArray& head);

// The helper: $QUILL_DECODER_HELPER, else quillbook-wmf beside the program or in
// ../libexec/quillbook, else the one of the build tree. Empty when there is none.
QString HelperPath();

struct Outcome {
    QImage shown;       // RGB32, device pixel ratio 1; null when the helper failed
    QSize natural;      // the picture's own size, upright
    QString failure;    // why it failed
};

// Decodes the picture in `bytes`, shown within `box` (an empty box: the full
// picture within the memory budget), in one of a few serving helpers started
// once and used again (a fresh one after a picture that failed). A null image when the helper fails, runs
// over `timeLimitMs` or gives back anything but a picture of the promised size.
Outcome Decode(const QByteArray& bytes, QSize box, int timeLimitMs = 10000);

// As Decode, the picture being the regular file open read-only at `fd` (`size` bytes): the
// helper is handed the descriptor itself over its channel and reads the file (no byte of it
// passes through the program); where a descriptor cannot be handed, its bytes are sent.
Outcome DecodeFile(int fd, qint64 size, QSize box, int timeLimitMs = 10000);

// How many pictures went to a helper as a descriptor so far.
int PicturesByDescriptor();

// How many serving helpers the program has started so far.
int HelpersStarted();
// Ends the serving helpers that wait for a picture (the next picture starts a fresh one).
void EndIdleHelpers();

// For the fuzz target: called when a helper ends by a signal of its own (a crash, its
// seal, a sanitizer's report), not by its limits or by the program.
extern void (*HelperDiedForTests)(int signal);

// Renders the metafile in `bytes` (the longer side held to `maxSide`).
Outcome RenderMetafile(const QByteArray& bytes, int maxSide, int timeLimitMs = 4000);

} // namespace DecoderProcess
