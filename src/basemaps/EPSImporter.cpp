#include "basemaps/EPSImporter.h"

#include "model/PlmErrors.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

[[noreturn]] void fail(const char* sentence)
{
    throw PlmImportError::invalid(QString::fromUtf8(sentence));
}

// PostScript clamps colour components into [0, 1].
double unit(double value)
{
    return std::clamp(value, 0.0, 1.0);
}

PlmColor cmyk(double c, double m, double y, double k)
{
    return PlmColor{(1 - unit(c)) * (1 - unit(k)), (1 - unit(m)) * (1 - unit(k)), (1 - unit(y)) * (1 - unit(k)), 1};
}

const QSet<QString>& ignoredOperators()
{
    static const QSet<QString> names = {
        QStringLiteral("u"), QStringLiteral("U"), QStringLiteral("A"), QStringLiteral("Ar"), QStringLiteral("MB"),
        QStringLiteral("Mb"), QStringLiteral("Md"), QStringLiteral("XB"), QStringLiteral("D"), QStringLiteral("O"),
        QStringLiteral("R"), QStringLiteral("i"), QStringLiteral("M"), QStringLiteral("To"), QStringLiteral("TP"),
        QStringLiteral("TX"), QStringLiteral("Tr"), QStringLiteral("Ta"), QStringLiteral("Tt"), QStringLiteral("Tc"),
        QStringLiteral("Tw"), QStringLiteral("Tz"), QStringLiteral("Tg"), QStringLiteral("Ts"), QStringLiteral("Tn"),
        QStringLiteral("T*"), QStringLiteral("T*-"), QStringLiteral("TK"), QStringLiteral("Tk"), QStringLiteral("LB"),
        QStringLiteral("Lb"), QStringLiteral("showpage"), QStringLiteral("Adobe_IllustratorA_AI3"),
        QStringLiteral("Adobe_IllustratorA_AI5"), QStringLiteral("Adobe_Illustrator_AI5"),
        QStringLiteral("Adobe_typography_AI5"), QStringLiteral("terminate"), QStringLiteral("get"),
        QStringLiteral("exec")};
    return names;
}

