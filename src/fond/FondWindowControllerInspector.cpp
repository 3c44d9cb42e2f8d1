#include "fond/FondWindowController.h"

#include "fond/FondEntityCommands.h"
#include "inspector/FondInspectorColorWell.h"
#include "fond/PointSymbolColorInspector.h"
#include "canvas/VectorCanvas.h"
#include "inspector/InspectorScroll.h"
#include "inspector/InspectorSection.h"
#include "inspector/TypedField.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// A text field shows the stored value unless the person is typing in it.
void showText(QLineEdit* field, const QString& text)
{
    if (TypedField* typed = TypedField::of(field))
        typed->show(text);
}

} // namespace

void FondWindowController::makeControls()
{
    m_toolPicker = new QComboBox;
    m_toolPicker->addItems(drawingToolTitles());
    // The longest tool title is wider than the inspector column: the picker follows the
    // column's width and elides its title, its menu still shows the whole titles.
    m_toolPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_toolPicker->setMinimumContentsLength(12);
    m_toolPicker->setSizePolicy(QSizePolicy::Expanding, m_toolPicker->sizePolicy().verticalPolicy());
    connect(m_toolPicker, &QComboBox::activated, this, [this] { changeTool(); });

    m_grid = new QCheckBox(QStringLiteral("Grille"));
    m_snap = new QCheckBox(QStringLiteral("Magnétisme (20 unités)"));

    m_nameField = new QLineEdit;
    m_fillWell = new FondInspectorColorWell;
    m_strokeWell = new FondInspectorColorWell;
    m_widthField = new QLineEdit;
    m_opacityField = new QLineEdit;
    m_pointSizeField = new QLineEdit;
    m_widthField->setProperty("tag", int(FondEntityCommands::lineWidthTag));
    m_opacityField->setProperty("tag", int(FondEntityCommands::opacityTag));
    m_pointSizeField->setProperty("tag", int(FondEntityCommands::pointSizeTag));

    m_nameField->setObjectName(QStringLiteral("Fond.Nom"));
    m_fillWell->setObjectName(QStringLiteral("Fond.Remplissage"));
    m_strokeWell->setObjectName(QStringLiteral("Fond.Contour"));
    m_widthField->setObjectName(QStringLiteral("Fond.Épaisseur"));
    m_opacityField->setObjectName(QStringLiteral("Fond.Opacité (%)"));
    m_pointSizeField->setObjectName(QStringLiteral("Fond.Taille du point"));

    // An unchanged field commits nothing, so a value shown rounded is never written back.
    TypedField::attach(m_nameField, {QStringLiteral("Nom"), [this] { return shownName(); },
                                     [this](const QString&) {
                                         commitName(m_nameField);
                                         return QString();
                                     }});
    const std::pair<QLineEdit*, QString> styleFields[] = {{m_widthField, QStringLiteral("Épaisseur")},
                                                          {m_opacityField, QStringLiteral("Opacité (%)")},
                                                          {m_pointSizeField, QStringLiteral("Taille du point")}};
    for (const auto& [field, name] : styleFields) {
        QLineEdit* styleField = field;
        TypedField::attach(styleField, {name, [this, styleField] { return shownStyleText(styleField); },
                                        [this, styleField](const QString&) { return takeStyleText(styleField); },
                                        [](const QString&) { QApplication::beep(); }, true});
    }
    for (FondInspectorColorWell* well : {m_fillWell, m_strokeWell})
        connect(well, &FondInspectorColorWell::colorChosen, this, [this, well] { commitStyle(well); });

    for (QWidget* control : std::initializer_list<QWidget*>{m_toolPicker, m_grid, m_snap, m_nameField, m_fillWell,
                                                            m_strokeWell, m_widthField, m_opacityField,
                                                            m_pointSizeField})
        m_looseControls.append(control);
}

