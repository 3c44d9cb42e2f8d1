#pragma once

#include "fond/FondDocument.h"
#include "model/PlmEntity.h"
#include "model/PlmWork.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class FondInspectorColorWell;
#include "inspector/InspectorSection.h"
class QComboBox;
class QLabel;

// The inspector section "Couleur du symbole ponctuel": whether the point symbol of the
// document's primary selected entity takes the thematic classes' colour or one fixed colour
// (its stroke). Hidden when that entity has no point symbol.
class PointSymbolColorInspector : public QObject {
    Q_OBJECT
public:
    explicit PointSymbolColorInspector(QObject* parent = nullptr);
    ~PointSymbolColorInspector() override;

    static QString modeActionName();  // "Couleur du symbole"
    static QString colorActionName(); // "Couleur fixe du symbole"
    static QString noteText();        // "SVG multicolore : couleurs d’origine conservées."

    InspectorSection* section() const { return m_section; }
    QComboBox* mode() const { return m_mode; }
    FondInspectorColorWell* color() const { return m_color; }
    QLabel* note() const { return m_note; }

    // Shows the section for the document's primary selection; none hides it.
    void refresh(const FondDocument* document);
    void refresh() { refresh(m_document ? &*m_document : nullptr); }

    // The actions of the popup and of the well.
    void changeMode();
    void changeColor();

    // The change run inside the update: applies `change` to the first top-level entity with
    // the id when it is unlocked and has a monochrome point symbol; otherwise nothing.
    static bool updatePointSymbol(PlmWork& work, const QString& entityID,
                                  const std::function<void(PlmEntity&)>& change);

private:
    void update(const QString& actionName, const std::function<void(PlmEntity&)>& change);

    QPointer<InspectorSection> m_section;
    QComboBox* m_mode = nullptr;
    FondInspectorColorWell* m_color = nullptr;
    QLabel* m_note = nullptr;
    std::optional<FondDocument> m_document;
};