// The "eps." keys of the "%%Key: value" comments among the first 100 lines.
void readHeaderComments(const QByteArray& bytes, QMap<QString, QString>& metadata)
{
    qsizetype at = 0;
    const qsizetype size = bytes.size();
    for (int line = 0; line < 100 && at <= size; ++line) {
        qsizetype end = at;
        while (end < size && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const QByteArray text = bytes.mid(at, end - at);
        if (end < size && bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n')
            ++end;
        at = end + 1;
        if (!text.startsWith("%%"))
            continue;
        const QString body = plmMacRomanText(text.mid(2));
        const qsizetype colon = body.indexOf(QLatin1Char(':'));
        if (colon <= 0 || colon == body.size() - 1)
            continue;
        QString value = body.mid(colon + 1);
        qsizetype first = 0;
        qsizetype last = value.size();
        while (first < last && (value[first] == QLatin1Char(' ') || value[first] == QLatin1Char('\t')))
            ++first;
        while (last > first && (value[last - 1] == QLatin1Char(' ') || value[last - 1] == QLatin1Char('\t')))
            --last;
        metadata.insert(QStringLiteral("eps.") + body.left(colon), value.mid(first, last - first));
    }
}

} // namespace

bool EPSImporter::isPostScript(const QByteArray& data)
{
    // Only a signature starting in the first mebibyte counts, so only that much is searched:
    // a large GeoJSON or base-map text is not scanned to its end.
    constexpr qsizetype window = 1048576;
    const QByteArrayView head = QByteArrayView(data).first(std::min(data.size(), window + 3));
    return head.indexOf("%!PS") >= 0;
}

EPSImporter::EPSImporter(const QString& name, const QString& format)
    : builder_(name, format)
{
}

PlmImportResult EPSImporter::importMap(const QByteArray& data, const QString& name)
{
    const qsizetype signature = data.indexOf("%!PS");
    if (signature < 0)
        fail("Signature PostScript absente.");
    const QByteArray bytes = data.mid(signature);
    // Mac OS Roman keeps ASCII as is, so the marker is searched in the bytes themselves.
    EPSImporter importer(name, bytes.contains("Adobe Illustrator") ? QStringLiteral("EPS Illustrator")
                                                                    : QStringLiteral("PostScript"));
    readHeaderComments(bytes, importer.builder_.metadata);

    qsizetype bodyStart = 0;
    if (const qsizetype setup = bytes.indexOf("%%EndSetup"); setup >= 0)
        bodyStart = setup + 10;
    else if (const qsizetype prolog = bytes.indexOf("%%EndProlog"); prolog >= 0)
        bodyStart = prolog + 11;
    // The scanner starts at the body rather than on a copy of it: files may be large.
    PSScanner scanner(bytes);
    scanner.position = bodyStart;
    scanner.mark();
    importer.run(scanner);
    return importer.builder_.result();
}

void EPSImporter::run(PSScanner& scanner)
{
    PSToken token;
    while (scanner.next(token)) {
        if (token.kind != PSToken::Kind::op) {
            operands_.append(std::move(token));
            continue;
        }
        if (executeStack(token.text))
            continue;
        operator_ = token.text;
        execute(token.text);
        // Operands never carry over from one operator to the next.
        operands_.clear();
        scanner.mark();
    }
    finishMap();
}

void EPSImporter::finishMap()
{
    flushText();
    if (!path_.isEmpty())
        builder_.note(QStringLiteral("tracé sans peinture"));
    if (compoundOpen_)
        builder_.note(QStringLiteral("tracé composé incomplet"));
    if (builder_.entities.isEmpty())
        fail("Aucun tracé ou texte EPS convertible. Source non exécutée.");
}

void EPSImporter::execute(const QString& op)
{
    if (executePath(op) || executeState(op) || executeText(op)) {
        previousUnknown_.clear();
        return;
    }
    previousUnknown_.clear();
    if (ignoredOperators().contains(op) || op.startsWith(QLatin1String("Adobe_")))
        return;
    builder_.note(QStringLiteral("opérateur EPS ") + op);
    previousUnknown_ = op;
}

bool EPSImporter::executeStack(const QString& op)
{
    if (op == QLatin1String("dup")) {
        if (!operands_.isEmpty())
            operands_.append(PSToken(operands_.last()));
    } else if (op == QLatin1String("exch")) {
        if (operands_.size() >= 2)
            operands_.swapItemsAt(operands_.size() - 1, operands_.size() - 2);
    } else if (op == QLatin1String("pop")) {
        if (!operands_.isEmpty())
            operands_.removeLast();
    } else if (op == QLatin1String("clear")) {
        operands_.clear();
    } else {
        return false;
    }
    return true;
}

QList<double> EPSImporter::lastNumbers(int count) const
{
    QList<double> numbers;
    for (qsizetype i = operands_.size() - 1; i >= 0 && numbers.size() < count; --i)
        if (operands_[i].kind == PSToken::Kind::number)
            numbers.prepend(operands_[i].number);
    if (numbers.size() < count) {
        // An operator this reader leaves out just before usually computed the missing operands.
        if (!previousUnknown_.isEmpty())
            throw PlmImportError::invalid(
                QStringLiteral("L’opérateur « %1 » n’est pas pris en charge.").arg(previousUnknown_));
        throw PlmImportError::invalid(
            QStringLiteral("Arguments PostScript incomplets pour l’opérateur « %1 ».").arg(operator_));
    }
    return numbers;
}

QList<double> EPSImporter::arrayNumbers() const
{
    QList<double> numbers;
    for (const PSToken& token : operands_)
        if (token.kind == PSToken::Kind::array)
            for (const PSToken& element : token.tokens)
                if (element.kind == PSToken::Kind::number)
                    numbers.append(element.number);
    return numbers;
}

std::optional<QString> EPSImporter::lastString() const
{
    for (qsizetype i = operands_.size() - 1; i >= 0; --i)
        if (operands_[i].kind == PSToken::Kind::string)
            return operands_[i].text;
    return std::nullopt;
}

std::optional<QString> EPSImporter::lastLiteral() const
{
    for (qsizetype i = operands_.size() - 1; i >= 0; --i)
        if (operands_[i].kind == PSToken::Kind::literal)
            return operands_[i].text;
    return std::nullopt;
}

void EPSImporter::append(const PlmPathCommand& command)
{
    if (path_.size() >= maximumPathCommands)
        fail("Tracé PostScript trop long.");
    path_.append(command);
}

// A segment with no current path starts at the current point, so that every path kept
// begins with a move.
void EPSImporter::startAtCurrentPoint()
{
    if (path_.isEmpty()) {
        append(PlmPathCommand::move(current_));
        subpathStart_ = current_;
    }
}

bool EPSImporter::executePath(const QString& op)
{
    if (op == QLatin1String("m") || op == QLatin1String("moveto")) {
        const QList<double> n = lastNumbers(2);
        if (!inTextBlock_)
            flushText();
        current_ = subpathStart_ = PlmPoint{n[0], n[1]};
        append(PlmPathCommand::move(current_));
    } else if (op == QLatin1String("l") || op == QLatin1String("L") || op == QLatin1String("lineto")) {
        const QList<double> n = lastNumbers(2);
        startAtCurrentPoint();
        current_ = PlmPoint{n[0], n[1]};
        append(PlmPathCommand::line(current_));
    } else if (op == QLatin1String("rlineto")) {
        const QList<double> n = lastNumbers(2);
        startAtCurrentPoint();
        current_ = PlmPoint{current_.x + n[0], current_.y + n[1]};
        append(PlmPathCommand::line(current_));
    } else if (op == QLatin1String("rmoveto")) {
        const QList<double> n = lastNumbers(2);
        current_ = subpathStart_ = PlmPoint{current_.x + n[0], current_.y + n[1]};
        append(PlmPathCommand::move(current_));
    } else if (op == QLatin1String("arc") || op == QLatin1String("arcn")) {
        arc(op == QLatin1String("arcn"));
    } else if (op == QLatin1String("c") || op == QLatin1String("C") || op == QLatin1String("curveto")) {
        const QList<double> n = lastNumbers(6);
        startAtCurrentPoint();
        current_ = PlmPoint{n[4], n[5]};
        append(PlmPathCommand::cubic({n[0], n[1]}, {n[2], n[3]}, current_));
    } else if (op == QLatin1String("v") || op == QLatin1String("V")) {
        const QList<double> n = lastNumbers(4);
        startAtCurrentPoint();
        const PlmPoint first = current_;
        current_ = PlmPoint{n[2], n[3]};
        append(PlmPathCommand::cubic(first, {n[0], n[1]}, current_));
    } else if (op == QLatin1String("y") || op == QLatin1String("Y")) {
        const QList<double> n = lastNumbers(4);
        startAtCurrentPoint();
        current_ = PlmPoint{n[2], n[3]};
        append(PlmPathCommand::cubic({n[0], n[1]}, current_, current_));
    } else if (op == QLatin1String("h") || op == QLatin1String("closepath")) {
        // Closing nothing adds nothing: a path must start with a move.
        if (!path_.isEmpty())
            append(PlmPathCommand::close());
        current_ = subpathStart_;
    } else if (op == QLatin1String("F") || op == QLatin1String("fill")) {
        paint(true, false, false);
    } else if (op == QLatin1String("f")) {
        paint(true, false, true);
    } else if (op == QLatin1String("eofill")) {
        state_.evenOdd = true;
        paint(true, false, false);
        state_.evenOdd = fillRule_;
    } else if (op == QLatin1String("S") || op == QLatin1String("stroke")) {
        paint(false, true, false);
    } else if (op == QLatin1String("s")) {
        paint(false, true, true);
    } else if (op == QLatin1String("B")) {
        paint(true, true, false);
    } else if (op == QLatin1String("b")) {
        paint(true, true, true);
    } else if (op == QLatin1String("n") || op == QLatin1String("N") || op == QLatin1String("newpath")) {
        if (clipPending_)
            paint(false, false, false);
        else
            path_.clear();
    } else if (op == QLatin1String("W")) {
        clipPending_ = true;
    } else if (op == QLatin1String("clip") || op == QLatin1String("eoclip")) {
        clipPending_ = true;
        fillRule_ = state_.evenOdd = op == QLatin1String("eoclip");
    } else if (op == QLatin1String("H")) {
        builder_.note(QStringLiteral("tracé non peint"));
        path_.clear();
    } else if (op == QLatin1String("*u")) {
        compoundOpen_ = true;
        compoundCommands_.clear();
        compoundStyle_.reset();
    } else if (op == QLatin1String("*U")) {
        emitCompoundPath();
    } else {
        return false;
    }
    return true;
}

void EPSImporter::arc(bool clockwise)
{
    if (!inTextBlock_)
        flushText();
    const QList<double> n = lastNumbers(5);
    const double x = n[0], y = n[1], r = n[2];
    if (r < 0)
        fail("Rayon PostScript invalide.");
    constexpr double pi = std::numbers::pi;
    double sweep = (n[4] - n[3]) * pi / 180;
    if (!clockwise) {
        if (sweep >= 2 * pi) {
            sweep = 2 * pi;
        } else {
            sweep = std::fmod(sweep, 2 * pi);
            if (sweep < 0)
                sweep += 2 * pi;
        }
    } else {
        if (sweep <= -2 * pi) {
            sweep = -2 * pi;
        } else {
            sweep = std::fmod(sweep, 2 * pi);
            if (sweep > 0)
                sweep -= 2 * pi;
        }
    }
    const double start = n[3] * pi / 180;
    if (!std::isfinite(start) || !std::isfinite(sweep))
        fail("Valeurs PostScript non finies.");
    const PlmPoint first{x + r * std::cos(start), y + r * std::sin(start)};
    if (path_.isEmpty()) {
        append(PlmPathCommand::move(first));
        subpathStart_ = first;
    } else {
        append(PlmPathCommand::line(first));
    }
    append(PlmPathCommand::arc({x, y}, {r, 0}, {0, r}, start, sweep));
    current_ = PlmPoint{x + r * std::cos(start + sweep), y + r * std::sin(start + sweep)};
}

bool EPSImporter::executeState(const QString& op)
{
    auto prepend = [this](const PlmTransform& matrix) { state_.transform = matrix.concatenating(state_.transform); };
    if (op == QLatin1String("q") || op == QLatin1String("gsave")) {
        if (saved_.size() >= maximumSavedStates)
            fail("Sauvegardes PostScript trop imbriquées.");
        saved_.append(Saved{state_, path_, current_, subpathStart_});
    } else if (op == QLatin1String("Q") || op == QLatin1String("grestore")) {
        if (saved_.isEmpty()) {
            builder_.note(QStringLiteral("grestore sans gsave"));
        } else {
            const Saved record = saved_.takeLast();
            state_ = record.state;
            path_ = record.path;
            current_ = record.current;
            subpathStart_ = record.subpathStart;
            fillRule_ = state_.evenOdd;
        }
    } else if (op == QLatin1String("XR")) {
        fillRule_ = state_.evenOdd = lastNumbers(1)[0] != 0;
    } else if (op == QLatin1String("g") || op == QLatin1String("G") || op == QLatin1String("setgray")) {
        const double v = unit(lastNumbers(1)[0]);
        const PlmColor color{v, v, v, 1};
        if (op != QLatin1String("G"))
            state_.fill = color;
        if (op != QLatin1String("g"))
            state_.stroke = color;
    } else if (op == QLatin1String("k") || op == QLatin1String("K") || op == QLatin1String("setcmykcolor")) {
        const QList<double> n = lastNumbers(4);
        const PlmColor color = cmyk(n[0], n[1], n[2], n[3]);
        if (op != QLatin1String("K"))
            state_.fill = color;
        if (op != QLatin1String("k"))
            state_.stroke = color;
    } else if (op == QLatin1String("Xa") || op == QLatin1String("XA") || op == QLatin1String("setrgbcolor")) {
        const QList<double> n = lastNumbers(3);
        const PlmColor color{unit(n[0]), unit(n[1]), unit(n[2]), 1};
        if (op != QLatin1String("XA"))
            state_.fill = color;
        if (op != QLatin1String("Xa"))
            state_.stroke = color;
    } else if (op == QLatin1String("w") || op == QLatin1String("setlinewidth")) {
        // PostScript strokes a negative width as its absolute value.
        state_.width = std::abs(lastNumbers(1)[0]);
    } else if (op == QLatin1String("J") || op == QLatin1String("setlinecap")) {
        const double n = lastNumbers(1)[0];
        if (n != 0 && n != 1 && n != 2)
            fail("Extrémité PostScript invalide.");
        state_.cap = int(n);
    } else if (op == QLatin1String("j") || op == QLatin1String("setlinejoin")) {
        const double n = lastNumbers(1)[0];
        if (n != 0 && n != 1 && n != 2)
            fail("Jointure PostScript invalide.");
        state_.join = int(n);
    } else if (op == QLatin1String("d") || op == QLatin1String("setdash")) {
        const QList<double> dash = arrayNumbers();
        const double phase = lastNumbers(1)[0];
        for (double length : dash)
            if (length < 0)
                fail("Tireté PostScript invalide.");
        state_.dash = dash;
        if (phase != 0)
            builder_.note(QStringLiteral("phase du tireté"));
    } else if (op == QLatin1String("concat")) {
        const QList<double> m = arrayNumbers();
        if (m.size() != 6)
            fail("Matrice PostScript invalide.");
        prepend(PlmTransform{m[0], m[1], m[2], m[3], m[4], m[5]});
    } else if (op == QLatin1String("cm")) {
        const QList<double> m = lastNumbers(6);
        prepend(PlmTransform{m[0], m[1], m[2], m[3], m[4], m[5]});
    } else if (op == QLatin1String("translate")) {
        const QList<double> n = lastNumbers(2);
        prepend(PlmTransform::translation(n[0], n[1]));
    } else if (op == QLatin1String("scale")) {
        const QList<double> n = lastNumbers(2);
        prepend(PlmTransform::scale(n[0], n[1]));
    } else if (op == QLatin1String("rotate")) {
        const double t = lastNumbers(1)[0] * std::numbers::pi / 180;
        prepend(PlmTransform{std::cos(t), std::sin(t), -std::sin(t), std::cos(t), 0, 0});
    } else if (op == QLatin1String("Ln")) {
        layerName_ = lastString().value_or(QString());
    } else if (op == QLatin1String("Xb")) {
        builder_.note(QStringLiteral("dégradé Illustrator (aplat de remplacement)"));
    } else if (op == QLatin1String("Pc")) {
        builder_.note(QStringLiteral("motif Illustrator"));
    } else {
        return false;
    }
    return true;
}

bool EPSImporter::executeText(const QString& op)
{
    if (op == QLatin1String("Tp")) {
        const QList<double> n = lastNumbers(7);
        flushText();
        textMatrix_ = PlmTransform{n[0], n[1], n[2], n[3], n[4], n[5]};
        inTextBlock_ = true;
    } else if (op == QLatin1String("Tm")) {
        const QList<double> n = lastNumbers(6);
        flushText();
        textMatrix_ = PlmTransform{n[0], n[1], n[2], n[3], n[4], n[5]};
        inTextBlock_ = true;
    } else if (op == QLatin1String("Td")) {
        const QList<double> n = lastNumbers(2);
        flushText();
        textMatrix_ = PlmTransform::translation(n[0], n[1]).concatenating(textMatrix_);
    } else if (op == QLatin1String("findfont")) {
        if (const std::optional<QString> literal = lastLiteral())
            fontName_ = *literal;
    } else if (op == QLatin1String("scalefont")) {
        fontSize_ = lastNumbers(1)[0];
    } else if (op == QLatin1String("setfont")) {
    } else if (op == QLatin1String("Tf")) {
        const double size = lastNumbers(1)[0];
        flushText();
        fontSize_ = size;
        if (const std::optional<QString> literal = lastLiteral())
            fontName_ = literal->startsWith(QLatin1Char('_')) ? literal->mid(1) : *literal;
    } else if (op == QLatin1String("Tx") || op == QLatin1String("show")) {
        if (const std::optional<QString> text = lastString()) {
            if (!inTextBlock_)
                textMatrix_ = PlmTransform::translation(current_.x, current_.y);
            appendText(*text);
        } else {
            builder_.note(QStringLiteral("texte PostScript non littéral"));
        }
    } else if (op == QLatin1String("Tj")) {
        for (const PSToken& token : std::as_const(operands_))
            if (token.kind == PSToken::Kind::array)
                for (const PSToken& element : token.tokens)
                    if (element.kind == PSToken::Kind::string)
                        appendText(element.text);
        builder_.note(QStringLiteral("espacement typographique personnalisé"));
    } else if (op == QLatin1String("TO")) {
        flushText();
        inTextBlock_ = false;
        path_.clear();
    } else {
        return false;
    }
    return true;
}

void EPSImporter::appendText(const QString& text)
{
    if (pendingText_.size() + text.size() > maximumTextLength)
        fail("Texte PostScript trop long.");
    pendingText_ += text;
}
