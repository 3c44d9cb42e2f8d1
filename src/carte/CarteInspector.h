#pragma once

#include "model/PlmColor.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class FondInspectorColorWell;
class InspectorScroll;
class InspectorSection;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QVBoxLayout;
class QWidget;

// The controls of the Carte inspector, made once and never replaced: the refresh changes
// their items, values and visibility, the pane connects their signals to its actions.
// Construction builds the three sections of the pane's own (Représentation, Apparence,
// Couleurs des classes); the pane stacks them with the sections of its neighbours.
class CarteInspector : public QObject {
    Q_OBJECT
public:
    explicit CarteInspector(QObject* parent = nullptr);
    ~CarteInspector() override;

    static const QStringList& representationTitles();
    static const QStringList& methodTitles();
    static const QStringList& paletteTitles();
    static const QStringList& symbolKindTitles();

    QCheckBox* entityNames;
    QPushButton* entityNameFont;
    QLineEdit* entityNameSize;
    QComboBox* variable;
    QComboBox* method;
    QComboBox* classes;
    QComboBox* palette;
    InspectorSection* classColorSection;
    QWidget* classColorRows;
    QVBoxLayout* classColorRowsLayout;
    QStringList classColorKeys;
    QList<FondInspectorColorWell*> classColorWells;
    QList<QLabel*> classColorLabels;
    QPushButton* resetClassColors;
    QCheckBox* inverse;
    FondInspectorColorWell* missing;
    QComboBox* decimals;
    QComboBox* legendLabels;
    QCheckBox* hideMissing;
    QLabel* stats;
    QLineEdit* thresholds;
    QLabel* notice;
    QComboBox* representation;
    QComboBox* symbolKind;
    QLineEdit* minimumSize;
    QLineEdit* maximumSize;
    FondInspectorColorWell* symbolColor;
    QComboBox* symbolFillMode;
    QSlider* symbolOpacity;
    QLineEdit* symbolOpacityValue;
    QCheckBox* symbolOutlineToggle;
    FondInspectorColorWell* symbolOutlineColor;
    QLineEdit* symbolOutlineWidth;
    InspectorSection* symbolAppearanceSection;
    QPushButton* chooseAsset;
    QPushButton* restorePosition;
    QComboBox* editSeries;
    QComboBox* order;
    QCheckBox* concentric;
    QWidget* combinationRow;
    InspectorSection* representationSection;
    QList<QWidget*> generalControls;
    QList<QWidget*> areaControls;
    QWidget* areaRow;
    QWidget* symbolRow;
    QWidget* thresholdRowView;

    // Whether a font name reaches an installed font, by its family or as an alias that
    // fontconfig resolves (such as "Helvetica" for its metric twin).
    static bool fontKnown(const QString& name);

    // Whether the person is typing in the field: it holds the focus of its window, active or
    // not (they may be in another window, or coming back to this one). What it holds is then
    // still to be taken, and a refresh leaves it as typed.
    static bool isBeingTyped(const QLineEdit* field);

    // A vertical stack of views (leading, spacing 8), each as wide as the stack.
    static QWidget* makeColumn(const QList<QWidget*>& views);
    // Rebuilds the class colour rows when the keys changed; sets colours and labels always.
    // Returns true when the rows were rebuilt (the pane then connects the new wells).
    bool setClassColorRows(const QStringList& keys, const QStringList& labels, const QList<PlmColor>& colors);

private:
    // Owned until the pane's column takes the sections.
    QList<QPointer<QWidget>> m_sections;
};
