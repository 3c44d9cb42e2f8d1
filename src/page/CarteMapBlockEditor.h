#pragma once

#include "page/WorkDocumentLink.h"
#include "model/PlmWork.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTransform>

#include <functional>
#include <optional>

class CarteBlockHandles;
#include "inspector/InspectorSection.h"
class MapScaleSlider;
class QLineEdit;
class ThematicCanvas;

// The inspector section « Bloc vectoriel du fond »: the map block's scale, box and angle as
// numbers, fit and centre buttons, and the button that selects the block for its handles.
// Every placement is the map view's block transform, stored in the work's layout through
// one undoable update « Transformer le bloc vectoriel ».
class CarteMapBlockEditor : public QObject {
    Q_OBJECT
public:
    // The work document as the editor sees it.
    using Document = WorkDocumentLink;

    static QString actionName() { return QStringLiteral("Transformer le bloc vectoriel"); }
    static QString sectionTitle() { return QStringLiteral("Bloc vectoriel du fond"); }

    // Adds the handle overlay to the canvas and builds the section. The canvas is not owned:
    // its owner (the Carte pane) keeps it for as long as it uses the editor.
    CarteMapBlockEditor(Document document, ThematicCanvas* canvas, QObject* parent = nullptr);
    ~CarteMapBlockEditor() override;

    InspectorSection* section() const { return m_section; }
    CarteBlockHandles* overlay() const { return m_overlay; }
    ThematicCanvas* canvas() const { return m_canvas; }
    // X, Y, width, height, angle.
    const QList<QLineEdit*>& fields() const { return m_fields; }
    QLineEdit* scaleField() const { return m_scaleField; }
    MapScaleSlider* scaleSlider() const { return m_scaleSlider; }

    // The block's values on the page, from its own bounds and the block transform.
    struct BlockValues {
        double x = 0, y = 0, width = 0, height = 0, angle = 0, scale = 0;
        double centerX = 0, centerY = 0;
    };
    static std::optional<BlockValues> blockValues(const QRectF& ownBounds, const QTransform& t);
    // The transform that puts a block of the given own bounds in a box turned by an angle.
    static std::optional<QTransform> placedTransform(const QRectF& ownBounds, double x, double y, double w,
                                                     double h, double angle);
    // A number typed in a field: no-break spaces dropped, decimal comma read as a point,
    // otherwise the whole text in C notation.
    static std::optional<double> readNumber(const QString& text);

    // Takes the stored transform back into the canvas and refreshes overlay and fields.
    void refresh();
    // Writes the block's values into the fields not being edited, the scale and the slider.
    void refreshFields();
    // Stores the canvas's current block transform in the work.
    void commitTransform();
    // The change that commitTransform stores, applied to a work.
    void storeBlockTransform(PlmWork& work) const;

    // Actions.
    void slideScale(double value);
    // The scale field's text, or every box field whose text differs from what it shows, applied;
    // then every field shows the block again.
    void editScale();
    void editFields();
    void selectBlock();
    void fitBlock(int tag);  // 0 fit to page, 1 fit to width, 2 centre
    // A field's editing ended: the scale field applies the scale, any other the five fields.
    void controlTextDidEndEditing(QObject* field);

private:
    // Where the fit and centre buttons place the block: the printable area of the print page
    // shown, else the composition less 32 points on every side.
    QRectF fitArea() const;
    void placeBlock(double x, double y, double w, double h, double angle);
    // Shows the block under a new transform, not yet stored.
    void showPlaced(const QTransform& t);
    // Writes the block's values into the fields, the one being typed in too when asked.
    void writeFields(bool includingFocused);
    void attachTypedField(QLineEdit* field, const QString& name);
    // What a field shows of the block as it is.
    QString shownText(const QLineEdit* field) const;
    // Apply a typed entry: empty when applied or nothing to apply, else why it is refused (the
    // block unchanged). The box takes the field named, or every field whose text changed.
    QString applyTypedScale();
    QString applyTypedBox(const QLineEdit* only);
    void storeLive(const QTransform& t);

    Document m_document;
    ThematicCanvas* m_canvas;
    QPointer<InspectorSection> m_section;
    CarteBlockHandles* m_overlay = nullptr;  // owned by the canvas
    QList<QLineEdit*> m_fields;
    QLineEdit* m_scaleField = nullptr;
    MapScaleSlider* m_scaleSlider = nullptr;
};
