// The data pane's inspector: the variable picker, the details of the selection and the
// active column, and one button per data action.
#include "data/DataTableModel.h"
#include "model/PlmFrenchCount.h"
#include "data/DataWindowController.h"
#include "inspector/InspectorScroll.h"
#include "inspector/InspectorSection.h"
#include "model/PlmDistribution.h"
#include "model/PlmFrenchNumber.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

QWidget* DataWindowController::studioInspectorView()
{
    if (m_inspector)
        return m_inspector;
    auto* scroll = new InspectorScroll;
    scroll->setObjectName(QStringLiteral("Data.Inspector"));

    auto* variableSection = new InspectorSection(QStringLiteral("Variable"), {new QLabel(QStringLiteral("Données"))});
    scroll->addSection(variableSection);
    // The pane's width bounds do not fit the inspector column.
    variablePicker->setMinimumWidth(0);
    variablePicker->setMaximumWidth(QWIDGETSIZE_MAX);
    variableSection->addRow(variablePicker);
    studioDetails = new QLabel;
    studioDetails->setObjectName(QStringLiteral("Data.Details"));
    studioDetails->setWordWrap(true);
    studioDetails->setTextInteractionFlags(Qt::TextSelectableByMouse);
    variableSection->addRow(studioDetails);

    auto* actionsSection = new InspectorSection(QStringLiteral("Actions des données"));
    scroll->addSection(actionsSection);
    QMenu* menu = actionsMenu();
    studioCommands.clear();
    for (QAction* action : menu->actions()) {
        auto* button = new QPushButton(action->text());
        const QString command = action->property("command").toString();
        button->setProperty("command", command);
        button->setObjectName(QStringLiteral("Data.Action.") + command);
        QPointer<DataWindowController> self(this);
        connect(button, &QPushButton::clicked, this, [self, command] {
            if (self)
                self->performAction(command);
        });
        studioCommands.append(button);
        actionsSection->addRow(button);
    }
    delete menu;
    m_inspector = scroll;
    updateStudioDetails();
    return scroll;
}

QString DataWindowController::formattedMean(double mean)
{
    // Up to six fraction digits, trailing zeros dropped, thousands grouped.
    QString text = formatFrenchFixed(mean, 6, true);
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        qsizetype end = text.size();
        while (end > comma + 1 && text.at(end - 1) == QLatin1Char('0'))
            --end;
        if (end == comma + 1)
            end = comma;
        text.truncate(end);
    }
    return text;
}

QString DataWindowController::detailsText() const
{
    const PlmWork current = work();
    QStringList paragraphs;
    paragraphs.append(PlmFrenchCount::counted(selectedEntityIDs().size(), QStringLiteral("ligne sélectionnée"),
                                              QStringLiteral("lignes sélectionnées")));
    if (const PlmVariable* variable = current.variable(activeColumn)) {
        paragraphs.append(variable->name + QStringLiteral(" · ") + label(variable->type));
        if (variable->calculation)
            paragraphs.append(QStringLiteral("Formule : ") + variable->calculation->expression);
        if (!m_meanCache.valid || !m_meanCache.values.isSharedWith(variable->values)) {
            QList<double> numbers;
            for (const PlmValue& value : variable->values) {
                if (value.isText())
                    continue;
                if (const std::optional<double> number = value.numericValue())
                    numbers.append(*number);
            }
            m_meanCache = {variable->values, numbers.size(), PlmDistribution(numbers).mean, true};
        }
        const QString mean = m_meanCache.mean ? formattedMean(*m_meanCache.mean) : QStringLiteral("—");
        paragraphs.append(PlmFrenchCount::counted(m_meanCache.count, QStringLiteral("valeur numérique"), QStringLiteral("valeurs numériques"))
                         + QStringLiteral(" · Moyenne ") + mean);
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

void DataWindowController::updateStudioDetails()
{
    if (!studioDetails)
        return;
    studioDetails->setText(detailsText());
    for (QPushButton* button : std::as_const(studioCommands))
        button->setEnabled(validateAction(button->property("command").toString()));
}
