#pragma once

#include "canvas/VectorCanvas.h"
#include "support/ViewHostEvents.h"

#include <memory>

// A map view in a host widget, driven with real Qt events at y-up view points.
namespace CanvasEvents {

using namespace ViewHostEvents;

struct Hosted {
    std::unique_ptr<ViewHost> host;
    VectorCanvas* canvas = nullptr;  // owned by the host
};

// Scale 1, no offset: view points equal map units (y up).
inline Hosted hosted(const PlmMap& map, double width = 200, double height = 200)
{
    Hosted h;
    h.host = std::make_unique<ViewHost>();
    h.host->resize(int(width), int(height));
    h.canvas = new VectorCanvas(map, true, QString());
    h.host->setRootNode(h.canvas);
    h.canvas->setFrame(QRectF(0, 0, width, height));
    h.canvas->fitted = true;
    h.canvas->tracksFit = false;
    return h;
}

} // namespace CanvasEvents
