#include "data/CalculationWindowController.h"

#include "inspector/TypedField.h"
#include "model/PlmFrenchCount.h"

#include "model/PlmErrors.h"
#include "model/PlmWork.h"
#include "desktop/WindowTeardown.h"
#include "platform/UserDefaults.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QComboBox>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <variant>

namespace {

const QString insertTitle = QStringLiteral("Insérer une variable…");
const QString frameAutosaveName = QStringLiteral("Variable calculée");

} // namespace

// The preview's rows: the map's entities with their computed value.
class CalculationPreviewModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void reset(const QList<PlmEntity>* entities, const std::optional<PlmVariable>* result)
    {
        beginResetModel();
        m_entities = entities;
        m_result = result;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() || !m_entities ? 0 : int(m_entities->size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || !m_entities || index.row() >= m_entities->size())
            return {};
        if (role == Qt::TextAlignmentRole)
            return index.column() == 1 ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                       : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        const PlmEntity& entity = m_entities->at(index.row());
        if (index.column() == 0)
            return entity.name + QStringLiteral(" · ") + entity.id;
        if (!m_result || !*m_result)
            return QString();
        return (*m_result)->displayText(entity.id).value_or(QString());
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return section == 0 ? QStringLiteral("Zone") : QStringLiteral("Résultat");
    }

private:
    const QList<PlmEntity>* m_entities = nullptr;
    const std::optional<PlmVariable>* m_result = nullptr;
};

// The window itself: Escape cancels, Return saves, activation refreshes, closing stops the preview.
class CalculationWindow : public QWidget {
public:
    explicit CalculationWindow(CalculationWindowController* controller)
        : m_controller(controller)
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            m_controller->cancel();
            return;
        }
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            m_controller->saveCalculation();
            return;
        }
        QWidget::keyPressEvent(event);
    }

    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::WindowActivate)
            m_controller->windowDidBecomeKey();
        return QWidget::event(event);
    }

    void closeEvent(QCloseEvent* event) override
    {
        UserDefaults::setValue(frameAutosaveName, saveGeometry());
        m_controller->windowWillClose();
        QWidget::closeEvent(event);
    }

private:
    CalculationWindowController* m_controller;
};

struct CalculationWindowController::PreviewJob {
    PlmWork work;
    std::optional<QString> variableID;
    QString name;
    QString formula;
    PlmVariableType type = PlmVariableType::number;
    int decimals = 2;
};

struct CalculationWindowController::PreviewOutcome {
    bool cancelled = false;
    std::optional<PlmVariable> variable;
    QString error;
};

CalculationWindowController::CalculationWindowController(Document document, std::optional<QString> variableID,
                                                         std::function<void()> onFinished,
                                                         std::function<void(const QString&)> onSaved,
                                                         QObject* parent)
    : QObject(parent)
    , m_document(std::move(document))
    , m_variableID(std::move(variableID))
    , m_onFinished(std::move(onFinished))
    , m_onSaved(std::move(onSaved))
{
    std::optional<PlmVariable> edited;
    if (m_variableID && m_document.isAlive()) {
        const PlmWork work = m_document.work();
        if (const PlmVariable* variable = work.variable(*m_variableID))
            edited = *variable;
    }
    m_delay.setSingleShot(true);
    m_delay.setInterval(previewDelayMilliseconds);
    connect(&m_delay, &QTimer::timeout, this, &CalculationWindowController::startEvaluation);
    buildWindow(edited);
    rebuildInsertMenu();
    requestPreview();
}

CalculationWindowController::~CalculationWindowController()
{
    m_cancellation.cancel();
    WindowTeardown::destroy(m_window.data());
}

QWidget* CalculationWindowController::window() const
{
    return m_window.data();
}

void CalculationWindowController::showWindow()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void CalculationWindowController::closeWindow()
{
    if (m_window)
        m_window->close();
}

