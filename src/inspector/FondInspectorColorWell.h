#pragma once

#include "model/PlmColor.h"

#include <QColor>
#include <QToolButton>
#include <optional>

// A colour well of the inspectors: a swatch that opens the colour panel (through the dialog
// hooks) and reports the colour the user chose. Setting the colour from code reports nothing.
class FondInspectorColorWell : public QToolButton {
    Q_OBJECT
public:
    explicit FondInspectorColorWell(QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    // Shows a stored colour: plmColor() gives it back exactly (a QColor keeps 16 bits a
    // component) until the person picks another.
    void setPlmColor(const PlmColor& color);
    // The well's colour in sRGB components; none when it cannot be converted.
    std::optional<PlmColor> plmColor() const;
    static QColor qColor(const PlmColor& color);

    // What a choice in the colour panel does: stores the colour and reports it.
    void chooseColor(const QColor& color);

    QSize sizeHint() const override;

signals:
    void colorChosen();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openPanel();

    QColor m_color = Qt::white;
    std::optional<PlmColor> m_given;
};
