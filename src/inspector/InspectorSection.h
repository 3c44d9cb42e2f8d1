#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QToolButton;
class QVBoxLayout;

// A collapsible section of an inspector: a heading row (chevron and title) over a body that
// holds the rows. Whether it is open is remembered per title under
// "Carte.Inspecteur.section." + title, so every inspector using a title shares the state.
// A renamed section keeps the key of its earlier title.
//
// Sizes are in the layout unit of the views (one point of the design is one logical pixel),
// fonts included: an 11-point inspector font is 11 logical pixels high, so a label fits its
// 90-point column as designed.
class InspectorSection : public QWidget {
    Q_OBJECT
public:
    static constexpr double labelWidth = 90;
    static constexpr double labelSpacing = 8;
    static constexpr double rowFontSize = 11;

    static QString preferenceKey(const QString& title)
    {
        return QStringLiteral("Carte.Inspecteur.section.") + title;
    }

    // The content views are compacted and added to the body, as wide as the body.
    explicit InspectorSection(const QString& title, const QList<QWidget*>& content = {},
                              QWidget* parent = nullptr);
    // A section renamed since people could close it: its state stays under the earlier title,
    // so the choice they made is still read.
    InspectorSection(const QString& title, const QString& storedTitle, const QList<QWidget*>& content = {},
                     QWidget* parent = nullptr);

    QWidget* body() const { return m_body; }
    QToolButton* header() const { return m_header; }
    QWidget* headingView() const { return m_headingView; }
    const QString& preference() const { return m_preference; }
    const QString& title() const { return m_title; }
    bool isOpen() const;

    // The one way rows are added after construction: compacted, as wide as the body.
    void addRow(QWidget* row);
    // A row of icon buttons: compacted, no wider than the body.
    void addIconRow(QWidget* row);

    // Opens or closes the body and remembers the state, as a click on the header does.
    void toggle();

    // Every control below the view gets the small control size and, except a colour well,
    // the 11-point font.
    static void applyCompactStyle(QWidget* view);
    // A row: the title (shortened, full text as tooltip) in a 90-point label, then the control.
    static QWidget* labeledRow(const QString& title, QWidget* control);
    // The label text of a row: the qualifiers the column has no room for are removed.
    static QString shortenedLabel(const QString& title);
    // A 32 × 28 icon button from the studio's icon set (empty image when there is none).
    static QToolButton* iconButton(const QString& symbolName, const QString& toolTip);

    // The system font at a size in points of the design, and the colour-well test.
    static QFont systemFont(double points, QFont::Weight weight = QFont::Normal);
    // A colour well is a widget whose class name contains "ColorWell" or whose property
    // "colorWell" is true.
    static bool isColorWell(const QWidget* widget);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void headerChanged();
    void updateHeaderImage();

    QString m_title;
    QWidget* m_body;
    QVBoxLayout* m_bodyLayout;
    QToolButton* m_header;
    QString m_preference;
    QWidget* m_headingView = nullptr;
    QLabel* m_titleLabel = nullptr;
};
