#include "gui/wizard_bitmaps.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kestrane::gui {

namespace {

// A package with an arrow rising out of it: the patch that lifts a version.
void DrawEmblem(QPainter& p, QPointF centre, double size, const QColor& box, const QColor& arrow) {
    const double w = size, h = size * 0.62;
    const QRectF body(centre.x() - w / 2, centre.y() - h / 4, w, h);
    p.setPen(Qt::NoPen);
    p.setBrush(box);
    p.drawRoundedRect(body, size * 0.06, size * 0.06);
    p.setBrush(box.darker(125));
    p.drawRect(QRectF(body.left(), body.top(), w, h * 0.18));
    QPainterPath up;
    const double x = centre.x(), top = centre.y() - size * 0.72, shaft = size * 0.14;
    up.moveTo(x, top);
    up.lineTo(x + size * 0.3, top + size * 0.32);
    up.lineTo(x + shaft, top + size * 0.32);
    up.lineTo(x + shaft, centre.y() + h * 0.25);
    up.lineTo(x - shaft, centre.y() + h * 0.25);
    up.lineTo(x - shaft, top + size * 0.32);
    up.lineTo(x - size * 0.3, top + size * 0.32);
    up.closeSubpath();
    p.setBrush(arrow);
    p.drawPath(up);
}

}  // namespace

QPixmap WelcomePicture() {
    QPixmap pixmap(501, 314);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // Left band behind the emblem; the texts start at x = 168.
    QLinearGradient band(0, 0, 0, 314);
    band.setColorAt(0, QColor(0x1f, 0x4e, 0x8c));
    band.setColorAt(1, QColor(0x3d, 0x8b, 0xd1));
    p.fillRect(QRect(0, 0, 156, 314), band);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor(255, 255, 255, 18 + i * 4));
        p.drawEllipse(QPointF(30 + i * 22, 260 - i * 34), 46 - i * 5, 46 - i * 5);
    }
    DrawEmblem(p, QPointF(78, 150), 74, QColor(0xf2, 0xf6, 0xfb), QColor(0xf5, 0xa6, 0x23));
    QLinearGradient edge(156, 0, 162, 0);
    edge.setColorAt(0, QColor(0, 0, 0, 50));
    edge.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRect(156, 0, 6, 314), edge);
    return pixmap;
}

QPixmap BannerPicture() {
    QPixmap pixmap(500, 63);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 500, 0);
    back.setColorAt(0, Qt::white);
    back.setColorAt(0.6, Qt::white);
    back.setColorAt(1, QColor(0xd6, 0xe6, 0xf7));
    p.fillRect(pixmap.rect(), back);
    DrawEmblem(p, QPointF(462, 38), 34, QColor(0x2b, 0x6c, 0xb4), QColor(0xf5, 0xa6, 0x23));
    return pixmap;
}

}  // namespace kestrane::gui
