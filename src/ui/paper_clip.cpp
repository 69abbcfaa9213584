#include "ui/paper_clip.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace {

QPixmap drawnClip(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    QPen pen(QApplication::palette().color(QPalette::WindowText), 1.4);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    // An outer loop and an inner one, as a bent wire.
    QPainterPath wire;
    wire.moveTo(10.5, 5);
    wire.lineTo(10.5, 11.5);
    wire.arcTo(5.5, 9, 5, 5, 0, -180);
    wire.lineTo(5.5, 4);
    wire.arcTo(5.5, 1.5, 4, 4, 180, -180);
    wire.lineTo(9.5, 11);
    wire.arcTo(7.5, 10, 2, 2, 0, -180);
    wire.lineTo(7.5, 5);
    painter.drawPath(wire);
    return pixmap;
}

} // namespace

const QIcon& PaperClipIcon() {
    static const QIcon icon = [] {
        QIcon themed = QIcon::fromTheme(QStringLiteral("mail-attachment"));
        if (!themed.isNull())
            return themed;
        QIcon drawn;
        for (int size : {16, 24, 32})
            drawn.addPixmap(drawnClip(size));
        return drawn;
    }();
    return icon;
}
