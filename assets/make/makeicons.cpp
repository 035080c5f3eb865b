// Draws the program's icon as PNG files of the sizes the desktop asks for,
// with the same shapes as icons/quillbook.svg (a 64-unit square).
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x7a, 0x4a, 0x2a));
    p.drawRoundedRect(QRectF(10, 8, 44, 50), 4, 4);
    p.setBrush(QColor(0xf7, 0xf1, 0xe3));
    p.drawRect(QRectF(14, 12, 36, 42));
    p.setBrush(QColor(0x6f, 0xa8, 0xdc));
    p.drawRect(QRectF(20, 18, 24, 18));
    p.setBrush(QColor(0x4f, 0x8a, 0x3c));
    p.drawPolygon(QPolygonF({{20, 36}, {28, 26}, {34, 32}, {38, 28}, {44, 36}}));
    p.setBrush(QColor(0xff, 0xd9, 0x66));
    p.drawEllipse(QPointF(39, 23), 3, 3);
    p.setPen(QPen(QColor(0x2b, 0x24, 0x18), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xe8, 0xe0, 0xd0));
    p.drawPolygon(QPolygonF({{48, 4}, {54, 10}, {34, 40}, {30, 42}, {32, 38}}));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quill_makeicons OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = out + QStringLiteral("/%1x%1/apps").arg(size);
        if (!QDir().mkpath(dir) || !drawIcon(size).save(dir + QStringLiteral("/quillbook.png"), "PNG"))
            return 1;
    }
    return 0;
}
