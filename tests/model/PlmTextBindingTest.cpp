#include "model/PlmTextBinding.h"

#include "model/PlmErrors.h"
#include "model/PlmWork.h"
#include "support/PlmWorkTestSupport.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <functional>

using namespace PlmWorkTest;
using Attributes = QMap<QString, QString>;

namespace {

PlmEntity textEntity(const QString& id, const QString& content, const Attributes& attributes = {},
                     std::optional<QString> name = std::nullopt)
{
    PlmText text;
    text.text = content;
    text.fontName = QStringLiteral("Helvetica");
    return PlmEntity(id, name.value_or(id), PlmGeometry::text(text), PlmStyle(), attributes);
}

PlmEntity group(const QString& id, const QString& name, const Attributes& attributes,
                const PlmEntityList& members)
{
    return PlmEntity(id, name, PlmGeometry::group(members), PlmStyle(), attributes);
}

const PlmEntity* find(const PlmEntityList& list, const QStringList& path)
{
    const PlmEntityList* members = &list;
    const PlmEntity* entity = nullptr;
    for (const QString& id : path) {
        if (!members)
            return nullptr;
        const qsizetype i = members->indexOfId(id);
        if (i < 0)
            return nullptr;
        entity = &members->at(i);
        members = entity->geometry.asGroup();
    }
    return entity;
}

PlmEntity& edit(PlmWork& work, const QStringList& path)
{
    PlmEntityList* members = &work.map.entities;
    PlmEntity* entity = nullptr;
    for (const QString& id : path) {
        entity = &members->edit(members->indexOfId(id));
        members = entity->geometry.asGroup();
    }
    return *entity;
}

QString contentAt(const PlmWork& work, const QStringList& path)
{
    return find(work.map.entities, path)->geometry.asText()->text;
}

void setContent(PlmWork& work, const QStringList& path, const QString& content)
{
    edit(work, path).geometry.asText()->text = content;
}

void setValue(PlmWork& work, const QString& variableID, const QString& entityID, std::optional<double> value)
{
    PlmVariable& variable = work.variables[work.variableIndex(variableID)];
    if (value)
        variable.values.insert(entityID, PlmValue::number(*value));
    else
        variable.values.remove(entityID);
}

std::optional<PlmValue> valueOf(const PlmWork& work, const QString& variableID, const QString& entityID)
{
    const PlmVariable* variable = work.variable(variableID);
    if (!variable || !variable->values.contains(entityID))
        return std::nullopt;
    return variable->values.value(entityID);
}

const QStringList groupText{QStringLiteral("G"), QStringLiteral("T")};
const QStringList groupName{QStringLiteral("G"), QStringLiteral("N")};
const QStringList otherText{QStringLiteral("G"), QStringLiteral("U")};
const QStringList innerText{QStringLiteral("G"), QStringLiteral("H"), QStringLiteral("I")};

// A commune: a data group G with the field "pop" (100) shown by the text T, a name text N
// bound by "plm.text.entity-name", and a lone text entity L that shows its own name.
PlmWork commune(const Attributes& textAttributes = {}, const QString& textContent = QStringLiteral("100"))
{
    PlmWork work;
    const PlmEntity communeGroup = group(
        QStringLiteral("G"), QStringLiteral("Lyon"), {{QStringLiteral("data-pop"), QStringLiteral("100")}},
        {textEntity(QStringLiteral("T"), textContent, textAttributes),
         textEntity(QStringLiteral("N"), QStringLiteral("Lyon"), {{QStringLiteral("plm.text.entity-name"), QStringLiteral("G")}})});
    work.map = PlmMap(QStringLiteral("Carte"),
                      {communeGroup, textEntity(QStringLiteral("L"), QStringLiteral("Rhône"), {}, QStringLiteral("Rhône"))});
    work.variables = {numberVariable(QStringLiteral("v-pop"), QStringLiteral("Pop"), {{"G", 100}})};
    return work;
}

struct Case {
    const char* name;
    std::function<PlmWork()> previous;
    std::function<void(PlmWork&)> change;
    std::function<void(const PlmWork&)> check;
    QString error = {}; // the refusal expected instead of a check
};

const QString calculatedMessage = QStringLiteral("Ce texte est lié à une variable calculée : modifiez sa formule.");

const QList<Case>& cases()
{
    static const QList<Case> table = {
        {"renaming a text entity that shows its name changes its text", [] { return commune(); },
         [](PlmWork& w) { edit(w, {QStringLiteral("L")}).name = QStringLiteral("Loire"); },
         [](const PlmWork& w) { EXPECT_EQ(contentAt(w, {QStringLiteral("L")}), QStringLiteral("Loire")); }},

        {"typing into a text entity that shows its name renames it", [] { return commune(); },
         [](PlmWork& w) { setContent(w, {QStringLiteral("L")}, QStringLiteral("Ain")); },
         [](const PlmWork& w) { EXPECT_EQ(find(w.map.entities, {QStringLiteral("L")})->name, QStringLiteral("Ain")); }},

        {"a text entity whose text differs from its name is never touched",
         [] {
             PlmWork w = commune();
             edit(w, {QStringLiteral("L")}).name = QStringLiteral("Étiquette");
             return w;
         },
         [](PlmWork& w) { edit(w, {QStringLiteral("L")}).name = QStringLiteral("Autre"); },
         [](const PlmWork& w) { EXPECT_EQ(contentAt(w, {QStringLiteral("L")}), QStringLiteral("Rhône")); }},

        {"a changed variable value reaches the field and its text", [] { return commune(); },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 250.5); },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, groupText), QStringLiteral("250,5"));
             const PlmEntity& g = *find(w.map.entities, {QStringLiteral("G")});
             EXPECT_EQ(g.attributes.value(QStringLiteral("data-pop")), QStringLiteral("250,5"));
             EXPECT_EQ(g.attributes.value(QStringLiteral("plm.svg.variable.pop")), QStringLiteral("v-pop"));
             // Found by its value once, the text is bound by its key from now on.
             EXPECT_EQ(find(w.map.entities, groupText)->attributes.value(QStringLiteral("plm.text.property")),
                       QStringLiteral("pop"));
         }},

        {"a text bound to a number variable edited to 12,5 stores 12.5", [] { return commune(); },
         [](PlmWork& w) { setContent(w, groupText, QStringLiteral("12,5")); },
         [](const PlmWork& w) {
             EXPECT_EQ(valueOf(w, QStringLiteral("v-pop"), QStringLiteral("G")), PlmValue::number(12.5));
             EXPECT_EQ(contentAt(w, groupText), QStringLiteral("12,5"));
             EXPECT_EQ(find(w.map.entities, {QStringLiteral("G")})->attributes.value(QStringLiteral("data-pop")),
                       QStringLiteral("12,5"));
         }},

        {"an emptied bound text removes the value", [] { return commune(); },
         [](PlmWork& w) { setContent(w, groupText, QString()); },
         [](const PlmWork& w) {
             EXPECT_EQ(valueOf(w, QStringLiteral("v-pop"), QStringLiteral("G")), std::nullopt);
             EXPECT_EQ(find(w.map.entities, {QStringLiteral("G")})->attributes.value(QStringLiteral("data-pop")), QString());
         }},

        {"a text bound to a calculated variable refuses the edit",
         [] {
             PlmWork w = commune();
             w.variables.first().calculation = PlmCalculation{QStringLiteral("100"), 0};
             return w;
         },
         [](PlmWork& w) { setContent(w, groupText, QStringLiteral("12")); }, nullptr, calculatedMessage},

        {"a field edited in the group's attributes on a calculated variable is refused",
         [] {
             PlmWork w = commune();
             w.variables.first().calculation = PlmCalculation{QStringLiteral("100"), 0};
             return w;
         },
         [](PlmWork& w) { edit(w, {QStringLiteral("G")}).attributes.insert(QStringLiteral("data-pop"), QStringLiteral("7")); },
         nullptr, calculatedMessage},

        {"a bound text that is not a number is refused with the parser's message", [] { return commune(); },
         [](PlmWork& w) { setContent(w, groupText, QStringLiteral("beaucoup")); }, nullptr,
         QStringLiteral("Nombre attendu : utilisez par exemple 1234,5. Une cellule vide signifie une donnée absente.")},

        {"a field edited in the attributes goes back into the variable", [] { return commune(); },
         [](PlmWork& w) { edit(w, {QStringLiteral("G")}).attributes.insert(QStringLiteral("data-pop"), QStringLiteral("300")); },
         [](const PlmWork& w) {
             EXPECT_EQ(valueOf(w, QStringLiteral("v-pop"), QStringLiteral("G")), PlmValue::number(300));
             EXPECT_EQ(contentAt(w, groupText), QStringLiteral("300"));
         }},

        {"a text naming a key that is no field keeps its content",
         [] { return commune({{QStringLiteral("plm.text.property"), QStringLiteral("surface")}}, QStringLiteral("42")); },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 5); },
         [](const PlmWork& w) { EXPECT_EQ(contentAt(w, groupText), QStringLiteral("42")); }},

        {"renaming the group changes the text bound to its name", [] { return commune(); },
         [](PlmWork& w) { edit(w, {QStringLiteral("G")}).name = QStringLiteral("Paris"); },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, groupName), QStringLiteral("Paris"));
             EXPECT_EQ(find(w.map.entities, {QStringLiteral("G")})->attributes.value(QStringLiteral("data-name")),
                       QStringLiteral("Paris"));
         }},

        {"editing the name text renames the group", [] { return commune(); },
         [](PlmWork& w) { setContent(w, groupName, QStringLiteral("Nice")); },
         [](const PlmWork& w) { EXPECT_EQ(find(w.map.entities, {QStringLiteral("G")})->name, QStringLiteral("Nice")); }},

        {"two variables folding to 'number' leave the field unbound",
         [] {
             PlmWork w = commune();
             edit(w, {QStringLiteral("G")}).attributes = {{QStringLiteral("data-number"), QStringLiteral("4")}};
             setContent(w, groupText, QStringLiteral("4"));
             w.variables = {numberVariable(QStringLiteral("n1"), QStringLiteral("Numéro"), {{"G", 4}}),
                            numberVariable(QStringLiteral("n2"), QStringLiteral("numero "), {{"G", 4}})};
             return w;
         },
         [](PlmWork& w) { setContent(w, groupText, QStringLiteral("5")); },
         [](const PlmWork& w) {
             EXPECT_EQ(valueOf(w, QStringLiteral("n1"), QStringLiteral("G")), PlmValue::number(4));
             EXPECT_EQ(valueOf(w, QStringLiteral("n2"), QStringLiteral("G")), PlmValue::number(4));
             const PlmEntity& g = *find(w.map.entities, {QStringLiteral("G")});
             EXPECT_EQ(g.attributes.value(QStringLiteral("data-number")), QStringLiteral("5"));
             EXPECT_FALSE(g.attributes.contains(QStringLiteral("plm.svg.variable.number")));
         }},

        {"a field 'Libellé' and a variable 'label' are matched",
         [] {
             PlmWork w = commune();
             edit(w, {QStringLiteral("G")}).attributes = {{QStringLiteral("data-Libellé"), QStringLiteral("Nord")}};
             setContent(w, groupText, QStringLiteral("Nord"));
             w.variables = {textVariable(QStringLiteral("lab"), QStringLiteral("label"), {{"G", "Nord"}})};
             return w;
         },
         [](PlmWork& w) { setContent(w, groupText, QStringLiteral("Sud")); },
         [](const PlmWork& w) {
             EXPECT_EQ(valueOf(w, QStringLiteral("lab"), QStringLiteral("G")), PlmValue::text(QStringLiteral("Sud")));
         }},

        {"an unknown bound variable id leaves the field without a variable",
         [] {
             PlmWork w = commune();
             edit(w, {QStringLiteral("G")}).attributes.insert(QStringLiteral("plm.svg.variable.pop"), QStringLiteral("gone"));
             return w;
         },
         [](PlmWork& w) { setContent(w, groupText, QStringLiteral("abc")); },
         [](const PlmWork& w) {
             EXPECT_EQ(valueOf(w, QStringLiteral("v-pop"), QStringLiteral("G")), PlmValue::number(100));
             const PlmEntity& g = *find(w.map.entities, {QStringLiteral("G")});
             EXPECT_EQ(g.attributes.value(QStringLiteral("data-pop")), QStringLiteral("abc"));
             EXPECT_EQ(g.attributes.value(QStringLiteral("plm.svg.variable.pop")), QStringLiteral("gone"));
         }},

        {"two unmarked texts showing the same value bind neither",
         [] {
             PlmWork w = commune();
             edit(w, {QStringLiteral("G")}).geometry.asGroup()->append(textEntity(QStringLiteral("U"), QStringLiteral("100")));
             return w;
         },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 7); },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, groupText), QStringLiteral("100"));
             EXPECT_EQ(contentAt(w, otherText), QStringLiteral("100"));
             EXPECT_EQ(find(w.map.entities, {QStringLiteral("G")})->attributes.value(QStringLiteral("data-pop")),
                       QStringLiteral("7"));
         }},

        {"a text showing the same number in another spelling is bound by its value",
         [] { return commune({}, QStringLiteral("100,0")); },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 8); },
         [](const PlmWork& w) { EXPECT_EQ(contentAt(w, groupText), QStringLiteral("8")); }},

        {"a text showing the values of two fields binds to neither",
         [] {
             PlmWork w = commune();
             edit(w, {QStringLiteral("G")}).attributes.insert(QStringLiteral("data-total"), QStringLiteral("100,0"));
             w.variables.append(numberVariable(QStringLiteral("v-total"), QStringLiteral("Total"), {{"G", 100}}));
             return w;
         },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 7); },
         [](const PlmWork& w) { EXPECT_EQ(contentAt(w, groupText), QStringLiteral("100")); }},

        {"a percentage field is shown by its number without the sign",
         [] {
             PlmWork w = commune({}, QStringLiteral("12.5"));
             edit(w, {QStringLiteral("G")}).attributes = {{QStringLiteral("data-part"), QStringLiteral("12,5 %")}};
             w.variables = {numberVariable(QStringLiteral("v-part"), QStringLiteral("Part"), {{"G", 12.5}},
                                           PlmVariableType::percentage)};
             return w;
         },
         [](PlmWork& w) {
             w.variables[0].values.insert(QStringLiteral("G"), PlmValue::percentage(20));
         },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, groupText), QStringLiteral("20 %"));
             EXPECT_EQ(find(w.map.entities, {QStringLiteral("G")})->attributes.value(QStringLiteral("data-part")),
                       QStringLiteral("20 %"));
         }},

        {"a text showing minus zero shows the number zero",
         [] {
             PlmWork w = commune({}, QStringLiteral("-0"));
             edit(w, {QStringLiteral("G")}).attributes = {{QStringLiteral("data-pop"), QStringLiteral("0")}};
             setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 0);
             return w;
         },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 3); },
         [](const PlmWork& w) { EXPECT_EQ(contentAt(w, groupText), QStringLiteral("3")); }},

        {"a text naming a variable adds the field to a plain group",
         [] {
             PlmWork w = commune({{QStringLiteral("plm.text.property"), QStringLiteral("pop")}});
             edit(w, {QStringLiteral("G")}).attributes.clear();
             return w;
         },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 64); },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, groupText), QStringLiteral("64"));
             const PlmEntity& g = *find(w.map.entities, {QStringLiteral("G")});
             EXPECT_EQ(g.attributes.value(QStringLiteral("data-pop")), QStringLiteral("64"));
             EXPECT_EQ(g.attributes.value(QStringLiteral("plm.svg.variable.pop")), QStringLiteral("v-pop"));
         }},

        {"a nested data group keeps its own fields, unbound to variables",
         [] {
             PlmWork w = commune();
             const PlmEntity inner = group(QStringLiteral("H"), QStringLiteral("Quartier"),
                                           {{QStringLiteral("data-pop"), QStringLiteral("5")}},
                                           {textEntity(QStringLiteral("I"), QStringLiteral("5"))});
             edit(w, {QStringLiteral("G")}).geometry.asGroup()->append(inner);
             return w;
         },
         [](PlmWork& w) {
             setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 120);
             setContent(w, innerText, QStringLiteral("6"));
         },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, groupText), QStringLiteral("120"));
             EXPECT_EQ(contentAt(w, innerText), QStringLiteral("6"));
             const PlmEntity& h = *find(w.map.entities, {QStringLiteral("G"), QStringLiteral("H")});
             EXPECT_EQ(h.attributes.value(QStringLiteral("data-pop")), QStringLiteral("6"));
             EXPECT_FALSE(h.attributes.contains(QStringLiteral("plm.svg.variable.pop")));
             EXPECT_EQ(valueOf(w, QStringLiteral("v-pop"), QStringLiteral("G")), PlmValue::number(120));
         }},

        {"plain groups nested in each other pass renames down to a text showing its name",
         [] {
             PlmWork w = commune();
             PlmEntity nested = textEntity(QStringLiteral("Z"), QStringLiteral("Saône"), {}, QStringLiteral("Saône"));
             for (int level = 3; level >= 1; --level)
                 nested = group(QStringLiteral("P%1").arg(level), QString(), {}, {nested});
             w.map.entities.append(nested);
             return w;
         },
         [](PlmWork& w) {
             edit(w, {QStringLiteral("P1"), QStringLiteral("P2"), QStringLiteral("P3"), QStringLiteral("Z")}).name =
                 QStringLiteral("Doubs");
         },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, {QStringLiteral("P1"), QStringLiteral("P2"), QStringLiteral("P3"), QStringLiteral("Z")}),
                       QStringLiteral("Doubs"));
         }},

        {"a text naming its field by data-field is bound by that key",
         [] { return commune({{QStringLiteral("data-field"), QStringLiteral("pop")}}, QStringLiteral("environ cent")); },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 101); },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, groupText), QStringLiteral("101"));
             const PlmEntity& t = *find(w.map.entities, groupText);
             EXPECT_EQ(t.attributes.value(QStringLiteral("plm.text.property")), QStringLiteral("pop"));
             EXPECT_EQ(t.attributes.value(QStringLiteral("data-field")), QStringLiteral("pop")); // read, never written
         }},

        {"data-property naming no field falls back to the value shown",
         [] { return commune({{QStringLiteral("data-property"), QStringLiteral("surface")}}); },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 102); },
         [](const PlmWork& w) { EXPECT_EQ(contentAt(w, groupText), QStringLiteral("102")); }},

        {"a bound text whose name was its content is renamed with it",
         [] {
             PlmWork w = commune();
             edit(w, groupText).name = QStringLiteral("100");
             return w;
         },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 103); },
         [](const PlmWork& w) { EXPECT_EQ(find(w.map.entities, groupText)->name, QStringLiteral("103")); }},

        {"texts inside a plain member group belong to the data group",
         [] {
             PlmWork w = commune();
             PlmEntity& g = edit(w, {QStringLiteral("G")});
             g.geometry.asGroup()->removeAt(0);
             g.geometry.asGroup()->append(group(QStringLiteral("P"), QString(), {},
                                               {textEntity(QStringLiteral("T"), QStringLiteral("100"))}));
             return w;
         },
         [](PlmWork& w) { setValue(w, QStringLiteral("v-pop"), QStringLiteral("G"), 104); },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, {QStringLiteral("G"), QStringLiteral("P"), QStringLiteral("T")}), QStringLiteral("104"));
         }},

        {"an edit that cannot be stored in one group refuses the whole change",
         [] {
             PlmWork w = commune();
             PlmEntity second = w.map.entities.at(0);
             second.id = QStringLiteral("G2");
             w.map.entities.append(second);
             w.variables.first().values.insert(QStringLiteral("G2"), PlmValue::number(100));
             return w;
         },
         [](PlmWork& w) {
             setContent(w, groupText, QStringLiteral("5"));
             setContent(w, {QStringLiteral("G2"), QStringLiteral("T")}, QStringLiteral("cinq"));
         },
         nullptr,
         QStringLiteral("Nombre attendu : utilisez par exemple 1234,5. Une cellule vide signifie une donnée absente.")},

        {"a calculated variable's new result shows with its decimals",
         [] {
             PlmWork w = commune();
             w.variables.append(calculatedVariable(QStringLiteral("v-d"), QStringLiteral("Densité"), QStringLiteral("[Pop] / 3"),
                                                   PlmVariableType::number, 2));
             edit(w, {QStringLiteral("G")}).attributes.insert(QStringLiteral("data-densite"), QString());
             edit(w, groupText).attributes.insert(QStringLiteral("plm.text.property"), QStringLiteral("densite"));
             return w;
         },
         [](PlmWork& w) { w.recomputeCalculatedVariables(); },
         [](const PlmWork& w) {
             EXPECT_EQ(contentAt(w, groupText), QStringLiteral("33,33"));
             EXPECT_EQ(find(w.map.entities, {QStringLiteral("G")})->attributes.value(QStringLiteral("data-densite")),
                       QStringLiteral("33.333333333333336").replace(QLatin1Char('.'), QLatin1Char(',')));
         }},
    };
    return table;
}

} // namespace

