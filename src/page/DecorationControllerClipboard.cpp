#include "page/DecorationController.h"

#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "model/PlmJson.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUuid>

#include <algorithm>

namespace {

QString newID() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

} // namespace

void DecorationController::deleteSelection()
{
    commitTextEdit();
    deleteObjects(selectedIDs, QStringLiteral("Supprimer l’habillage"));
    commitTextEdit();
    clearSelection();
    updateSelection();
}

void DecorationController::deleteObjects(const QSet<QString>& ids, const QString& actionName)
{
    applyChange(actionName, [&ids](PlmDecoration& d) { removeObjects(ids, d); });
}

void DecorationController::removeObjects(const QSet<QString>& ids, PlmDecoration& decoration)
{
    // A built-in legend is hidden, never removed.
    if (ids.contains(QStringLiteral("legend")))
        decoration.legend.hidden = true;
    if (ids.contains(QStringLiteral("secondLegend")))
        decoration.secondLegend.hidden = true;
    decoration.objects.removeIf([&ids](const PlmDecorationObject& object) { return ids.contains(object.id); });
}

PlmDecorationObject DecorationController::legendObject(const QString& id) const
{
    const bool first = id == QLatin1String("legend");
    ThematicLegend* view = legendView(id);
    PlmDecorationObject object(newID(), PlmDecorationKind::legend, defaultTitle(PlmDecorationKind::legend),
                               first ? m_canvas->legendPosition : m_canvas->secondLegendPosition);
    object.legendSeries = first ? 0 : 1;
    object.presentation = view->presentation();
    // A legend "deleted" earlier is hidden: the new object must show.
    object.presentation.hidden.reset();
    // The model's bounds: a legend view may be narrower or wider than an object may be.
    object.width = std::clamp(view->frame().width(), 40.0, 2400.0);
    object.height = std::clamp(view->frame().height(), 30.0, 1600.0);
    return object;
}

PlmDecorationObject DecorationController::copiedObject(const PlmDecorationObject& source)
{
    PlmPoint position;
    if (source.presentation.positionInPoints.value_or(false))
        position = PlmPoint{source.position.x + 20, source.position.y - 20};
    else
        position = PlmPoint{std::min(source.position.x + 0.02, 1.0), std::max(source.position.y - 0.02, 0.0)};
    PlmDecorationObject copy(newID(), source.kind, source.text, position);
    copy.width = source.width;
    copy.height = source.height;
    copy.presentation = source.presentation;
    copy.presentation.hidden.reset();
    copy.legendSeries = source.legendSeries;
    copy.bitmap = source.bitmap;
    copy.bitmapType = source.bitmapType;
    copy.symbol = source.symbol;
    return copy;
}

bool DecorationController::canPaste()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasFormat(clipboardType());
}

void DecorationController::performClipboardCommand(const QString& command)
{
    // A legend's Delete key arrives here as "delete": the same deletion as an object's.
    if (command == QLatin1String("delete")) {
        deleteSelection();
        return;
    }
    commitTextEdit();
    QList<PlmDecorationObject> list;
    if (const std::optional<PlmWork> current = work(); current && current->decoration)
        for (const PlmDecorationObject& object : current->decoration->objects)
            if (selectedIDs.contains(object.id))
                list.append(object);
    for (const QString& id : {QStringLiteral("legend"), QStringLiteral("secondLegend")})
        if (selectedIDs.contains(id))
            list.append(legendObject(id));

    if (command == QLatin1String("copy") || command == QLatin1String("cut")) {
        if (list.isEmpty())
            return;
        QByteArray data;
        try {
            data = PlmJson::encode(list);
        } catch (const std::exception&) {
            return;
        }
        auto* mime = new QMimeData;
        mime->setData(clipboardType(), data);
        QGuiApplication::clipboard()->setMimeData(mime);
        if (command == QLatin1String("cut"))
            deleteSelection();
        return;
    }
    if (command == QLatin1String("paste")) {
        const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
        if (!mime || !mime->hasFormat(clipboardType()))
            return;
        try {
            list = PlmJson::decode<QList<PlmDecorationObject>>(mime->data(clipboardType()));
        } catch (const std::exception&) {
            return;
        }
    } else if (command != QLatin1String("duplicate")) {
        return;
    }
    QList<PlmDecorationObject> copies;
    for (const PlmDecorationObject& object : list)
        copies.append(copiedObject(object));
    selectedIDs.clear();
    for (const PlmDecorationObject& copy : copies)
        selectedIDs.insert(copy.id);
    selected = copies.isEmpty() ? std::nullopt : std::optional<QString>(copies.last().id);
    applyChange(QStringLiteral("Coller / dupliquer"), [&copies](PlmDecoration& d) { d.objects.append(copies); });
    updateSelection();
}
