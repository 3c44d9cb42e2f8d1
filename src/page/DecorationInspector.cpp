#include "page/DecorationController.h"

#include "inspector/FondInspectorColorWell.h"
#include "page/DecorationTextAttributes.h"
#include "inspector/InspectorSection.h"
#include "inspector/PaletteSlider.h"
#include "inspector/TypedField.h"
#include "model/PlmFrenchNumber.h"
#include "model/PlmValue.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The numeric range of a row, chosen by its label; the first rule that matches wins.
struct NumberRange {
    bool slider = false;
    double minimum = 0, maximum = 0, scale = 1;
};

NumberRange numberRange(const QString& label)
{
    struct Rule {
        QString text;
        bool exact;
        double minimum, maximum, scale;
    };
    static const QList<Rule> rules = {
        {QStringLiteral("Opacité"), false, 0, 1, 100},
        {QStringLiteral("Largeur caractères (%)"), true, 50, 200, 1},
        {QStringLiteral("Rotation"), false, -180, 180, 1},
        {QStringLiteral("Taille (pt)"), true, 6, 96, 1},
        {QStringLiteral("Épaisseur"), false, 0, 20, 1},
        {QStringLiteral("Interlettrage"), false, -5, 20, 1},
        {QStringLiteral("Interligne (pt)"), true, 0, 300, 1},
        {QStringLiteral("Flou"), false, 0, 100, 1},
        {QStringLiteral("Coins"), false, 0, 100, 1},
        {QStringLiteral("Espacement"), false, 0, 100, 1},
        {QStringLiteral("Marges internes"), false, 0, 100, 1},
        {QStringLiteral("échantillons"), false, 6, 96, 1},
        {QStringLiteral("Décalage"), false, -100, 100, 1},
    };
    for (const Rule& rule : rules)
        if (rule.exact ? label == rule.text : label.contains(rule.text))
            return {true, rule.minimum, rule.maximum, rule.scale};
    return {};
}

// Opacities show whole percentages; every other row three significant digits.
QString fieldText(double value, double scale)
{
    if (scale == 100)
        return formatFrenchNumber(value * scale, 3, 0);
    return formatFrenchNumber(value, 3);
}

// A row of exclusive segments (text labels or icons), reporting the chosen index.
class Segments : public QWidget {
public:
    Segments(const QStringList& labels, const QStringList& toolTips, bool icons)
    {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        group = new QButtonGroup(this);
        for (qsizetype i = 0; i < labels.size(); ++i) {
            QToolButton* button = icons ? InspectorSection::iconButton(labels[i], toolTips.value(i)) : new QToolButton;
            if (!icons)
                button->setText(labels[i]);
            button->setToolTip(toolTips.value(i));
            button->setCheckable(true);
            group->addButton(button, int(i));
            row->addWidget(button);
        }
    }
    int selectedSegment() const { return group->checkedId(); }
    void setSelectedSegment(int index)
    {
        if (QAbstractButton* button = group->button(index))
            button->setChecked(true);
    }
    QButtonGroup* group;
};

} // namespace

InspectorSection* DecorationController::addSection(const QString& title, const QString& key, const QString& storedTitle)
{
    auto* section = new InspectorSection(title, storedTitle.isEmpty() ? title : storedTitle);
    m_barLayout->addWidget(section);
    m_sections.append({section, key});
    return section;
}

