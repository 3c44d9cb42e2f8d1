#include "inspector/InspectorAction.h"

InspectorAction::InspectorAction(std::function<void()> run, QObject* parent)
    : QObject(parent), execute(std::move(run))
{
}

void InspectorAction::invoke()
{
    if (execute)
        execute();
}
