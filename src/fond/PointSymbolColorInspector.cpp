#include "fond/PointSymbolColorInspector.h"

#include "inspector/FondInspectorColorWell.h"
#include "inspector/InspectorSection.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "desktop/WindowTeardown.h"

#include <QComboBox>
#include <QLabel>

PointSymbolColorInspector::PointSymbolColorInspector(QObject* parent)
    : QObject(parent)
{
    m_mode = new QComboBox;
    m_mode->addItems({QStringLiteral("Automatique (classes)"), QStringLiteral("Fixe")});
    m_mode->setObjectName(QStringLiteral("PointSymbol.ColorMode"));
    connect(m_mode, &QComboBox::activated, this, [this] { changeMode(); });

    m_color = new FondInspectorColorWell;
    m_color->setObjectName(QStringLiteral("PointSymbol.FixedColor"));
    connect(m_color, &FondInspectorColorWell::colorChosen, this, [this] { changeColor(); });

    m_note = new QLabel(noteText());
    m_note->setWordWrap(true);

    m_section = new InspectorSection(QStringLiteral("Couleur du symbole ponctuel"));
    m_section->addRow(InspectorSection::labeledRow(QStringLiteral("Couleur"), m_mode));
    m_section->addRow(InspectorSection::labeledRow(QStringLiteral("Couleur fixe"), m_color));
    m_section->addRow(m_note);
    m_section->setVisible(false);
}

PointSymbolColorInspector::~PointSymbolColorInspector()
{
    // A section never placed in an inspector column is ours.
    if (m_section && !m_section->parent())
        WindowTeardown::destroy(m_section.data());
}

QString PointSymbolColorInspector::modeActionName()
{
    return QStringLiteral("Couleur du symbole");
}

QString PointSymbolColorInspector::colorActionName()
{
    return QStringLiteral("Couleur fixe du symbole");
}

QString PointSymbolColorInspector::noteText()
{
    return QStringLiteral("SVG multicolore : couleurs d’origine conservées.");
}

void PointSymbolColorInspector::refresh(const FondDocument* document)
{
    if (document)
        m_document = *document;
    else
        m_document.reset();
    if (!m_section)
        return;
    const std::optional<PlmWork> work = document && document->canRead() ? document->work() : std::nullopt;
    const std::optional<QString> primary = work && document->selectedEntityID ? document->selectedEntityID()
                                                                              : std::nullopt;
    const qsizetype index = primary ? work->map.entities.indexOfId(*primary) : -1;
    if (index < 0 || !work->map.entities.at(index).pointSymbol) {
        m_section->setVisible(false);
        return;
    }
    const PlmEntity& entity = work->map.entities.at(index);
    const PlmPointSymbol& symbol = *entity.pointSymbol;
    const bool fixed = symbol.colorMode == PlmPointSymbolColorMode::fixed;
    const bool monochrome = symbol.isMonochrome();
    const bool editable = monochrome && !entity.locked();
    m_mode->setCurrentIndex(fixed ? 1 : 0);
    m_mode->setEnabled(editable);
    m_color->setEnabled(editable && fixed);
    m_color->setPlmColor(entity.style.stroke);
    m_note->setVisible(!monochrome);
    m_section->setVisible(true);
}

void PointSymbolColorInspector::changeMode()
{
    const bool fixed = m_mode->currentIndex() == 1;
    update(modeActionName(), [fixed](PlmEntity& entity) {
        entity.pointSymbol->colorMode = fixed ? PlmPointSymbolColorMode::fixed : PlmPointSymbolColorMode::automatic;
    });
}

void PointSymbolColorInspector::changeColor()
{
    const std::optional<PlmColor> color = m_color->plmColor();
    if (!color)
        return;
    update(colorActionName(), [color](PlmEntity& entity) { entity.style.stroke = *color; });
}

void PointSymbolColorInspector::update(const QString& actionName, const std::function<void(PlmEntity&)>& change)
{
    if (!m_document || !m_document->canUpdate() || !m_document->selectedEntityID)
        return;
    const std::optional<QString> primary = m_document->selectedEntityID();
    if (!primary)
        return;
    // The document may be refreshed (and this inspector with it) while the update commits:
    // keep our own copy of the link.
    const FondDocument document = *m_document;
    try {
        document.updateWork(actionName, [&](PlmWork& work) { updatePointSymbol(work, *primary, change); });
    } catch (const PlmError& error) {
        if (m_section && m_section->window() && m_section->parent())
            DialogHooks::presentError(error.message(), m_section->window());
    }
    refresh(&document);
}

bool PointSymbolColorInspector::updatePointSymbol(PlmWork& work, const QString& entityID,
                                                  const std::function<void(PlmEntity&)>& change)
{
    const qsizetype index = work.map.entities.indexOfId(entityID);
    if (index < 0)
        return false;
    const PlmEntity& entity = work.map.entities.at(index);
    if (entity.locked() || !entity.pointSymbol || !entity.pointSymbol->isMonochrome())
        return false;
    change(work.map.entities.edit(index));
    return true;
}
