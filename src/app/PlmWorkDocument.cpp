#include "app/PlmWorkDocument.h"

#include "app/PlmMapDocument.h"
#include "app/StudioWindowInterface.h"
#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"
#include "model/PlmWorkCodec.h"
#include "platform/Bookmark.h"
#include "desktop/DocumentController.h"
#include "platform/DocumentType.h"
#include "desktop/DocumentWindowController.h"
#include "desktop/WindowTeardown.h"
#include "platform/UserDefaults.h"
#include "platform/WorkUndo.h"

#include <QDebug>
#include <QFileInfo>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>
#include <QWidget>
#include <algorithm>
#include <memory>

const QString PlmWorkDocument::plmType = QStringLiteral("ondrel.pelmorastudio.plm");
const QString PlmWorkDocument::lastDocumentKey = QStringLiteral("Studio.LastDocumentBookmark");

namespace {

// What a .plmmap cannot hold: data, decorations, a background image, a print page, the
// entity names' display.
bool keepsMoreThanTheMap(const PlmWork& w)
{
    if (!w.variables.isEmpty())
        return true;
    if (!w.decoration)
        return false;
    const PlmDecoration& d = *w.decoration;
    return !d.objects.isEmpty() || d.backgroundImage || d.printPage || d.showEntityNames.value_or(false)
        || d.entityNameFontName || d.entityNameFontSize || (d.entityNamePositions && !d.entityNamePositions->isEmpty());
}

PlmWorkDocument::StudioWindowFactory& studioWindowFactory()
{
    static PlmWorkDocument::StudioWindowFactory factory;
    return factory;
}

bool hasSurrogates(const QString& s)
{
    return std::any_of(s.cbegin(), s.cend(), [](QChar c) { return c.isSurrogate(); });
}

// Plain string order by code point: UTF-16 code units alone would put characters beyond
// U+FFFF before U+E000…U+FFFF.
bool codePointLess(const QString& a, const QString& b)
{
    if (!hasSurrogates(a) && !hasSurrogates(b))
        return a < b;
    const QList<uint> x = a.toUcs4();
    const QList<uint> y = b.toUcs4();
    return std::lexicographical_compare(x.cbegin(), x.cend(), y.cbegin(), y.cend());
}

std::optional<QString> smallest(const QSet<QString>& ids)
{
    std::optional<QString> best;
    for (const QString& id : ids)
        if (!best || codePointLess(id, *best))
            best = id;
    return best;
}

// The ids of the set that name top-level entities of the map. `known`, when given, holds the
// map's top-level ids; otherwise a few ids are looked up one by one and a large selection
// builds the set of every id once. A set that loses nothing is returned shared, not rebuilt.
QSet<QString> existingTopLevel(const PlmWork& work, const QSet<QString>& ids, const QSet<QString>* known)
{
    if (ids.isEmpty())
        return {};
    QSet<QString> all;
    if (!known && ids.size() > 16) {
        all = work.topLevelEntityIDs();
        known = &all;
    }
    const auto exists = [&](const QString& id) {
        return known ? known->contains(id) : work.map.entities.indexOfId(id) >= 0;
    };
    QList<QString> missing;
    for (const QString& id : ids)
        if (!exists(id))
            missing.append(id);
    QSet<QString> kept = ids;
    for (const QString& id : std::as_const(missing))
        kept.remove(id);
    return kept;
}

} // namespace

QString PlmWorkDocument::plmMapType()
{
    return PlmMapCodec::fileTypeIdentifier;
}

QString PlmWorkDocument::mapOnlyMessage()
{
    return QStringLiteral("Enregistrez au format .plm pour conserver les données, l’habillage, l’image de fond, "
                          "la page d’impression et l’affichage des noms. Le .plmmap contient uniquement le fond vectoriel.");
}

QString PlmWorkDocument::plmOnlyMessage()
{
    return QStringLiteral("Les données doivent être enregistrées dans un document .plm.");
}

void PlmWorkDocument::registerDocumentTypes()
{
    DocumentTypes::registerType({plmType, QStringLiteral("Document Pelmora Studio"), {QStringLiteral("plm")},
                                 [] { return new PlmWorkDocument; }});
    DocumentTypes::registerType({plmMapType(), QStringLiteral("Fond de carte Pelmora Studio"), {QStringLiteral("plmmap")},
                                 [] { return new PlmMapDocument; }});
}