void CalculationWindowController::buildWindow(const std::optional<PlmVariable>& edited)
{
    const bool editing = edited.has_value();
    m_window = new CalculationWindow(this);
    m_window->setObjectName(QStringLiteral("Calculation.Window"));
    m_window->setWindowTitle(editing ? QStringLiteral("Modifier la variable calculée")
                                     : QStringLiteral("Nouvelle variable calculée"));
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    // A window of the work's: it never keeps the program running once the work's own windows
    // are closed.
    m_window->setAttribute(Qt::WA_QuitOnClose, false);
    m_window->setMinimumSize(700, 500);
    const QByteArray frame = UserDefaults::dataValue(frameAutosaveName);
    if (frame.isEmpty() || !m_window->restoreGeometry(frame)) {
        m_window->resize(900, 640);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            m_window->move(screen->availableGeometry().center() - m_window->rect().center());
    }

    m_name = new QLineEdit(editing ? edited->name : QString());
    m_name->setObjectName(QStringLiteral("Calculation.Name"));
    m_name->setPlaceholderText(QStringLiteral("Taux de chômage"));
    m_formula = new QLineEdit(editing && edited->calculation ? edited->calculation->expression : QString());
    m_formula->setObjectName(QStringLiteral("Calculation.Formula"));
    m_formula->setPlaceholderText(QStringLiteral("Chômeurs / Population active * 100"));
    // What is typed here becomes a variable only through « Enregistrer »: the end names it.
    TypedField::attachUnconfirmed(m_name, m_window->windowTitle() + QStringLiteral(" — Nom"));
    TypedField::attachUnconfirmed(m_formula, m_window->windowTitle() + QStringLiteral(" — Formule"));
    connect(m_name, &QLineEdit::textEdited, this, &CalculationWindowController::requestPreview);
    connect(m_formula, &QLineEdit::textEdited, this, &CalculationWindowController::requestPreview);

    m_insert = new QComboBox;
    m_insert->setObjectName(QStringLiteral("Calculation.Insert"));
    // The pop-up must not take the focus: an insertion goes where the formula's caret is.
    m_insert->setFocusPolicy(Qt::NoFocus);
    connect(m_insert, &QComboBox::activated, this, &CalculationWindowController::insertVariable);
    m_format = new QComboBox;
    m_format->setObjectName(QStringLiteral("Calculation.Format"));
    m_format->addItems({QStringLiteral("Nombre"), QStringLiteral("Pourcentage")});
    m_format->setCurrentIndex(editing && edited->type == PlmVariableType::percentage ? 1 : 0);
    m_decimals = new QComboBox;
    m_decimals->setObjectName(QStringLiteral("Calculation.Decimals"));
    for (int i = 0; i <= 10; ++i)
        m_decimals->addItem(QString::number(i));
    m_decimals->setCurrentIndex(editing && edited->calculation ? std::clamp(edited->calculation->decimals, 0, 10) : 2);
    connect(m_format, &QComboBox::activated, this, &CalculationWindowController::changed);
    connect(m_decimals, &QComboBox::activated, this, &CalculationWindowController::changed);

    auto labelled = [](const QString& title, QWidget* field) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        auto* label = new QLabel(title);
        label->setFixedWidth(65);
        row->addWidget(label);
        row->addWidget(field, 1);
        return row;
    };
    auto* form = new QWidget;
    form->setMinimumWidth(400);
    form->setMaximumWidth(850);
    auto* formLayout = new QVBoxLayout(form);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->setSpacing(10);
    formLayout->addLayout(labelled(QStringLiteral("Nom"), m_name));
    formLayout->addLayout(labelled(QStringLiteral("Formule"), m_formula));
    auto* menus = new QHBoxLayout;
    menus->setSpacing(10);
    menus->addWidget(m_insert);
    menus->addWidget(new QLabel(QStringLiteral("Format")));
    menus->addWidget(m_format);
    menus->addWidget(new QLabel(QStringLiteral("Décimales")));
    menus->addWidget(m_decimals);
    menus->addStretch(1);
    formLayout->addLayout(menus);
    auto* help = new QLabel(QStringLiteral(
        "Utilisez les noms de variables, + − × ÷ et des parenthèses. Les crochets permettent les noms contenant "
        "un opérateur. Une valeur absente, une division par zéro ou un résultat non fini reste vide."));
    help->setWordWrap(true);
    QFont small = help->font();
    small.setPointSizeF(12);
    help->setFont(small);
    QPalette secondary = help->palette();
    secondary.setColor(QPalette::WindowText, secondary.color(QPalette::PlaceholderText));
    help->setPalette(secondary);
    formLayout->addWidget(help);
    auto* top = new QHBoxLayout;
    top->setSpacing(0);
    top->addWidget(form, 0, Qt::AlignTop | Qt::AlignLeft);
    top->addStretch(1);

    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("Calculation.Message"));
    m_message->setWordWrap(true);
    m_message->setFont(small);

    m_model = new CalculationPreviewModel(this);
    m_model->reset(&m_previewMap, &m_result);
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("Calculation.Preview"));
    m_table->setModel(m_model);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(26);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->horizontalHeader()->setSectionsMovable(false);
    m_table->horizontalHeader()->setMinimumSectionSize(140);
    m_table->horizontalHeader()->resizeSection(0, 500);
    m_table->horizontalHeader()->resizeSection(1, 210);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->setMinimumHeight(180);
    m_table->setTextElideMode(Qt::ElideRight);

    auto* cancelButton = new QPushButton(QStringLiteral("Annuler"));
    cancelButton->setObjectName(QStringLiteral("Calculation.Cancel"));
    connect(cancelButton, &QPushButton::clicked, this, &CalculationWindowController::cancel);
    m_save = new QPushButton(editing ? QStringLiteral("Enregistrer les modifications")
                                     : QStringLiteral("Créer la variable"));
    m_save->setObjectName(QStringLiteral("Calculation.Save"));
    m_save->setEnabled(false);
    connect(m_save, &QPushButton::clicked, this, &CalculationWindowController::saveCalculation);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);
    buttons->addWidget(m_save);

    auto* content = new QVBoxLayout(m_window);
    content->setContentsMargins(16, 16, 16, 16);
    content->setSpacing(12);
    content->addLayout(top);
    content->addWidget(m_message);
    content->addWidget(m_table, 1);
    content->addLayout(buttons);
    m_name->setFocus();
}

