#include "basemaps/PlmSvgPathData.h"

#include "basemaps/PlmSvgNumbers.h"
#include "basemaps/PlmSvgStyles.h"
#include "basemaps/SVGTree.h"
#include "model/PlmErrors.h"

#include <cmath>
#include <numbers>

using PlmSvgNumbers::isSpace;

namespace PlmSvgPathData {

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmImportError::invalid(message);
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

bool isSeparator(QChar c)
{
    return isSpace(c) || c == u',';
}

// SVG's order: the new item applies to points before everything read so far.
PlmTransform then(const PlmTransform& soFar, const PlmTransform& item)
{
    return item.concatenating(soFar);
}

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180;
}

PlmTransform transformItem(const QString& name, const QList<double>& v)
{
    const qsizetype n = v.size();
    if (name == QLatin1String("matrix") && n == 6)
        return PlmTransform{v[0], v[1], v[2], v[3], v[4], v[5]};
    if (name == QLatin1String("translate") && (n == 1 || n == 2))
        return PlmTransform::translation(v[0], n == 2 ? v[1] : 0);
    if (name == QLatin1String("scale") && (n == 1 || n == 2))
        return PlmTransform::scale(v[0], n == 2 ? v[1] : v[0]);
    if (name == QLatin1String("rotate") && (n == 1 || n == 3)) {
        const double angle = radians(v[0]);
        const PlmTransform rotation{std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0};
        if (n == 1)
            return rotation;
        PlmTransform around = PlmTransform::translation(v[1], v[2]);
        around = then(around, rotation);
        return then(around, PlmTransform::translation(-v[1], -v[2]));
    }
    if (name == QLatin1String("skewX") && n == 1)
        return PlmTransform{1, 0, std::tan(radians(v[0])), 1, 0, 0};
    if (name == QLatin1String("skewY") && n == 1)
        return PlmTransform{1, std::tan(radians(v[0])), 0, 1, 0, 0};
    fail(QStringLiteral("Transformation SVG invalide : ") + name + QLatin1Char('.'));
}

} // namespace

PlmTransform svgTransform(QStringView text)
{
    // Items "name(arguments)"; whatever lies between them may only be white space and commas.
    PlmTransform result;
    bool junk = false;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (!isAsciiLetter(text[i])) {
            junk = junk || !isSeparator(text[i]);
            ++i;
            continue;
        }
        qsizetype nameEnd = i;
        while (nameEnd < n && isAsciiLetter(text[nameEnd]))
            ++nameEnd;
        qsizetype open = nameEnd;
        while (open < n && isSpace(text[open]))
            ++open;
        const qsizetype close = open < n && text[open] == u'(' ? text.indexOf(u')', open + 1) : -1;
        if (close < 0) {
            junk = true; // letters that are not an item
            if (open < n && text[open] == u'(')
                break; // no ")" is left for any later item either
            i = nameEnd;
            continue;
        }
        const QString name = text.mid(i, nameEnd - i).toString();
        result = then(result, transformItem(name, PlmSvgNumbers::numbers(text.mid(open + 1, close - open - 1))));
        i = close + 1;
    }
    const bool finite = std::isfinite(result.a) && std::isfinite(result.b) && std::isfinite(result.c)
        && std::isfinite(result.d) && std::isfinite(result.tx) && std::isfinite(result.ty);
    if (junk || !finite)
        fail(QStringLiteral("Transformation SVG invalide."));
    return result;
}

namespace {

// The tokens of path data, read one at a time: one ASCII letter or one number.
class PathTokens {
public:
    explicit PathTokens(QStringView text) : m_text(text) {}

    // Every character belongs to a token, a separator or nothing allowed.
    void checkSyntax() const
    {
        const qsizetype n = m_text.size();
        qsizetype i = 0;
        while (i < n) {
            if (isAsciiLetter(m_text[i]) || isSeparator(m_text[i])) {
                ++i;
                continue;
            }
            const qsizetype length = PlmSvgNumbers::matchLength(m_text, i);
            if (length == 0)
                fail(QStringLiteral("Syntaxe de tracé SVG invalide."));
            i += length;
        }
    }

