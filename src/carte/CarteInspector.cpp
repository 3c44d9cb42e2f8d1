#include "carte/CarteInspector.h"

#include "inspector/FondInspectorColorWell.h"
#include "inspector/InspectorSection.h"
#include "model/PlmPalette.h"
#include "model/PlmSymbolKind.h"
#include "desktop/WindowTeardown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

QLabel* wrappingLabel()
{
    auto* label = new QLabel;
    label->setWordWrap(true);
    label->setFont(InspectorSection::systemFont(InspectorSection::rowFontSize));
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QComboBox* popup(const QStringList& items = {})
{
    auto* box = new QComboBox;
    box->addItems(items);
    return box;
}

QStringList numbers(int first, int last)
{
    QStringList items;
    for (int i = first; i <= last; ++i)
        items.append(QString::number(i));
    return items;
}

} // namespace

const QStringList& CarteInspector::representationTitles()
{
    static const QStringList titles{QStringLiteral("Aplats"), QStringLiteral("Symboles proportionnels"),
                                    QStringLiteral("Aplats + symboles"), QStringLiteral("Deux séries de symboles")};
    return titles;
}

const QStringList& CarteInspector::methodTitles()
{
    static const QStringList titles{QStringLiteral("Seuils manuels"), QStringLiteral("Intervalles égaux"),
                                    QStringLiteral("Quantiles"), QStringLiteral("Jenks"),
                                    QStringLiteral("Moyenne / écarts-types")};
    return titles;
}

const QStringList& CarteInspector::paletteTitles()
{
    static const QStringList titles = [] {
        QStringList list;
        for (PlmPalette palette : allPlmPalettes())
            list.append(title(palette));
        return list;
    }();
    return titles;
}

const QStringList& CarteInspector::symbolKindTitles()
{
    static const QStringList titles = [] {
        QStringList list;
        for (PlmSymbolKind kind : allPlmSymbolKinds())
            list.append(title(kind));
        return list;
    }();
    return titles;
}

CarteInspector::CarteInspector(QObject* parent)
    : QObject(parent)
{
    entityNames = new QCheckBox(QStringLiteral("Afficher les noms des entités"));
    entityNameFont = new QPushButton(QStringLiteral("Helvetica…"));
    entityNameFont->setToolTip(QStringLiteral("Choisir la famille, le style et la taille des noms d’entités"));
    entityNameSize = new QLineEdit(QStringLiteral("12"));
    variable = popup();
    variable->setToolTip(QStringLiteral("Variable du document"));
    variable->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    method = popup(methodTitles());
    classes = popup(numbers(1, 10));
    palette = popup(paletteTitles());
    classColorRows = new QWidget;
    classColorRowsLayout = new QVBoxLayout(classColorRows);
    classColorRowsLayout->setContentsMargins(0, 0, 0, 0);
    classColorRowsLayout->setSpacing(6);
    resetClassColors = new QPushButton(QStringLiteral("Réinitialiser la palette"));
    resetClassColors->setObjectName(QStringLiteral("Classes.ResetPalette"));
    classColorSection = new InspectorSection(QStringLiteral("Couleurs des classes"), {classColorRows, resetClassColors});
    inverse = new QCheckBox(QStringLiteral("Inverser"));
    missing = new FondInspectorColorWell;
    decimals = popup(numbers(0, 8));
    legendLabels = popup();
    legendLabels->setToolTip(QStringLiteral("Colonne utilisée pour nommer les classes. Plusieurs libellés dans une classe "
                                            "sont affichés ensemble ; une classe sans libellé conserve son intervalle."));
    hideMissing = new QCheckBox(QStringLiteral("Masquer « Sans donnée »"));
    hideMissing->setToolTip(QStringLiteral("Masquer la rubrique Sans donnée dans la légende."));
    stats = wrappingLabel();
    thresholds = new QLineEdit;
    thresholds->setPlaceholderText(QStringLiteral("10 ; 20 ; 30"));
    thresholds->setToolTip(QStringLiteral("Seuils séparés par des points-virgules ; Entrée pour valider."));
    notice = wrappingLabel();
    representation = popup(representationTitles());
    symbolKind = popup(symbolKindTitles());
    minimumSize = new QLineEdit;
    minimumSize->setToolTip(QStringLiteral("Min et max restent liés pour garder une surface proportionnelle."));
    maximumSize = new QLineEdit;
    maximumSize->setToolTip(QStringLiteral("Taille du plus grand symbole, en points."));
    symbolColor = new FondInspectorColorWell;
    symbolFillMode = popup({QStringLiteral("Automatique"), QStringLiteral("Personnalisée")});
    symbolOpacity = new QSlider(Qt::Horizontal);
    symbolOpacity->setRange(0, 100);
    symbolOpacity->setValue(85);
    symbolOpacity->setTracking(true);
    symbolOpacityValue = new QLineEdit;
    symbolOpacityValue->setFixedWidth(55);
    symbolOutlineToggle = new QCheckBox(QStringLiteral("Afficher le contour"));
    symbolOutlineColor = new FondInspectorColorWell;
    symbolOutlineWidth = new QLineEdit;
    chooseAsset = new QPushButton(QStringLiteral("Choisir…"));
    restorePosition = new QPushButton(QStringLiteral("Position automatique"));
    restorePosition->setFixedHeight(28);
    editSeries = popup();
    order = popup();
    concentric = new QCheckBox(QStringLiteral("Concentriques"));

    QWidget* fontRow = InspectorSection::labeledRow(QStringLiteral("Police des noms"), entityNameFont);
    QWidget* sizeRow = InspectorSection::labeledRow(QStringLiteral("Taille des noms (pt)"), entityNameSize);
    QWidget* typeRow = InspectorSection::labeledRow(QStringLiteral("Type"), representation);
    combinationRow = makeColumn({InspectorSection::labeledRow(QStringLiteral("Réglages de la série"), editSeries),
                                 InspectorSection::labeledRow(QStringLiteral("Ordre"), order), concentric});
    QWidget* methodRow = InspectorSection::labeledRow(QStringLiteral("Discrétisation"), method);
    QWidget* classesRow = InspectorSection::labeledRow(QStringLiteral("Classes"), classes);
    QWidget* labelsRow = InspectorSection::labeledRow(QStringLiteral("Libellés"), legendLabels);
    areaRow = makeColumn({InspectorSection::labeledRow(QStringLiteral("Palette"), palette), inverse,
                          InspectorSection::labeledRow(QStringLiteral("Sans donnée"), missing), hideMissing});
    symbolRow = makeColumn({InspectorSection::labeledRow(QStringLiteral("Symbole"), symbolKind), chooseAsset,
                            InspectorSection::labeledRow(QStringLiteral("Taille minimale (pt)"), minimumSize),
                            InspectorSection::labeledRow(QStringLiteral("Taille maximale (pt)"), maximumSize),
                            restorePosition});
    thresholdRowView = InspectorSection::labeledRow(QStringLiteral("Seuils"), thresholds);
    generalControls = {entityNames, fontRow, sizeRow, typeRow};
    areaControls = {methodRow, classesRow, labelsRow};
    representationSection = new InspectorSection(
        QStringLiteral("Représentation"),
        {entityNames, fontRow, sizeRow, typeRow, combinationRow,
         InspectorSection::labeledRow(QStringLiteral("Variable"), variable), methodRow, classesRow, labelsRow, areaRow,
         symbolRow, InspectorSection::labeledRow(QStringLiteral("Décimales"), decimals), stats, thresholdRowView, notice});

    auto* opacity = new QWidget;
    auto* opacityLayout = new QHBoxLayout(opacity);
    opacityLayout->setContentsMargins(0, 0, 0, 0);
    opacityLayout->setSpacing(8);
    opacityLayout->addWidget(symbolOpacity, 1);
    opacityLayout->addWidget(symbolOpacityValue);
    symbolAppearanceSection = new InspectorSection(
        QStringLiteral("Apparence"),
        {InspectorSection::labeledRow(QStringLiteral("Remplissage"), symbolFillMode),
         InspectorSection::labeledRow(QStringLiteral("Couleur"), symbolColor),
         InspectorSection::labeledRow(QStringLiteral("Opacité (%)"), opacity), symbolOutlineToggle,
         InspectorSection::labeledRow(QStringLiteral("Contour"), symbolOutlineColor),
         InspectorSection::labeledRow(QStringLiteral("Épaisseur (pt)"), symbolOutlineWidth)});
    symbolColor->setFixedHeight(28);
    symbolOutlineColor->setFixedHeight(28);
    m_sections = {representationSection, symbolAppearanceSection, classColorSection};
}

