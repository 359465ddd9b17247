#include "browser/toolbar_icons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <numbers>

namespace {

constexpr int kSize = 24;

// An arrow across the icon, pointing left or right.
void drawArrow(QPainter& p, bool left)
{
    QPainterPath arrow;
    arrow.moveTo(3, 12);
    arrow.lineTo(11, 4);
    arrow.lineTo(11, 8.5);
    arrow.lineTo(21, 8.5);
    arrow.lineTo(21, 15.5);
    arrow.lineTo(11, 15.5);
    arrow.lineTo(11, 20);
    arrow.closeSubpath();
    if (!left)
        arrow = QTransform(-1, 0, 0, 1, kSize, 0).map(arrow);
    p.setBrush(QColor(0x2e, 0x7d, 0x32));
    p.drawPath(arrow);
}

void drawStop(QPainter& p)
{
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double angle = (22.5 + 45.0 * i) * std::numbers::pi / 180.0;
        octagon << QPointF(12 + 10 * std::cos(angle), 12 + 10 * std::sin(angle));
    }
    p.setBrush(QColor(0xc6, 0x28, 0x28));
    p.drawPolygon(octagon);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(16, 16));
    p.drawLine(QPointF(16, 8), QPointF(8, 16));
}

void drawRefresh(QPainter& p)
{
    const QColor blue(0x15, 0x65, 0xc0);
    p.setPen(QPen(blue, 3, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 4, 16, 16), 60 * 16, 280 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawPolygon(QPolygonF { QPointF(13, 1), QPointF(20, 5.5), QPointF(13, 10) });
}

void drawHome(QPainter& p)
{
    p.setBrush(QColor(0x8d, 0x6e, 0x63));
    p.drawPolygon(QPolygonF { QPointF(12, 3), QPointF(22, 12), QPointF(2, 12) });
    p.setBrush(QColor(0xf5, 0xf5, 0xf5));
    p.drawRect(QRectF(5, 12, 14, 9));
    p.setBrush(QColor(0x8d, 0x6e, 0x63));
    p.drawRect(QRectF(10, 15, 4, 6));
}

void drawSearch(QPainter& p)
{
    p.setPen(QPen(QColor(0x42, 0x42, 0x42), 2.5));
    p.setBrush(QColor(0xe3, 0xf2, 0xfd));
    p.drawEllipse(QRectF(3, 3, 12, 12));
    p.setPen(QPen(QColor(0x42, 0x42, 0x42), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(20.5, 20.5));
}

QIcon drawnIcon(const QString& key)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x21, 0x21, 0x21), 1));
    if (key == u"Back" || key == u"Forward")
        drawArrow(p, key == u"Back");
    else if (key == u"Stop")
        drawStop(p);
    else if (key == u"Refresh")
        drawRefresh(p);
    else if (key == u"Home")
        drawHome(p);
    else if (key == u"Search")
        drawSearch(p);
    p.end();
    return QIcon(pixmap);
}

} // namespace

QIcon toolbarIcon(const QString& key)
{
    static const QHash<QString, QString> themeNames {
        { QStringLiteral("Back"), QStringLiteral("go-previous") },
        { QStringLiteral("Forward"), QStringLiteral("go-next") },
        { QStringLiteral("Stop"), QStringLiteral("process-stop") },
        { QStringLiteral("Refresh"), QStringLiteral("view-refresh") },
        { QStringLiteral("Home"), QStringLiteral("go-home") },
        { QStringLiteral("Search"), QStringLiteral("edit-find") },
    };
    return QIcon::fromTheme(themeNames.value(key), drawnIcon(key));
}