void PlmWorkDocument::setStudioWindowFactory(StudioWindowFactory factory)
{
    studioWindowFactory() = std::move(factory);
}

PlmWorkDocument::PlmWorkDocument(QObject* parent)
    : Document(parent)
{
    storage_.map.name = QStringLiteral("Sans titre");
    setFileType(plmType);
}

PlmWorkDocument::~PlmWorkDocument()
{
    if (!scopedDocumentPath_.isEmpty())
        Bookmark::stopAccessing(scopedDocumentPath_);
    WindowTeardown::destroy(acquisitionDialog_.data());
}

PlmWork PlmWorkDocument::work() const
{
    std::lock_guard<std::mutex> lock(storageLock_);
    return storage_;
}

void PlmWorkDocument::store(const PlmWork& work)
{
    std::lock_guard<std::mutex> lock(storageLock_);
    storage_ = work;
}

void PlmWorkDocument::setWork(const PlmWork& work)
{
    store(work);
    clearUndoHistory();
    primeValidation(work);
    derived_.reset();
    reconcileSelection(work);
    emit workChanged();
    reloadWindows();
}

void PlmWorkDocument::primeValidation(const PlmWork& work)
{
    // The one full check happens when the work arrives rather than at its first keystroke,
    // on a worker: the work is an immutable value, and nothing needs the verdict before the
    // first update or selection check.
    validator_.reset();
    primingValidator_ = QtConcurrent::run([work] {
        auto primed = std::make_shared<PlmWorkDocumentValidator>();
        try {
            primed->validate(work);
        } catch (...) {
            primed->reset(); // not a valid reference: the first update checks everything
        }
        return primed;
    });
}

PlmWorkDocumentValidator& PlmWorkDocument::validator()
{
    if (primingValidator_.isValid()) {
        validator_ = std::move(*primingValidator_.result());
        primingValidator_ = {};
    }
    return validator_;
}

// --- Storage -----------------------------------------------------------------------------

QStringList PlmWorkDocument::writableTypeIdentifiers() const
{
    if (fileType() == plmMapType())
        return {plmMapType(), plmType};
    return {plmType};
}

QString PlmWorkDocument::saveAsTypeIdentifier() const
{
    // The base map's own type would refuse the write again, asking for a .plm.
    if (fileType() == plmMapType() && keepsMoreThanTheMap(work()))
        return plmType;
    return Document::saveAsTypeIdentifier();
}

void PlmWorkDocument::setFilePath(const QString& path)
{
    Document::setFilePath(path);
    if (!filePath().isEmpty())
        rememberLastDocument(filePath());
}

QByteArray PlmWorkDocument::dataOfType(const QString& typeIdentifier) const
{
    return encodeDocument(typeIdentifier);
}

void PlmWorkDocument::readFromData(const QByteArray& data, const QString& typeIdentifier)
{
    decodeDocument(data, typeIdentifier);
}

QByteArray PlmWorkDocument::encodeDocument(const QString& typeIdentifier) const
{
    return dataJobOfType(typeIdentifier)();
}

Document::DataJob PlmWorkDocument::dataJobOfType(const QString& typeIdentifier) const
{
    // The work is an immutable value: the job encodes the copy taken here, whatever the
    // window does to the document meanwhile.
    if (typeIdentifier == plmMapType()) {
        const PlmWork w = work();
        if (keepsMoreThanTheMap(w))
            throw PlmWorkError::invalid(mapOnlyMessage());
        return [map = w.map] { return PlmMapCodec::encode(map); };
    }
    if (typeIdentifier == plmType) {
        PlmWork copy = work();
        if (StudioWindowInterface* window = studioWindow())
            window->storeComposition(copy);
        return [copy] { return PlmWorkCodec::encode(copy); };
    }
    throw PlmWorkError::invalid(plmOnlyMessage());
}