    bool atEnd()
    {
        fill();
        return m_start == m_end;
    }
    QStringView token()
    {
        fill();
        return m_text.mid(m_start, m_end - m_start);
    }
    void consume() { m_start = m_end; }
    // Takes the token's first character only; the rest stays as the next token.
    void consumeFirstCharacter() { ++m_start; }

    static bool isNumeric(QStringView token)
    {
        if (token.isEmpty())
            return false;
        const QChar c = token[0];
        return PlmSvgNumbers::isDigit(c) || c == u'.' || c == u'+' || c == u'-';
    }

private:
    void fill()
    {
        if (m_start < m_end)
            return;
        qsizetype i = m_end;
        while (i < m_text.size() && isSeparator(m_text[i]))
            ++i;
        m_start = m_end = i;
        if (i >= m_text.size())
            return;
        if (isAsciiLetter(m_text[i]))
            m_end = i + 1;
        else
            m_end = i + PlmSvgNumbers::matchLength(m_text, i); // the syntax was checked first
    }

    QStringView m_text;
    qsizetype m_start = 0;
    qsizetype m_end = 0;
};

double nextPathNumber(PathTokens& tokens)
{
    if (!tokens.atEnd()) {
        const std::optional<double> value = PlmSvgNumbers::toDouble(tokens.token());
        if (value && std::isfinite(*value)) {
            tokens.consume();
            return *value;
        }
    }
    fail(QStringLiteral("Arguments du tracé SVG incomplets."));
}

bool nextArcFlag(PathTokens& tokens)
{
    if (!tokens.atEnd()) {
        const QChar first = tokens.token()[0];
        if (first == u'0' || first == u'1') {
            tokens.consumeFirstCharacter();
            return first == u'1';
        }
    }
    fail(QStringLiteral("Drapeau d’arc SVG invalide."));
}

PlmPoint reflected(const PlmPoint& about, const PlmPoint& point)
{
    return {2 * about.x - point.x, 2 * about.y - point.y};
}

// Endpoint to centre form, as the SVG implementation notes give it.
PlmPathCommand arcCommand(const PlmPoint& from, double rx, double ry, double angle, bool largeArc,
                          bool sweep, const PlmPoint& to)
{
    const double phi = radians(angle);
    const double cosPhi = std::cos(phi);
    const double sinPhi = std::sin(phi);
    const double hx = (from.x - to.x) / 2;
    const double hy = (from.y - to.y) / 2;
    const double x1 = cosPhi * hx + sinPhi * hy;
    const double y1 = -sinPhi * hx + cosPhi * hy;
    rx = std::abs(rx);
    ry = std::abs(ry);
    const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (lambda > 1) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
    }
    const double rx2 = rx * rx;
    const double ry2 = ry * ry;
    const double numerator = rx2 * ry2 - rx2 * y1 * y1 - ry2 * x1 * x1;
    const double denominator = rx2 * y1 * y1 + ry2 * x1 * x1;
    const double radicand = std::max(0.0, numerator / denominator);
    const double coefficient = (largeArc != sweep ? 1 : -1) * std::sqrt(radicand);
    const double cxp = coefficient * rx * y1 / ry;
    const double cyp = -coefficient * ry * x1 / rx;
    const PlmPoint centre{cosPhi * cxp - sinPhi * cyp + (from.x + to.x) / 2,
                          sinPhi * cxp + cosPhi * cyp + (from.y + to.y) / 2};
    const double theta1 = std::atan2((y1 - cyp) / ry, (x1 - cxp) / rx);
    const double theta2 = std::atan2((-y1 - cyp) / ry, (-x1 - cxp) / rx);
    double delta = theta2 - theta1;
    if (sweep && delta < 0)
        delta += 2 * std::numbers::pi;
    else if (!sweep && delta > 0)
        delta -= 2 * std::numbers::pi;
    return PlmPathCommand::arc(centre, {cosPhi * rx, sinPhi * rx}, {-sinPhi * ry, cosPhi * ry}, theta1, delta);
}

} // namespace

