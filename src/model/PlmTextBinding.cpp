#include "model/PlmTextBinding.h"

#include "model/PlmCodePointOrder.h"
#include "model/PlmErrors.h"
#include "model/PlmTextFolding.h"
#include "model/PlmValue.h"
#include "model/PlmWork.h"

#include <algorithm>
#include <vector>

namespace PlmTextBinding {

namespace {

// Validated maps nest groups at most 64 levels; deeper input is left alone instead of being
// followed down the stack.
constexpr int maximumDepth = 256;

const QString dataPrefixText = QString::fromUtf16(dataPrefix);
const QString textPropertyText = QString::fromUtf16(textPropertyKey);
const QString entityNameText = QString::fromUtf16(entityNameKey);
const QString variablePrefixText = QString::fromUtf16(variablePrefix);
const QString nameFieldText = QString::fromUtf16(nameField);

// The keys by which a text names its field, read in this order; the last three are read only.
const QString textFieldKeys[] = {textPropertyText, QStringLiteral("data-property"),
                                 QStringLiteral("data-field"), QStringLiteral("data-bind")};

bool isReservedDataKey(const QString& key)
{
    return key == textFieldKeys[1] || key == textFieldKeys[2] || key == textFieldKeys[3];
}

const QString* textContent(const PlmEntity& entity)
{
    const PlmText* text = entity.geometry.asText();
    return text ? &text->text : nullptr;
}

void collectTexts(const PlmEntityList& members, const QStringList& path,
                  const QList<qsizetype>& indexes, QList<GroupText>& texts, int depth)
{
    if (depth >= maximumDepth)
        return;
    for (qsizetype i = 0; i < members.size(); ++i) {
        const PlmEntity& member = members.at(i);
        if (member.geometry.asText()) {
            texts.append(GroupText{path + QStringList{member.id}, indexes + QList<qsizetype>{i}, member});
        } else if (const PlmEntityList* inner = member.geometry.asGroup()) {
            if (!isDataGroup(member))
                collectTexts(*inner, path + QStringList{member.id}, indexes + QList<qsizetype>{i},
                             texts, depth + 1);
        }
    }
}

const PlmEntity* entityAtPath(const PlmEntity& group, const QStringList& path)
{
    const PlmEntity* current = &group;
    for (const QString& id : path) {
        const PlmEntityList* members = current->geometry.asGroup();
        if (!members)
            return nullptr;
        const qsizetype index = members->indexOfId(id);
        if (index < 0)
            return nullptr;
        current = &members->at(index);
    }
    return current;
}

// The text found by groupTexts, made unique for writing (copy on write along its index chain).
PlmEntity* editableText(PlmEntity& group, const GroupText& text)
{
    PlmEntity* current = &group;
    for (qsizetype index : text.indexes) {
        PlmEntityList* members = current->geometry.asGroup();
        if (!members || index >= members->size())
            return nullptr;
        current = &members->edit(index);
    }
    return current;
}

// The texts of the previous group by path, so that each new text finds its twin without a
// walk down the member lists; a twin the walk did not reach is looked up along its path.
class PreviousTexts {
public:
    PreviousTexts(const PlmEntity& group, const QList<GroupText>& texts)
        : m_group(group)
        , m_texts(texts)
    {
        m_byPath.reserve(texts.size());
        for (qsizetype i = texts.size() - 1; i >= 0; --i)
            m_byPath.insert(texts.at(i).path, i);
    }

