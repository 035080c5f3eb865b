#include "colourprofile.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QtEndian>

#include <lcms2.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace Colour {
namespace {

// No real profile is larger; a PNG's compressed one is never inflated past this.
constexpr qsizetype MaxProfileBytes = 8 << 20;

bool looksLikeProfile(const QByteArray& icc)
{
    return icc.size() >= 132 && icc.size() <= MaxProfileBytes && icc.mid(36, 4) == "acsp" &&
           qFromBigEndian<quint32>(icc.constData()) <= quint32(icc.size());
}

QByteArray fromJpeg(const QByteArray& file)
{
    const auto* d = reinterpret_cast<const uchar*>(file.constData());
    const qsizetype n = file.size();
    std::map<int, QByteArray> pieces;
    int count = 0;
    for (qsizetype at = 2; at + 4 <= n;) {
        if (d[at] != 0xFF)
            break;
        const uchar marker = d[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break; // the profile comes before the picture's data
        const qsizetype length = (d[at + 2] << 8) | d[at + 3];
        if (length < 2 || at + 2 + length > n)
            break;
        // APP2: "ICC_PROFILE", a zero, this piece's number (from 1) and how many there are.
        if (marker == 0xE2 && length >= 16 && std::memcmp(d + at + 4, "ICC_PROFILE\0", 12) == 0) {
            const int number = d[at + 16], of = d[at + 17];
            if (number >= 1 && of >= 1 && number <= of && (count == 0 || count == of)) {
                count = of;
                pieces[number] = file.mid(at + 18, length - 16);
            }
        }
        at += 2 + length;
    }
    if (count == 0 || int(pieces.size()) != count)
        return {};
    QByteArray icc;
    for (const auto& [number, piece] : pieces)
        icc += piece;
    return icc;
}

QByteArray inflated(const uchar* data, qsizetype size)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return {};
    QByteArray out;
    char buffer[1 << 15];
    z.next_in = const_cast<uchar*>(data);
    z.avail_in = uInt(size);
    int status = Z_OK;
    while (status == Z_OK && out.size() <= MaxProfileBytes) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
        if (status == Z_OK && z.avail_in == 0 && z.avail_out != 0)
            break;
    }
    inflateEnd(&z);
    return status == Z_STREAM_END ? out : QByteArray();
}

QByteArray fromPng(const QByteArray& file)
{
    const auto* d = reinterpret_cast<const uchar*>(file.constData());
    for (qsizetype at = 8; at + 12 <= file.size();) {
        const qsizetype length = qFromBigEndian<quint32>(d + at);
        if (length > file.size() - at - 12)
            return {};
        const QByteArray type = file.mid(at + 4, 4);
        if (type == "IDAT" || type == "IEND")
            return {};
        if (type == "iCCP") {
            // A name, a zero, the compression method (0: zlib), the compressed profile.
            const qsizetype nameEnd = file.indexOf('\0', at + 8);
            if (nameEnd < 0 || nameEnd + 2 > at + 8 + length || d[nameEnd + 1] != 0)
                return {};
            return inflated(d + nameEnd + 2, at + 8 + length - nameEnd - 2);
        }
        at += 12 + length;
    }
    return {};
}

QByteArray fromWebp(const QByteArray& file)
{
    const auto* d = reinterpret_cast<const uchar*>(file.constData());
    for (qsizetype at = 12; at + 8 <= file.size();) {
        const qsizetype length = qFromLittleEndian<quint32>(d + at + 4);
        if (length > file.size() - at - 8)
            return {};
        if (std::memcmp(d + at, "ICCP", 4) == 0)
            return file.mid(at + 8, length);
        at += 8 + length + (length & 1);
    }
    return {};
}

// A profile that describes itself with tables (A2B0 and its kin) besides, or instead of, a
// matrix: LittleCMS uses the tables, as the profile asks; Qt would use only the matrix.
bool hasTables(const QByteArray& icc)
{
    const quint32 tags = qFromBigEndian<quint32>(icc.constData() + 128);
    for (quint32 t = 0; t < tags && 132 + 12 * qsizetype(t) + 12 <= icc.size(); ++t) {
        const QByteArray signature = icc.mid(132 + 12 * t, 4);
        if (signature.startsWith("A2B") || signature.startsWith("D2B"))
            return true;
    }
    return false;
}

cmsUInt32Number bgra8()
{
    return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TYPE_BGRA_8 : TYPE_ARGB_8;
}