void DecorationController::bind(QWidget* control, std::function<void()> refresh, std::function<void()> action)
{
    m_bindings.append(std::move(refresh));
    if (!action)
        return;
    // The value is read before a running text edit is committed (its refresh would overwrite
    // it), then put back for the action.
    QPointer<DecorationController> self(this);
    QPointer<QWidget> weak(control);
    auto run = [self, weak, action] {
        if (!self || !weak)
            return;
        QWidget* c = weak;
        QVariant value;
        if (auto* s = dynamic_cast<Segments*>(c))
            value = s->selectedSegment();
        else if (auto* combo = qobject_cast<QComboBox*>(c))
            value = combo->currentIndex();
        else if (auto* well = qobject_cast<FondInspectorColorWell*>(c))
            value = well->color();
        else if (auto* button = qobject_cast<QAbstractButton*>(c))
            value = button->isChecked();
        else if (auto* slider = qobject_cast<PaletteSlider*>(c))
            value = slider->doubleValue();
        self->commitTextEdit();
        if (!weak)
            return;
        const QSignalBlocker blocker(c);
        if (auto* s = dynamic_cast<Segments*>(c))
            s->setSelectedSegment(value.toInt());
        else if (auto* combo = qobject_cast<QComboBox*>(c))
            combo->setCurrentIndex(value.toInt());
        else if (auto* well = qobject_cast<FondInspectorColorWell*>(c))
            well->setColor(value.value<QColor>());
        else if (auto* button = qobject_cast<QAbstractButton*>(c))
            button->setChecked(value.toBool());
        else if (auto* slider = qobject_cast<PaletteSlider*>(c))
            slider->setDoubleValue(value.toDouble());
        action();
    };
    if (auto* s = dynamic_cast<Segments*>(control))
        connect(s->group, &QButtonGroup::idClicked, this, run);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        connect(combo, &QComboBox::activated, this, run);
    else if (auto* well = qobject_cast<FondInspectorColorWell*>(control))
        connect(well, &FondInspectorColorWell::colorChosen, this, run);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        connect(button, &QAbstractButton::clicked, this, run);
    else if (auto* slider = qobject_cast<PaletteSlider*>(control))
        connect(slider, &PaletteSlider::doubleValueChanged, this, run);
}

QString DecorationController::takeNumber(const QString& text, const std::function<double()>& value,
                                         const std::function<void(double)>& setter, double scale)
{
    std::optional<double> number;
    try {
        if (const std::optional<PlmValue> parsed = PlmValue::parse(text, PlmVariableType::number))
            number = parsed->numericValue();
    } catch (const std::exception&) {
    }
    if (!number || !std::isfinite(*number))
        return TypedField::notANumber();
    // The setter presents the work's refusal, or beeps at a value it does not take: both are the
    // field's refusal here.
    QString refusal;
    bool beeped = false;
    {
        const QScopedValueRollback<QString*> capture(m_refusalCapture, &refusal);
        const QScopedValueRollback<std::function<void()>> quiet(beep, [&beeped] { beeped = true; });
        const double before = value();
        setter(*number / scale);
        if (refusal.isEmpty() && (beeped || (value() == before && *number / scale != before)))
            refusal = TypedField::notANumber();
    }
    return refusal;
}

PlmEditingStyle DecorationController::selectedStyle() const
{
    const std::optional<PlmPresentation> p = selectedPresentation();
    return p ? p->effectiveEditingStyle() : PlmEditingStyle();
}

