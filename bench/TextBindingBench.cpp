// Speed of rebinding the texts bound to data on a map whose every row is a data group (a commune
// with its fields and a text showing each), as an SVG with "data-" attributes gives. A part of
// the wait after a typed cell (named "Only"), whose whole the studio window's benchmarks time.
// Wall time, as everywhere in these programs.
#include "support/BenchGuard.h"
#include "model/PlmEntity.h"
#include "model/PlmWork.h"

#include <benchmark/benchmark.h>

namespace {

PlmEntity textEntity(const QString& id, const QString& content, const QMap<QString, QString>& attributes)
{
    PlmText text;
    text.text = content;
    text.fontName = QStringLiteral("Helvetica");
    return PlmEntity(id, id, PlmGeometry::text(text), PlmStyle(), attributes);
}

// `groups` data groups with the fields pop, nom and code, a text bound to pop and one showing
// the group's name; `variables` number variables, the first one named "Pop".
PlmWork dataGroupWork(int groups, int variables)
{
    PlmWork work;
    for (int v = 0; v < variables; ++v)
        work.variables.append(PlmVariable(QStringLiteral("v%1").arg(v),
                                          v == 0 ? QStringLiteral("Pop") : QStringLiteral("Variable %1").arg(v),
                                          PlmVariableType::number, {}, std::nullopt));
    PlmEntityList entities;
    for (int i = 0; i < groups; ++i) {
        const QString id = QStringLiteral("G%1").arg(i);
        PlmEntityList members;
        members.append(textEntity(id + QStringLiteral("T"), QStringLiteral("100"),
                                  {{QStringLiteral("plm.text.property"), QStringLiteral("pop")}}));
        members.append(textEntity(id + QStringLiteral("N"), QStringLiteral("Commune"),
                                  {{QStringLiteral("plm.text.entity-name"), id}}));
        entities.append(PlmEntity(id, QStringLiteral("Commune"), PlmGeometry::group(members), PlmStyle(),
                                  {{QStringLiteral("data-pop"), QStringLiteral("100")},
                                   {QStringLiteral("data-nom"), QStringLiteral("Commune")},
                                   {QStringLiteral("data-code"), QString::number(i)}}));
        work.variables[0].values.insert(id, PlmValue::number(100));
    }
    work.map.entities = entities;
    return work;
}

void BM_RebindDataGroupsAfterOneCellOnly(benchmark::State& state)
{
    const PlmWork previous = dataGroupWork(35000, int(state.range(0)));
    PlmWork changed = previous;
    changed.variables[0].values.insert(QStringLiteral("G17"), PlmValue::number(42));
    for (auto _ : state) {
        PlmWork work = changed;
        work.rebindVariableTexts(previous);
        benchmark::DoNotOptimize(work.map.entities.size());
    }
    state.counters["groups"] = 35000;
}

} // namespace

PLM_BENCHMARK(BM_RebindDataGroupsAfterOneCellOnly)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
