#include "about/ProgramIcon.h"

#include <algorithm>
#include <QImage>
#include <QPainter>

namespace about {

QImage programIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 48-unit grid; outlines stay at least one device pixel wide at 16 pixels.
    const double scale = size / 48.0;
    p.scale(scale, scale);
    const QPen outline(QColor(112, 36, 60), std::max(2.0, 1.0 / scale));

    // Viewfinder hump and shutter button on top of the body.
    p.setPen(outline);
    p.setBrush(QColor(250, 160, 180));
    p.drawRoundedRect(QRectF(13, 8, 14, 10), 3, 3);
    p.setBrush(QColor(255, 220, 90));
    p.drawRoundedRect(QRectF(32, 10, 7, 6), 2, 2);

    // The body: a plump rounded box, pink like the main window.
    p.setBrush(QColor(240, 110, 140));
    p.drawRoundedRect(QRectF(4, 14, 40, 28), 8, 8);

    // The lens: dark ring, blue glass, one highlight.
    p.setBrush(QColor(60, 50, 70));
    p.drawEllipse(QPointF(24, 28), 11, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 170, 235));
    p.drawEllipse(QPointF(24, 28), 6.5, 6.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(21.5, 25.5), 2.2, 2.2);

    // The flash window.
    p.setBrush(QColor(255, 245, 200));
    p.drawEllipse(QPointF(38.5, 20.5), 2.5, 2.5);
    p.end();
    return image;
}

QPixmap programIconPixmap(int size) {
    return QPixmap::fromImage(programIconImage(size));
}

QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addPixmap(programIconPixmap(size));
    }
    return icon;
}

}  // namespace about