QWidget* FondWindowController::makeInspector()
{
    if (m_inspector)
        return m_inspector;
    auto* scroll = new InspectorScroll;
    scroll->setObjectName(QStringLiteral("Fond.Inspector"));
    m_inspector = scroll;

    const auto button = [this](const QString& title, void (FondWindowController::*action)()) {
        auto* push = new QPushButton(title);
        push->setAutoDefault(false);
        connect(push, &QPushButton::clicked, this, [this, action] { (this->*action)(); });
        return push;
    };

    // "Fond"
    auto* title = new QLabel(QStringLiteral("Fond vectoriel"));
    title->setFont(InspectorSection::systemFont(15, QFont::DemiBold));
    auto* details = new QLabel;
    details->setWordWrap(true);
    details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    details->setObjectName(QStringLiteral("Fond.Details"));
    m_studioDetails = details;
    scroll->addSection(new InspectorSection(
        QStringLiteral("Fond"),
        {title, details, button(QStringLiteral("Ajuster le fond"), &FondWindowController::fit),
         button(QStringLiteral("Zoom avant"), &FondWindowController::zoomIn),
         button(QStringLiteral("Zoom arrière"), &FondWindowController::zoomOut)}));
    // The title keeps its own size through the section's compact style.
    title->setFont(InspectorSection::systemFont(15, QFont::DemiBold));

    // "Créer une entité statistique"
    auto* boxes = new QWidget;
    auto* boxesLayout = new QHBoxLayout(boxes);
    boxesLayout->setContentsMargins(0, 0, 0, 0);
    boxesLayout->addWidget(m_grid);
    boxesLayout->addWidget(m_snap);
    boxesLayout->addStretch(1);
    connect(m_grid, &QCheckBox::clicked, this, [this] { changeGrid(); });
    connect(m_snap, &QCheckBox::clicked, this, [this] { changeGrid(); });
    scroll->addSection(new InspectorSection(QStringLiteral("Créer une entité statistique"), {m_toolPicker, boxes}));

    // "Propriétés de l’entité"
    QList<QWidget*> rows;
    rows.append(InspectorSection::labeledRow(QStringLiteral("Nom"), m_nameField));
    rows.append(InspectorSection::labeledRow(QStringLiteral("Remplissage"), m_fillWell));
    rows.append(InspectorSection::labeledRow(QStringLiteral("Contour"), m_strokeWell));
    rows.append(InspectorSection::labeledRow(QStringLiteral("Épaisseur"), m_widthField));
    rows.append(InspectorSection::labeledRow(QStringLiteral("Opacité (%)"), m_opacityField));
    m_pointSizeRow = InspectorSection::labeledRow(QStringLiteral("Taille du point"), m_pointSizeField);
    rows.append(m_pointSizeRow);
    scroll->addSection(new InspectorSection(QStringLiteral("Propriétés de l’entité"), rows));

    // "Sélection multiple"
    scroll->addSection(new InspectorSection(
        QStringLiteral("Sélection multiple"),
        {button(QStringLiteral("Grouper"), &FondWindowController::groupSelectedEntities),
         button(QStringLiteral("Dégrouper"), &FondWindowController::ungroupSelectedEntities),
         button(QStringLiteral("Dupliquer"), &FondWindowController::duplicateSelectedEntities),
         button(QStringLiteral("Supprimer"), &FondWindowController::deleteSelectedEntities)}));

    scroll->addSection(m_pointColorInspector->section());

    refreshInspector();
    return m_inspector;
}

void FondWindowController::refreshInspector()
{
    refreshInspector(m_canvas ? m_canvas->selectedIndex : std::nullopt);
}

void FondWindowController::refreshInspector(std::optional<int> selectedIndex)
{
    if (!m_canvas)
        return;
    m_pointColorInspector->refresh(m_document.canRead() ? &m_document : nullptr);
    const VectorCanvas::DrawingTool tool = m_canvas->drawingTool();
    m_toolPicker->setCurrentIndex(int(tool));

    const PlmEntity* entity = inspectedEntity(selectedIndex);
    const bool locked = entity && entity->locked();
    m_nameField->setEnabled(entity && !locked);
    for (QWidget* control : std::initializer_list<QWidget*>{m_fillWell, m_strokeWell, m_widthField, m_opacityField,
                                                            m_pointSizeField})
        control->setEnabled(!locked);

    const PlmStyle& style = entity ? entity->style : m_canvas->creationStyle;
    showText(m_nameField, entity ? entity->name : QString());

    const bool isPoint = entity && entity->geometry.kind() == PlmGeometry::Kind::point;
    if (m_pointSizeRow)
        m_pointSizeRow->setVisible(isPoint || tool == VectorCanvas::DrawingTool::point);
    showText(m_pointSizeField, FondEntityCommands::pointSizeText(style));

    if (style.fill)
        m_fillWell->setPlmColor(*style.fill);
    else
        m_fillWell->setColor(QColor(255, 255, 255, 0));
    m_strokeWell->setPlmColor(style.stroke);
    showText(m_widthField, FondEntityCommands::lineWidthText(style));
    showText(m_opacityField, FondEntityCommands::opacityText(style, entity));

    if (m_studioDetails) {
        m_studioDetails->setText(entity ? FondEntityCommands::entityDetails(*entity, m_canvas->editingGroup.has_value())
                                        : FondEntityCommands::mapDetails(m_map));
    }
}

const QStringList& FondWindowController::drawingToolTitles()
{
    static const QStringList titles = {
        QStringLiteral("Sélection"),
        QStringLiteral("Rectangle"),
        QStringLiteral("Ellipse"),
        QStringLiteral("Polygone (double-clic pour terminer)"),
        QStringLiteral("Tracé libre par sommets (double-clic pour terminer)"),
        QStringLiteral("Ligne"),
        QStringLiteral("Texte — entité"),
        QStringLiteral("Éditer les sommets"),
        QStringLiteral("Point"),
    };
    return titles;
}
