#include "viewer/viewerwidget.h"

#include "viewer/photocanvas.h"

// Focus peaking, the histogram and clipping: an overlay on each pane, made
// once the user first asks for any of them, each following its own canvas.

void ViewerWidget::setAnalysisLayers(const AnalysisLayers &layers)
{
    shownAnalysis = layers;
    if (!canvasAnalysis) {
        if (!layers.any())
            return;
        canvasAnalysis = new AnalysisOverlay(canvas);
        pinnedAnalysis = new AnalysisOverlay(pinnedCanvas);
    }
    canvasAnalysis->setLayers(layers);
    pinnedAnalysis->setLayers(layers);
    refreshRawClipping();
}

AnalysisOverlay *ViewerWidget::analysisOverlay(bool pinnedPane) const
{
    return pinnedPane ? pinnedAnalysis : canvasAnalysis;
}
