#pragma once

#include "fond/FondDocument.h"
#include "inspector/InspectorScroll.h"
#include "export/CarteExportPanel.h"
#include "carte/CarteThematicLayers.h"
#include "model/PlmDistribution.h"
#include "model/PlmThematicSettings.h"
#include "model/PlmVariable.h"
#include "model/PlmWork.h"
#include "platform/CommandResponder.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class CarteCompositionHost;
class CarteInspector;
class CarteMapBlockEditor;
class DecorationController;
class ProportionalShape;
class ThematicCanvas;
class PointSymbolColorInspector;
class VectorCanvas;
class ViewHost;
class QLineEdit;
class QWidget;

// The Carte pane: the composition of a work's thematic map and its inspector. It never keeps
// a work: it reads the document's, and every control ends in one undoable update under a
// French name; after each stored change the studio window calls refreshControls().
//
// Split by concern: CarteWindowController.cpp (construction, shared values, selection and
// canvas callbacks), CarteWindowControllerRefresh.cpp (the one refresh and the layers),
// CarteWindowControllerActions.cpp (inspector actions), CarteWindowControllerCommands.cpp
// (pending edits, composition storage and pane commands).
class CarteWindowController : public QObject, public CommandResponder {
    Q_OBJECT
public:
    using WorkReader = std::function<std::optional<PlmWork>()>;

    // studioPresentation: the pane lives in the studio window (always so for now).
    explicit CarteWindowController(const FondDocument& document, bool studioPresentation = true,
                                   QObject* parent = nullptr);
    // A pane that only reads (no update, no selection).
    explicit CarteWindowController(WorkReader readWork, bool studioPresentation = true, QObject* parent = nullptr);
    ~CarteWindowController() override;

    // --- What the studio window reaches ---
    QWidget* view() const;
    VectorCanvas* mapView() const { return m_canvas; }
    ThematicCanvas* canvas() const { return m_composition; }
    CarteCompositionHost* compositionHost() const { return m_compositionHost; }
    CarteMapBlockEditor* mapBlockEditor() const { return m_mapBlockEditor; }
    InspectorScroll* inspectorScroll() const { return m_inspectorScroll.data(); }
    DecorationController* decorationController() const { return m_decorations; }
    CarteInspector* inspector() const { return m_inspector; }

    void refreshControls();
    bool commitPendingEdits();
    void selectEntity(const std::optional<QString>& entityID);
    // Writes the live composition (viewport, size) into a copy of the work about to be saved.
    void storeComposition(PlmWork& work) const;
    // "Exporter la carte…": commits pending edits, then opens the export panel on the live
    // composition (a previous panel is closed first).
    bool canPresentExportPanel() const;
    void presentExportPanel();
    CarteExportPanel* exportPanel() const { return m_exportPanel.data(); }

    // --- Shared values ---
    std::optional<PlmThematicSettings> thematicSettings(bool secondary) const;
    std::optional<PlmThematicSettings> editedSettings() const;
    std::optional<int> selectedLegendSeries() const;
    bool editingSecondary = false;
    bool renderingSecondary = false;
    std::optional<PlmThematicSettings> draft;
    std::optional<PlmVariable> currentVariable;
    PlmDistribution distribution;
    QHash<QString, PlmPoint> automaticPositions;

    // --- Applying changes ---
    bool applyThematic(const PlmThematicSettings& edited, const QString& actionName,
                       std::optional<bool> secondary = std::nullopt);
    void changeVariable();
    void changeMethod();
    void changeClasses();
    void changeLegendLabels();
    void changePresentation();
    void changeColors(QObject* sender);
    void changeClassColor(int row);
    void resetPalette();
    void changeRepresentation();
    void changeEditingSeries();
    void changeOrder();
    void changeConcentric();
    void changeSymbolKind();
    void previewTypedSize(QObject* field);
    void changeSymbolColor();
    void applySymbolAppearance(QObject* sender);
    void restoreAutomaticPosition(bool secondSeries);

