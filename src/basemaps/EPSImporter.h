#pragma once

#include "basemaps/PlmImportBuilder.h"
#include "basemaps/PlmImportResult.h"
#include "basemaps/PlmPostScriptScanner.h"
#include "model/PlmColor.h"
#include "model/PlmPathCommand.h"
#include "model/PlmStyle.h"
#include "model/PlmTransform.h"
#include "model/PlmVectorPath.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Reads EPS, PostScript and Illustrator files into a base map. A reader, not a PostScript
// machine: it recognises a fixed set of path, painting, colour, transform and text operators,
// takes their operands from the tokens just before them, and never defines or runs a
// procedure, so no program can loop or recurse in it. Whatever it cannot convert is counted.
// Callable from any thread; one call keeps its state to itself.
class EPSImporter {
public:
    // The graphics state that painting and text use.
    struct State {
        PlmTransform transform;
        PlmColor fill{0, 0, 0, 1};
        PlmColor stroke{0, 0, 0, 1};
        double width = 1;
        QList<double> dash;
        int cap = 0;
        int join = 0;
        QList<PlmVectorPath> clips; // already transformed
        bool evenOdd = false;
    };

    // Bounds for hostile files (besides those of PSScanner).
    static constexpr qsizetype maximumPathCommands = 1'000'000;
    static constexpr int maximumSavedStates = 4'096;
    static constexpr qsizetype maximumClips = 1'000;
    static constexpr qsizetype maximumTextLength = 1'000'000;
    // Commands of all entities, each entity's clip paths counted again, so that validating and
    // drawing the map stays bounded.
    static constexpr qint64 maximumMapCommands = 20'000'000;
    static constexpr qsizetype maximumEntities = 1'000'000;

    // True when "%!PS" occurs in the bytes and first starts before 1 MiB.
    static bool isPostScript(const QByteArray& data);

    // The map named `name` drawn by the file, with "source.format" ("EPS Illustrator" or
    // "PostScript"), the "eps." header keys and the unconverted counts. Throws PlmImportError.
    static PlmImportResult importMap(const QByteArray& data, const QString& name);

    // The style for painting with `state`.
    static PlmStyle style(bool fill, bool stroke, const State& state);

private:
    struct Saved {
        State state;
        QList<PlmPathCommand> path;
        PlmPoint current;
        PlmPoint subpathStart;
    };

    EPSImporter(const QString& name, const QString& format);

    void run(PSScanner& scanner);
    void execute(const QString& op);
    // dup, exch, pop and clear act on the operands, which then stay for the next operator.
    bool executeStack(const QString& op);
    bool executePath(const QString& op);
    bool executeState(const QString& op);
    bool executeText(const QString& op);
    void finishMap();

    // Operands.
    QList<double> lastNumbers(int count) const;
    QList<double> arrayNumbers() const;
    std::optional<QString> lastString() const;
    std::optional<QString> lastLiteral() const;

    // Path building.
    void append(const PlmPathCommand& command);
    void startAtCurrentPoint();
    void arc(bool clockwise);

    // Painting into entities.
    void paint(bool fill, bool stroke, bool close);
    void emitCompoundPath();
    void flushText();
    void addEntity(const PlmGeometry& geometry, const std::optional<QString>& name, const PlmStyle& style,
                   qsizetype commandCount);
    void appendText(const QString& text);

    PlmImportBuilder builder_;
    QList<PSToken> operands_;
    // The operator being carried out, and whether the one before it was left unconverted (it
    // took the operands that the current one may lack): refusals name the one at fault.
    QString operator_;
    QString previousUnknown_;
    State state_;
    QList<Saved> saved_;
    QList<PlmPathCommand> path_;
    PlmPoint current_;
    PlmPoint subpathStart_;
    bool clipPending_ = false;
    bool fillRule_ = false;
    bool compoundOpen_ = false;
    QList<PlmPathCommand> compoundCommands_;
    std::optional<PlmStyle> compoundStyle_;
    QString pendingText_;
    PlmTransform textMatrix_;
    QString fontName_ = QStringLiteral("Helvetica");
    double fontSize_ = 12;
    bool inTextBlock_ = false;
    QString layerName_;
    qint64 mapCommands_ = 0;
};