Document::ReadJob PlmWorkDocument::readJobOfData(const QByteArray& data, const QString& typeIdentifier)
{
    // Decoding is pure and may run anywhere; storing touches the document and its windows.
    return [this, data, typeIdentifier]() -> StoreStep {
        auto decoded = std::make_shared<const PlmWork>(decodeWork(data, typeIdentifier));
        return [this, decoded] { storeDecoded(*decoded); };
    };
}

PlmWork PlmWorkDocument::decodeWork(const QByteArray& data, const QString& typeIdentifier)
{
    PlmWork decoded;
    if (typeIdentifier == plmMapType())
        decoded.map = PlmMapCodec::decode(data);
    else
        decoded = PlmWorkCodec::decode(data);
    return decoded;
}

void PlmWorkDocument::decodeDocument(const QByteArray& data, const QString& typeIdentifier)
{
    storeDecoded(decodeWork(data, typeIdentifier));
}

void PlmWorkDocument::storeDecoded(const PlmWork& decoded)
{
    store(decoded);
    // The steps kept describe changes of the work just replaced: undoing one now would
    // patch the read work with them.
    clearUndoHistory();
    primeValidation(decoded);
    derived_.reset();
    derived_.noteFresh(decoded); // the codec recomputed its calculated variables
}

void PlmWorkDocument::didRevert()
{
    // The file may have fewer entities than the selection names.
    reconcileSelection(work());
    emit workChanged();
    reloadWindows();
}

bool PlmWorkDocument::prepareToSave()
{
    StudioWindowInterface* window = studioWindow();
    return !window || window->commitEditing();
}

bool PlmWorkDocument::saveDocument()
{
    if (!prepareToSave())
        return false;
    return Document::saveDocument();
}

bool PlmWorkDocument::saveDocumentAs()
{
    if (StudioWindowInterface* window = studioWindow(); window && !window->commitEditing())
        return false;
    return Document::saveDocumentAs();
}

bool PlmWorkDocument::canClose()
{
    if (StudioWindowInterface* window = studioWindow(); window && !window->commitEditing())
        return false;
    return Document::canClose();
}

void PlmWorkDocument::close()
{
    if (isClosed())
        return;
    if (acquisitionDialog_)
        acquisitionDialog_->close();
    if (!scopedDocumentPath_.isEmpty()) {
        Bookmark::stopAccessing(scopedDocumentPath_);
        scopedDocumentPath_.clear();
    }
    Document::close();
}

// --- The undoable update -----------------------------------------------------------------

void PlmWorkDocument::updateWork(const QString& actionName, const WorkChange& change)
{
    const PlmWork previous = work();
    PlmWork next = previous;
    change(next);
    // The derived steps look only at what the change can have touched; their results are
    // those of the work's own full operations.
    const bool uniqueIDs = validator().knowsEntitiesOf(previous);
    derived_.rebindVariableTexts(next, previous, uniqueIDs);
    derived_.recomputeCalculatedVariables(next, previous);
    // Columns the second rebinding changes are no longer described: they are compared whole.
    const std::optional<WorkCellChanges> changes = derived_.lastChanges();
    derived_.rebindVariableTexts(next, previous, uniqueIDs);
    applyThresholdRule(previous, next);
    validator().validate(next, changes ? &*changes : nullptr);
    pendingChanges_ = changes;
    commitWork(next, actionName);
    pendingChanges_.reset();
}

void PlmWorkDocument::applyThresholdRule(const PlmWork& previous, PlmWork& next)
{
    const auto recompute = [&] { next.recomputeThematicThresholds(); };
    if (!previous.thematic || !next.thematic)
        return recompute();
    const PlmThematicSettings& before = *previous.thematic;
    PlmThematicSettings& after = *next.thematic;
    if (after.method == PlmClassificationMethod::manual)
        return recompute();
    // An absent representation on both sides is aplats; on one side only it is a change.
    if (before.representation.has_value() != after.representation.has_value()
        || before.effectiveRepresentation() != after.effectiveRepresentation()
        || !showsAplats(after.effectiveRepresentation()))
        return recompute();
    if (before.variableID != after.variableID || before.method != after.method || before.classCount != after.classCount)
        return recompute();
    const PlmVariable* beforeVariable = before.variableID ? previous.variable(*before.variableID) : nullptr;
    const PlmVariable* afterVariable = after.variableID ? next.variable(*after.variableID) : nullptr;
    if ((beforeVariable == nullptr) != (afterVariable == nullptr))
        return recompute();
    if (beforeVariable && !(beforeVariable->values == afterVariable->values))
        return recompute();

    after.thresholds = before.thresholds;
    if (after.secondSymbols && after.secondSymbols->variableID) {
        const PlmVariable* second = next.variable(*after.secondSymbols->variableID);
        if (!second || second->type == PlmVariableType::text)
            after.secondSymbols->variableID.reset();
    }
}

