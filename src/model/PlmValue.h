#pragma once

#include "model/PlmJson.h"
#include "model/PlmVariableType.h"

#include <QString>
#include <optional>

// One cell of a variable: a number, a text or a percentage. A missing value has no case: it
// is the absence of the entity's key in the variable's values. A percentage holds the number
// typed before the sign ("12,5 %" is 12.5, not 0.125).
class PlmValue {
public:
    enum class Kind { number, text, percentage };

    // The number 0 (containers need a default value).
    PlmValue() = default;

    static PlmValue number(double value) { return PlmValue(Kind::number, value, {}); }
    static PlmValue text(const QString& text) { return PlmValue(Kind::text, 0, text); }
    static PlmValue percentage(double value) { return PlmValue(Kind::percentage, value, {}); }

    Kind kind() const { return m_kind; }
    // The variable type whose values have this case.
    PlmVariableType type() const;
    bool isText() const { return m_kind == Kind::text; }
    // The payload of a number or a percentage; none for a text.
    std::optional<double> numericValue() const;
    // The payload of a text; empty for the other cases.
    const QString& textValue() const { return m_text; }

    // Same case and equal payloads (numbers compared as doubles).
    bool operator==(const PlmValue&) const = default;

    // The one parser of a typed or pasted cell text. None for a blank text (a missing
    // value); throws PlmWorkError with the French message for a text that is not a number
    // (or a percentage) when one is expected.
    static std::optional<PlmValue> parse(const QString& text, PlmVariableType type);

    // The text put into an editable cell: parsing it back with the value's own type gives
    // the same value ("3", "1234,5", "1e-05", "12,5 %").
    QString editingText() const;

    // {"number": {"_0": 1234.5}}, {"text": {"_0": "Nord"}}, {"percentage": {"_0": 12.5}}.
    static PlmValue fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

private:
    PlmValue(Kind kind, double number, const QString& text)
        : m_kind(kind)
        , m_number(number)
        , m_text(text)
    {
    }

    Kind m_kind = Kind::number;
    double m_number = 0;
    QString m_text;
};
