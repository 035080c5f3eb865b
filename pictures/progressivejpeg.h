#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// Progressive JPEGs read at a reduced size (a slot, a thumbnail). Decoded at 1/8, a picture
// shows only the first few coefficients of each block, yet every scan of the file is
// entropy-decoded by a plain decode; the last scans (refining the luma's high frequencies)
// are often half the time. Here the scans are read one by one and reading stops once every
// coefficient the reduced inverse DCT of every component uses is final: the pixels are then
// the ones a full decode gives at that size.
namespace ProgressiveJpeg {

struct Result {
    // RGB32 (grey: Grayscale8) at `want`, stored orientation, the embedded profile as its colour
    // space; null when the file is not taken here or cannot be read.
    QImage image;
    QString failure; // why libjpeg could not read it (only when taken)
    bool taken = false; // false: not a picture read here; Qt's reader reads it
    int scansRead = 0;  // the scans read before the pixels were made
};

// Takes a progressive, Huffman-coded YCbCr (3 components) or grey JPEG whose `want` (stored
// orientation) lets libjpeg decode at less than its whole size, at the scale Qt's JPEG reader
// picks for that size (M/8), scaled to `want` as that reader does. The caller has checked that the file is
// whole and that its scans leave every coefficient final (JpegFacts), so that stopping early
// and not smoothing blocks is what a full decode does too.
Result Decode(const QByteArray& jpeg, QSize want, const QByteArray& icc);

// For tests and benchmarks: what was read here since the program started (the route a picture
// took, where its reading stopped), and a switch that leaves every picture to Qt's reader, so
// that the same load can be had both ways.
struct Tally {
    int pictures = 0;
    int scansRead = 0;
};
Tally Counted();
void SetEnabled(bool enabled);

} // namespace ProgressiveJpeg