    // --- Symbol catalogue (CarteWindowControllerSymbols.cpp) ---
    // Opens the catalogue for the series edited now; the chosen symbol is stored in that series.
    void openSymbolPicker();
    void storeSFSymbol(const QString& name, bool secondary);
    void storeSVGSymbol(const PlmMap& map, bool secondary);
    QPointer<QWidget> symbolPicker;
    bool applyEntityNameFont(const QString& family, double size);
    void toggleEntityNames();
    void chooseEntityNameFont();
    // A symbol dragged or nudged on the page: its entity's manual position in the edited
    // series (both when concentric), one undoable step "Déplacer le symbole".
    void moveSymbol(const QString& entityID, const PlmPoint& point, bool secondSeries);

    // --- Canvas callbacks and selection ---
    void canvasSelectionChanged(std::optional<int> index);
    void moveEntityName(const QString& entityID, const PlmPoint& point);
    void commitEntityEdit(int index, const PlmEntity& entity, const QString& actionName);
    void editingGroupChanged(bool editing);
    void printPageChanged(const PlmPrintPage& page);
    void decorationSelectionChanged();

    // --- Pane commands ---
    void fitComposition();
    void zoomCanvas(double factor);
    bool handles(const QString& command) const override;
    void perform(const QString& command, QObject* sender) override;
    CommandValidation validate(const QString& command, QAction* action) const override;

    // The class colour overrides last handed to the map view, and the layers last drawn (for
    // the composition's views and for tests).
    struct LegendContent {
        bool hidden = true;
        QString title;
        QStringList labels;
        QList<PlmColor> colors;
        bool showsMissing = true;
        PlmColor missingColor;
        std::optional<QString> footer;
        QList<double> referenceSizes;
        std::optional<PlmProportionalSettings> symbols;
        PlmColor symbolColor;
        PlmPoint position;
        bool operator==(const LegendContent&) const = default;
    };
    struct OverlayContent {
        bool hidden = true;
        QList<CarteThematicLayers::SymbolItem> items;
        std::optional<PlmProportionalSettings> symbols;
        PlmColor color;
        std::optional<QString> selectedID;
        bool concentricPartner = false;
        bool partnerInFront = true;
        bool operator==(const OverlayContent&) const = default;
    };
    LegendContent legend[2];
    OverlayContent overlay[2];
    // How many times a thematic layer was computed (skipped when its inputs did not change).
    int layerComputations = 0;

    // Called with each French error sentence; the default presents it in the pane's window.
    std::function<void(const QString&)> presentError;
    // The studio's commit of every pane, run before the names are toggled.
    std::function<bool()> commitStudioEditing;
    // Every typed edit of the work's windows taken (the studio's when it is there), or false on a
    // refusal, said in front of the person.
    bool commitWorkEditing();

private:
    void restoreStoredViewport(const PlmWork& w);
    void build(bool studioPresentation);
    std::optional<PlmWork> work() const;
    bool update(const QString& actionName, const std::function<void(PlmWork&)>& change, bool refreshOnError = true);
    void connectControls();
    void connectClassColorWells();

    // Refresh steps.
    void refreshEntityNames(const PlmWork& work);
    void refreshVariablePopup(const PlmWork& work);
    void updateCurrentVariable(const PlmWork& work, const PlmThematicSettings& settings);
    void refreshRepresentation(const PlmThematicSettings& shown);
    void refreshChoropleth(const PlmWork& work, const PlmThematicSettings& settings, bool updatingControls);
    void refreshSymbols(const PlmWork& work, const PlmThematicSettings& settings, bool updatingControls);
    void applyFillOverrides(const PlmWork& work, const PlmThematicSettings& settings, bool colorAreas);
    void refreshSections(const PlmWork& work);
    void presentLayers();
    std::optional<PlmPoint> manualSymbolPosition(const QString& entityID) const;
    std::optional<PlmPoint> secondManualSymbolPosition(const QString& entityID) const;
    std::optional<int> entityIndex(const QString& entityID) const;
    bool isEditing(QObject* field) const;
    void endEditing();
    // The inspector's fields whose typed text becomes a stored value.
    QList<QLineEdit*> typedFields() const;
    // What a field shows for the stored work: a text left as shown is no edit, however the
    // value was rounded to show it.
    QString storedText(const QLineEdit* field) const;
    // Stores a field's typed value as one undoable step; throws the refusal's sentence.
    bool applyTypedText(QLineEdit* field);
    // Stores a field's typed text for its TypedField: empty when stored, else the refusal.
    QString takeTypedText(QLineEdit* field);
    void showError(const QString& message);

