#include "inspector/InspectorIcon.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

QString resourcePath(const QString& symbolName)
{
    return QStringLiteral(":/icons/") + symbolName + QStringLiteral(".svg");
}

QColor resolvedTint(const QColor& tint)
{
    return tint.isValid() ? tint : QApplication::palette().color(QPalette::ButtonText);
}

// The icon is drawn in black in its file; every painted pixel takes the tint.
QPixmap tinted(QSvgRenderer& renderer, int side, qreal ratio, const QColor& tint)
{
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, side, side));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(0, 0, side, side), tint);
    return pixmap;
}

} // namespace

bool InspectorIcon::exists(const QString& symbolName)
{
    return !symbolName.isEmpty() && !symbolName.contains(QLatin1Char('/')) && QFile::exists(resourcePath(symbolName));
}

QIcon InspectorIcon::symbol(const QString& symbolName, const QColor& tint)
{
    if (!exists(symbolName))
        return {};
    QSvgRenderer renderer(resourcePath(symbolName));
    if (!renderer.isValid())
        return {};
    const QColor colour = resolvedTint(tint);
    QIcon icon;
    for (int side : {16, 20, 24, 32, 48}) {
        for (qreal ratio : {1.0, 2.0})
            icon.addPixmap(tinted(renderer, side, ratio, colour));
    }
    return icon;
}

QIcon InspectorIcon::chevron(bool open, const QColor& tint)
{
    const QColor colour = resolvedTint(tint);
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(16, 16) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(pen);
        QPainterPath path;
        if (open) {
            path.moveTo(4, 6);
            path.lineTo(8, 10);
            path.lineTo(12, 6);
        } else {
            path.moveTo(6, 4);
            path.lineTo(10, 8);
            path.lineTo(6, 12);
        }
        painter.drawPath(path);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
