#include "ui/program_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QString>

namespace {

// The picture on a grid of 64 x 64 units.
constexpr int kGrid = 64;
const QColor kBubbleColour(0x2a, 0x6f, 0xb0);
const QRectF kBubble(4, 6, 56, 42);
constexpr double kBubbleRadius = 10;
const QPointF kTail[] = {{16, 46}, {14, 60}, {30, 46}};
const QPointF kTick[] = {{18, 27}, {28, 37}, {46, 17}};
constexpr double kTickWidth = 6;

QString points(const QPointF* list, int count) {
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << QStringLiteral("%1,%2").arg(list[i].x()).arg(list[i].y());
    return texts.join(QLatin1Char(' '));
}

} // namespace

QImage ProgramIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(double(size) / kGrid, double(size) / kGrid);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBubbleColour);
    painter.drawRoundedRect(kBubble, kBubbleRadius, kBubbleRadius);
    painter.drawPolygon(kTail, 3);
    painter.setPen(QPen(Qt::white, kTickWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(kTick, 3);
    painter.end();
    return image;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 64, 128})
        icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}

QByteArray ProgramIconSvg() {
    const QString colour = kBubbleColour.name();
    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
               "viewBox=\"0 0 %1 %1\">\n"
               "  <rect x=\"%2\" y=\"%3\" width=\"%4\" height=\"%5\" rx=\"%6\" fill=\"%7\"/>\n"
               "  <polygon points=\"%8\" fill=\"%7\"/>\n"
               "  <polyline points=\"%9\" fill=\"none\" stroke=\"#ffffff\" stroke-width=\"%10\" "
               "stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
               "</svg>\n")
        .arg(kGrid)
        .arg(kBubble.x())
        .arg(kBubble.y())
        .arg(kBubble.width())
        .arg(kBubble.height())
        .arg(kBubbleRadius)
        .arg(colour, points(kTail, 3), points(kTick, 3))
        .arg(kTickWidth)
        .toUtf8();
}
