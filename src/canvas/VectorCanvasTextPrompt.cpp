#include "canvas/VectorCanvas.h"

#include "desktop/ViewHost.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

std::optional<QString> VectorCanvas::askText(const TextPrompt& prompt)
{
    if (promptForText)
        return promptForText(prompt);
    return runTextDialog(prompt, host());
}

std::optional<QString> VectorCanvas::runTextDialog(const TextPrompt& prompt, QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(prompt.message);
    auto* column = new QVBoxLayout(&dialog);
    auto* message = new QLabel(prompt.message, &dialog);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    column->addWidget(message);
    auto* field = new QLineEdit(prompt.text, &dialog);
    field->setFixedSize(320, 26);
    column->addWidget(field);
    auto* row = new QHBoxLayout;
    row->addStretch();
    int chosen = -1;
    const QStringList buttons = prompt.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : prompt.buttons;
    // Buttons right to left from the first, as alerts show them.
    for (qsizetype i = buttons.size() - 1; i >= 0; --i) {
        auto* button = new QPushButton(buttons[i], &dialog);
        if (i == 0)
            button->setDefault(true);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &chosen, i] {
            chosen = int(i);
            dialog.done(QDialog::Accepted);
        });
        row->addWidget(button);
    }
    column->addLayout(row);
    field->setFocus();
    dialog.exec();
    if (chosen != 0)
        return std::nullopt;
    return field->text();
}