// How one profile turns into sRGB, made once and kept: making a LittleCMS transform of a
// press profile takes longer than converting a page of slots.
struct Conversion {
    bool byQt = false;
    QColorTransform qt;
    cmsHTRANSFORM cms = nullptr; // made with cmsFLAGS_NOCACHE: used by several threads at once
    std::array<QRgb, 256> grey{}; // a grey profile: every grey level, once
    bool greyTable = false;
    std::vector<quint64> grid; // an RGB profile by tables: the transform sampled (see sampledGrid)
    bool unchanged = false; // an sRGB profile
    ~Conversion()
    {
        if (cms)
            cmsDeleteTransform(cms);
    }
};

enum class Kind { Rgb, RgbByCms, Grey, Cmyk, CmykInverted, Lab };

cmsHTRANSFORM cmsTransform(cmsHPROFILE from, cmsUInt32Number in, cmsUInt32Number out, cmsUInt32Number flags)
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = from && srgb ? cmsCreateTransform(from, in, srgb, out, INTENT_PERCEPTUAL, flags | cmsFLAGS_NOCACHE)
                                   : nullptr;
    if (srgb)
        cmsCloseProfile(srgb);
    if (from)
        cmsCloseProfile(from);
    return t;
}

// An RGB profile by tables: its LittleCMS transform sampled once on a grid, and each pixel
// interpolated between the samples of the cell around it, tetrahedrally (as LittleCMS does its own
// tables): four samples a pixel, where a trilinear blend weighs eight. Several times faster on a
// slot than LittleCMS pixel by pixel, within a level of it on average. Each sample is kept spread
// out (red, green and blue 16 bits apart), so that one multiplication weighs all three.
// 33 samples along each axis (as LittleCMS samples its own 8-bit transforms): the grid (0.3 MB)
// stays in the processor's cache, where one of every fifth level (1.1 MB) waited on memory for a
// good part of each pixel. A level's place on the axis is kept in 256ths of a cell (Steps).
constexpr int GridSide = 33;
constexpr int Steps = 256;

quint64 spread(QRgb c)
{
    return (quint64(qRed(c)) << 32) | (quint64(qGreen(c)) << 16) | quint64(qBlue(c));
}

// Sampled through a 16-bit transform: LittleCMS makes an 8-bit one with curves it reverses
// sample by sample, which took two thirds of the 30 ms or more a table profile's conversion cost
// each helper on its first picture; the 16-bit one skips them and is as close to the profile.
std::vector<quint64> sampledGrid(cmsHPROFILE profile)
{
    cmsHTRANSFORM t = cmsTransform(profile, TYPE_RGB_16, TYPE_RGB_16, 0);
    if (!t)
        return {};
    const std::size_t count = std::size_t(GridSide) * GridSide * GridSide;
    std::vector<quint16> nodes(3 * count), converted(3 * count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto at = [](std::size_t n) { return quint16((n * 65535 + (GridSide - 1) / 2) / (GridSide - 1)); };
        nodes[3 * i] = at(i / (GridSide * GridSide));
        nodes[3 * i + 1] = at(i / GridSide % GridSide);
        nodes[3 * i + 2] = at(i % GridSide);
    }
    cmsDoTransform(t, nodes.data(), converted.data(), cmsUInt32Number(count));
    cmsDeleteTransform(t);
    std::vector<quint64> grid(count);
    const auto level = [&](std::size_t at) { return (int(converted[at]) + 128) / 257; };
    for (std::size_t i = 0; i < count; ++i)
        grid[i] = spread(qRgb(level(3 * i), level(3 * i + 1), level(3 * i + 2)));
    return grid;
}

