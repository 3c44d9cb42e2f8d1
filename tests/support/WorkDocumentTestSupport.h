#pragma once

#include "app/PlmWorkDocument.h"
#include "app/StudioWindowInterface.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentWindowController.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QStringList>
#include <functional>

// A studio window that records what the work document asks of it.
class FakeStudioWindow : public DocumentWindowController, public StudioWindowInterface {
public:
    int reloads = 0;
    int reveals = 0;
    QList<std::pair<QSet<QString>, std::optional<QString>>> selections;
    bool acceptCommit = true;
    int commits = 0;
    std::function<void(PlmWork&)> composition;

    void reloadObjects() override { ++reloads; }
    void selectObjects(const QSet<QString>& ids, const std::optional<QString>& primary) override
    {
        selections.append({ids, primary});
    }
    bool commitEditing() override
    {
        ++commits;
        return acceptCommit;
    }
    bool revealData() override
    {
        ++reveals;
        return commitEditing();
    }
    void storeComposition(PlmWork& work) const override
    {
        if (composition)
            composition(work);
    }
};

// Installs the fake window as the studio window of every work document for one test.
struct FakeStudioWindows {
    FakeStudioWindows()
    {
        PlmWorkDocument::setStudioWindowFactory([](PlmWorkDocument*) { return new FakeStudioWindow; });
    }
    ~FakeStudioWindows() { PlmWorkDocument::setStudioWindowFactory(nullptr); }
};

inline FakeStudioWindow* fakeWindowOf(PlmWorkDocument& document)
{
    return dynamic_cast<FakeStudioWindow*>(document.studioController());
}

inline PlmEntity square(const QString& id, double x = 0)
{
    PlmPolygon polygon;
    polygon.exterior = {{x, 0}, {x + 1, 0}, {x + 1, 1}, {x, 1}, {x, 0}};
    return PlmEntity(id, QStringLiteral("Entité ") + id, PlmGeometry::polygon(polygon), PlmStyle());
}

inline PlmVariable numberVariable(const QString& id, const QString& name, const QMap<QString, double>& cells)
{
    QMap<QString, PlmValue> values;
    for (auto it = cells.cbegin(); it != cells.cend(); ++it)
        values.insert(it.key(), PlmValue::number(it.value()));
    return PlmVariable(id, name, PlmVariableType::number, values, std::nullopt);
}

// Five squares "a".."e" and a population variable.
inline PlmWork smallWork()
{
    PlmWork work;
    work.map.name = QStringLiteral("Régions");
    for (const char* id : {"a", "b", "c", "d", "e"})
        work.map.entities.append(square(QString::fromLatin1(id)));
    work.variables = {numberVariable(QStringLiteral("pop"), QStringLiteral("Population"),
                                     {{QStringLiteral("a"), 10}, {QStringLiteral("b"), 20}, {QStringLiteral("c"), 30},
                                      {QStringLiteral("d"), 40}, {QStringLiteral("e"), 50}})};
    return work;
}

inline QString messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<aucune erreur>");
}

