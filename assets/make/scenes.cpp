#include "scenes.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>
#include <cmath>
#include <cstdint>

namespace Scenes {
namespace {

// Small deterministic generator (same numbers on every machine).
class Rng {
public:
    explicit Rng(std::uint32_t seed) : m_state(seed * 2654435761u + 0x9e3779b9u) {}
    double next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return double(m_state) / 4294967296.0;
    }
    double range(double lo, double hi) { return lo + (hi - lo) * next(); }

private:
    std::uint32_t m_state;
};

struct Theme {
    const char* name;
    QColor skyTop, skyHorizon, sun, far, near, ground;
    bool night, water, snow, trees;
};

const std::array<Theme, 6> themes{{
    {"Sunset Bay", QColor(38, 55, 110), QColor(250, 170, 90), QColor(255, 236, 150), QColor(120, 80, 110),
     QColor(60, 40, 70), QColor(30, 60, 100), false, true, false, false},
    {"Green Valley", QColor(70, 140, 220), QColor(200, 228, 250), QColor(255, 252, 220), QColor(110, 150, 170),
     QColor(70, 130, 70), QColor(90, 160, 80), false, false, false, true},
    {"Moonlit Lake", QColor(8, 12, 40), QColor(40, 60, 110), QColor(235, 235, 210), QColor(30, 40, 70),
     QColor(15, 22, 40), QColor(20, 35, 70), true, true, false, false},
    {"Snow Peaks", QColor(90, 150, 230), QColor(225, 240, 255), QColor(255, 255, 235), QColor(170, 185, 210),
     QColor(235, 240, 250), QColor(200, 215, 235), false, false, true, true},
    {"Desert Dunes", QColor(120, 170, 230), QColor(250, 225, 170), QColor(255, 250, 200), QColor(215, 160, 100),
     QColor(200, 130, 70), QColor(230, 180, 110), false, false, false, false},
    {"Autumn Hills", QColor(110, 150, 200), QColor(250, 210, 160), QColor(255, 230, 170), QColor(160, 110, 90),
     QColor(170, 80, 40), QColor(120, 90, 40), false, false, false, true},
}};

QPainterPath ridge(Rng& rng, double w, double h, double base, double amplitude, int points)
{
    QPainterPath path;
    path.moveTo(0, h);
    double y = base;
    for (int i = 0; i <= points; ++i) {
        const double x = w * i / points;
        y = std::clamp(y + rng.range(-amplitude, amplitude), base - 2 * amplitude, base + amplitude);
        path.lineTo(x, y);
    }
    path.lineTo(w, h);
    path.closeSubpath();
    return path;
}

void drawCard(QPainter& p, double w, double h, int page, int slot, const Theme& theme)
{
    const double unit = std::min(w, h);
    if (unit < 40) {
        // Too small for words: the page and slot as dots on a bar.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawRect(QRectF(0, h * 0.7, w, h * 0.3));
        p.setBrush(QColor(20, 20, 20));
        p.drawRect(QRectF(0, h * 0.75, w * page / 10.0, h * 0.08));
        p.drawRect(QRectF(0, h * 0.88, w * (slot + 1) / 12.0, h * 0.08));
        return;
    }
    const QString key = QStringLiteral("P%1I%2").arg(page).arg(slot);
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setBold(true);
    big.setPixelSize(int(std::max(8.0, unit * 0.11)));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(int(std::max(6.0, unit * 0.045)));

    const QRectF card(unit * 0.05, h - unit * 0.05 - unit * 0.24, std::min(w * 0.9, unit * 0.75), unit * 0.24);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 190));
    p.drawRoundedRect(card, unit * 0.02, unit * 0.02);
    p.setPen(QColor(25, 30, 40));
    p.setFont(big);
    p.drawText(card.adjusted(unit * 0.03, unit * 0.01, 0, -card.height() * 0.4), Qt::AlignLeft | Qt::AlignVCenter,
               key);
    p.setFont(small);
    p.drawText(card.adjusted(unit * 0.03, card.height() * 0.58, 0, 0), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("%1 \u2014 page %2, slot %3").arg(QString::fromLatin1(theme.name)).arg(page).arg(slot));
}

} // namespace

QSize SuppliedSize(int page, int slot)
{
    const int k = (page - 1) * 12 + slot;
    switch (k) {
    case 5: return {16, 16};       // P1I5 tiny
    case 15: return {4240, 2832};  // P2I3 12 megapixels
    case 31: return {600, 1800};   // P3I7 tall
    case 45: return {480, 1440};   // P4I9 very tall
    case 55: return {3000, 2000};  // P5I7 large
    case 60: return {1200, 1200};  // P6I0 square
    case 74: return {2400, 600};   // P7I2 wide panorama
    case 88: return {64, 48};      // P8I4 small
    case 102: return {32, 32};     // P9I6 icon size
    case 107: return {1920, 480};  // P9I11 very wide
    case 114: return {800, 800};   // P10I6 square
    case 20: case 66: case 99: return {1600, 1200};
    default: break;
    }
    static const std::array<QSize, 10> common{{{640, 480}, {800, 600}, {480, 640}, {1024, 768}, {640, 480},
                                               {600, 800}, {1280, 960}, {720, 540}, {960, 1280}, {640, 480}}};
    return common[std::size_t(k * 7 % 10)];
}