void throughGrid(const std::vector<quint64>& grid, QImage& image)
{
    // Each level's cell along an axis (as an offset into the grid) and how far into it (0 to Steps).
    struct Place {
        int cell;
        int into;
    };
    constexpr int R = GridSide * GridSide, G = GridSide, B = 1; // one step along red, green, blue
    const auto axis = [](int stride) {
        std::array<Place, 256> p{};
        for (int v = 0; v < 256; ++v) {
            const int place = (v * (GridSide - 1) * Steps + 127) / 255; // 255: the last sample
            const int cell = std::min(place / Steps, GridSide - 2);
            p[std::size_t(v)] = Place{cell * stride, place - cell * Steps};
        }
        return p;
    };
    static const std::array<Place, 256> reds = axis(R), greens = axis(G), blues = axis(B);
    // The tetrahedron a pixel lies in: from the cell's corner along the axis it is furthest into,
    // then the next, to the far corner. Its two corners between, by (r >= g, g >= b, r >= b); looked
    // up rather than branched on, as the order changes from pixel to pixel (1 and 6 cannot happen).
    struct Between {
        int first, second;
    };
    static constexpr std::array<Between, 8> corners{
        Between{B, G + B}, Between{0, 0}, Between{G, G + B}, Between{G, R + G},
        Between{B, R + B}, Between{R, R + B}, Between{0, 0}, Between{R, R + G}};
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const Place r = reds[std::size_t(qRed(p))], g = greens[std::size_t(qGreen(p))],
                        b = blues[std::size_t(qBlue(p))];
            const quint64* c = grid.data() + r.cell + g.cell + b.cell;
            const Between t = corners[std::size_t((r.into >= g.into) << 2 | (g.into >= b.into) << 1 | (r.into >= b.into))];
            const int most = std::max({r.into, g.into, b.into}), least = std::min({r.into, g.into, b.into});
            const int middle = r.into + g.into + b.into - most - least;
            // At most 255 x Steps in each 16-bit lane: no lane spills into the next.
            const quint64 sum = c[0] * quint64(Steps - most) + c[t.first] * quint64(most - middle) +
                                c[t.second] * quint64(middle - least) + c[R + G + B] * quint64(least);
            const auto lane = [&](int shift) { return uint((((sum >> shift) & 0xFFFF) + Steps / 2) / Steps); };
            line[x] = (p & 0xFF000000u) | (lane(32) << 16) | (lane(16) << 8) | lane(0);
        }
    }
}

std::shared_ptr<const Conversion> make(const QByteArray& icc, Kind kind)
{
    auto c = std::make_shared<Conversion>();
    if (kind == Kind::Lab) {
        c->cms = cmsTransform(cmsCreateLab4Profile(nullptr), TYPE_Lab_FLT, bgra8(), 0);
        return c;
    }
    if (!looksLikeProfile(icc))
        return c;
    if (kind == Kind::Rgb && !hasTables(icc)) {
        const QColorSpace space = QColorSpace::fromIccProfile(icc);
        if (space == QColorSpace(QColorSpace::SRgb)) {
            c->unchanged = true; // already what the screen takes
            return c;
        }
        if (space.isValid()) {
            c->byQt = true;
            c->qt = space.transformationToColorSpace(QColorSpace::SRgb);
            return c;
        }
    }
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
    const cmsColorSpaceSignature space = profile ? cmsGetColorSpace(profile) : cmsSigRgbData;
    const bool fits = profile && (kind == Kind::Grey       ? space == cmsSigGrayData
                                  : kind == Kind::Cmyk || kind == Kind::CmykInverted ? space == cmsSigCmykData
                                                                                     : space == cmsSigRgbData);
    if (!fits) {
        if (profile)
            cmsCloseProfile(profile);
        return c;
    }
    switch (kind) {
    case Kind::Grey: {
        cmsHTRANSFORM t = cmsTransform(profile, TYPE_GRAY_8, bgra8(), 0);
        if (t) {
            std::array<uchar, 256> levels;
            for (int g = 0; g < 256; ++g)
                levels[std::size_t(g)] = uchar(g);
            cmsDoTransform(t, levels.data(), c->grey.data(), 256);
            cmsDeleteTransform(t);
            for (QRgb& p : c->grey)
                p |= 0xFF000000u;
            c->greyTable = true;
        }
        break;
    }
    case Kind::Cmyk:
    case Kind::CmykInverted:
        c->cms = cmsTransform(profile, kind == Kind::Cmyk ? TYPE_CMYK_8 : TYPE_CMYK_8_REV, bgra8(), cmsFLAGS_HIGHRESPRECALC);
        break;
    case Kind::Rgb:
        c->grid = sampledGrid(profile);
        break;
    default:
        c->cms = cmsTransform(profile, bgra8(), bgra8(), cmsFLAGS_COPY_ALPHA);
        break;
    }
    return c;
}

// The conversions made last, shared by every thread (the page loader reads on several).
std::shared_ptr<const Conversion> conversion(const QByteArray& icc, Kind kind)
{
    struct Kept {
        QByteArray icc;
        Kind kind;
        std::shared_ptr<const Conversion> made;
    };
    static std::mutex lock;
    static std::vector<Kept> kept;
    const std::lock_guard<std::mutex> hold(lock);
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->kind == kind && it->icc == icc) {
            std::rotate(kept.begin(), it, it + 1); // the most recent first
            return kept.front().made;
        }
    }
    if (kept.size() >= 8)
        kept.pop_back();
    kept.insert(kept.begin(), Kept{icc, kind, make(icc, kind)});
    return kept.front().made;
}

