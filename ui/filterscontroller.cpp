#include "ui/filterscontroller.h"

#include "catalog/photocatalog.h"
#include "imaging/exifsummary.h"
#include "ui/actionregistry.h"
#include "ui/slideshowcontroller.h"
#include "ui/windowtexts.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>

FiltersController::FiltersController(const WindowParts &windowParts, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
{
}

void FiltersController::addTo(QMenu *filterMenu)
{
    filterGroup = new QActionGroup(this);
    filterGroup->setExclusive(true);
    struct FilterEntry
    {
        const char *filter;
        const char *id;
        const char *text;
        const char *key;
    };
    // Ratings on Ctrl+Shift and Alt with the digit of the rating key, colours
    // on Ctrl+Shift with the digit of the colour key.
    static const FilterEntry filters[] = {
        {"all", "filter.all", QT_TRANSLATE_NOOP("Filter", "&All Images"), "Ctrl+Shift+A"},
        {"zerostars", "filter.zeroStars", QT_TRANSLATE_NOOP("Filter", "&Zero Stars"), "Ctrl+Shift+0"},
        {"unrated", "filter.unreviewed", QT_TRANSLATE_NOOP("Filter", "&Unreviewed"), "Ctrl+Shift+U"},
        {"rejected", "filter.rejected", QT_TRANSLATE_NOOP("Filter", "R&ejected"), "Ctrl+Shift+X"},
        {"rating:1", "filter.rating1", QT_TRANSLATE_NOOP("Filter", "&1 Star"), "Ctrl+Shift+1"},
        {"rating:2", "filter.rating2", QT_TRANSLATE_NOOP("Filter", "&2 Stars"), "Ctrl+Shift+2"},
        {"rating:3", "filter.rating3", QT_TRANSLATE_NOOP("Filter", "&3 Stars"), "Ctrl+Shift+3"},
        {"rating:4", "filter.rating4", QT_TRANSLATE_NOOP("Filter", "&4 Stars"), "Ctrl+Shift+4"},
        {"rating:5", "filter.rating5", QT_TRANSLATE_NOOP("Filter", "&5 Stars"), "Ctrl+Shift+5"},
        {"rating>=:1", "filter.atLeast1", QT_TRANSLATE_NOOP("Filter", "1 Star or &More"), "Alt+1"},
        {"rating>=:2", "filter.atLeast2", QT_TRANSLATE_NOOP("Filter", "2 Stars or Mo&re"), "Alt+2"},
        {"rating>=:3", "filter.atLeast3", QT_TRANSLATE_NOOP("Filter", "3 Stars or M&ore"), "Alt+3"},
        {"rating>=:4", "filter.atLeast4", QT_TRANSLATE_NOOP("Filter", "4 S&tars or More"), "Alt+4"},
        {"rating>=:5", "filter.atLeast5", QT_TRANSLATE_NOOP("Filter", "5 &Stars or More"), "Alt+5"},
        {"color:Red", "filter.red", QT_TRANSLATE_NOOP("Filter", "Re&d"), "Ctrl+Shift+6"},
        {"color:Yellow", "filter.yellow", QT_TRANSLATE_NOOP("Filter", "&Yellow"), "Ctrl+Shift+7"},
        {"color:Green", "filter.green", QT_TRANSLATE_NOOP("Filter", "&Green"), "Ctrl+Shift+8"},
        {"color:Blue", "filter.blue", QT_TRANSLATE_NOOP("Filter", "B&lue"), "Ctrl+Shift+9"},
    };
    for (const FilterEntry &entry : filters) {
        QAction *action = parts.actions->add(filterMenu, QString::fromLatin1(entry.id),
                                             QCoreApplication::translate("Filter", entry.text),
                                             QKeySequence(QString::fromLatin1(entry.key)));
        action->setCheckable(true);
        action->setData(QString::fromLatin1(entry.filter));
        filterGroup->addAction(action);
        parts.keepInFullScreen(action);
        if (!allAction) {
            allAction = action;
            allAction->setObjectName(QStringLiteral("allImagesAction"));
            allAction->setChecked(true);
        }
    }
    connect(filterGroup, &QActionGroup::triggered, this, &FiltersController::apply);
    filterMenu->addSeparator();
    excludeAction = parts.actions->add(filterMenu, QStringLiteral("filter.exclude"),
                                       WindowTexts::tr("E&xclude selected filter"),
                                       QKeySequence(QStringLiteral("Ctrl+Shift+E")));
    excludeAction->setObjectName(QStringLiteral("excludeFilterAction"));
    excludeAction->setCheckable(true);
    parts.keepInFullScreen(excludeAction);
    connect(excludeAction, &QAction::toggled, this, &FiltersController::apply);
}

void FiltersController::addResumeTo(QMenu *navigateMenu)
{
    QAction *resume = parts.actions->add(navigateMenu, QStringLiteral("navigate.resumeReview"),
                                         WindowTexts::tr("&Resume Review"), QKeySequence(Qt::Key_L));
    parts.keepInFullScreen(resume);
    connect(resume, &QAction::triggered, this, [this] {
        parts.slideshow->stop();
        // The catalog returns to "all" by itself; the menu only follows.
        allAction->setChecked(true);
        parts.catalog->resumeReview();
    });
}

void FiltersController::apply()
{
    const QAction *checked = filterGroup->checkedAction();
    if (!checked)
        return;
    QString id = checked->data().toString();
    if (excludeAction->isChecked() && id != QLatin1String("all"))
        id.prepend(QStringLiteral("not:"));
    parts.catalog->setFilter(id);
}

void FiltersController::addSortTo(QMenu *viewMenu)
{
    PhotoCatalog *catalog = parts.catalog;
    // Capture times come from the photos' own headers, read in the background.
    catalog->setCaptureTimeReader(&readCaptureTime);

    QMenu *menu = viewMenu->addMenu(WindowTexts::tr("Sort &by"));
    menu->setObjectName(QStringLiteral("sortMenu"));
    auto *group = new QActionGroup(menu);
    const QList<QPair<PhotoCore::SortOrder, QString>> orders{
        {PhotoCore::SortOrder::FileName, WindowTexts::tr("&File name")},
        {PhotoCore::SortOrder::NaturalName, WindowTexts::tr("File name, &numbers as numbers")},
        {PhotoCore::SortOrder::CaptureTime, WindowTexts::tr("&Capture time")},
        {PhotoCore::SortOrder::ModifiedTime, WindowTexts::tr("&Modified time")},
    };
    for (const auto &[order, text] : orders) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QStringLiteral("sort.") + PhotoCore::sortOrderId(order));
        action->setCheckable(true);
        action->setChecked(catalog->sortOrder() == order);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [catalog, order = order] { catalog->setSortOrder(order); });
    }
}
