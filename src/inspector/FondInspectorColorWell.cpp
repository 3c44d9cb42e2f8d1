#include "inspector/FondInspectorColorWell.h"

#include "desktop/DialogHooks.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

FondInspectorColorWell::FondInspectorColorWell(QWidget* parent)
    : QToolButton(parent)
{
    setProperty("colorWell", true);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QToolButton::clicked, this, &FondInspectorColorWell::openPanel);
}

void FondInspectorColorWell::setColor(const QColor& color)
{
    m_given.reset();
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void FondInspectorColorWell::setPlmColor(const PlmColor& color)
{
    setColor(qColor(color));
    m_given = color;
}

std::optional<PlmColor> FondInspectorColorWell::plmColor() const
{
    if (m_given)
        return m_given;
    if (!m_color.isValid())
        return std::nullopt;
    const QColor rgb = m_color.toRgb();
    if (!rgb.isValid())
        return std::nullopt;
    return PlmColor{rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

QColor FondInspectorColorWell::qColor(const PlmColor& color)
{
    const auto unit = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(unit(color.red)), float(unit(color.green)), float(unit(color.blue)),
                            float(unit(color.alpha)));
}

void FondInspectorColorWell::chooseColor(const QColor& color)
{
    if (!color.isValid())
        return;
    m_given.reset();
    m_color = color;
    update();
    emit colorChosen();
}

void FondInspectorColorWell::openPanel()
{
    if (const std::optional<QColor> chosen = DialogHooks::chooseColor(m_color, QString(), window()))
        chooseColor(*chosen);
}

QSize FondInspectorColorWell::sizeHint() const
{
    return {44, 22};
}

void FondInspectorColorWell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    // A checkerboard shows through a transparent colour.
    painter.fillRect(frame, Qt::white);
    const double cell = 5;
    for (double y = frame.top(); y < frame.bottom(); y += cell) {
        for (double x = frame.left() + (int((y - frame.top()) / cell) % 2) * cell; x < frame.right(); x += 2 * cell)
            painter.fillRect(QRectF(x, y, cell, cell).intersected(frame), QColor(204, 204, 204));
    }
    painter.fillRect(frame, m_color);
    painter.setPen(QPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Mid), 1));
    painter.drawRoundedRect(frame, 3, 3);
}