void PlmWorkDocument::commitWork(const PlmWork& newWork, const QString& actionName)
{
    const std::optional<WorkCellChanges> changes = std::exchange(pendingChanges_, std::nullopt);
    const PlmWork replaced = work();
    if (newWork == replaced)
        return;
    const bool counted = !storingKeptWork_;
    if (counted) {
        // The step is registered first; the change count moves only once the work is stored
        // and the selection cut, so whoever watches it sees the new state. Undo and redo move
        // the count through the stack's index.
        QPointer<PlmWorkDocument> self(this);
        pushUndoStepUncounted(new WorkUndoCommand(
            actionName, replaced, newWork,
            [self] { return self ? self->work() : PlmWork(); },
            [self](const PlmWork& kept, const QString& name, bool) {
                if (self)
                    self->undoCommit(kept, name);
            },
            changes ? &*changes : nullptr));
    }
    store(newWork);
    reconcileSelection(newWork);
    if (counted)
        updateChangeCount(ChangeType::Done);
    emit workChanged();
    reloadWindows();
}

void PlmWorkDocument::undoCommit(const PlmWork& kept, const QString& actionName)
{
    storingKeptWork_ = true;
    try {
        commitWork(kept, actionName);
    } catch (...) {
        storingKeptWork_ = false;
        throw;
    }
    storingKeptWork_ = false;
}

void PlmWorkDocument::reconcileSelection(const PlmWork& w)
{
    // Entities shared with the ones last checked have the same ids: nothing can have gone.
    if (w.map.entities.sharesAllEntities(selectionCheckedAgainst_))
        return;
    selectionCheckedAgainst_ = w.map.entities;
    // Nothing selected: nothing to check, and no need to wait for the work's check.
    const QSet<QString> kept = selectedEntityIDs_.isEmpty()
        ? QSet<QString>()
        : existingTopLevel(w, selectedEntityIDs_, validator().entityIDsOf(w));
    std::optional<QString> primary = selectedEntityID_;
    if (primary && !kept.contains(*primary))
        primary = smallest(kept);
    if (kept == selectedEntityIDs_ && primary == selectedEntityID_)
        return;
    selectedEntityIDs_ = kept;
    selectedEntityID_ = primary;
    emit selectionChanged();
}

void PlmWorkDocument::reloadWindows()
{
    for (DocumentWindowController* wc : windowControllers())
        if (auto* studio = dynamic_cast<StudioWindowInterface*>(wc))
            studio->reloadObjects();
}

// --- Selection ---------------------------------------------------------------------------

void PlmWorkDocument::select(const QSet<QString>& entityIDs, const std::optional<QString>& primary)
{
    const PlmWork current = work();
    const QSet<QString> kept =
        entityIDs.isEmpty() ? QSet<QString>() : existingTopLevel(current, entityIDs, validator().entityIDsOf(current));
    selectionCheckedAgainst_ = current.map.entities;
    const std::optional<QString> chosen = primary && kept.contains(*primary) ? primary : smallest(kept);
    if (kept == selectedEntityIDs_ && chosen == selectedEntityID_)
        return;
    selectedEntityIDs_ = kept;
    selectedEntityID_ = chosen;
    emit selectionChanged();
    for (DocumentWindowController* wc : windowControllers())
        if (auto* studio = dynamic_cast<StudioWindowInterface*>(wc))
            studio->selectObjects(kept, chosen);
}

void PlmWorkDocument::select(const std::optional<QString>& entityID)
{
    if (entityID == selectedEntityID_ && selectedEntityIDs_.size() < 2)
        return;
    select(entityID ? QSet<QString>{*entityID} : QSet<QString>{}, entityID);
}