TEST(PlmTextBindingTest, RebindingKeepsTextsFieldsAndVariablesInStep)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const PlmWork previous = c.previous();
        PlmWork work = previous;
        c.change(work);
        const PlmWork changed = work;
        if (!c.error.isEmpty()) {
            EXPECT_EQ(thrownMessage<PlmWorkError>([&] { work.rebindVariableTexts(previous); }), c.error);
            EXPECT_EQ(work, changed); // a refusal changes nothing
            continue;
        }
        work.rebindVariableTexts(previous);
        c.check(work);
        // Running it again against the same previous work (as the update does after the
        // recomputation) settles on the same result.
        PlmWork again = work;
        again.rebindVariableTexts(previous);
        EXPECT_EQ(again, work);
    }
}

TEST(PlmTextBindingTest, AnUnchangedWorkStaysEqual)
{
    const PlmWork work = commune();
    PlmWork copy = work;
    copy.rebindVariableTexts(work);
    // Fields whose texts already show them are left alone: nothing is even marked.
    EXPECT_EQ(copy, work);
}

TEST(PlmTextBindingTest, FieldsTextsAndNames)
{
    using namespace PlmTextBinding;
    const PlmEntity g = group(QStringLiteral("G"), QStringLiteral("Lyon"),
                              {{QStringLiteral("data-name"), QStringLiteral("ignored")},
                               {QStringLiteral("data-pop"), QStringLiteral("1")},
                               {QStringLiteral("data-field"), QStringLiteral("pop")},
                               {QStringLiteral("other"), QStringLiteral("x")}},
                              {textEntity(QStringLiteral("A"), QStringLiteral("a")),
                               group(QStringLiteral("P"), QString(), {}, {textEntity(QStringLiteral("B"), QStringLiteral("b"))}),
                               group(QStringLiteral("D"), QString(), {{QStringLiteral("data-x"), QStringLiteral("1")}},
                                     {textEntity(QStringLiteral("C"), QStringLiteral("c"))}),
                               PlmWorkTest::pointEntity(QStringLiteral("pt"))});
    EXPECT_EQ(dataFields(g), (Attributes{{QStringLiteral("name"), QStringLiteral("Lyon")}, {QStringLiteral("pop"), QStringLiteral("1")}}));
    EXPECT_TRUE(isDataGroup(g));

    const QList<GroupText> texts = groupTexts(g);
    ASSERT_EQ(texts.size(), 2); // the data group D is not entered
    EXPECT_EQ(texts.at(0).path, QStringList{QStringLiteral("A")});
    EXPECT_EQ(texts.at(1).path, (QStringList{QStringLiteral("P"), QStringLiteral("B")}));

    EXPECT_EQ(normalizedName(QStringLiteral(" Numéro\n")), QStringLiteral("number"));
    EXPECT_EQ(normalizedName(QStringLiteral("NOM")), QStringLiteral("name"));
    EXPECT_EQ(normalizedName(QStringLiteral("Symbole")), QStringLiteral("symbol"));
    EXPECT_EQ(normalizedName(QStringLiteral("Libellés")), QStringLiteral("libelles"));

    const QList<PlmVariable> variables{numberVariable(QStringLiteral("x"), QStringLiteral("Nom"), {}),
                                       numberVariable(QStringLiteral("y"), QStringLiteral("Pop"), {})};
    EXPECT_EQ(boundVariableIndex(QStringLiteral("name"), {}, {}, variables), 0);
    EXPECT_EQ(boundVariableIndex(QStringLiteral("name"), {{QStringLiteral("plm.svg.variable.name"), QStringLiteral("y")}}, {}, variables), 1);
    EXPECT_EQ(boundVariableIndex(QStringLiteral("name"), {}, {{QStringLiteral("plm.svg.variable.name"), QStringLiteral("y")}}, variables), 1);
    EXPECT_EQ(boundVariableIndex(QStringLiteral("name"), {{QStringLiteral("plm.svg.variable.name"), QStringLiteral("z")}}, {}, variables),
              std::nullopt);
}