bool apply(const Conversion& c, QImage& image)
{
    if (c.unchanged)
        return true;
    if (c.byQt) {
        const qreal dpr = image.devicePixelRatio();
        image.applyColorTransform(c.qt);
        image.setDevicePixelRatio(dpr);
        return true;
    }
    if (c.greyTable) {
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = c.grey[qGreen(line[x])];
        }
        return true;
    }
    if (!c.grid.empty()) {
        throughGrid(c.grid, image);
        return true;
    }
    if (!c.cms)
        return false;
    uchar* bits = image.bits();
    cmsDoTransformLineStride(c.cms, bits, bits, cmsUInt32Number(image.width()), cmsUInt32Number(image.height()),
                             cmsUInt32Number(image.bytesPerLine()), cmsUInt32Number(image.bytesPerLine()), 0, 0);
    return true;
}

} // namespace

void Prepare()
{
    ::tzset();
    conversion({}, Kind::Lab); // one conversion made now: nothing LittleCMS does first is left for later
}

QByteArray EmbeddedProfile(const QByteArray& file)
{
    QByteArray icc;
    if (file.startsWith("\xFF\xD8"))
        icc = fromJpeg(file);
    else if (file.startsWith("\x89PNG\r\n\x1a\n"))
        icc = fromPng(file);
    else if (file.size() >= 12 && file.startsWith("RIFF") && file.mid(8, 4) == "WEBP")
        icc = fromWebp(file);
    return looksLikeProfile(icc) ? icc : QByteArray();
}

bool ToSrgb(QImage& image, const QByteArray& icc, Samples samples)
{
    if (icc.isEmpty() || image.isNull() || image.format() != QImage::Format_RGB32)
        return false;
    // A grey profile describes a grey picture only; an RGB one any picture (a grey one too).
    const Kind kind = samples == Samples::Grey && looksLikeProfile(icc) && icc.mid(16, 4) == "GRAY" ? Kind::Grey
                                                                                                    : Kind::Rgb;
    return apply(*conversion(icc, kind), image);
}

bool ToSrgbWith(Engine engine, QImage& image, const QByteArray& icc)
{
    return apply(*make(icc, engine == Engine::Qt ? Kind::Rgb : Kind::RgbByCms), image);
}

void CmykToSrgb(const uchar* cmyk, QRgb* out, int count, bool inverted, const QByteArray& icc)
{
    const std::shared_ptr<const Conversion> c =
        icc.isEmpty() ? nullptr : conversion(icc, inverted ? Kind::CmykInverted : Kind::Cmyk);
    if (c && c->cms) {
        cmsDoTransform(c->cms, cmyk, out, cmsUInt32Number(count));
        for (int i = 0; i < count; ++i)
            out[i] |= 0xFF000000u;
        return;
    }
    for (int i = 0; i < count; ++i, cmyk += 4) {
        const auto ink = [&](int channel) { return inverted ? 255 - cmyk[channel] : int(cmyk[channel]); };
        const int paper = 255 - ink(3); // what the black leaves
        out[i] = qRgb((255 - ink(0)) * paper / 255, (255 - ink(1)) * paper / 255, (255 - ink(2)) * paper / 255);
    }
}

void LabToSrgb(float* lab, QRgb* out, int count, double whiteX, double whiteY)
{
    const std::shared_ptr<const Conversion> c = conversion({}, Kind::Lab);
    if (!c->cms || whiteY <= 0) {
        std::fill(out, out + count, qRgb(128, 128, 128));
        return;
    }
    // Relative to another white (ImageMagick writes D65): adapted to the D50 of the connection
    // space (Bradford), so that the file's white is white and every colour keeps its look.
    const cmsCIExyY xyY{whiteX, whiteY, 1.0};
    cmsCIEXYZ white;
    cmsxyY2XYZ(&white, &xyY);
    const cmsCIEXYZ* d50 = cmsD50_XYZ();
    if (std::abs(white.X - d50->X) > 1e-3 || std::abs(white.Z - d50->Z) > 1e-3) {
        for (int i = 0; i < count; ++i) {
            float* p = lab + 3 * i;
            const cmsCIELab given{p[0], p[1], p[2]};
            cmsCIEXYZ xyz, adapted;
            cmsLab2XYZ(&white, &xyz, &given);
            cmsAdaptToIlluminant(&adapted, &white, d50, &xyz);
            cmsCIELab shown;
            cmsXYZ2Lab(d50, &shown, &adapted);
            p[0] = float(shown.L);
            p[1] = float(shown.a);
            p[2] = float(shown.b);
        }
    }
    cmsDoTransform(c->cms, lab, out, cmsUInt32Number(count));
    for (int i = 0; i < count; ++i)
        out[i] |= 0xFF000000u;
}

} // namespace Colour