void CalculationWindowController::rebuildInsertMenu()
{
    m_insert->clear();
    m_insert->addItem(insertTitle);
    if (!m_document.isAlive())
        return;
    const PlmWork work = m_document.work();
    for (const PlmVariable& variable : work.variables) {
        if (variable.type == PlmVariableType::text || (m_variableID && variable.id == *m_variableID))
            continue;
        m_insert->addItem(variable.name, variable.name);
    }
    m_insert->setCurrentIndex(0);
}

PlmVariableType CalculationWindowController::chosenType() const
{
    return m_format->currentIndex() == 1 ? PlmVariableType::percentage : PlmVariableType::number;
}

int CalculationWindowController::chosenDecimals() const
{
    return std::max(0, m_decimals->currentIndex());
}

void CalculationWindowController::showMessage(const QString& text, bool refusal)
{
    m_message->setText(text);
    QPalette palette = m_message->palette();
    palette.setColor(QPalette::WindowText, refusal ? QColor(255, 59, 48)
                                                   : m_window->palette().color(QPalette::PlaceholderText));
    m_message->setPalette(palette);
}

bool CalculationWindowController::previewRunning() const
{
    return m_delay.isActive() || m_evaluating;
}

void CalculationWindowController::requestPreview()
{
    m_delay.stop();
    m_cancellation.cancel();
    m_pending.reset();
    ++m_generation;
    m_result.reset();
    m_model->reset(&m_previewMap, &m_result);
    m_save->setEnabled(false);
    if (!m_document.isAlive()) {
        showMessage(closedMessage(), false);
        return;
    }
    auto job = std::make_shared<PreviewJob>();
    job->work = m_document.work();
    job->variableID = m_variableID;
    job->name = m_name->text();
    job->formula = m_formula->text();
    job->type = chosenType();
    job->decimals = chosenDecimals();
    m_previewMap.clear();
    m_previewMap.reserve(job->work.map.entities.size());
    for (const PlmEntity& entity : job->work.map.entities)
        m_previewMap.append(entity);
    m_model->reset(&m_previewMap, &m_result);
    if (job->name.trimmed().isEmpty() || job->formula.trimmed().isEmpty()) {
        showMessage(promptMessage(), false);
        return;
    }
    showMessage(pendingMessage(), false);
    m_pending = std::move(job);
    m_delay.start();
}

void CalculationWindowController::startEvaluation()
{
    if (!m_pending)
        return;
    std::shared_ptr<PreviewJob> job = std::move(m_pending);
    m_pending.reset();
    m_cancellation = PlmCancellationToken::make();
    const PlmCancellationToken cancellation = m_cancellation;
    const quint64 generation = m_generation;
    m_evaluating = true;
    ++m_evaluationsStarted;

    auto* watcher = new QFutureWatcher<PreviewOutcome>(this);
    connect(watcher, &QFutureWatcher<PreviewOutcome>::finished, this, [this, watcher, generation] {
        const PreviewOutcome outcome = watcher->result();
        watcher->deleteLater();
        applyOutcome(generation, outcome);
    });
    // The evaluation owns its copy of the work: nothing is shared with the document meanwhile.
    watcher->setFuture(QtConcurrent::run([job, cancellation, hook = beforeEvaluation]() -> PreviewOutcome {
        PreviewOutcome outcome;
        if (hook)
            hook();
        try {
            cancellation.throwIfCancelled();
            PlmWork& work = job->work;
            const QString id = work.saveCalculatedVariable(job->variableID, job->name, job->type, job->formula,
                                                           job->decimals);
            cancellation.throwIfCancelled();
            if (const PlmVariable* variable = work.variable(id))
                outcome.variable = *variable;
            else
                outcome.error = QStringLiteral("Variable absente.");
        } catch (const PlmCancellationError&) {
            outcome.cancelled = true;
        } catch (const PlmError& error) {
            outcome.error = error.message();
        } catch (const std::exception&) {
            outcome.error = QStringLiteral("Variable absente.");
        }
        return outcome;
    }));
}

