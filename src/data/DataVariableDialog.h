#pragma once

#include "model/PlmVariableType.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The sheet that asks for a new variable's name and type, or a variable's new name. It does
// not block: the completion runs when the sheet ends, with no answer for "Annuler". Tests
// install a hook that answers at once.
namespace DataVariableDialog {

struct Request {
    bool rename = false;
    QString name;             // "Nouvelle variable" when adding, the variable's name when renaming
    QWidget* window = nullptr; // the sheet's window
};

struct Answer {
    QString name;
    PlmVariableType type = PlmVariableType::number; // ignored when renaming
};

using Completion = std::function<void(const std::optional<Answer>&)>;
using Hook = std::function<void(const Request&, const Completion&)>;

// Shows the sheet (or runs the installed hook).
void begin(const Request& request, const Completion& completion);
// Replaces the sheet; an empty hook restores it.
void setHook(Hook hook);

// The type menu: "Nombre", "Texte", "Pourcentage", in that order.
PlmVariableType typeOfItem(int item);

} // namespace DataVariableDialog
