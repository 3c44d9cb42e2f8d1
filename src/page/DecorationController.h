#pragma once

#include "page/DecorationTextEditor.h"
#include "page/WorkDocumentLink.h"
#include "model/PlmDecoration.h"
#include "model/PlmDecorationKind.h"
#include "model/PlmMap.h"
#include "model/PlmWork.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QPointer>
#include <QSet>
#include <QSizeF>
#include <QString>

#include <functional>
#include <optional>

class DecorationObjectView;
class InspectorSection;
class QWidget;
class QVBoxLayout;
class ThematicCanvas;
class ThematicLegend;
class ViewNode;

// Edits the layout decorations of one work on the composition page: the selection of
// objects and legends ("legend", "secondLegend" or an object id), the object views kept in
// step with the stored work, gestures, in-place text editing, the clipboard, additions, the
// inspector and arrangement. Every edit is one undoable update of the work document.
//
// Split by concern: DecorationController.cpp (selection and the one update),
// DecorationControllerViews.cpp (views, moves, legends), DecorationControllerText.cpp
// (in-place text), DecorationControllerClipboard.cpp (clipboard, deletion),
// DecorationControllerAdd.cpp (additions), DecorationControllerArrange.cpp (geometry rows,
// alignment, order), DecorationInspector.cpp (the inspector rows and property edits).
class DecorationController : public QObject {
    Q_OBJECT
public:
    // The work document as the controller sees it (the document class lives above). Every
    // function holds the document weakly; a missing `work` or one answering none is a
    // document gone: reads give an empty selection and edits are skipped.
    struct Document : WorkDocumentLink {
        // Tells the document whether a text typed in place is pending (not a step yet).
        std::function<void(bool pending)> noteDraft;
        // A sheet alert on the canvas's window (nothing when there is no window).
        std::function<void(const QString& message)> showAlert;
    };
    using DecorationChange = std::function<void(PlmDecoration&)>;
    using PresentationChange = std::function<void(PlmPresentation&)>;

    static QString clipboardType() { return QStringLiteral("ondrel.pelmorastudio.decoration"); }
    static qint64 imageByteLimit() { return 33'554'432; }
    static QString imageError() { return QStringLiteral("Image illisible ou trop volumineuse (32 Mo maximum)."); }
    static QString scaleAlert()
    {
        return QStringLiteral("Une échelle locale demande un fond WGS84 et un cadrage rapproché. Aucune distance "
                              "n’est supposée.");
    }
    static QString northAlert() { return QStringLiteral("L’orientation du Nord n’est pas connue pour ce fond."); }

    DecorationController(Document document, ThematicCanvas* canvas, bool studioPresentation,
                         QObject* parent = nullptr);
    ~DecorationController() override;

    ThematicCanvas* canvas() const { return m_canvas; }
    // The inspector column (thirteen sections); the pane puts it last in its column.
    QWidget* bar() const { return m_bar; }
    bool studioPresentation() const { return m_studioPresentation; }
    DecorationTextEditor* editor() const { return m_editor; }
    const std::optional<QString>& editorTarget() const { return m_editorTarget; }

    // ---- Selection ----
    std::optional<QString> selected;
    QSet<QString> selectedIDs;
    std::function<void(bool)> onSelectionChange;
    std::function<void(const std::optional<QString>&)> onObjectSelectionChange;

    std::optional<PlmWork> work() const;
    // The work's decoration, or the default one.
    static PlmDecoration decorationOf(const PlmWork& work);
    std::optional<PlmPresentation> selectedPresentation() const;
    std::optional<PlmDecorationObject> selectedObject() const;
    void select(const std::optional<QString>& id, bool extending);
    // A press on an element or legend: extends with Shift or Command.
    void pressSelect(const QString& id, Qt::KeyboardModifiers modifiers);
    void deselectAll();
    // Forgets the selection without reporting (the caller updates).
    void clearSelection();
    void selectAll();
    void updateSelection();
    // Objects can be added, deleted and reordered while the document exists.
    bool canEditObjects() const { return bool(work()); }

