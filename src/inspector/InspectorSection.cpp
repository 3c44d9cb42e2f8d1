#include "inspector/InspectorSection.h"

#include "inspector/InspectorIcon.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

// The label of a row: one line, cut at its tail when the column is too narrow.
class InspectorRowLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
        painter.drawText(contentsRect(), int(Qt::AlignLeft | Qt::AlignVCenter), shown);
    }
};

QColor blended(const QColor& base, const QColor& other, double fraction)
{
    return QColor::fromRgbF(float(base.redF() * (1 - fraction) + other.redF() * fraction),
                            float(base.greenF() * (1 - fraction) + other.greenF() * fraction),
                            float(base.blueF() * (1 - fraction) + other.blueF() * fraction),
                            float(base.alphaF() * (1 - fraction) + other.alphaF() * fraction));
}

bool isControl(const QWidget* widget)
{
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLabel*>(widget)
        || qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
        || qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSlider*>(widget)
        || qobject_cast<const QTabBar*>(widget) || InspectorSection::isColorWell(widget);
}

// Pop-ups, spin boxes and sliders take the wheel only when they have the focus: a wheel turned
// over one on the way down an inspector scrolls the column, as over any other row, instead of
// changing a value (and storing an undo step) the person never looked at.
class WheelGuard : public QObject {
public:
    static WheelGuard* shared()
    {
        static WheelGuard* guard = new WheelGuard(QCoreApplication::instance());
        return guard;
    }

    static bool guards(const QWidget* widget)
    {
        return qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
            || (qobject_cast<const QAbstractSlider*>(widget) && !qobject_cast<const QScrollBar*>(widget));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() != QEvent::Wheel || !widget || widget->hasFocus())
            return false;
        auto* wheel = static_cast<QWheelEvent*>(event);
        for (QWidget* above = widget->parentWidget(); above; above = above->parentWidget()) {
            auto* area = qobject_cast<QAbstractScrollArea*>(above);
            if (!area)
                continue;
            QWidget* viewport = area->viewport();
            QWheelEvent passed(viewport->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                               wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                               wheel->phase(), wheel->inverted(), wheel->source());
            QCoreApplication::sendEvent(viewport, &passed);
            return true;
        }
        // No column to scroll: the widgets around may take it.
        event->ignore();
        return true;
    }

private:
    using QObject::QObject;
};

} // namespace

InspectorSection::InspectorSection(const QString& title, const QList<QWidget*>& content, QWidget* parent)
    : InspectorSection(title, title, content, parent)
{
}

InspectorSection::InspectorSection(const QString& title, const QString& storedTitle, const QList<QWidget*>& content,
                                   QWidget* parent)
    : QWidget(parent), m_title(title), m_body(new QWidget(this)), m_bodyLayout(new QVBoxLayout(m_body)),
      m_header(new QToolButton(this)), m_preference(preferenceKey(storedTitle))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(6);
    // Like any view, a section may be made narrower than its rows; its parent's layout
    // still asks for the rows' minimum.
    layout->setSizeConstraint(QLayout::SetNoConstraint);

    m_header->setCheckable(true);
    m_header->setAutoRaise(true);
    m_header->setChecked(UserDefaults::contains(m_preference) ? UserDefaults::boolValue(m_preference) : true);
    m_header->setAccessibleName(title);
    m_header->setFixedWidth(16);
    m_header->setFont(systemFont(12, QFont::DemiBold));
    m_header->setObjectName(QStringLiteral("InspectorSection.Header"));
    updateHeaderImage();
    connect(m_header, &QToolButton::clicked, this, &InspectorSection::headerChanged);

    m_bodyLayout->setContentsMargins(0, 0, 0, 0);
    m_bodyLayout->setSpacing(6);

    m_titleLabel = new QLabel(title);
    m_titleLabel->setFont(systemFont(12, QFont::DemiBold));
    m_titleLabel->setObjectName(QStringLiteral("InspectorSection.Title"));

    m_headingView = new QWidget(this);
    auto* heading = new QHBoxLayout(m_headingView);
    heading->setContentsMargins(6, 5, 6, 5);
    heading->setSpacing(6);
    heading->addWidget(m_header);
    heading->addWidget(m_titleLabel, 1);

    layout->addWidget(m_headingView);
    layout->addWidget(m_body);
    for (QWidget* view : content)
        addRow(view);
    m_body->setVisible(m_header->isChecked());
}

bool InspectorSection::isOpen() const
{
    return m_header->isChecked();
}

