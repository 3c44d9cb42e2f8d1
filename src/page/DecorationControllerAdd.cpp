#include "page/DecorationController.h"

#include "page/DecorationDrawing.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "model/PlmErrors.h"
#include "model/PlmSpatialDecoration.h"
#include "desktop/DialogHooks.h"
#include "desktop/ViewHost.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QUuid>

#include <algorithm>

namespace {

QString newID() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

} // namespace

std::function<PlmMap(const QString& path)> DecorationController::svgImporter;

PlmProportionalSettings DecorationController::symbolSettings(const std::optional<QString>& sfName,
                                                             const std::optional<PlmMap>& svg)
{
    PlmProportionalSettings settings;
    settings.kind = svg ? PlmSymbolKind::svg : PlmSymbolKind::sfSymbol;
    settings.maximumSize = 60;
    settings.color = PlmColor{0.8, 0.18, 0.16, 0.85};
    if (!svg) {
        settings.sfSymbolName = sfName;
        settings.sfConfiguration = PlmSFSymbolConfiguration::regularMediumMonochrome;
    }
    settings.svgVector = svg;
    return settings;
}

void DecorationController::addObject(PlmDecorationKind kind)
{
    commitTextEdit();
    const std::optional<PlmWork> current = work();
    if (!current)
        return;
    if (kind == PlmDecorationKind::image || kind == PlmDecorationKind::svg) {
        chooseImageFile(kind);
        return;
    }
    if (kind == PlmDecorationKind::sfSymbol) {
        QPointer<DecorationController> self(this);
        const auto named = [self](const QString& name) {
            if (self && !name.isEmpty())
                self->addSFSymbol(name);
        };
        if (chooseSymbolToAdd) {
            chooseSymbolToAdd(named, [self](const PlmMap& map, const QString& name) {
                if (self)
                    self->addSVGSymbol(map, name);
            });
        } else if (chooseSFSymbol) {
            chooseSFSymbol(named);
        }
        return;
    }
    if (kind == PlmDecorationKind::legend) {
        PlmDecorationObject object = legendObject(QStringLiteral("legend"));
        object.position = PlmPoint{0.5, 0.5};
        object.presentation.positionInPoints.reset();
        insertObject(object);
        return;
    }
    if (kind == PlmDecorationKind::scale) {
        // A trial view measures the bar where a new one lands.
        auto* trial = new DecorationObjectView(PlmDecorationObject(newID(), PlmDecorationKind::scale));
        trial->vector = m_canvas->vector();
        m_canvas->addSubview(trial);
        trial->setFrame(QRectF(20, 20, 220, 64));
        const std::optional<double> measure = trial->measureScale();
        trial->removeFromSuperview();
        delete trial;
        if (!measure) {
            alert(scaleAlert());
            return;
        }
    }
    if (kind == PlmDecorationKind::north && !PlmSpatialDecoration::isGeographic(current->map)) {
        alert(northAlert());
        return;
    }
    std::optional<QString> text;
    if (kind == PlmDecorationKind::source) {
        const QMap<QString, QString>& metadata = current->map.metadata;
        if (metadata.contains(QStringLiteral("source.attribution")))
            text = metadata.value(QStringLiteral("source.attribution"));
        else if (metadata.contains(QStringLiteral("attribution")))
            text = metadata.value(QStringLiteral("attribution"));
        else
            text = QStringLiteral("Source : …");
    }
    insertObject(PlmDecorationObject(newID(), kind, text));
    if (isText(kind))
        beginTextEdit();
}

void DecorationController::insertObject(const PlmDecorationObject& object)
{
    selected = object.id;
    selectedIDs = {object.id};
    applyChange(QStringLiteral("Ajouter ") + defaultTitle(object.kind),
                [&object](PlmDecoration& d) { d.objects.append(object); });
    updateSelection();
}

void DecorationController::chooseImageFile(PlmDecorationKind kind)
{
    ViewHost* host = m_canvas->host();
    if (!host)
        return;
    DialogHooks::OpenPanelRequest request;
    request.extensions = kind == PlmDecorationKind::svg
        ? QStringList{QStringLiteral("svg")}
        : QStringList{QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("tif"),
                      QStringLiteral("tiff")};
    request.window = host->window();
    const std::optional<QStringList> paths = DialogHooks::runOpenPanel(request);
    if (paths && !paths->isEmpty())
        importImage(paths->first(), kind);
}

PlmDecorationObject DecorationController::imageObject(const QString& path, const QString& id)
{
    // The size first: a file above the limit is never read.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PlmWorkError(file.errorString());
    if (file.size() > imageByteLimit())
        throw PlmWorkError(imageError());
    const QByteArray data = file.read(imageByteLimit() + 1);
    if (data.size() > imageByteLimit())
        throw PlmWorkError(imageError());
    // The header, then the pixels, capped as any image of the page.
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0
        || qint64(size.width()) * size.height() > decorationBitmapMaxPixels)
        throw PlmWorkError(imageError());
    const QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw PlmWorkError(imageError());
    PlmDecorationObject object(id, PlmDecorationKind::image);
    object.bitmap = data;
    object.bitmapType = QFileInfo(path).suffix().toLower();
    object.height = std::clamp(object.width * image.height() / image.width(), 30.0, 1600.0);
    PlmEditingStyle style = object.presentation.effectiveEditingStyle();
    style.lockRatio = true;
    object.presentation.setEffectiveEditingStyle(style);
    return object;
}

void DecorationController::importImage(const QString& path, PlmDecorationKind kind)
{
    try {
        if (kind == PlmDecorationKind::svg) {
            if (!svgImporter)
                return;
            const PlmMap map = svgImporter(path);
            PlmDecorationObject object(newID(), PlmDecorationKind::svg);
            object.symbol = symbolSettings(std::nullopt, map);
            insertObject(object);
            return;
        }
        insertObject(imageObject(path, newID()));
    } catch (const PlmError& error) {
        presentError(error.message());
    }
}

void DecorationController::addSFSymbol(const QString& name)
{
    PlmDecorationObject object(newID(), PlmDecorationKind::sfSymbol);
    object.symbol = symbolSettings(name, std::nullopt);
    insertObject(object);
}

void DecorationController::addSVGSymbol(const PlmMap& map, const QString& name)
{
    PlmDecorationObject object(newID(), PlmDecorationKind::svg, name);
    object.symbol = symbolSettings(std::nullopt, map);
    insertObject(object);
}
