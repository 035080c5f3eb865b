#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// JPEGs of four components: CMYK, or YCCK as Adobe's programs write them (their values inverted,
// 0 full ink, told by the Adobe marker). Qt's reader multiplies the inks out without their press
// profile, which oversaturates them; here the inks go through the profile the file carries.
namespace CmykJpeg {

struct Result {
    QImage image; // RGB32 in stored orientation; null when the file cannot be read
    QString failure;
};

// Decoded at the smallest of libjpeg's scales that still covers `want` (stored orientation; an
// empty size: the whole picture) and made sRGB through `icc`, the file's CMYK profile.
Result Decode(const QByteArray& jpeg, QSize want, const QByteArray& icc);

} // namespace CmykJpeg