    // ---- The one update ----
    // Runs the change on the work's decoration (default when absent) in one undoable update;
    // a refused one is presented and the selection refreshed. True when nothing was refused.
    bool applyChange(const QString& actionName, const DecorationChange& change);
    bool applyPresentationChange(const QString& actionName, const PresentationChange& change);
    static void editDecoration(PlmWork& work, const DecorationChange& change);
    static void updatePresentations(PlmDecoration& decoration, const QSet<QString>& ids,
                                    const PresentationChange& change);

    // ---- Views, moves, legends ----
    void syncObjectViews();
    QList<DecorationObjectView*> objectViews() const;
    DecorationObjectView* objectView(const QString& id) const;
    ThematicLegend* legendView(const QString& id) const;
    QPointF legendOrigin(const QString& id) const;
    void moveLegend(const QString& id, const PlmPoint& origin, bool ended);
    void rotateLegend(const QString& id, double angle);
    void resizeLegend(const QString& id, const QSizeF& size, const PlmPoint& origin);
    void objectGeometryChanged(const PlmDecorationObject& object, const PlmPoint& position, double width,
                               double height, bool ended);
    void objectRotated(double angle, bool ended);
    void dragCompanions(const QString& excluding, double dx, double dy);
    void moveObjects(PlmWork& work, const QString& excluding, double dx, double dy) const;
    // A legend's presentation change and, when given, its origin in points.
    static void updateLegend(PlmWork& work, const QString& id, const PresentationChange& change,
                             const std::optional<PlmPoint>& position);
    static void setRotation(double angle, PlmPresentation& presentation);

    // ---- In-place text ----
    void beginTextEdit();
    void commitTextEdit();
    void cancelTextEdit();
    void textDidChange();
    PlmWork applyingPendingTextEdit(const PlmWork& work) const;
    PlmDecoration applyingPendingTextEdit(const PlmDecoration& decoration) const;
    static void setText(const QString& text, const QString& target, PlmDecoration& decoration);
    // A text element whose lines no longer fit its frame made taller to hold them all, its width
    // kept: its top edge stays where it is, unless the frame would then leave the page.
    void growToText(const QString& target, PlmDecoration& decoration) const;
    // Where a target's text lies on the page: the view drawing it, its box there (y up) and how
    // the page sets it; none for a target without a view.
    struct TextPlace {
        ViewNode* view = nullptr;
        QRectF box;
        DecorationTextAttributes attributes;
    };
    std::optional<TextPlace> textPlace(const QString& target) const;
    // Lays the open editor over its text as the page shows it now.
    void placeTextEditor();

    // ---- Clipboard and deletion ----
    void performClipboardCommand(const QString& command);
    // Decoration data lies on the clipboard.
    static bool canPaste();
    void deleteObjects(const QSet<QString>& ids, const QString& actionName);
    void deleteSelection();
    static void removeObjects(const QSet<QString>& ids, PlmDecoration& decoration);
    static PlmDecorationObject copiedObject(const PlmDecorationObject& object);
    // A legend ("legend" or "secondLegend") turned into a free-standing legend object.
    PlmDecorationObject legendObject(const QString& id) const;

    // ---- Additions ----
    void addObject(PlmDecorationKind kind);
    void insertObject(const PlmDecorationObject& object);
    void chooseImageFile(PlmDecorationKind kind);
    // The open panel's answer: the chosen file.
    void importImage(const QString& path, PlmDecorationKind kind);
    // An image file turned into an image object (size checked first, header before pixels);
    // throws the French message when refused.
    static PlmDecorationObject imageObject(const QString& path, const QString& id);
    void addSFSymbol(const QString& name);
    void addSVGSymbol(const PlmMap& map, const QString& name);
    static PlmProportionalSettings symbolSettings(const std::optional<QString>& sfName,
                                                  const std::optional<PlmMap>& svg);
    // Reads an SVG file into a symbol map (installed by the application: the importer lives
    // above this library); throws the importer's French error.
    static std::function<PlmMap(const QString& path)> svgImporter;
    // Opens the SF Symbol choice; tests and the pane may replace it (an empty answer cancels).
    std::function<void(std::function<void(const QString&)> chosen)> chooseSFSymbol;
    // Opens the choice of a symbol to add: a name, or a library SVG symbol; by default the
    // symbol catalogue, else chooseSFSymbol.
    std::function<void(std::function<void(const QString&)> chosen,
                       std::function<void(const PlmMap&, const QString&)> chosenSVG)>
        chooseSymbolToAdd;

