#include "ui/mainwindow.h"

#include "viewer/viewerwidget.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

// View › Focus Peaking, Histogram and Clipping Warning: three switches over
// the viewer's photo, kept from one start to the next.

namespace {

struct AnalysisSwitch
{
    const char *id;
    const char *text;
    Qt::Key key;
    const char *setting;
    bool AnalysisLayers::*layer;
};

const AnalysisSwitch analysisSwitches[] = {
    {"view.focusPeaking", QT_TRANSLATE_NOOP("MainWindow", "Focus Pea&king"), Qt::Key_P, "view/focusPeaking",
     &AnalysisLayers::peaking},
    {"view.histogram", QT_TRANSLATE_NOOP("MainWindow", "&Histogram"), Qt::Key_H, "view/histogram",
     &AnalysisLayers::histogram},
    {"view.clipping", QT_TRANSLATE_NOOP("MainWindow", "Clipp&ing Warning"), Qt::Key_J, "view/clipping",
     &AnalysisLayers::clipping},
};

} // namespace

void MainWindow::addAnalysisActions(QMenu *viewMenu)
{
    AnalysisLayers layers;
    const QSettings settings;
    for (const AnalysisSwitch &entry : analysisSwitches) {
        QAction *action = addRegisteredAction(viewMenu, QString::fromLatin1(entry.id), tr(entry.text),
                                              QKeySequence(entry.key));
        action->setObjectName(QString::fromLatin1(entry.id));
        action->setCheckable(true);
        const QString key = QString::fromLatin1(entry.setting);
        action->setChecked(settings.value(key, false).toBool());
        layers.*entry.layer = action->isChecked();
        // The menu bar is hidden in full screen; the keys must still work there.
        addAction(action);
        const auto layer = entry.layer;
        connect(action, &QAction::toggled, this, [this, key, layer](bool on) {
            QSettings().setValue(key, on);
            AnalysisLayers shown = viewer->analysisLayers();
            shown.*layer = on;
            viewer->setAnalysisLayers(shown);
        });
    }
    viewer->setAnalysisLayers(layers);
}