void CalculationWindowController::applyOutcome(quint64 generation, const PreviewOutcome& outcome)
{
    // A superseded or cancelled preview never writes to the window.
    if (generation != m_generation)
        return;
    m_evaluating = false;
    if (outcome.cancelled || m_cancellation.isCancelled())
        return;
    if (outcome.variable) {
        m_result = outcome.variable;
        m_model->reset(&m_previewMap, &m_result);
        m_save->setEnabled(true);
        showMessage(countsMessage(m_result->values.size(), m_previewMap.size()), false);
    } else {
        showMessage(outcome.error, true);
        m_save->setEnabled(false);
    }
    emit previewFinished();
}

void CalculationWindowController::changed()
{
    requestPreview();
}

void CalculationWindowController::insertVariable()
{
    const QVariant name = m_insert->currentData();
    if (!name.isValid() || name.toString().isEmpty())
        return;
    const QString token = variableToken(name.toString());
    if (m_window && m_window->focusWidget() == m_formula)
        m_formula->insert(token);
    else
        m_formula->setText(appendToken(m_formula->text(), token));
    m_insert->setCurrentIndex(0);
    m_formula->setFocus();
    requestPreview();
}

void CalculationWindowController::saveCalculation()
{
    if (!m_save->isEnabled() || !m_document.isAlive())
        return;
    const QString actionName = m_variableID ? QStringLiteral("Modifier une variable calculée")
                                            : QStringLiteral("Créer une variable calculée");
    const std::optional<QString> id = m_variableID;
    const QString name = m_name->text();
    const QString formula = m_formula->text();
    const PlmVariableType type = chosenType();
    const int decimals = chosenDecimals();
    QString savedID;
    try {
        m_document.updateWork(actionName, [&](PlmWork& work) {
            savedID = work.saveCalculatedVariable(id, name, type, formula, decimals);
        });
    } catch (const PlmError& error) {
        showMessage(error.message(), true);
        m_save->setEnabled(false);
        return;
    }
    if (m_onSaved)
        m_onSaved(savedID);
    finish();
}

void CalculationWindowController::cancel()
{
    finish();
}

void CalculationWindowController::finish()
{
    closeWindow();
    if (m_onFinished)
        m_onFinished();
    else if (m_document.isAlive() && m_document.showData)
        m_document.showData();
}

void CalculationWindowController::windowDidBecomeKey()
{
    rebuildInsertMenu();
    requestPreview();
}

void CalculationWindowController::windowWillClose()
{
    m_delay.stop();
    m_pending.reset();
    m_cancellation.cancel();
    ++m_generation;
    m_evaluating = false;
    emit windowClosed();
}

QString CalculationWindowController::promptMessage()
{
    return QStringLiteral("Saisissez un nom et une formule pour afficher l’aperçu.");
}

QString CalculationWindowController::pendingMessage()
{
    return QStringLiteral("Calcul de l’aperçu…");
}

QString CalculationWindowController::closedMessage()
{
    return QStringLiteral("Le document est fermé.");
}

QString CalculationWindowController::countsMessage(qsizetype results, qsizetype zones)
{
    return PlmFrenchCount::counted(results, QStringLiteral("résultat sur "), QStringLiteral("résultats sur "))
        + PlmFrenchCount::counted(zones, QStringLiteral("zone · "), QStringLiteral("zones · "))
        + PlmFrenchCount::counted(zones - results, QStringLiteral("valeur absente."), QStringLiteral("valeurs absentes."))
        + QStringLiteral(" Le format d’affichage n’arrondit pas les calculs.");
}

QString CalculationWindowController::variableToken(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char(']'), QStringLiteral("]]"));
    return QLatin1Char('[') + escaped + QLatin1Char(']');
}

QString CalculationWindowController::appendToken(const QString& formula, const QString& token)
{
    return formula.isEmpty() ? token : formula + QLatin1Char(' ') + token;
}
