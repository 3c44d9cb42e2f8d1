#include "model/PlmValue.h"

#include "model/PlmErrors.h"
#include "model/PlmFrenchNumberDigits.h"
#include "model/PlmTextFolding.h"
#include "model/PlmValueDecimal.h"

namespace {

// White space without the line breaks: the tab and the space separators.
bool isSpaceNotLineBreak(QChar ch)
{
    const char16_t c = ch.unicode();
    return c == u'\t' || (c != u'\n' && c != u'\r' && c != 0x0B && c != 0x0C && c != 0x85
                          && c != 0x2028 && c != 0x2029 && PlmTextFolding::isWhiteSpace(c));
}

QString trimmedOfSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpaceNotLineBreak(text.at(begin)))
        ++begin;
    while (end > begin && isSpaceNotLineBreak(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

[[noreturn]] void refuse(PlmVariableType type)
{
    if (type == PlmVariableType::percentage)
        throw PlmWorkError::invalid(QStringLiteral(
            "Pourcentage attendu : utilisez par exemple 12,5 %. Une cellule vide signifie une donnée absente."));
    throw PlmWorkError::invalid(QStringLiteral(
        "Nombre attendu : utilisez par exemple 1234,5. Une cellule vide signifie une donnée absente."));
}

} // namespace

PlmVariableType PlmValue::type() const
{
    switch (m_kind) {
    case Kind::number: return PlmVariableType::number;
    case Kind::text: return PlmVariableType::text;
    case Kind::percentage: return PlmVariableType::percentage;
    }
    return PlmVariableType::number;
}

std::optional<double> PlmValue::numericValue() const
{
    if (m_kind == Kind::text)
        return std::nullopt;
    return m_number;
}

std::optional<PlmValue> PlmValue::parse(const QString& text, PlmVariableType type)
{
    QString core = PlmTextFolding::trimmed(text);
    if (core.isEmpty())
        return std::nullopt;
    if (type == PlmVariableType::text)
        return PlmValue::text(text);

    if (type == PlmVariableType::percentage && core.endsWith(QLatin1Char('%'))) {
        core.chop(1);
        core = trimmedOfSpaces(core);
    }
    core.remove(QChar(0x00A0));
    core.remove(QChar(0x202F));
    core.remove(QChar(0x0020));
    if (core.contains(QLatin1Char(',')) && core.contains(QLatin1Char('.')))
        refuse(type);
    core.replace(QLatin1Char(','), QLatin1Char('.'));

    const std::optional<double> number = plmReadDecimal(core);
    if (!number)
        refuse(type);
    return type == PlmVariableType::percentage ? PlmValue::percentage(*number) : PlmValue::number(*number);
}

QString PlmValue::editingText() const
{
    if (m_kind == Kind::text)
        return m_text;
    std::string plain = PlmDecimalDigits::standardText(m_number);
    if (plain.size() >= 2 && plain.compare(plain.size() - 2, 2, ".0") == 0)
        plain.resize(plain.size() - 2);
    QString result = QString::fromLatin1(plain.data(), qsizetype(plain.size()));
    result.replace(QLatin1Char('.'), QLatin1Char(','));
    if (m_kind == Kind::percentage)
        result.append(QStringLiteral(" %"));
    return result;
}

PlmValue PlmValue::fromJson(const PlmJsonValue& value)
{
    const auto [index, payload] = value.singleCase({"number", "text", "percentage"});
    switch (index) {
    case 0: return PlmValue::number(payload.field<double>("_0"));
    case 1: return PlmValue::text(payload.field<QString>("_0"));
    default: return PlmValue::percentage(payload.field<double>("_0"));
    }
}

void PlmValue::writeJson(PlmJsonWriter& writer) const
{
    switch (m_kind) {
    case Kind::number: writer.beginCase("number"); break;
    case Kind::text: writer.beginCase("text"); break;
    case Kind::percentage: writer.beginCase("percentage"); break;
    }
    if (m_kind == Kind::text)
        writer.field("_0", m_text);
    else
        writer.field("_0", m_number);
    writer.endCase();
}
