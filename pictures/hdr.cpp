#include "hdr.h"

#include <QPointF>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace Hdr {
namespace {

// Red, green, blue and white chromaticities (x, y) of the H.273 primaries in use.
struct Chromaticities {
    QPointF red, green, blue, white;
};

constexpr QPointF D65(0.3127, 0.3290);

std::optional<Chromaticities> chromaticities(int primaries)
{
    switch (primaries) {
    case 1: return Chromaticities{{0.640, 0.330}, {0.300, 0.600}, {0.150, 0.060}, D65};   // BT.709, sRGB
    case 4: return Chromaticities{{0.67, 0.33}, {0.21, 0.71}, {0.14, 0.08}, {0.310, 0.316}}; // BT.470 M
    case 5: return Chromaticities{{0.64, 0.33}, {0.29, 0.60}, {0.15, 0.06}, D65};          // BT.601 625
    case 6:
    case 7: return Chromaticities{{0.630, 0.340}, {0.310, 0.595}, {0.155, 0.070}, D65};   // BT.601 525
    case 9: return Chromaticities{{0.708, 0.292}, {0.170, 0.797}, {0.131, 0.046}, D65};   // BT.2020
    case 11: return Chromaticities{{0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, {0.314, 0.351}}; // DCI-P3
    case 12: return Chromaticities{{0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, D65};  // Display P3
    case 22: return Chromaticities{{0.630, 0.340}, {0.295, 0.605}, {0.155, 0.077}, D65};  // EBU 3213
    default: return std::nullopt;
    }
}

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                m[i][j] += a[i][k] * b[k][j];
    return m;
}

Matrix inverse(const Matrix& m)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Matrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][d] - m[a][d] * m[b][c]) / det;
        }
    return r;
}

// RGB to XYZ for the given primaries (SMPTE RP 177).
Matrix toXyz(const Chromaticities& c)
{
    const auto column = [](QPointF p) { return std::array<double, 3>{p.x() / p.y(), 1.0, (1 - p.x() - p.y()) / p.y()}; };
    const auto r = column(c.red), g = column(c.green), b = column(c.blue), w = column(c.white);
    const Matrix primaries{{{r[0], g[0], b[0]}, {r[1], g[1], b[1]}, {r[2], g[2], b[2]}}};
    const Matrix inv = inverse(primaries);
    std::array<double, 3> s{};
    for (int i = 0; i < 3; ++i)
        s[i] = inv[i][0] * w[0] + inv[i][1] * w[1] + inv[i][2] * w[2];
    Matrix m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = primaries[i][j] * s[j];
    return m;
}

// SMPTE ST 2084.
constexpr double M1 = 2610.0 / 16384, M2 = 2523.0 / 4096 * 128;
constexpr double C1 = 3424.0 / 4096, C2 = 2413.0 / 4096 * 32, C3 = 2392.0 / 4096 * 32;

double pqToNits(double e)
{
    const double p = std::pow(std::max(e, 0.0), 1 / M2);
    return 10000 * std::pow(std::max(p - C1, 0.0) / (C2 - C3 * p), 1 / M1);
}

double nitsToPq(double nits)
{
    const double y = std::pow(std::max(nits, 0.0) / 10000, M1);
    return std::pow((C1 + C2 * y) / (1 + C3 * y), M2);
}

// BT.2100 HLG inverse OETF: signal to scene light 0..1.
double hlgToScene(double e)
{
    constexpr double a = 0.17883277, b = 1 - 4 * a;
    const double c = 0.5 - a * std::log(4 * a);
    return e <= 0.5 ? e * e / 3 : (std::exp((e - c) / a) + b) / 12;
}

constexpr double MasterPeak = 1000; // cd/m2: PQ's assumed master, HLG's nominal display
constexpr double ReferenceWhite = 203; // cd/m2: SDR white, the target peak of the EETF
constexpr double HlgGamma = 1.2;       // the BT.2100 OOTF's system gamma at 1000 cd/m2

// BT.2390 EETF on a luminance in cd/m2, from MasterPeak to ReferenceWhite, black at 0.
double eetf(double nits)
{
    static const double span = nitsToPq(MasterPeak);
    static const double maxLum = nitsToPq(ReferenceWhite) / span;
    static const double knee = 1.5 * maxLum - 0.5;
    double e = std::min(nitsToPq(nits) / span, 1.0);
    if (e > knee) {
        const double t = (e - knee) / (1 - knee), t2 = t * t, t3 = t2 * t;
        e = (2 * t3 - 3 * t2 + 1) * knee + (t3 - 2 * t2 + t) * (1 - knee) + (-2 * t3 + 3 * t2) * maxLum;
    }
    return pqToNits(e * span);
}

