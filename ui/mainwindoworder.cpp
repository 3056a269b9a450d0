#include "ui/mainwindow.h"

#include "catalog/photocatalog.h"
#include "imaging/exifsummary.h"

#include <QActionGroup>
#include <QMenu>

// View › Sort by: the orders the catalog can show the photos in. The choice is
// the catalog's (and remembered by it); the menu only reflects it.
void MainWindow::addSortMenu(QMenu *viewMenu)
{
    // Capture times come from the photos' own headers, read in the background.
    catalog->setCaptureTimeReader(&readCaptureTime);

    QMenu *menu = viewMenu->addMenu(tr("Sort &by"));
    menu->setObjectName(QStringLiteral("sortMenu"));
    auto *group = new QActionGroup(menu);
    const QList<QPair<PhotoCore::SortOrder, QString>> orders{
        {PhotoCore::SortOrder::FileName, tr("&File name")},
        {PhotoCore::SortOrder::NaturalName, tr("File name, &numbers as numbers")},
        {PhotoCore::SortOrder::CaptureTime, tr("&Capture time")},
        {PhotoCore::SortOrder::ModifiedTime, tr("&Modified time")},
    };
    for (const auto &[order, text] : orders) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QStringLiteral("sort.") + PhotoCore::sortOrderId(order));
        action->setCheckable(true);
        action->setChecked(catalog->sortOrder() == order);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, order = order] { catalog->setSortOrder(order); });
    }
}