bool StoredWithPalette(int page, int slot)
{
    const QSize s = SuppliedSize(page, slot);
    return qint64(s.width()) * s.height() > 64 * 64;
}

QImage SuppliedPicture(int page, int slot)
{
    const QSize size = SuppliedSize(page, slot);
    const Theme& theme = themes[std::size_t((page * 5 + slot) % int(themes.size()))];
    Rng rng(std::uint32_t(page * 131 + slot * 17 + 7));
    const double w = size.width(), h = size.height();

    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const double horizon = h * rng.range(0.48, 0.62);
    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0, theme.skyTop);
    sky.setColorAt(1, theme.skyHorizon);
    p.fillRect(QRectF(0, 0, w, horizon + 1), sky);

    if (theme.night) {
        p.setPen(Qt::NoPen);
        const int stars = int(std::min(400.0, w * h / 3000.0));
        for (int i = 0; i < stars; ++i) {
            p.setBrush(QColor(255, 255, 240, int(rng.range(90, 255))));
            const double r = std::max(0.5, std::min(w, h) * rng.range(0.001, 0.004));
            p.drawEllipse(QPointF(rng.range(0, w), rng.range(0, horizon * 0.9)), r, r);
        }
    }

    const QPointF sunAt(w * rng.range(0.2, 0.8), horizon * rng.range(0.3, 0.7));
    const double sunR = std::min(w, h) * rng.range(0.06, 0.1);
    QRadialGradient glow(sunAt, sunR * 3);
    QColor halo = theme.sun;
    halo.setAlpha(110);
    glow.setColorAt(0, halo);
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(sunAt, sunR * 3, sunR * 3);
    p.setBrush(theme.sun);
    p.drawEllipse(sunAt, sunR, sunR);

    p.setBrush(theme.far);
    const QPainterPath farRidge = ridge(rng, w, h, horizon - h * 0.08, h * 0.05, 24);
    p.drawPath(farRidge);
    if (theme.snow) {
        p.save();
        p.setClipPath(farRidge);
        p.fillRect(QRectF(0, 0, w, horizon - h * 0.1), QColor(250, 252, 255));
        p.restore();
    }

    if (theme.water) {
        QLinearGradient sea(0, horizon, 0, h);
        sea.setColorAt(0, theme.skyHorizon.darker(130));
        sea.setColorAt(1, theme.ground);
        p.fillRect(QRectF(0, horizon, w, h - horizon), sea);
        p.setBrush(QColor(255, 255, 255, 60));
        for (int i = 0; i < 40; ++i) {
            const double y = rng.range(horizon, h);
            const double len = w * rng.range(0.03, 0.12);
            p.drawRect(QRectF(sunAt.x() + rng.range(-w * 0.15, w * 0.15) - len / 2, y, len,
                              std::max(1.0, h * 0.003)));
        }
    } else {
        QLinearGradient land(0, horizon, 0, h);
        land.setColorAt(0, theme.near);
        land.setColorAt(1, theme.ground);
        p.setBrush(land);
        const QPainterPath nearRidge = ridge(rng, w, h, horizon + h * 0.06, h * 0.035, 12);
        p.drawPath(nearRidge);
        if (theme.trees) {
            const int trees = 18 + int(rng.range(0, 14));
            for (int i = 0; i < trees; ++i) {
                const double x = rng.range(0, w);
                const double base = horizon + h * rng.range(0.12, 0.4);
                const double th = h * rng.range(0.06, 0.14);
                QPolygonF tree;
                tree << QPointF(x, base - th) << QPointF(x - th * 0.3, base) << QPointF(x + th * 0.3, base);
                p.setBrush(theme.near.darker(int(rng.range(130, 190))));
                p.drawPolygon(tree);
            }
        }
    }

    drawCard(p, w, h, page, slot, theme);
    p.end();
    return image;
}

QImage EmptyPicture()
{
    const int side = 111; // a slot's box on screen at 15 twips a pixel
    QImage image(side, side, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, side, side);
    bg.setColorAt(0, QColor(244, 241, 234));
    bg.setColorAt(1, QColor(228, 223, 212));
    p.fillRect(image.rect(), bg);
    QPen dash(QColor(170, 160, 140), 2, Qt::DashLine);
    p.setPen(dash);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(6, 6, side - 12, side - 12), 8, 8);
    // A faint picture sign: a sun over two hills.
    p.setPen(QPen(QColor(190, 182, 165), 3));
    p.drawEllipse(QPointF(side * 0.62, side * 0.36), side * 0.08, side * 0.08);
    QPolygonF hills;
    hills << QPointF(side * 0.22, side * 0.72) << QPointF(side * 0.42, side * 0.46) << QPointF(side * 0.56, side * 0.62)
          << QPointF(side * 0.66, side * 0.52) << QPointF(side * 0.80, side * 0.72);
    p.drawPolyline(hills);
    p.end();
    return image;
}

} // namespace Scenes