CarteInspector::~CarteInspector()
{
    // Sections never placed in a column are still ours.
    for (const QPointer<QWidget>& section : m_sections) {
        if (section && !section->parent())
            WindowTeardown::destroy(section.data());
    }
}

bool CarteInspector::isBeingTyped(const QLineEdit* field)
{
    return field && (field->hasFocus() || (field->isVisible() && field->window()->focusWidget() == field));
}

bool CarteInspector::fontKnown(const QString& name)
{
    if (name.trimmed().isEmpty())
        return false;
    if (QFontDatabase::hasFamily(name))
        return true;
    static const QString fallback = QFontInfo(QFont(QStringLiteral("Pelmora No Such Font 7f3a"))).family();
    return QFontInfo(QFont(name)).family().compare(fallback, Qt::CaseInsensitive) != 0;
}

QWidget* CarteInspector::makeColumn(const QList<QWidget*>& views)
{
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    for (QWidget* view : views)
        layout->addWidget(view);
    return column;
}

bool CarteInspector::setClassColorRows(const QStringList& keys, const QStringList& labels, const QList<PlmColor>& colors)
{
    const bool rebuild = keys != classColorKeys;
    if (rebuild) {
        while (QLayoutItem* item = classColorRowsLayout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        classColorKeys = keys;
        classColorWells.clear();
        classColorLabels.clear();
        for (qsizetype i = 0; i < keys.size(); ++i) {
            auto* well = new FondInspectorColorWell;
            well->setProperty("tag", int(i));
            well->setObjectName(QStringLiteral("Classes.Color.") + keys[i]);
            well->setFixedSize(36, 28);
            auto* label = new QLabel;
            label->setWordWrap(true);
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            auto* row = new QWidget;
            auto* layout = new QHBoxLayout(row);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(8);
            layout->addWidget(well, 0, Qt::AlignVCenter);
            layout->addWidget(label, 1, Qt::AlignVCenter);
            InspectorSection::applyCompactStyle(row);
            classColorRowsLayout->addWidget(row);
            classColorWells.append(well);
            classColorLabels.append(label);
        }
    }
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (i < colors.size())
            classColorWells[i]->setPlmColor(colors[i]);
        else
            classColorWells[i]->setColor(QColor());
        // Internal keys are never shown: a class without a label (a variable without values)
        // shows no text, a category its own text.
        QString text = i < labels.size() ? labels[i] : QString();
        if (i >= labels.size() && keys[i].startsWith(QLatin1String("category:")))
            text = keys[i].mid(9);
        classColorLabels[i]->setText(text);
        classColorWells[i]->setAccessibleName(QStringLiteral("Couleur de la classe ") + text);
    }
    return rebuild;
}
