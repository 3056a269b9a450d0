#pragma once

#include "ui/windowparts.h"

#include <QObject>

class QAction;
class QMenu;

// How the single view shows its photo: fit or 100 %, rotation, and the
// layers over it (EXIF overlay, the camera's focus points, focus peaking,
// histogram, clipping warning), the switches kept from one start to the next.
class ViewerController : public QObject
{
    Q_OBJECT
public:
    ViewerController(const WindowParts &parts, QObject *parent);

    // View › Fit to Window, Actual Size, Toggle Fit / 100%.
    void addZoomTo(QMenu *viewMenu);
    // View › Rotate, focus points, EXIF overlay and the analysis layers.
    void addLayersTo(QMenu *viewMenu);
    // The zoom entries' checks follow the viewer's mode.
    void syncZoomChecks();

private:
    void addFocusActions(QMenu *viewMenu);
    void addAnalysisActions(QMenu *viewMenu);

    WindowParts parts;
    QAction *fitAction = nullptr;
    QAction *actualSizeAction = nullptr;
};
