#include "data/DataVariableDialog.h"

#include "inspector/TypedField.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace DataVariableDialog {

namespace {

Hook& installedHook()
{
    static Hook hook;
    return hook;
}

void showSheet(const Request& request, const Completion& completion)
{
    auto* dialog = new QDialog(request.window);
    dialog->setObjectName(QStringLiteral("Data.VariableDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(request.window ? Qt::WindowModal : Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(dialog);
    auto* message = new QLabel(request.rename ? QStringLiteral("Renommer la variable")
                                              : QStringLiteral("Ajouter une variable"));
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    layout->addWidget(message);
    auto* field = new QLineEdit(request.name);
    field->setObjectName(QStringLiteral("Data.VariableDialog.Name"));
    field->setFixedWidth(330);
    layout->addWidget(field, 0, Qt::AlignLeft);
    TypedField::attachUnconfirmed(field, message->text());
    QComboBox* types = nullptr;
    if (!request.rename) {
        types = new QComboBox;
        types->setObjectName(QStringLiteral("Data.VariableDialog.Type"));
        types->addItems({QStringLiteral("Nombre"), QStringLiteral("Texte"), QStringLiteral("Pourcentage")});
        layout->addWidget(types, 0, Qt::AlignLeft);
    }
    auto* buttons = new QDialogButtonBox;
    QPushButton* accept = buttons->addButton(request.rename ? QStringLiteral("Renommer") : QStringLiteral("Ajouter"),
                                             QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    accept->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, field, types, completion](int result) {
        if (result != QDialog::Accepted) {
            completion(std::nullopt);
            return;
        }
        completion(Answer{field->text(), types ? typeOfItem(types->currentIndex()) : PlmVariableType::number});
    });
    field->selectAll();
    field->setFocus();
    dialog->open();
}

} // namespace

void begin(const Request& request, const Completion& completion)
{
    if (installedHook())
        installedHook()(request, completion);
    else
        showSheet(request, completion);
}

void setHook(Hook hook)
{
    installedHook() = std::move(hook);
}

PlmVariableType typeOfItem(int item)
{
    switch (item) {
    case 1:
        return PlmVariableType::text;
    case 2:
        return PlmVariableType::percentage;
    default:
        return PlmVariableType::number;
    }
}

} // namespace DataVariableDialog