    // ---- Arrangement ----
    double positionValue(int index) const;
    void setPositionValue(int index, double value);
    void alignSelection(double x, double y);
    void changeObjectOrder(bool toFront);

    // ---- Inspector ----
    // `storedTitle` names the section's open state when it differs from the title (a renamed section).
    InspectorSection* addSection(const QString& title, const QString& key, const QString& storedTitle = {});
    // Registers a control: its refresh runs after every selection change; its action runs
    // after a running text edit was committed.
    void bind(QWidget* control, std::function<void()> refresh, std::function<void()> action);
    void runBindings();
    const QList<std::pair<InspectorSection*, QString>>& sections() const { return m_sections; }
    // The control of a row by its full label (the first one built), for the pane and tests.
    QWidget* control(const QString& label) const { return m_controls.value(label); }

    // ---- Property edits ----
    void setFontName(const QString& name);
    void setBold(bool bold);
    void setFontSize(double size);
    void setTextColor(const PlmColor& color);
    void setTextOpacity(double alpha);
    void setTextAlignment(int segment);
    void setBackground(const PlmColor& color);
    void setFrameShown(bool shown);
    void setBorder(bool border);
    void setSymbolColor(const PlmColor& color);
    void setAutomaticTitle();
    void setLegendFitsContent(bool fits);
    void setColumns(double value);
    void setStyleDouble(double PlmEditingStyle::*field, double value, const QString& actionName);
    void setStyleBool(bool PlmEditingStyle::*field, bool value, const QString& actionName);
    void setStyleInt(int PlmEditingStyle::*field, int value, const QString& actionName);
    void setStyleColor(PlmColor PlmEditingStyle::*field, const PlmColor& value, const QString& actionName);
    PlmEditingStyle selectedStyle() const;
    void chooseSymbol();
    // Sounds the system beep (refused input).
    std::function<void()> beep;

private:
    void installLegendCallbacks(ThematicLegend* legend, const QString& id);
    void installViewCallbacks(DecorationObjectView* view);
    QPointF objectOrigin(const PlmDecorationObject& object, const QSizeF& size) const;
    QSizeF pageSize() const;
    void presentError(const QString& message);
    void buildInspector();
    // Stores a number typed in an inspector field through its setter: empty when stored, else
    // the refusal (the text no number, or the value refused by the setter or the work).
    QString takeNumber(const QString& text, const std::function<double()>& value,
                       const std::function<void(double)>& setter, double scale);
    void alert(const QString& message);

    Document m_document;
    ThematicCanvas* m_canvas;
    bool m_studioPresentation;
    std::optional<QString> m_previousSelection;
    QPointer<DecorationTextEditor> m_editor;
    std::optional<QString> m_editorTarget;
    QString m_editorOriginal;
    bool m_draftDirty = false;
    QPointer<QWidget> m_bar;
    QPointer<QWidget> m_symbolPicker; // the symbol catalogue opened from here
    QVBoxLayout* m_barLayout = nullptr;
    QList<std::function<void()>> m_bindings;
    QList<std::pair<InspectorSection*, QString>> m_sections;
    QHash<QString, QWidget*> m_controls;
    QHash<InspectorSection*, QWidget*> m_iconRows;
    QWidget* m_typographyRow = nullptr;
    // While a typed number is stored, the refusal presented goes here instead.
    QString* m_refusalCapture = nullptr;
};