void DecorationController::buildInspector()
{
    QWidget* typography = nullptr;
    InspectorSection* current = nullptr;

    const auto addLabeled = [&](const QString& label, QWidget* control) {
        current->addRow(InspectorSection::labeledRow(label, control));
        m_controls.insert(label, control);
    };
    const auto addNumberRow = [&](const QString& label, std::function<double()> value,
                                  std::function<void(double)> setter, bool allowSlider = true) {
        const NumberRange range = numberRange(label);
        auto* holder = new QWidget;
        auto* row = new QHBoxLayout(holder);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(6);
        auto* field = new QLineEdit;
        field->setAlignment(Qt::AlignRight);
        field->setFont(InspectorSection::systemFont(11));
        field->setMinimumWidth(54);
        field->setToolTip(label.contains(QStringLiteral("Opacité")) ? QStringLiteral("Opacité (%)") : label);
        PaletteSlider* slider = nullptr;
        if (range.slider && allowSlider) {
            slider = new PaletteSlider(value(), range.minimum, range.maximum);
            slider->setToolTip(label);
            QPointer<DecorationController> self(this);
            slider->begin = [self] {
                if (self && self->m_document.beginUndoGrouping)
                    self->m_document.beginUndoGrouping();
            };
            slider->end = [self] {
                if (self && self->m_document.endUndoGrouping)
                    self->m_document.endUndoGrouping();
            };
            slider->setMinimumWidth(60);
            field->setFixedWidth(54);
            row->addWidget(slider, 1);
            bind(slider, [slider, value] {
                const QSignalBlocker blocker(slider);
                slider->setDoubleValue(value());
            }, [slider, setter] { setter(slider->doubleValue()); });
        }
        row->addWidget(field);
        const double scale = range.scale;
        TypedField* typed = TypedField::attach(
            field, {label, [value, scale] { return fieldText(value(), scale); },
                    [this, value, setter, scale](const QString& text) { return takeNumber(text, value, setter, scale); },
                    [this](const QString& message) {
                        // A text that is no number beeps; the work's own refusal is presented.
                        if (message != TypedField::notANumber())
                            presentError(message);
                        else if (beep)
                            beep();
                    },
                    true});
        bind(field, [typed, value, scale] { typed->show(fieldText(value(), scale)); }, {});
        current->addRow(InspectorSection::labeledRow(label, holder));
        m_controls.insert(label, field);
        if (slider)
            m_controls.insert(label + QStringLiteral(" (curseur)"), slider);
    };
    const auto typographyRow = [&] {
        if (!typography) {
            typography = new QWidget;
            auto* row = new QHBoxLayout(typography);
            row->setContentsMargins(0, 0, 0, 0);
            row->setSpacing(6);
            row->addStretch();
            current->addIconRow(typography);
            m_typographyRow = typography;
        }
        return static_cast<QHBoxLayout*>(typography->layout());
    };
    const auto addToggleRow = [&](const QString& label, bool PlmEditingStyle::*field, const QString& icon = {}) {
        QAbstractButton* button;
        if (!icon.isEmpty()) {
            QToolButton* tool = InspectorSection::iconButton(icon, label);
            tool->setCheckable(true);
            QHBoxLayout* row = typographyRow();
            row->insertWidget(row->count() - 1, tool);
            button = tool;
            m_controls.insert(label, tool);
        } else {
            auto* box = new QCheckBox(label);
            current->addRow(box);
            m_controls.insert(label, box);
            button = box;
        }
        const bool condensed = field == &PlmEditingStyle::condensed;
        bind(button,
             [this, button, field, condensed] {
                 const QSignalBlocker blocker(button);
                 button->setChecked(selectedPresentation() && selectedStyle().*field);
                 if (condensed) {
                     bool available = false;
                     if (const std::optional<PlmPresentation> p = selectedPresentation()) {
                         const QString family = decorationFontFamily(resolvedFont(*p));
                         for (const QString& style : QFontDatabase::styles(family))
                             available = available || style.contains(QStringLiteral("Condensed"))
                                 || style.contains(QStringLiteral("Narrow"));
                     }
                     button->setEnabled(available);
                 }
             },
             [this, button, field, label] { setStyleBool(field, button->isChecked(), label); });
    };
    const auto addChoiceRow = [&](const QString& label, const QStringList& items, int PlmEditingStyle::*field,
                                  const QStringList& segments = {}) {
        QWidget* control;
        std::function<int()> read;
        std::function<void(int)> write;
        if (!segments.isEmpty()) {
            auto* s = new Segments(segments, items, false);
            control = s;
            read = [s] { return s->selectedSegment(); };
            write = [s](int i) { s->setSelectedSegment(i); };
        } else {
            auto* combo = new QComboBox;
            combo->addItems(items);
            control = combo;
            read = [combo] { return combo->currentIndex(); };
            write = [combo](int i) { combo->setCurrentIndex(i); };
        }
        const bool weight = field == &PlmEditingStyle::fontWeight;
        bind(control,
             [this, control, field, write, weight] {
                 const QSignalBlocker blocker(control);
                 int index = selectedPresentation() ? selectedStyle().*field : 0;
                 if (weight && selectedPresentation() && selectedPresentation()->bold)
                     index = 3;
                 write(index);
             },
             [this, field, read, label, weight] {
                 const int index = read();
                 if (index < 0)
                     return;
                 if (!selected)
                     return;
                 applyPresentationChange(label, [field, index, weight](PlmPresentation& p) {
                     PlmEditingStyle style = p.effectiveEditingStyle();
                     style.*field = index;
                     p.setEffectiveEditingStyle(style);
                     if (weight)
                         p.bold = false;
                 });
             });
        addLabeled(label, control);
    };
    const auto addWell = [&](const QString& label, std::function<PlmColor()> read,
                             std::function<void(const PlmColor&)> setter) {
        auto* well = new FondInspectorColorWell;
        well->setFixedSize(48, 24);
        bind(well,
             [well, read] {
                 const QSignalBlocker blocker(well);
                 well->setPlmColor(read());
             },
             [well, setter] {
                 if (const std::optional<PlmColor> c = well->plmColor())
                     setter(*c);
             });
        addLabeled(label, well);
    };
    const auto addColorRow = [&](const QString& label, PlmColor PlmEditingStyle::*field) {
        addWell(label,
                [this, field] { return selectedPresentation() ? selectedStyle().*field : PlmColor{0, 0, 0, 1}; },
                [this, field, label](const PlmColor& c) { setStyleColor(field, c, label); });
    };
    const auto addStyleNumber = [&](const QString& label, double PlmEditingStyle::*field) {
        addNumberRow(label, [this, field] { return selectedPresentation() ? selectedStyle().*field : 0.0; },
                     [this, field, label](double v) { setStyleDouble(field, v, label); });
    };
    const auto addActionButton = [&](const QString& label, const QString& icon, std::function<void()> action) {
        QAbstractButton* button;
        if (!icon.isEmpty()) {
            QToolButton* tool = InspectorSection::iconButton(icon, label);
            QWidget* row = m_iconRows.value(current);
            if (!row || row->layout()->count() >= 6) {
                row = new QWidget;
                auto* layout = new QHBoxLayout(row);
                layout->setContentsMargins(0, 0, 0, 0);
                layout->setSpacing(6);
                current->addIconRow(row);
                m_iconRows.insert(current, row);
            }
            row->layout()->addWidget(tool);
            button = tool;
        } else {
            auto* push = new QPushButton(label);
            current->addRow(push);
            button = push;
        }
        m_controls.insert(label, button);
        bind(button, [] {}, std::move(action));
    };

    // 1. Texte / Caractères
    current = addSection(QStringLiteral("Texte / Caractères"), QStringLiteral("text"));
    {
        auto* fonts = new QComboBox;
        QStringList families = QFontDatabase::families();
        families << QStringLiteral("Helvetica") << QStringLiteral("Georgia") << QStringLiteral("Menlo")
                 << QStringLiteral("Avenir");
        families.removeDuplicates();
        families.sort();
        fonts->addItems(families);
        bind(fonts,
             [this, fonts] {
                 const QSignalBlocker blocker(fonts);
                 const std::optional<PlmPresentation> p = selectedPresentation();
                 fonts->setCurrentIndex(fonts->findText(p ? p->fontName : QStringLiteral("Helvetica")));
             },
             [this, fonts] {
                 const QString name = fonts->currentIndex() >= 0 ? fonts->currentText() : QStringLiteral("Helvetica");
                 setFontName(name);
             });
        addLabeled(QStringLiteral("Police"), fonts);
    }
    {
        QToolButton* bold = InspectorSection::iconButton(QStringLiteral("bold"), QStringLiteral("Gras"));
        bold->setCheckable(true);
        QHBoxLayout* row = typographyRow();
        row->insertWidget(row->count() - 1, bold);
        m_controls.insert(QStringLiteral("Gras"), bold);
        bind(bold,
             [this, bold] {
                 const QSignalBlocker blocker(bold);
                 const std::optional<PlmPresentation> p = selectedPresentation();
                 bold->setChecked(p && p->bold);
             },
             [this, bold] { setBold(bold->isChecked()); });
    }
    addNumberRow(QStringLiteral("Taille (pt)"),
                 [this] {
                     const std::optional<PlmPresentation> p = selectedPresentation();
                     return p ? p->fontSize : 12.0;
                 },
                 [this](double v) { setFontSize(v); });
    addChoiceRow(QStringLiteral("Graisse"),
                 {QStringLiteral("Légère"), QStringLiteral("Normale"), QStringLiteral("Demi-gras"), QStringLiteral("Gras")},
                 &PlmEditingStyle::fontWeight, {QStringLiteral("L"), QStringLiteral("N"), QStringLiteral("D"), QStringLiteral("G")});
    addToggleRow(QStringLiteral("Condensée (si la police le permet)"), &PlmEditingStyle::condensed,
                 QStringLiteral("arrow.left.and.right"));
    addToggleRow(QStringLiteral("Italique"), &PlmEditingStyle::italic, QStringLiteral("italic"));
    addToggleRow(QStringLiteral("Souligné"), &PlmEditingStyle::underline, QStringLiteral("underline"));
    addWell(QStringLiteral("Couleur du texte"),
            [this] {
                const std::optional<PlmPresentation> p = selectedPresentation();
                return p ? p->color : PlmColor{0, 0, 0, 1};
            },
            [this](const PlmColor& c) { setTextColor(c); });
    addNumberRow(QStringLiteral("Opacité du texte (0–1)"),
                 [this] {
                     const std::optional<PlmPresentation> p = selectedPresentation();
                     return p ? p->color.alpha : 1.0;
                 },
                 [this](double v) { setTextOpacity(v); });
    if (!m_studioPresentation)
        addStyleNumber(QStringLiteral("Interlettrage (pt)"), &PlmEditingStyle::tracking);

    // 2. Paragraphe
    current = addSection(QStringLiteral("Paragraphe"), QStringLiteral("text"));
    if (m_studioPresentation)
        addStyleNumber(QStringLiteral("Interligne (pt)"), &PlmEditingStyle::lineSpacing);
    {
        auto* segments = new Segments({QStringLiteral("text.alignleft"), QStringLiteral("text.aligncenter"),
                                       QStringLiteral("text.alignright"), QStringLiteral("text.justify")},
                                      {QStringLiteral("Aligner à gauche"), QStringLiteral("Centrer"),
                                       QStringLiteral("Aligner à droite"), QStringLiteral("Justifier")},
                                      true);
        current->addRow(segments);
        m_controls.insert(QStringLiteral("Alignement du texte"), segments);
        bind(segments,
             [this, segments] {
                 const QSignalBlocker blocker(segments);
                 const std::optional<PlmPresentation> p = selectedPresentation();
                 segments->setSelectedSegment(p ? int(p->alignment) : 0);
             },
             [this, segments] { setTextAlignment(segments->selectedSegment()); });
    }
    addToggleRow(QStringLiteral("Retour à la ligne"), &PlmEditingStyle::wraps);

    // 3. Forme
    current = addSection(QStringLiteral("Forme"), QStringLiteral("fill"));
    addToggleRow(QStringLiteral("Aucun remplissage"), &PlmEditingStyle::noFill);
    addWell(QStringLiteral("Remplissage"),
            [this] {
                const std::optional<PlmPresentation> p = selectedPresentation();
                return p ? p->background : PlmColor{1, 1, 1, 1};
            },
            [this](const PlmColor& c) { setBackground(c); });

    // 4. Contour
    current = addSection(QStringLiteral("Contour"), QStringLiteral("any"));
    addColorRow(QStringLiteral("Couleur / opacité"), &PlmEditingStyle::stroke);
    addStyleNumber(QStringLiteral("Épaisseur (pt)"), &PlmEditingStyle::strokeWidth);
    addChoiceRow(QStringLiteral("Style"), {QStringLiteral("Continu"), QStringLiteral("Tirets"), QStringLiteral("Pointillés")},
                 &PlmEditingStyle::dash, {QStringLiteral("━"), QStringLiteral("┄"), QStringLiteral("┈")});
    addChoiceRow(QStringLiteral("Extrémités"), {QStringLiteral("Droites"), QStringLiteral("Arrondies"), QStringLiteral("Carrées")},
                 &PlmEditingStyle::cap, {QStringLiteral("╵"), QStringLiteral("●"), QStringLiteral("■")});
    addChoiceRow(QStringLiteral("Jonctions"), {QStringLiteral("Angles"), QStringLiteral("Arrondies"), QStringLiteral("Biseaux")},
                 &PlmEditingStyle::join, {QStringLiteral("∧"), QStringLiteral("⌒"), QStringLiteral("⌃")});

    // 5. Cadre
    current = addSection(QStringLiteral("Cadre"), QStringLiteral("any"));
    {
        auto* shown = new QCheckBox(QStringLiteral("Afficher le cadre"));
        current->addRow(shown);
        m_controls.insert(shown->text(), shown);
        bind(shown,
             [this, shown] {
                 const QSignalBlocker blocker(shown);
                 const std::optional<PlmPresentation> p = selectedPresentation();
                 shown->setChecked(!p || !p->frameHidden.value_or(false));
             },
             [this, shown] { setFrameShown(shown->isChecked()); });
        auto* border = new QCheckBox(QStringLiteral("Contour du cadre"));
        current->addRow(border);
        m_controls.insert(border->text(), border);
        bind(border,
             [this, border] {
                 const QSignalBlocker blocker(border);
                 const std::optional<PlmPresentation> p = selectedPresentation();
                 border->setChecked(p && p->border);
             },
             [this, border] { setBorder(border->isChecked()); });
    }
    addColorRow(QStringLiteral("Fond du cadre"), &PlmEditingStyle::frameFill);
    addStyleNumber(QStringLiteral("Marges internes (pt)"), &PlmEditingStyle::padding);
    addStyleNumber(QStringLiteral("Coins arrondis (pt)"), &PlmEditingStyle::cornerRadius);
    addStyleNumber(QStringLiteral("Opacité (0–1)"), &PlmEditingStyle::opacity);

    // 6. Ombre
    current = addSection(QStringLiteral("Ombre"), QStringLiteral("any"));
    addToggleRow(QStringLiteral("Activer l’ombre"), &PlmEditingStyle::shadow);
    {
        // The shadow's colour row shares its label with the outline's: keep the first in the
        // control map and reach this one under a name of its own.
        const QString label = QStringLiteral("Couleur / opacité");
        QWidget* outline = m_controls.value(label);
        addColorRow(label, &PlmEditingStyle::shadowColor);
        m_controls.insert(QStringLiteral("Couleur / opacité de l’ombre"), m_controls.value(label));
        m_controls.insert(label, outline);
    }
    addStyleNumber(QStringLiteral("Décalage X"), &PlmEditingStyle::shadowX);
    addStyleNumber(QStringLiteral("Décalage Y"), &PlmEditingStyle::shadowY);
    addStyleNumber(QStringLiteral("Flou (pt)"), &PlmEditingStyle::shadowBlur);

    // 7. Position & taille
    current = addSection(QStringLiteral("Position & taille"), QStringLiteral("any"));
    const QStringList positions = {QStringLiteral("X (pt)"), QStringLiteral("Y (pt)"), QStringLiteral("Largeur (pt)"),
                                   QStringLiteral("Hauteur (pt)")};
    for (int i = 0; i < positions.size(); ++i)
        addNumberRow(positions[i], [this, i] { return positionValue(i); },
                     [this, i](double v) { setPositionValue(i, v); });
    addStyleNumber(QStringLiteral("Rotation (°)"), &PlmEditingStyle::rotation);
    addToggleRow(QStringLiteral("Proportions fixes"), &PlmEditingStyle::lockRatio);
    addToggleRow(QStringLiteral("Position fixe"), &PlmEditingStyle::lockPosition);

    // 8. Alignement
    current = addSection(QStringLiteral("Alignement"), QStringLiteral("any"));
    struct Alignment {
        QString label, icon;
        double x, y;
    };
    const QList<Alignment> alignments = {
        {QStringLiteral("Gauche"), QStringLiteral("align.horizontal.left"), 0, -1},
        {QStringLiteral("Centre horizontal"), QStringLiteral("align.horizontal.center"), 0.5, -1},
        {QStringLiteral("Droite"), QStringLiteral("align.horizontal.right"), 1, -1},
        {QStringLiteral("Haut"), QStringLiteral("align.vertical.top"), -1, 1},
        {QStringLiteral("Milieu"), QStringLiteral("align.vertical.center"), -1, 0.5},
        {QStringLiteral("Bas"), QStringLiteral("align.vertical.bottom"), -1, 0},
        {QStringLiteral("Centrer sur la carte"), QStringLiteral("scope"), 0.5, 0.5},
    };
    for (const Alignment& a : alignments) {
        const double x = a.x, y = a.y;
        addActionButton(a.label, a.icon, [this, x, y] { alignSelection(x, y); });
    }
    addActionButton(QStringLiteral("Premier plan"), QStringLiteral("square.3.layers.3d.top.filled"),
                    [this] { changeObjectOrder(true); });
    addActionButton(QStringLiteral("Arrière-plan"), QStringLiteral("square.3.layers.3d.bottom.filled"),
                    [this] { changeObjectOrder(false); });

    // 9. Légende
    current = addSection(QStringLiteral("Légende"), QStringLiteral("legend"));
    addToggleRow(QStringLiteral("Orientation horizontale"), &PlmEditingStyle::horizontal);
    addNumberRow(QStringLiteral("Colonnes"),
                 [this] { return selectedPresentation() ? double(selectedStyle().columns) : 1.0; },
                 [this](double v) { setColumns(v); }, false);
    addStyleNumber(QStringLiteral("Espacement horizontal (pt)"), &PlmEditingStyle::legendSpacing);
    addStyleNumber(QStringLiteral("Taille des échantillons (pt)"), &PlmEditingStyle::swatchSize);
    addActionButton(QStringLiteral("Titre automatique"), {}, [this] { setAutomaticTitle(); });
    {
        auto* fits = new QCheckBox(QStringLiteral("Cadre ajusté au contenu"));
        current->addRow(fits);
        m_controls.insert(fits->text(), fits);
        bind(fits,
             [this, fits] {
                 const QSignalBlocker blocker(fits);
                 const std::optional<PlmPresentation> p = selectedPresentation();
                 fits->setChecked(!p || p->legendFitsContent.value_or(true));
             },
             [this, fits] { setLegendFitsContent(fits->isChecked()); });
    }

    // 10. Pictogramme (its open state is still stored under the section's first title)
    current = addSection(QStringLiteral("Pictogramme"), QStringLiteral("sf"), QStringLiteral("SF Symbol"));
    addWell(QStringLiteral("Couleur du symbole"),
            [this] {
                const std::optional<PlmPresentation> p = selectedPresentation();
                return p ? p->color : PlmColor{0, 0, 0, 1};
            },
            [this](const PlmColor& c) { setSymbolColor(c); });
    addActionButton(QStringLiteral("Choisir un symbole…"), {}, [this] { chooseSymbol(); });

    // 11. Échelle
    current = addSection(QStringLiteral("Échelle"), QStringLiteral("scale"));
    addChoiceRow(QStringLiteral("Style de barre"), {QStringLiteral("Trait"), QStringLiteral("Alternée"), QStringLiteral("Pleine")},
                 &PlmEditingStyle::scaleStyle);
    addChoiceRow(QStringLiteral("Unités"), {QStringLiteral("Automatique"), QStringLiteral("Mètres"), QStringLiteral("Kilomètres")},
                 &PlmEditingStyle::scaleUnit);

    // 12. Nord
    current = addSection(QStringLiteral("Nord"), QStringLiteral("north"));
    {
        const QString label = QStringLiteral("Style");
        QWidget* dash = m_controls.value(label);
        addChoiceRow(label, {QStringLiteral("Flèche"), QStringLiteral("Triangle"), QStringLiteral("Boussole")},
                     &PlmEditingStyle::northStyle);
        m_controls.insert(QStringLiteral("Style du Nord"), m_controls.value(label));
        m_controls.insert(label, dash);
    }

    // 13. Objet
    current = addSection(QStringLiteral("Objet"), QStringLiteral("any"));
    addActionButton(QStringLiteral("Dupliquer"), QStringLiteral("plus.square.on.square"),
                    [this] { performClipboardCommand(QStringLiteral("duplicate")); });
    addActionButton(QStringLiteral("Supprimer"), QStringLiteral("trash"), [this] { deleteSelection(); });
}
