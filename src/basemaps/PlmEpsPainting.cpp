#include "basemaps/EPSImporter.h"
#include "basemaps/PlmStrokeScale.h"

#include "model/PlmErrors.h"
#include "model/PlmGeometry.h"
#include "model/PlmText.h"

#include <cmath>

namespace {

[[noreturn]] void fail(const char* sentence)
{
    throw PlmImportError::invalid(QString::fromUtf8(sentence));
}

bool isFinite(const PlmPoint& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// Transformed commands that overflowed would only fail later, as an invalid map.
void checkFinite(const QList<PlmPathCommand>& commands)
{
    for (const PlmPathCommand& command : commands) {
        bool finite = true;
        command.forEachExtentPoint([&finite](const PlmPoint& p) { finite = finite && isFinite(p); });
        if (const PlmPathArc* arc = command.asArc())
            finite = finite && isFinite(arc->axisX) && isFinite(arc->axisY);
        if (!finite)
            fail("Valeurs PostScript non finies.");
    }
}

bool isUniform(const PlmTransform& t)
{
    return std::abs(std::hypot(t.a, t.b) - std::hypot(t.c, t.d)) <= 1e-9 && std::abs(t.a * t.c + t.b * t.d) <= 1e-9;
}

} // namespace

PlmStyle EPSImporter::style(bool fill, bool stroke, const State& state)
{
    const double s = PlmStrokeScale::of(state.transform);
    PlmStyle style;
    style.stroke = stroke ? state.stroke : PlmColor{0, 0, 0, 0};
    style.fill = fill ? std::optional<PlmColor>(state.fill) : std::nullopt;
    // What overflows under the scale cannot be held by the map: it acts as no width, PostScript's
    // initial one under the same scale, and as a solid line, rather than refusing the file. A
    // zero width stays zero (0 × ∞).
    style.lineWidth = stroke && state.width > 0 ? state.width * s : 0;
    if (!std::isfinite(style.lineWidth))
        style.lineWidth = std::isfinite(s) ? s : 1;
    style.pointRadius = 4;
    QList<double> dash;
    dash.reserve(state.dash.size());
    for (double length : state.dash) {
        dash.append(length * s);
        if (!std::isfinite(dash.last())) {
            dash.clear();
            break;
        }
    }
    style.dash = dash;
    style.lineCap = state.cap;
    style.lineJoin = state.join;
    return style;
}

void EPSImporter::paint(bool fill, bool stroke, bool close)
{
    if (close && !path_.isEmpty())
        append(PlmPathCommand::close());
    QList<PlmPathCommand> commands;
    commands.reserve(path_.size());
    for (const PlmPathCommand& command : std::as_const(path_))
        commands.append(command.applying(state_.transform));
    checkFinite(commands);
    const PlmStyle paintStyle = style(fill, stroke, state_);
    if (stroke && !commands.isEmpty() && !isUniform(state_.transform))
        builder_.note(QStringLiteral("épaisseur de contour sous transformation non uniforme"));

    if (clipPending_) {
        if (state_.clips.size() >= maximumClips)
            fail("Découpes PostScript trop nombreuses.");
        // A path without a move cannot be a valid clip; the path builder always starts one.
        if (!commands.isEmpty())
            state_.clips.append(PlmVectorPath{commands, state_.evenOdd});
        clipPending_ = false;
    } else if (compoundOpen_) {
        if (compoundCommands_.size() + commands.size() > maximumPathCommands)
            fail("Tracé PostScript trop long.");
        compoundCommands_ += commands;
        compoundStyle_ = paintStyle;
    } else if (!commands.isEmpty()) {
        addEntity(PlmGeometry::path(PlmVectorPath{commands, state_.evenOdd}),
                  layerName_.isEmpty() ? std::nullopt : std::optional<QString>(layerName_), paintStyle,
                  commands.size());
    }
    path_.clear();
}

void EPSImporter::emitCompoundPath()
{
    const PlmStyle compoundStyle = compoundStyle_ ? *compoundStyle_ : style(true, true, state_);
    if (!compoundCommands_.isEmpty())
        addEntity(PlmGeometry::path(PlmVectorPath{compoundCommands_, state_.evenOdd}),
                  layerName_.isEmpty() ? std::nullopt : std::optional<QString>(layerName_), compoundStyle,
                  compoundCommands_.size());
    compoundOpen_ = false;
    compoundCommands_.clear();
    compoundStyle_.reset();
}

void EPSImporter::flushText()
{
    if (pendingText_.isEmpty())
        return;
    const PlmTransform transform = textMatrix_.concatenating(state_.transform);
    const QString text = pendingText_;
    pendingText_.clear();
    if (!std::isfinite(fontSize_) || fontSize_ <= 0) {
        // A text of no size draws nothing and would make the map invalid.
        builder_.note(QStringLiteral("texte PostScript de corps nul"));
        return;
    }
    for (double v : {transform.a, transform.b, transform.c, transform.d, transform.tx, transform.ty})
        if (!std::isfinite(v))
            fail("Valeurs PostScript non finies.");
    PlmText shown;
    shown.text = text;
    shown.fontName = fontName_;
    shown.fontSize = fontSize_;
    shown.transform = transform;
    shown.anchor = QStringLiteral("start");
    addEntity(PlmGeometry::text(shown), text, style(true, false, state_), 1);
}

void EPSImporter::addEntity(const PlmGeometry& geometry, const std::optional<QString>& name, const PlmStyle& style,
                            qsizetype commandCount)
{
    qint64 weight = commandCount;
    for (const PlmVectorPath& clip : std::as_const(state_.clips))
        weight += clip.commands.size();
    mapCommands_ += weight;
    if (mapCommands_ > maximumMapCommands || builder_.entities.size() >= maximumEntities)
        fail("Dessin PostScript trop lourd pour être importé.");
    QMap<QString, QString> attributes;
    if (!layerName_.isEmpty())
        attributes.insert(QStringLiteral("layer"), layerName_);
    builder_.addEntity(geometry, std::nullopt, name, style, attributes);
    if (!state_.clips.isEmpty())
        builder_.entities.last().clipPaths = state_.clips;
}
