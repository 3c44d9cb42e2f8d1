#pragma once

#include "model/PlmPresentation.h"

#include <functional>

using EditingStyleChange = std::function<void(PlmEditingStyle&)>;

// Changes the presentation's effective editing style in place, as the inspector stores it.
inline void changeEditingStyle(PlmPresentation& presentation, const EditingStyleChange& change)
{
    PlmEditingStyle style = presentation.effectiveEditingStyle();
    change(style);
    presentation.setEffectiveEditingStyle(style);
}

// The default presentation with its editing style changed.
inline PlmPresentation withEditingStyle(const EditingStyleChange& change)
{
    PlmPresentation presentation;
    changeEditingStyle(presentation, change);
    return presentation;
}