// The update's order: rebind against the work before the change, recompute, rebind again.
TEST(PlmTextBindingTest, AnEditedValueReachesTheTextsOfFormulasThatUseIt)
{
    PlmWork previous = commune();
    previous.variables.append(calculatedVariable(QStringLiteral("v-d"), QStringLiteral("Demi"),
                                                 QStringLiteral("[Pop] / 2"), PlmVariableType::number, 1));
    PlmEntity& g = edit(previous, {QStringLiteral("G")});
    g.attributes.insert(QStringLiteral("data-demi"), QStringLiteral("50"));
    g.geometry.asGroup()->append(textEntity(QStringLiteral("U"), QStringLiteral("50,0"),
                                            {{QStringLiteral("plm.text.property"), QStringLiteral("demi")}}));
    previous.recomputeCalculatedVariables();

    PlmWork work = previous;
    setContent(work, groupText, QStringLiteral("301"));
    work.rebindVariableTexts(previous);
    work.recomputeCalculatedVariables();
    work.rebindVariableTexts(previous);

    EXPECT_EQ(valueOf(work, QStringLiteral("v-pop"), QStringLiteral("G")), PlmValue::number(301));
    EXPECT_EQ(contentAt(work, otherText), QStringLiteral("150,5"));
    EXPECT_EQ(contentAt(work, groupText), QStringLiteral("301"));
    EXPECT_EQ(find(work.map.entities, {QStringLiteral("G")})->attributes.value(QStringLiteral("data-demi")),
              QStringLiteral("150,5"));
}