QList<PlmPathCommand> svgPathCommands(QStringView text, qsizetype limit)
{
    PathTokens tokens(text);
    tokens.checkSyntax();

    QList<PlmPathCommand> commands;
    auto add = [&](const PlmPathCommand& command) {
        if (commands.size() >= limit)
            fail(SVGTree::tooLargeMessage());
        commands.append(command);
    };
    PlmPoint current;
    PlmPoint subpathStart;
    PlmPoint lastCubicControl;
    PlmPoint lastQuadraticControl;
    QChar letter;         // the current command letter, null when none
    QChar previousUpper;  // the previous command, upper case

    while (!tokens.atEnd()) {
        const QStringView token = tokens.token();
        QChar command;
        if (PathTokens::isNumeric(token)) {
            if (letter.isNull())
                fail(QStringLiteral("Commande SVG absente."));
            command = letter;
        } else {
            if (token.size() != 1)
                fail(QStringLiteral("Commande SVG inconnue : ") + token.toString() + QLatin1Char('.'));
            command = token[0];
            tokens.consume();
            letter = command;
        }
        const bool relative = command.toLower() == command;
        const char16_t upper = command.toUpper().unicode();
        if (commands.isEmpty() && upper != u'M')
            fail(QStringLiteral("Le tracé SVG doit commencer par M."));

        auto point = [&]() {
            const double x = nextPathNumber(tokens);
            const double y = nextPathNumber(tokens);
            return relative ? PlmPoint{current.x + x, current.y + y} : PlmPoint{x, y};
        };

        switch (upper) {
        case u'M':
            current = point();
            subpathStart = current;
            add(PlmPathCommand::move(current));
            letter = relative ? QChar(u'l') : QChar(u'L');
            break;
        case u'L':
            current = point();
            add(PlmPathCommand::line(current));
            break;
        case u'H': {
            const double x = nextPathNumber(tokens);
            current = {relative ? current.x + x : x, current.y};
            add(PlmPathCommand::line(current));
            break;
        }
        case u'V': {
            const double y = nextPathNumber(tokens);
            current = {current.x, relative ? current.y + y : y};
            add(PlmPathCommand::line(current));
            break;
        }
        case u'C':
        case u'S': {
            PlmPoint c1;
            if (upper == u'C')
                c1 = point();
            else
                c1 = (previousUpper == u'C' || previousUpper == u'S') ? reflected(current, lastCubicControl) : current;
            const PlmPoint c2 = point();
            const PlmPoint end = point();
            add(PlmPathCommand::cubic(c1, c2, end));
            lastCubicControl = c2;
            current = end;
            break;
        }
        case u'Q':
        case u'T': {
            PlmPoint control;
            if (upper == u'Q')
                control = point();
            else
                control = (previousUpper == u'Q' || previousUpper == u'T') ? reflected(current, lastQuadraticControl) : current;
            const PlmPoint end = point();
            const PlmPoint c1{current.x + 2.0 / 3.0 * (control.x - current.x), current.y + 2.0 / 3.0 * (control.y - current.y)};
            const PlmPoint c2{end.x + 2.0 / 3.0 * (control.x - end.x), end.y + 2.0 / 3.0 * (control.y - end.y)};
            add(PlmPathCommand::cubic(c1, c2, end));
            lastQuadraticControl = control;
            current = end;
            break;
        }
        case u'A': {
            const double rx = nextPathNumber(tokens);
            const double ry = nextPathNumber(tokens);
            const double angle = nextPathNumber(tokens);
            const bool largeArc = nextArcFlag(tokens);
            const bool sweep = nextArcFlag(tokens);
            const PlmPoint end = point();
            if (end == current) {
                // nothing is drawn
            } else if (rx == 0 || ry == 0) {
                add(PlmPathCommand::line(end));
            } else {
                add(arcCommand(current, rx, ry, angle, largeArc, sweep, end));
            }
            current = end;
            break;
        }
        case u'Z':
            add(PlmPathCommand::close());
            current = subpathStart;
            letter = QChar();
            break;
        default:
            fail(QStringLiteral("Commande SVG inconnue : ") + command + QLatin1Char('.'));
        }
        previousUpper = QChar(upper);
    }
    return commands;
}

