#pragma once

#include "ui/windowparts.h"

#include <QList>
#include <QObject>

class QAction;
class QActionGroup;
class QMenu;

// Which photos the list shows and in which order: Filter (one filter at a
// time, or all photos but its own), Navigate › Resume Review and View › Sort
// by. The choices are the catalog's; the menus only reflect and change them.
class FiltersController : public QObject
{
    Q_OBJECT
public:
    FiltersController(const WindowParts &parts, QObject *parent);

    void addTo(QMenu *filterMenu);
    // Navigate › Resume Review: back to all photos at the first not reviewed yet.
    void addResumeTo(QMenu *navigateMenu);
    void addSortTo(QMenu *viewMenu);

private:
    // Gives the catalog the filter the menu shows.
    void apply();

    WindowParts parts;
    QActionGroup *filterGroup = nullptr;
    QAction *allAction = nullptr;
    QAction *excludeAction = nullptr;
};