    FondDocument m_document;
    QPointer<ViewHost> m_host;
    CarteCompositionHost* m_compositionHost = nullptr; // owned by the host widget
    ThematicCanvas* m_composition = nullptr;           // owned by the composition host
    VectorCanvas* m_canvas = nullptr;                  // the composition's map view
    CarteMapBlockEditor* m_mapBlockEditor = nullptr;
    // The symbol shapes last built, by settings: a shape is rebuilt only when they change.
    std::optional<PlmProportionalSettings> m_shapeSettings[2];
    std::optional<PlmProportionalSettings> m_legendShapeSettings[2];
    std::shared_ptr<const ProportionalShape> m_shapes[2];
    QPointer<InspectorScroll> m_inspectorScroll;
    CarteInspector* m_inspector = nullptr;
    PointSymbolColorInspector* m_pointColorInspector = nullptr;
    DecorationController* m_decorations = nullptr;
    QPointer<CarteExportPanel> m_exportPanel;
    bool m_restoredDecorationViewport = false;
    bool m_fittedInitialComposition = false;
    std::optional<PlmPrintPage> m_printPage;
    // While a typed text is stored, a refused update is the field's refusal, not an error shown.
    bool m_takingTypedText = false;
    // The inputs of the fill overrides last computed: an unrelated change recomputes nothing.
    struct FillKey {
        PlmEntityList entities;
        QList<PlmVariable> variables;
        PlmThematicSettings settings;
        bool hasVariable = false;
        bool colorAreas = false;
        bool operator==(const FillKey&) const = default;
    };
    std::optional<FillKey> m_fillKey;
    // What a change of colours alone reuses: the colourable entities of the map and their
    // classes.
    struct ColourableKey {
        PlmEntityList entities;
        bool colorAreas = false;
        bool operator==(const ColourableKey&) const = default;
    };
    std::optional<ColourableKey> m_colourableKey;
    QStringList m_colourable;
    // The same identifiers sorted once, to walk each variable beside them.
    PlmKeyOrder m_colourableOrder;
    struct ClassKey {
        QStringList entityIDs;
        std::optional<PlmVariable> variable;
        QList<double> thresholds;
        QStringList keys;
        bool operator==(const ClassKey&) const = default;
    };
    std::optional<ClassKey> m_classKey;
    // Each colourable entity's number for the mapped numeric variable.
    struct NumbersKey {
        QStringList entityIDs;
        PlmVariable variable;
        bool operator==(const NumbersKey&) const = default;
    };
    std::optional<NumbersKey> m_numbersKey;
    QList<double> m_entityNumbers;
    // The variable whose values `distribution` holds.
    std::optional<PlmVariable> m_distributionVariable;
    QList<int> m_classIndices;
    // The position in m_colourable of each entry of the map view's overrides, in the hash's
    // iteration order.
    QList<int> m_overrideOrder;
    bool m_overridesFollowClasses = false;
    struct SymbolKey {
        PlmEntityList entities;
        std::optional<PlmVariable> variable;
        PlmProportionalSettings symbols;
        QHash<QString, PlmPoint> automatic;
        bool operator==(const SymbolKey&) const = default;
    };
    std::optional<SymbolKey> m_symbolKey[2];
};