QList<PlmPathCommand> transformedCommands(const QList<PlmPathCommand>& commands, const PlmTransform& transform)
{
    QList<PlmPathCommand> result;
    result.reserve(commands.size());
    for (const PlmPathCommand& command : commands)
        result.append(command.applying(transform));
    return result;
}

QList<double> scaledDash(const QList<double>& lengths, double factor)
{
    QList<double> result;
    result.reserve(lengths.size());
    for (double length : lengths)
        result.append(length * factor);
    return result;
}

QList<PlmPathCommand> shapeCommands(const QString& tag, const QMap<QString, QString>& attributes,
                                    const PlmSvgStyles::SVGViewport& viewport)
{
    auto length = [&](const char* name, double defaultValue = 0) {
        return PlmSvgStyles::svgLengthAttribute(QString::fromLatin1(name), attributes, defaultValue, viewport);
    };
    const double pi = std::numbers::pi;
    if (tag == QLatin1String("line")) {
        const double x1 = length("x1"), y1 = length("y1"), x2 = length("x2"), y2 = length("y2");
        return {PlmPathCommand::move({x1, y1}), PlmPathCommand::line({x2, y2})};
    }
    if (tag == QLatin1String("polyline") || tag == QLatin1String("polygon")) {
        const QList<double> v = PlmSvgNumbers::numbers(attributes.value(QStringLiteral("points")));
        if (v.size() % 2 == 1 || v.size() < 4)
            fail(QStringLiteral("Sommets SVG invalides."));
        QList<PlmPathCommand> commands;
        commands.reserve(v.size() / 2 + 1);
        commands.append(PlmPathCommand::move({v[0], v[1]}));
        for (qsizetype i = 2; i < v.size(); i += 2)
            commands.append(PlmPathCommand::line({v[i], v[i + 1]}));
        if (tag == QLatin1String("polygon"))
            commands.append(PlmPathCommand::close());
        return commands;
    }
    if (tag == QLatin1String("rect")) {
        const double x = length("x"), y = length("y"), w = length("width"), h = length("height");
        if (w < 0 || h < 0)
            fail(QStringLiteral("Rectangle SVG invalide."));
        const double ry0 = length("ry", 0);
        double rx = length("rx", ry0);
        rx = std::min(rx, w / 2);
        double ry = length("ry", rx);
        ry = std::min(ry, h / 2);
        if (rx <= 0 || ry <= 0)
            return {PlmPathCommand::move({x, y}), PlmPathCommand::line({x + w, y}), PlmPathCommand::line({x + w, y + h}),
                    PlmPathCommand::line({x, y + h}), PlmPathCommand::close()};
        const PlmPoint ax{rx, 0};
        const PlmPoint ay{0, ry};
        return {
            PlmPathCommand::move({x + rx, y}),
            PlmPathCommand::line({x + w - rx, y}),
            PlmPathCommand::arc({x + w - rx, y + ry}, ax, ay, -pi / 2, pi / 2),
            PlmPathCommand::line({x + w, y + h - ry}),
            PlmPathCommand::arc({x + w - rx, y + h - ry}, ax, ay, 0, pi / 2),
            PlmPathCommand::line({x + rx, y + h}),
            PlmPathCommand::arc({x + rx, y + h - ry}, ax, ay, pi / 2, pi / 2),
            PlmPathCommand::line({x, y + ry}),
            PlmPathCommand::arc({x + rx, y + ry}, ax, ay, pi, pi / 2),
            PlmPathCommand::close(),
        };
    }
    if (tag == QLatin1String("circle") || tag == QLatin1String("ellipse")) {
        const double cx = length("cx"), cy = length("cy");
        double rx, ry;
        if (tag == QLatin1String("circle")) {
            rx = ry = length("r");
        } else {
            rx = length("rx");
            ry = length("ry");
        }
        if (rx < 0 || ry < 0)
            fail(QStringLiteral("Ellipse SVG invalide."));
        return {PlmPathCommand::move({cx + rx, cy}),
                PlmPathCommand::arc({cx, cy}, {rx, 0}, {0, ry}, 0, 2 * pi), PlmPathCommand::close()};
    }
    return {};
}

} // namespace PlmSvgPathData