// A smooth function on [0, top] sampled finely where it changes fast (near 0): samples sit at
// equal steps of (x / top)^(1/4), read back with linear interpolation.
class Curve {
public:
    template <typename F>
    Curve(double top, F f) : scale_(float(1 / top))
    {
        for (int i = 0; i <= Steps; ++i) {
            const double u = double(i) / Steps;
            values_[std::size_t(i)] = float(f(top * u * u * u * u));
        }
    }
    float operator()(float x) const
    {
        const float u = std::sqrt(std::sqrt(std::clamp(x * scale_, 0.0f, 1.0f))) * Steps;
        const int i = std::min(int(u), Steps - 1);
        const float f = u - float(i);
        return values_[std::size_t(i)] + (values_[std::size_t(i) + 1] - values_[std::size_t(i)]) * f;
    }

private:
    static constexpr int Steps = 4096;
    float scale_;
    std::array<float, Steps + 1> values_{};
};

QImage premultipliedCopy(const QImage& wide)
{
    QImage out(wide.size(), QImage::Format_RGBA64_Premultiplied);
    if (out.isNull())
        return out;
    for (int y = 0; y < wide.height(); ++y) {
        const auto* from = reinterpret_cast<const std::uint16_t*>(wide.constScanLine(y));
        auto* to = reinterpret_cast<std::uint16_t*>(out.scanLine(y));
        for (int i = 0; i < 4 * wide.width(); i += 4) {
            const std::uint32_t a = from[i + 3];
            for (int c = 0; c < 3; ++c)
                to[i + c] = std::uint16_t((from[i + c] * a + 32767) / 65535);
            to[i + 3] = std::uint16_t(a);
        }
    }
    return out;
}

} // namespace

bool IsHdr(int transfer)
{
    return transfer == TransferPq || transfer == TransferHlg;
}

QColorSpace SdrSpace(int primaries, int transfer)
{
    const std::optional<Chromaticities> c = chromaticities(primaries == 2 ? 1 : primaries);
    if (!c || IsHdr(transfer))
        return {};
    QColorSpace::TransferFunction curve = QColorSpace::TransferFunction::SRgb;
    float gamma = 0;
    switch (transfer) {
    case 4: curve = QColorSpace::TransferFunction::Gamma; gamma = 2.2f; break;
    case 5: curve = QColorSpace::TransferFunction::Gamma; gamma = 2.8f; break;
    case 8: curve = QColorSpace::TransferFunction::Linear; break;
    default: break; // BT.709, BT.601, BT.2020 SDR and sRGB: shown with the sRGB curve, as displays do
    }
    if ((primaries == 1 || primaries == 2) && curve == QColorSpace::TransferFunction::SRgb)
        return {};
    return QColorSpace(c->white, c->red, c->green, c->blue, curve, gamma);
}

