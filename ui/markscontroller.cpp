#include "ui/markscontroller.h"

#include "catalog/groupmarks.h"
#include "catalog/photocatalog.h"
#include "grid/thumbnailgridwidget.h"
#include "ui/actionregistry.h"
#include "ui/advancepreferences.h"
#include "ui/windowtexts.h"
#include "viewer/viewerwidget.h"

#include <QAction>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>

namespace {

// Failures named in the message box; the rest are summed up.
const int listedFailures = 8;
const int groupNoticeTimeoutMs = 6000;

} // namespace

MarksController::MarksController(const WindowParts &windowParts, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
{
    connect(parts.catalog, &PhotoCatalog::metadataBatchFinished, this, &MarksController::reportBatchFailures);
}

void MarksController::addTo(QMenu *ratingMenu)
{
    PhotoCatalog *catalog = parts.catalog;
    for (int stars = 0; stars <= 5; ++stars) {
        const QString text = stars == 0 ? WindowTexts::tr("&Clear Rating") : WindowTexts::tr("&%n Star(s)", nullptr, stars);
        addMark(
            ratingMenu, QStringLiteral("rating.%1").arg(stars), text, QKeySequence(Qt::Key_0 + stars),
            [catalog, stars] { catalog->setRating(stars); },
            [catalog, stars](const QStringList &files) { catalog->setRatingForFiles(files, stars); });
    }
    ratingMenu->addSeparator();
    // Each entry is its own text, so that every language can give each a letter of its own.
    static const char *const colours[][2] = {{"Red", QT_TRANSLATE_NOOP("MainWindow", "Color: &Red")},
                                             {"Yellow", QT_TRANSLATE_NOOP("MainWindow", "Color: &Yellow")},
                                             {"Green", QT_TRANSLATE_NOOP("MainWindow", "Color: &Green")},
                                             {"Blue", QT_TRANSLATE_NOOP("MainWindow", "Color: &Blue")}};
    for (int i = 0; i < 4; ++i) {
        // The catalog always receives the English name; only the text is translated.
        const QString name = QString::fromLatin1(colours[i][0]);
        addMark(
            ratingMenu, QStringLiteral("color.%1").arg(name.toLower()), WindowTexts::tr(colours[i][1]),
            QKeySequence(Qt::Key_6 + i), [catalog, name] { catalog->setColorLabel(name); },
            [catalog, name](const QStringList &files) { catalog->setColorLabelForFiles(files, name); });
    }
    ratingMenu->addSeparator();
    addMark(
        ratingMenu, QStringLiteral("rating.reject"), WindowTexts::tr("Re&ject"), QKeySequence(Qt::Key_X),
        [catalog] { catalog->rejectCurrent(); },
        [catalog](const QStringList &files) { catalog->setRejectedForFiles(files, true); }, WholeGroup);
    addMark(
        ratingMenu, QStringLiteral("rating.clearReject"), WindowTexts::tr("Clear Rejec&tion"), QKeySequence(Qt::Key_U),
        [catalog] { catalog->clearRejection(); },
        [catalog](const QStringList &files) { catalog->setRejectedForFiles(files, false); }, WholeGroup);
    addMark(
        ratingMenu, QStringLiteral("rating.clearColor"), WindowTexts::tr("Clear Color &Label"), QKeySequence(Qt::Key_C),
        [catalog] { catalog->clearColorLabel(); },
        [catalog](const QStringList &files) { catalog->clearColorLabelForFiles(files); });
    addMark(
        ratingMenu, QStringLiteral("rating.clearAll"), WindowTexts::tr("Clear &All Marks"),
        QKeySequence(QStringLiteral("Shift+0")), [catalog] { catalog->clearAllMarks(); },
        [catalog](const QStringList &files) { catalog->clearAllMarksForFiles(files); });
}

QAction *MarksController::addMark(QMenu *menu, const QString &id, const QString &text, const QKeySequence &key,
                                  const std::function<void()> &onCurrent,
                                  const std::function<void(const QStringList &)> &onSelection, GroupRule rule)
{
    QAction *action = parts.actions->add(menu, id, text, key);
    const bool lifting = id == QLatin1String("rating.clearReject");
    connect(action, &QAction::triggered, this, [this, action, onCurrent, onSelection, rule, lifting] {
        if (parts.gridShown()) {
            const QStringList selected = parts.grid->selectedPaths();
            const GroupMarkScope scope = groupMarkScope(selected, rule == WholeGroup, framesBehind);
            onSelection(scope.files);
            if (scope.groupsCovered > 0 || !scope.shownOnly.isEmpty())
                sayGroupScope(action->text(), lifting, selected.size() == 1, rule, int(scope.files.size()),
                              scope.shownOnly, scope.shownGroupSize);
        } else if (parts.viewer->isComparing()) {
            // The active pane's photo; marking never moves on from it, which
            // would put another photo beside the pinned one (or the pinned one itself).
            onSelection({parts.viewer->activePath()});
        } else {
            // The preference as it stands at this mark, wherever it was last changed.
            parts.catalog->setAdvanceAfter(AdvancePreferences::advancingMarks(QSettings()));
            onCurrent();
        }
    });
    marks.append(action);
    parts.keepInFullScreen(action);
    return action;
}

void MarksController::updateActions()
{
    const bool markable = parts.markable();
    for (QAction *action : std::as_const(marks))
        action->setEnabled(markable);
}

void MarksController::sayGroupScope(const QString &mark, bool lifting, bool oneCell, GroupRule rule, int files,
                                    const QString &shownOnly, int groupSize)
{
    const bool rejecting = !lifting;
    QString text;
    if (rule == WholeGroup && oneCell)
        text = rejecting ? WindowTexts::tr("Rejected %1 frames of this group").arg(files)
                         : WindowTexts::tr("Lifted the rejection of %1 frames of this group").arg(files);
    else if (rule == WholeGroup)
        text = rejecting ? WindowTexts::tr("Rejected %1 photos, collapsed groups whole").arg(files)
                         : WindowTexts::tr("Lifted the rejection of %1 photos, collapsed groups whole").arg(files);
    else
        text = WindowTexts::tr("%1: only %2, the frame shown of its group of %3")
                   .arg(QString(mark).remove(QLatin1Char('&')), QFileInfo(shownOnly).fileName())
                   .arg(groupSize);
    emit notice(text, groupNoticeTimeoutMs);
}

void MarksController::reportBatchFailures(const QStringList &failures)
{
    if (failures.isEmpty())
        return;
    QStringList names;
    for (int i = 0; i < failures.size() && i < listedFailures; ++i)
        names.append(QFileInfo(failures.at(i)).fileName());
    const QString more = failures.size() > listedFailures ? WindowTexts::tr("\n…and more") : QString();
    QMessageBox::warning(parts.window, WindowTexts::tr("Some metadata could not be saved"),
                         WindowTexts::tr("The XMP data could not be written for %1 image(s):\n\n%2%3")
                             .arg(failures.size())
                             .arg(names.join(QLatin1Char('\n')), more));
}
