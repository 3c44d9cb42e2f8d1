#pragma once

#include "model/PlmEntity.h"
#include "model/PlmVariable.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

struct PlmWork;

// Texts of a base map that show data, kept in step with the work in both directions: a text
// entity showing its own name, and the texts of a data group (a group whose "data-<field>"
// attributes carry named fields), each showing one field, itself possibly bound to a variable
// by "plm.svg.variable.<field>" or by name. PlmWork::rebindVariableTexts runs it over the whole
// map; the functions below are its steps.
namespace PlmTextBinding {

// Attribute keys.
inline constexpr char16_t dataPrefix[] = u"data-";
inline constexpr char16_t textPropertyKey[] = u"plm.text.property";
inline constexpr char16_t entityNameKey[] = u"plm.text.entity-name";
inline constexpr char16_t variablePrefix[] = u"plm.svg.variable.";
inline constexpr char16_t nameField[] = u"name";

// The group's fields: every "data-<key>" attribute except "data-property", "data-field" and
// "data-bind"; the field "name", when present, holds the entity's name.
QMap<QString, QString> dataFields(const PlmEntity& group);
// A group with at least one field.
bool isDataGroup(const PlmEntity& entity);

// A text entity reached from a group, with the ids from the group's member down to it.
struct GroupText {
    QStringList path;
    QList<qsizetype> indexes; // the member index at each step of the path
    PlmEntity entity;
};

// The text entities under the group's members, depth first in member order, without entering
// member groups that are data groups themselves. `path` prefixes every path.
QList<GroupText> groupTexts(const PlmEntity& group, const QStringList& path = {});

// A field or variable name for matching: folded (case, accents, trimmed), then "nom",
// "symbole", "numero" and "libelle" read as "name", "symbol", "number" and "label".
QString normalizedName(const QString& name);

// The one variable whose normalised name is the field's; none for no match or several.
std::optional<qsizetype> namedVariableIndex(const QString& field, const QList<PlmVariable>& variables);

// The variable bound to a group's field: the id kept in "plm.svg.variable.<field>" of the
// previous, or else the new, group's attributes (that id alone, even when no variable has it);
// without such an attribute, the variable named by the field.
std::optional<qsizetype> boundVariableIndex(const QString& field,
                                            const QMap<QString, QString>& previousAttributes,
                                            const QMap<QString, QString>& newAttributes,
                                            const QList<PlmVariable>& variables);

// The per-entity step. `entity` (changed in place) is the new twin of `previous`; `topLevelID`
// is the id of the map's top-level entity holding them (the row whose values the texts show).
// Variables are looked up and written back only when `resolveVariables`: `variables` are the
// new work's (changed in place), `previousVariables` the previous work's by id.
// Throws PlmWorkError when an edit cannot go back into its variable.
void rebindTexts(PlmEntity& entity, const PlmEntity& previous, const QString& topLevelID,
                 bool resolveVariables, QList<PlmVariable>& variables,
                 const QHash<QString, const PlmVariable*>& previousVariables);

} // namespace PlmTextBinding