QImage Widened(const Samples& in)
{
    QImage wide(in.size, in.channels == 4 ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    if (wide.isNull() || in.maxCode <= 0)
        return {};
    const std::uint32_t top = std::uint32_t(in.maxCode);
    for (int y = 0; y < in.size.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(reinterpret_cast<const char*>(in.pixels) + y * in.strideBytes);
        auto* line = reinterpret_cast<std::uint16_t*>(wide.scanLine(y));
        for (int x = 0; x < in.size.width(); ++x) {
            const std::uint16_t* p = row + x * in.channels;
            for (int c = 0; c < 4; ++c) {
                const std::uint32_t v = c < in.channels ? std::min<std::uint32_t>(p[c], top) : top;
                line[4 * x + c] = std::uint16_t((v * 65535 + top / 2) / top);
            }
        }
    }
    return wide;
}

QImage ToSdr(QImage wide, QSize want, int primaries, int transfer)
{
    if (wide.isNull())
        return {};
    const bool alpha = wide.hasAlphaChannel();
    if (wide.format() != QImage::Format_RGBX64 && wide.format() != QImage::Format_RGBA64)
        wide = wide.convertToFormat(alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    // Brought to twice the size wanted before tone mapping (four times a slot's work, and
    // averaging the signal at that step moves no colour that shows); the last halving comes after.
    const QSize step = want.isEmpty() ? wide.size() : (want * 2).boundedTo(wide.size());
    // Averaged with its alpha weighing each colour (premultiplied by hand: this Qt's own
    // conversion multiplies the alpha by itself too).
    const bool premultiplied = alpha && step != wide.size();
    if (premultiplied)
        wide = premultipliedCopy(wide);
    if (step != wide.size())
        wide = wide.scaled(step, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (wide.isNull() || (premultiplied && wide.format() != QImage::Format_RGBA64_Premultiplied))
        return {};
    const Chromaticities source = chromaticities(primaries).value_or(*chromaticities(PrimariesBt2020));
    // Linear source RGB to linear sRGB, and the source's luminance weights.
    const Matrix toXyzSource = toXyz(source);
    const Matrix convert = multiply(inverse(toXyz(*chromaticities(1))), toXyzSource);
    const std::array<double, 3> weight = toXyzSource[1];
    const bool pq = transfer == TransferPq;

    // 16-bit code to light (PQ to cd/m2, HLG to scene light 0..1): every 16th code, read back
    // with linear interpolation; a table that stays in the processor's cache.
    const auto lightOf = [](double (*curve)(double)) {
        std::vector<float> light(4098);
        for (std::size_t i = 0; i < light.size(); ++i)
            light[i] = float(curve(std::min(1.0, double(i * 16) / 65535)));
        return light;
    };
    static const std::vector<float> pqLight = lightOf(pqToNits);
    static const std::vector<float> hlgLight = lightOf(hlgToScene);
    const float* table = (pq ? pqLight : hlgLight).data();
    const auto lightAt = [table](std::uint16_t code) {
        const float* at = table + (code >> 4);
        return at[0] + (at[1] - at[0]) * float(code & 15) * (1.0f / 16);
    };
    // Display luminance (cd/m2) to the factor that tone-maps it, in units of SDR white.
    static const Curve gainOf(10000, [](double y) { return y > 0 ? eetf(y) / y / ReferenceWhite : 1 / ReferenceWhite; });
    // HLG's OOTF: scene luminance to the factor that makes scene light display light.
    static const Curve ootf(1, [](double ys) { return MasterPeak * std::pow(ys, HlgGamma - 1); });
    static const std::vector<std::uint8_t> encode = [] {
        std::vector<std::uint8_t> e(65536);
        for (std::size_t i = 0; i < e.size(); ++i) {
            const double v = double(i) / 65535;
            e[i] = std::uint8_t(std::lround(255 * (v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055)));
        }
        return e;
    }();

    QImage out(wide.size(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (out.isNull())
        return out;
    // In single precision: a 12-megapixel picture is a few hundred million operations.
    std::array<std::array<float, 3>, 3> m{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            m[i][j] = float(convert[i][j]);
    const float wr = float(weight[0]), wg = float(weight[1]), wb = float(weight[2]);
    const auto clip = [&](float v) { return encode[std::size_t(std::clamp(v, 0.0f, 1.0f) * 65535.0f + 0.5f)]; };
    for (int y = 0; y < wide.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(wide.constScanLine(y));
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < wide.width(); ++x) {
            std::uint16_t p[4] = {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
            if (premultiplied && p[3] != 0 && p[3] != 65535) {
                for (int c = 0; c < 3; ++c)
                    p[c] = std::uint16_t(std::min<std::uint32_t>(65535, (std::uint32_t(p[c]) * 65535 + p[3] / 2) / p[3]));
            }
            float r = lightAt(p[0]), g = lightAt(p[1]), b = lightAt(p[2]);
            if (!pq) {
                const float k = ootf(wr * r + wg * g + wb * b);
                r *= k, g *= k, b *= k;
            }
            const float k = gainOf(wr * r + wg * g + wb * b);
            r *= k, g *= k, b *= k;
            line[x] = qRgba(clip(m[0][0] * r + m[0][1] * g + m[0][2] * b), clip(m[1][0] * r + m[1][1] * g + m[1][2] * b),
                            clip(m[2][0] * r + m[2][1] * g + m[2][2] * b), alpha ? (p[3] + 128) / 257 : 255);
        }
    }
    return out;
}

} // namespace Hdr