    // The previous text entity at this path, or null when there is none or it is no text.
    const PlmEntity* twin(const QStringList& path) const
    {
        const auto found = m_byPath.constFind(path);
        const PlmEntity* entity = found != m_byPath.cend() ? &m_texts.at(*found).entity
                                                           : entityAtPath(m_group, path);
        return entity && entity->geometry.asText() ? entity : nullptr;
    }

private:
    const PlmEntity& m_group;
    const QList<GroupText>& m_texts;
    QHash<QStringList, qsizetype> m_byPath;
};

// The field a text names by its first non-empty binding key, for adding variable fields.
QString namedField(const QMap<QString, QString>& attributes)
{
    for (const QString& key : textFieldKeys) {
        const QString value = attributes.value(key);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

// The variables' normalised names and ids, folded once per rebinding rather than once per
// field of every group: a map of 35,000 data groups would otherwise fold every variable's name
// hundreds of thousands of times. Names and ids do not change while texts are rebound.
class VariableLookup {
public:
    explicit VariableLookup(const QList<PlmVariable>& variables)
    {
        m_byName.reserve(variables.size());
        m_byID.reserve(variables.size());
        for (qsizetype i = 0; i < variables.size(); ++i) {
            const QString key = normalizedName(variables.at(i).name);
            const auto found = m_byName.constFind(key);
            m_byName.insert(key, found == m_byName.cend() ? i : ambiguous);
            if (!m_byID.contains(variables.at(i).id))
                m_byID.insert(variables.at(i).id, i);
            m_types.append(variables.at(i).type);
        }
    }

    // The one variable named by the field; none for no match or several. Groups of one map
    // share their field keys, so each key is folded once.
    std::optional<qsizetype> named(const QString& field) const
    {
        auto cached = m_namedByField.constFind(field);
        if (cached == m_namedByField.cend())
            cached = m_namedByField.insert(field, m_byName.value(normalizedName(field), ambiguous));
        return *cached == ambiguous ? std::nullopt : std::optional<qsizetype>(*cached);
    }

    // The variable kept in "plm.svg.variable.<field>" of the previous, or else the new,
    // attributes (that id alone); without such an attribute, the variable named by the field.
    std::optional<qsizetype> bound(const QString& field, const QMap<QString, QString>& previousAttributes,
                                   const QMap<QString, QString>& newAttributes) const
    {
        const QString key = variablePrefixText + field;
        std::optional<QString> id;
        if (const auto it = previousAttributes.constFind(key); it != previousAttributes.cend())
            id = *it;
        else if (const auto other = newAttributes.constFind(key); other != newAttributes.cend())
            id = *other;
        if (!id)
            return named(field);
        const auto found = m_byID.constFind(*id);
        return found == m_byID.cend() ? std::nullopt : std::optional<qsizetype>(*found);
    }

    // The type of the variable named by the field when it holds numbers.
    std::optional<PlmVariableType> numericType(const QString& field) const
    {
        const std::optional<qsizetype> index = named(field);
        if (!index || m_types.at(*index) == PlmVariableType::text)
            return std::nullopt;
        return m_types.at(*index);
    }

private:
    static constexpr qsizetype ambiguous = -1;
    QHash<QString, qsizetype> m_byName;
    QHash<QString, qsizetype> m_byID;
    QList<PlmVariableType> m_types;
    mutable QHash<QString, qsizetype> m_namedByField;
};

// Whether a text shows a field's value: the same text, or the same number for a numeric field.
bool shows(const QString& text, const QString& value, std::optional<PlmVariableType> type)
{
    if (text == value)
        return true;
    if (!type)
        return false;
    try {
        const std::optional<PlmValue> shown = PlmValue::parse(text, *type);
        const std::optional<PlmValue> held = PlmValue::parse(value, *type);
        return shown && held && shown->numericValue() == held->numericValue();
    } catch (const PlmWorkError&) {
        return false;
    }
}

// The number a text stands for as a value of the given type, when it parses to one.
std::optional<double> parsedNumber(const QString& text, PlmVariableType type)
{
    try {
        if (const std::optional<PlmValue> value = PlmValue::parse(text, type))
            return value->numericValue();
    } catch (const PlmWorkError&) {
    }
    return std::nullopt;
}

// Numbers as hash keys: -0 and 0 are the same number.
double numberKey(double value)
{
    return value + 0.0;
}

// Which field each text of the previous group shows, by its path. The values shown are
// indexed once, so that a group of many texts and many fields costs their sum, not their product.
QHash<QStringList, QString> textBindings(const PlmEntity& previous, const QList<GroupText>& texts,
                                        const QMap<QString, QString>& fields, const VariableLookup& lookup)
{
    const QStringList keys = fields.keys();

    // Texts that carry neither explicit binding may be bound by the value they show, when no
    // other such text shows it too. A text shows a field's value when it is the same text, or
    // when the field names a number variable and both parse to the same number.
    const auto isUnmarked = [](const PlmEntity& text) {
        return !text.attributes.contains(textPropertyText) && !text.attributes.contains(entityNameText);
    };
    // Once bound, texts carry their key: most groups need no index of values at all.
    const bool anyUnmarked = std::any_of(texts.cbegin(), texts.cend(),
                                         [&](const GroupText& text) { return isUnmarked(text.entity); });
    constexpr int typeCount = 2; // number, percentage
    const auto typeSlot = [](PlmVariableType type) { return type == PlmVariableType::percentage ? 1 : 0; };
    const PlmVariableType slotTypes[typeCount] = {PlmVariableType::number, PlmVariableType::percentage};

    struct FieldValue {
        std::optional<PlmVariableType> type;
        std::optional<double> number; // the value parsed with the type
    };
    QList<FieldValue> fieldValues(keys.size());
    QHash<QString, QList<qsizetype>> fieldsByText;
    QHash<double, QList<qsizetype>> fieldsByNumber[typeCount];
    for (qsizetype f = 0; f < keys.size() && anyUnmarked; ++f) {
        const QString value = fields.value(keys.at(f));
        FieldValue& field = fieldValues[f];
        field.type = lookup.numericType(keys.at(f));
        fieldsByText[value].append(f);
        if (field.type) {
            field.number = parsedNumber(value, *field.type);
            if (field.number)
                fieldsByNumber[typeSlot(*field.type)][numberKey(*field.number)].append(f);
        }
    }

    // What each unmarked text stands for, and how many unmarked texts show each text or number.
    struct Shown {
        std::optional<double> numbers[typeCount];
    };
    QList<Shown> shown(anyUnmarked ? texts.size() : 0);
    QHash<QString, int> textCount;
    QHash<double, int> numberCount[typeCount];
    for (qsizetype t = 0; t < texts.size(); ++t) {
        if (!isUnmarked(texts.at(t).entity))
            continue;
        const QString& content = *textContent(texts.at(t).entity);
        ++textCount[content];
        for (int slot = 0; slot < typeCount; ++slot) {
            if (fieldsByNumber[slot].isEmpty())
                continue;
            shown[t].numbers[slot] = parsedNumber(content, slotTypes[slot]);
            if (shown[t].numbers[slot])
                ++numberCount[slot][numberKey(*shown[t].numbers[slot])];
        }
    }
    // The number of unmarked texts showing a field's value: those parsing to its number (which
    // include those equal to its text), or else those equal to its text.
    const auto showingCount = [&](qsizetype f) {
        const FieldValue& field = fieldValues.at(f);
        if (field.number)
            return numberCount[typeSlot(*field.type)].value(numberKey(*field.number));
        return textCount.value(fields.value(keys.at(f)));
    };
    // The one field whose value the text shows; -1 for none or several.
    const auto onlyFieldShown = [&](qsizetype t) -> qsizetype {
        qsizetype found = -1;
        const auto consider = [&found](const QList<qsizetype>& candidates) {
            for (qsizetype f : candidates) {
                if (found == -2 || f == found)
                    continue;
                found = found == -1 ? f : -2;
            }
        };
        consider(fieldsByText.value(*textContent(texts.at(t).entity)));
        for (int slot = 0; slot < typeCount && found != -2; ++slot) {
            if (shown.at(t).numbers[slot])
                consider(fieldsByNumber[slot].value(numberKey(*shown.at(t).numbers[slot])));
        }
        return found < 0 ? -1 : found;
    };

    QHash<QStringList, QString> bindings;
    for (qsizetype t = 0; t < texts.size(); ++t) {
        const QMap<QString, QString>& attributes = texts.at(t).entity.attributes;
        if (attributes.contains(textPropertyText)) {
            const QString field = attributes.value(textPropertyText);
            if (fields.contains(field))
                bindings.insert(texts.at(t).path, field);
            continue;
        }
        if (attributes.contains(entityNameText)) {
            if (attributes.value(entityNameText) == previous.id)
                bindings.insert(texts.at(t).path, nameFieldText);
            continue;
        }
        bool bound = false;
        for (int k = 1; k < 4 && !bound; ++k) {
            if (!attributes.contains(textFieldKeys[k]))
                continue;
            const QString field = attributes.value(textFieldKeys[k]);
            if (fields.contains(field)) {
                bindings.insert(texts.at(t).path, field);
                bound = true;
            }
            break; // the first key present decides; naming no field leads on to the value
        }
        if (bound)
            continue;
        const qsizetype match = onlyFieldShown(t);
        if (match >= 0 && showingCount(match) == 1)
            bindings.insert(texts.at(t).path, keys.at(match));
    }
    return bindings;
}

struct FieldRecord {
    QString value;
    std::optional<QString> variableID;
    QString shown;
};

const QString calculatedTextMessage =
    QStringLiteral("Ce texte est lié à une variable calculée : modifiez sa formule.");

void rebindGroup(PlmEntity& entity, const PlmEntity& previous, const QString& topLevelID,
                 bool resolveVariables, QList<PlmVariable>& variables,
                 const QHash<QString, const PlmVariable*>& previousVariables,
                 const VariableLookup& lookup, int depth);

void rebindEntity(PlmEntity& entity, const PlmEntity& previous, const QString& topLevelID,
                  bool resolveVariables, QList<PlmVariable>& variables,
                  const QHash<QString, const PlmVariable*>& previousVariables,
                  const VariableLookup& lookup, int depth)
{
    if (depth >= maximumDepth)
        return;
    if (const PlmText* previousText = previous.geometry.asText()) {
        PlmText* text = entity.geometry.asText();
        if (!text || previousText->text != previous.name)
            return;
        const bool textChanged = text->text != previousText->text;
        const bool nameChanged = entity.name != previous.name;
        if (!textChanged && nameChanged)
            text->text = entity.name;
        else if (textChanged && !nameChanged)
            entity.name = text->text;
        return;
    }
    if (previous.geometry.asGroup() && entity.geometry.asGroup())
        rebindGroup(entity, previous, topLevelID, resolveVariables, variables, previousVariables, lookup, depth);
}

void rebindGroup(PlmEntity& entity, const PlmEntity& previous, const QString& topLevelID,
                 bool resolveVariables, QList<PlmVariable>& variables,
                 const QHash<QString, const PlmVariable*>& previousVariables,
                 const VariableLookup& lookup, int depth)
{
    const PlmEntityList& previousMembers = *previous.geometry.asGroup();

    // Fields, as they were.
    QMap<QString, QString> fields = dataFields(previous);
    for (const PlmEntity& member : previousMembers) {
        const auto named = member.attributes.constFind(entityNameText);
        if (named != member.attributes.cend() && *named == previous.id) {
            fields.insert(nameFieldText, previous.name);
            break;
        }
    }
    // A group without fields binds nothing, and only variables can give it fields: the texts of
    // a nested plain group are not walked again at every level of its nesting.
    const QList<GroupText> previousTexts =
        resolveVariables || !fields.isEmpty() ? groupTexts(previous) : QList<GroupText>();
    if (resolveVariables) {
        for (const GroupText& text : previousTexts) {
            const QString field = namedField(text.entity.attributes);
            if (field.isEmpty() || fields.contains(field))
                continue;
            if (const std::optional<qsizetype> index = lookup.named(field)) {
                const PlmVariableValues& values = variables.at(*index).values;
                const auto value = values.constFind(topLevelID);
                if (value != values.cend())
                    fields.insert(field, value->editingText());
            }
        }
    }
    const QHash<QStringList, QString> bindings =
        fields.isEmpty() ? QHash<QStringList, QString>() : textBindings(previous, previousTexts, fields, lookup);
    const PreviousTexts previousByPath(previous, previousTexts);

    QStringList keys = fields.keys();
    plmSortByCodePoints(keys);
    const QList<GroupText> texts = fields.isEmpty() ? QList<GroupText>() : groupTexts(entity);
    // The field each new text is bound to, looked up once: a field's steps visit only its texts.
    std::vector<std::optional<QString>> fieldOfText(size_t(texts.size()));
    QHash<QString, QList<qsizetype>> textsByField;
    if (!bindings.isEmpty()) {
        for (qsizetype t = 0; t < texts.size(); ++t) {
            const auto binding = bindings.constFind(texts.at(t).path);
            if (binding == bindings.cend())
                continue;
            fieldOfText[size_t(t)] = *binding;
            textsByField[*binding].append(t);
        }
    }
    QMap<QString, FieldRecord> records;
    for (const QString& field : keys) {
        const qsizetype variableIndex = resolveVariables
            ? lookup.bound(field, previous.attributes, entity.attributes).value_or(-1)
            : -1;
        const PlmVariable* variable = variableIndex >= 0 ? &variables.at(variableIndex) : nullptr;
        const bool isName = field == nameFieldText;
        const QString oldValue = isName ? previous.name : fields.value(field);
        const QString newValue =
            isName ? entity.name : entity.attributes.value(dataPrefixText + field, oldValue);

        // The last bound text that the user changed, by its content or, for a text showing its
        // name, by its name.
        const QList<qsizetype> boundTexts = textsByField.value(field);
        std::optional<QString> edited;
        for (qsizetype t : boundTexts) {
            const GroupText& text = texts.at(t);
            const PlmEntity* twin = previousByPath.twin(text.path);
            if (!twin)
                continue;
            const QString* previousContent = textContent(*twin);
            const QString& content = *textContent(text.entity);
            if (content != *previousContent)
                edited = content;
            else if (text.entity.name != twin->name && twin->name == *previousContent)
                edited = text.entity.name;
        }
        if (edited && variable && variable->displayText(topLevelID) == *edited)
            edited.reset();

        enum class Rule { variableChanged, fieldChanged, textEdited, variableValue, unchanged };
        Rule rule = Rule::unchanged;
        QString result = oldValue;
        const auto editingTextOf = [&topLevelID](const PlmVariable& v) {
            const auto value = v.values.constFind(topLevelID);
            return value == v.values.cend() ? QString() : value->editingText();
        };
        std::optional<PlmValue> currentValue;
        std::optional<PlmValue> previousValue;
        if (variable) {
            currentValue = variable->values.contains(topLevelID)
                ? std::optional<PlmValue>(variable->values.value(topLevelID))
                : std::nullopt;
            const PlmVariable* before = previousVariables.value(variable->id);
            if (before && before->values.contains(topLevelID))
                previousValue = before->values.value(topLevelID);
        }
        if (variable && currentValue != previousValue) {
            rule = Rule::variableChanged;
            result = editingTextOf(*variable);
        } else if (newValue != oldValue) {
            rule = Rule::fieldChanged;
            result = newValue;
        } else if (edited) {
            rule = Rule::textEdited;
            result = *edited;
        } else if (variable) {
            rule = Rule::variableValue;
            result = editingTextOf(*variable);
        }

        if (result == oldValue && rule != Rule::variableChanged && !edited) {
            const std::optional<PlmVariableType> type = lookup.numericType(field);
            bool allShown = true;
            for (qsizetype t : boundTexts) {
                if (!shows(*textContent(texts.at(t).entity), result, type)) {
                    allShown = false;
                    break;
                }
            }
            if (allShown)
                continue;
        }

        if (variable && (rule == Rule::fieldChanged || rule == Rule::textEdited)) {
            if (variable->isCalculated())
                throw PlmWorkError::invalid(calculatedTextMessage);
            const std::optional<PlmValue> value = PlmValue::parse(result, variable->type);
            PlmVariable& target = variables[variableIndex];
            if (value)
                target.values.insert(topLevelID, *value);
            else
                target.values.remove(topLevelID);
            variable = &target;
            result = value ? value->editingText() : QString();
        }

        FieldRecord record;
        record.value = result;
        if (variable) {
            record.variableID = variable->id;
            record.shown = variable->displayText(topLevelID).value_or(QString());
        } else {
            record.shown = result;
        }
        records.insert(field, record);
    }

    // Texts show their field, and keep their binding by key from now on.
    for (qsizetype t = 0; t < texts.size(); ++t) {
        const std::optional<QString>& binding = fieldOfText[size_t(t)];
        if (!binding)
            continue;
        const GroupText& text = texts.at(t);
        const auto record = records.constFind(*binding);
        if (record == records.cend())
            continue;
        const PlmEntity* twin = previousByPath.twin(text.path);
        const QString* twinContent = twin ? textContent(*twin) : nullptr;
        const bool followsName = text.entity.name == *textContent(text.entity)
            || (twinContent && twin->name == *twinContent);
        const bool unchanged = *textContent(text.entity) == record->shown
            && text.entity.attributes.value(textPropertyText) == *binding
            && text.entity.attributes.contains(textPropertyText)
            && (!followsName || text.entity.name == record->shown);
        if (unchanged)
            continue;
        PlmEntity* target = editableText(entity, text);
        if (!target)
            continue;
        target->geometry.asText()->text = record->shown;
        target->attributes.insert(textPropertyText, *binding);
        if (followsName)
            target->name = record->shown;
    }

    // Members, one level down, without variables. Only texts and groups can change; twins are
    // usually at the same position, and the index by id is built only when one is not.
    if (PlmEntityList* members = entity.geometry.asGroup()) {
        QHash<QString, qsizetype> previousIndex;
        for (qsizetype i = 0; i < members->size(); ++i) {
            const PlmEntity& current = members->at(i);
            const bool isText = current.geometry.asText();
            if (!isText && !current.geometry.asGroup())
                continue;
            qsizetype twin = -1;
            if (i < previousMembers.size() && previousMembers.at(i).id == current.id) {
                twin = i;
            } else {
                if (previousIndex.isEmpty()) {
                    previousIndex.reserve(previousMembers.size());
                    for (qsizetype j = previousMembers.size() - 1; j >= 0; --j)
                        previousIndex.insert(previousMembers.at(j).id, j); // the first twin wins
                }
                twin = previousIndex.value(current.id, -1);
            }
            if (twin < 0)
                continue;
            PlmEntity member = current;
            rebindEntity(member, previousMembers.at(twin), topLevelID, false, variables,
                         previousVariables, lookup, depth + 1);
            if (!(member == current))
                members->replace(i, member);
        }
    }

    for (auto record = records.cbegin(); record != records.cend(); ++record) {
        entity.attributes.insert(dataPrefixText + record.key(), record->value);
        if (record.key() == nameFieldText)
            entity.name = record->value;
        if (record->variableID)
            entity.attributes.insert(variablePrefixText + record.key(), *record->variableID);
    }
}

} // namespace

QMap<QString, QString> dataFields(const PlmEntity& group)
{
    QMap<QString, QString> fields;
    for (auto it = group.attributes.cbegin(); it != group.attributes.cend(); ++it) {
        if (it.key().startsWith(dataPrefixText) && !isReservedDataKey(it.key()))
            fields.insert(it.key().mid(dataPrefixText.size()), it.value());
    }
    const auto name = fields.find(nameFieldText);
    if (name != fields.end())
        *name = group.name;
    return fields;
}

bool isDataGroup(const PlmEntity& entity)
{
    if (!entity.geometry.asGroup())
        return false;
    for (auto it = entity.attributes.cbegin(); it != entity.attributes.cend(); ++it) {
        if (it.key().startsWith(dataPrefixText) && !isReservedDataKey(it.key()))
            return true;
    }
    return false;
}

QList<GroupText> groupTexts(const PlmEntity& group, const QStringList& path)
{
    QList<GroupText> texts;
    if (const PlmEntityList* members = group.geometry.asGroup())
        collectTexts(*members, path, {}, texts, 0);
    return texts;
}

QString normalizedName(const QString& name)
{
    const QString folded = PlmTextFolding::folded(name);
    if (folded == QLatin1String("nom"))
        return QStringLiteral("name");
    if (folded == QLatin1String("symbole"))
        return QStringLiteral("symbol");
    if (folded == QLatin1String("numero"))
        return QStringLiteral("number");
    if (folded == QLatin1String("libelle"))
        return QStringLiteral("label");
    return folded;
}

std::optional<qsizetype> namedVariableIndex(const QString& field, const QList<PlmVariable>& variables)
{
    return VariableLookup(variables).named(field);
}

std::optional<qsizetype> boundVariableIndex(const QString& field,
                                            const QMap<QString, QString>& previousAttributes,
                                            const QMap<QString, QString>& newAttributes,
                                            const QList<PlmVariable>& variables)
{
    return VariableLookup(variables).bound(field, previousAttributes, newAttributes);
}

void rebindTexts(PlmEntity& entity, const PlmEntity& previous, const QString& topLevelID,
                 bool resolveVariables, QList<PlmVariable>& variables,
                 const QHash<QString, const PlmVariable*>& previousVariables)
{
    const VariableLookup lookup(variables);
    rebindEntity(entity, previous, topLevelID, resolveVariables, variables, previousVariables, lookup, 0);
}

} // namespace PlmTextBinding

void PlmWork::rebindVariableTexts(const PlmWork& previous)
{
    const PlmEntityList& before = previous.map.entities;
    // Twins are usually at the same position; the index by id is built only when one is not.
    QHash<QString, qsizetype> previousEntities;
    const auto twinOf = [&](qsizetype i, const QString& id) -> qsizetype {
        if (i < before.size() && before.at(i).id == id)
            return i;
        if (previousEntities.isEmpty()) {
            previousEntities.reserve(before.size());
            for (qsizetype j = before.size() - 1; j >= 0; --j)
                previousEntities.insert(before.at(j).id, j); // the first twin wins
        }
        return previousEntities.value(id, -1);
    };
    QHash<QString, const PlmVariable*> previousVariables;
    for (qsizetype i = previous.variables.size() - 1; i >= 0; --i)
        previousVariables.insert(previous.variables.at(i).id, &previous.variables.at(i));

    // Changes are made on copies and stored only when every entity succeeded.
    PlmEntityList entities = map.entities;
    QList<PlmVariable> newVariables = variables;
    const PlmTextBinding::VariableLookup lookup(newVariables);
    for (qsizetype i = 0; i < entities.size(); ++i) {
        const PlmEntity& current = entities.at(i);
        const bool isText = current.geometry.asText();
        if (!isText && !current.geometry.asGroup())
            continue; // only texts and groups show data
        const qsizetype twin = twinOf(i, current.id);
        if (twin < 0)
            continue;
        const PlmEntity& old = before.at(twin);
        if (isText ? !old.geometry.asText() : !old.geometry.asGroup())
            continue;
        PlmEntity entity = current;
        PlmTextBinding::rebindEntity(entity, old, entity.id, true, newVariables, previousVariables, lookup, 0);
        if (!(entity == current))
            entities.replace(i, entity);
    }
    map.entities = entities;
    variables = newVariables;
}