// --- Windows -----------------------------------------------------------------------------

void PlmWorkDocument::makeWindowControllers()
{
    if (studioController_ || !studioWindowFactory())
        return;
    DocumentWindowController* controller = studioWindowFactory()(this);
    if (!controller)
        return;
    studioController_ = controller;
    addWindowController(controller);
}

StudioWindowInterface* PlmWorkDocument::studioWindow() const
{
    return dynamic_cast<StudioWindowInterface*>(studioController_.data());
}

void PlmWorkDocument::showStudioWindow()
{
    makeWindowControllers();
    if (studioController_)
        studioController_->showWindow();
    if (!filePath().isEmpty())
        rememberLastDocument(filePath());
}

bool PlmWorkDocument::createCarteIfNeeded()
{
    if (work().thematic)
        return true;
    try {
        updateWork(QStringLiteral("Créer la carte"), [](PlmWork& w) {
            PlmThematicSettings settings;
            for (const PlmVariable& v : std::as_const(w.variables)) {
                if (v.type != PlmVariableType::text) {
                    settings.variableID = v.id;
                    break;
                }
            }
            settings.method = PlmClassificationMethod::quantiles;
            settings.classCount = 5;
            settings.thresholds = {};
            settings.palette = PlmPalette::blues;
            settings.inverted = false;
            settings.missingColor = PlmColor{0.78, 0.78, 0.78, 1};
            settings.legendPosition = PlmPoint{0.96, 0.08};
            w.thematic = settings;
        });
    } catch (...) {
        presentError(messageOf(std::current_exception()));
        return false;
    }
    return true;
}

void PlmWorkDocument::showAcquisitionImport(const AcquisitionDialogMaker& make)
{
    if (!make)
        return;
    const QString format = work().map.metadata.value(QStringLiteral("source.format"));
    const bool everyColumnSelected = format != QLatin1String("GeoJSON") && format != QLatin1String("Shapefile");
    QPointer<PlmWorkDocument> self(this);
    QWidget* dialog = make(this, everyColumnSelected, [self] {
        if (self)
            self->showDataWindow();
    });
    if (!dialog)
        return;
    if (acquisitionDialog_ && acquisitionDialog_ != dialog)
        acquisitionDialog_->close();
    acquisitionDialog_ = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void PlmWorkDocument::showDataWindow()
{
    showStudioWindow();
    if (StudioWindowInterface* window = studioWindow())
        window->revealData();
}

// --- The last document -------------------------------------------------------------------

void PlmWorkDocument::rememberLastDocument(const QString& path)
{
    if (QFileInfo(path).suffix().toLower() != QLatin1String("plm"))
        return;
    try {
        UserDefaults::setValue(lastDocumentKey, Bookmark::make(path));
    } catch (const Bookmark::Error& error) {
        qWarning().noquote() << QStringLiteral("Accès persistant au document Studio indisponible : ") + error.message();
    }
}

void PlmWorkDocument::restoreLastDocument(const std::function<void(bool)>& finish, DocumentController& controller)
{
    const auto done = [finish](bool opened) {
        if (finish)
            finish(opened);
    };
    const QByteArray data = UserDefaults::dataValue(lastDocumentKey);
    if (data.isEmpty())
        return done(false);
    QString path;
    try {
        path = Bookmark::resolve(data);
    } catch (const Bookmark::Error&) {
        return done(false);
    }
    const bool started = Bookmark::startAccessing(path);
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        if (started)
            Bookmark::stopAccessing(path);
        return done(false);
    }
    controller.openDocument(path, true, [path, started, done](Document* document, bool, const QString& error) {
        auto* opened = qobject_cast<PlmWorkDocument*>(document);
        if (opened && error.isEmpty() && !opened->isClosed()) {
            if (started)
                opened->adoptScopedDocumentURL(path);
            rememberLastDocument(path);
            return done(true);
        }
        if (started)
            Bookmark::stopAccessing(path);
        done(false);
    });
}

void PlmWorkDocument::adoptScopedDocumentURL(const QString& path)
{
    if (!scopedDocumentPath_.isEmpty())
        Bookmark::stopAccessing(scopedDocumentPath_);
    scopedDocumentPath_ = path;
}