void InspectorSection::addRow(QWidget* row)
{
    if (!row)
        return;
    applyCompactStyle(row);
    m_bodyLayout->addWidget(row);
}

void InspectorSection::addIconRow(QWidget* row)
{
    if (!row)
        return;
    applyCompactStyle(row);
    row->setSizePolicy(QSizePolicy::Maximum, row->sizePolicy().verticalPolicy());
    m_bodyLayout->addWidget(row, 0, Qt::AlignLeft);
}

void InspectorSection::toggle()
{
    m_header->setChecked(!m_header->isChecked());
    headerChanged();
}

void InspectorSection::headerChanged()
{
    const bool open = m_header->isChecked();
    m_body->setVisible(open);
    updateHeaderImage();
    UserDefaults::setValue(m_preference, open);
}

void InspectorSection::updateHeaderImage()
{
    const bool open = m_header->isChecked();
    const QString name = open ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right");
    const QColor tint = palette().color(QPalette::WindowText);
    QIcon icon = InspectorIcon::symbol(name, tint);
    m_header->setIcon(icon.isNull() ? InspectorIcon::chevron(open, tint) : icon);
    m_header->setAccessibleDescription(m_title);
}

void InspectorSection::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor label = palette().color(QPalette::WindowText);
    if (m_headingView) {
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(m_headingView->geometry()), 5, 5);
        // The background of large controls (tables, fields) is the palette's Base colour.
        painter.fillPath(rounded, blended(palette().color(QPalette::Base), label, 0.14));
    }
    QColor separator = label;
    separator.setAlphaF(0.35f);
    const double width = std::max(double(this->width()) - 24, 0.0);
    if (width > 0)
        painter.fillRect(QRectF(12, 0, width, 1), separator);
}

void InspectorSection::applyCompactStyle(QWidget* view)
{
    if (!view)
        return;
    if (WheelGuard::guards(view)) {
        // The wheel alone never gives them the focus.
        if (view->focusPolicy() == Qt::WheelFocus)
            view->setFocusPolicy(Qt::StrongFocus);
        view->removeEventFilter(WheelGuard::shared());
        view->installEventFilter(WheelGuard::shared());
    }
    if (isControl(view)) {
        view->setAttribute(Qt::WA_MacSmallSize);
        if (!isColorWell(view))
            view->setFont(systemFont(rowFontSize));
    }
    for (QObject* child : view->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child))
            applyCompactStyle(widget);
    }
}

QString InspectorSection::shortenedLabel(const QString& title)
{
    QString text = title;
    for (const QString& qualifier : {QStringLiteral(" (opacité dans le panneau)"), QStringLiteral(" du texte"),
                                     QStringLiteral(" du bloc"), QStringLiteral(" (0–1)"), QStringLiteral(" (pt)")})
        text.remove(qualifier);
    return text;
}

QWidget* InspectorSection::labeledRow(const QString& title, QWidget* control)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(int(labelSpacing));

    auto* label = new InspectorRowLabel(shortenedLabel(title));
    label->setObjectName(QStringLiteral("InspectorSection.RowLabel"));
    label->setFont(systemFont(rowFontSize));
    label->setToolTip(title);
    label->setFixedWidth(int(labelWidth));
    layout->addWidget(label, 0, Qt::AlignVCenter);

    if (control) {
        if (isColorWell(control)) {
            // The well keeps its natural width; the spacer takes the rest.
            layout->addWidget(control, 0, Qt::AlignVCenter);
            auto* spacer = new QWidget;
            spacer->setObjectName(QStringLiteral("InspectorSection.Spacer"));
            spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
            layout->addWidget(spacer, 1);
        } else {
            layout->addWidget(control, 1, Qt::AlignVCenter);
        }
    }
    return row;
}

QToolButton* InspectorSection::iconButton(const QString& symbolName, const QString& toolTip)
{
    auto* button = new QToolButton;
    button->setIcon(InspectorIcon::symbol(symbolName));
    button->setAccessibleDescription(toolTip);
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    button->setIconSize(QSize(18, 18));
    button->setFixedSize(32, 28);
    return button;
}

QFont InspectorSection::systemFont(double points, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(std::max(1, qRound(points)));
    font.setWeight(weight);
    return font;
}

bool InspectorSection::isColorWell(const QWidget* widget)
{
    if (!widget)
        return false;
    return widget->property("colorWell").toBool()
        || QByteArray(widget->metaObject()->className()).contains("ColorWell");
}
