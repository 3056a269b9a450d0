#include "ui/importcontroller.h"

#include "catalog/ingestjob.h"
#include "ui/actionregistry.h"
#include "ui/folderscontroller.h"
#include "ui/importdialog.h"
#include "ui/slideshowcontroller.h"
#include "ui/windowtexts.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>

namespace {

// Failures listed by name in the closing summary; the rest are counted.
const int listedFailures = 10;

// The deepest folder that holds all of `folders`.
QString commonFolder(const QStringList &folders)
{
    QStringList common = folders.value(0).split(QLatin1Char('/'));
    for (const QString &folder : folders) {
        const QStringList parts = folder.split(QLatin1Char('/'));
        int same = 0;
        while (same < common.size() && same < parts.size() && common.at(same) == parts.at(same))
            ++same;
        common = common.mid(0, same);
    }
    const QString joined = common.join(QLatin1Char('/'));
    return joined.isEmpty() ? QDir::rootPath() : joined;
}

} // namespace

class ImportTexts
{
    Q_DECLARE_TR_FUNCTIONS(ImportTexts)

public:
    // "12 of 40 photos · 240 MB of 800 MB · about 2 min left"
    static QString progress(const PhotoCore::IngestProgress &at, qint64 elapsedMs)
    {
        const QLocale locale;
        QString text = tr("%1 of %2 photos · %3 of %4")
                           .arg(at.photosDone)
                           .arg(at.photos)
                           .arg(locale.formattedDataSize(at.bytesDone), locale.formattedDataSize(at.bytes));
        // Once a few seconds have shown the pace.
        if (elapsedMs >= 2000 && at.bytesDone > 0 && at.bytes > at.bytesDone) {
            const qint64 leftSeconds = (at.bytes - at.bytesDone) * elapsedMs / at.bytesDone / 1000;
            text += QStringLiteral(" · ")
                    + (leftSeconds < 60 ? tr("about %1 s left").arg(qMax<qint64>(leftSeconds, 1))
                                        : tr("about %1 min left").arg((leftSeconds + 30) / 60));
        }
        return text;
    }

    static QString summary(const PhotoCore::IngestResult &result)
    {
        QStringList lines;
        lines.append(tr("%1 photo(s) imported, %2 skipped (imported before), %3 failed.")
                         .arg(result.imported)
                         .arg(result.skipped)
                         .arg(result.failed));
        if (result.cancelled)
            lines.append(tr("The import was cancelled; %1 photo(s) were not copied.").arg(result.notCopied));
        else if (!result.stopped.isEmpty())
            lines.append(tr("%1 The import stopped; %2 photo(s) were not copied.").arg(result.stopped).arg(result.notCopied));
        QStringList failures;
        for (const PhotoCore::IngestOutcome &outcome : result.outcomes) {
            if (outcome.state == PhotoCore::IngestState::Failed)
                failures.append(outcome.reason);
        }
        if (!failures.isEmpty()) {
            lines.append(QString());
            lines.append(failures.mid(0, listedFailures));
            if (failures.size() > listedFailures)
                lines.append(tr("…and %1 more").arg(failures.size() - listedFailures));
        }
        return lines.join(QLatin1Char('\n'));
    }
};

ImportController::ImportController(const WindowParts &windowParts, FoldersController *openFolders, QObject *parent)
    : QObject(parent)
    , parts(windowParts)
    , folders(openFolders)
{
}

void ImportController::addTo(QMenu *fileMenu)
{
    QAction *action = parts.actions->add(fileMenu, QStringLiteral("file.import"), WindowTexts::tr("&Import from Card…"),
                                         QKeySequence(QStringLiteral("Ctrl+Shift+I")));
    action->setObjectName(QStringLiteral("importAction"));
    parts.keepInFullScreen(action);
    connect(action, &QAction::triggered, this, &ImportController::importFromCard);
}

void ImportController::importFromCard()
{
    if (parts.window->isFullScreen())
        parts.setFullScreen(false);
    parts.slideshow->stop();
    ImportDialog dialog(parts.window);
    if (dialog.exec() != QDialog::Accepted)
        return;

    QProgressDialog progress(WindowTexts::tr("Importing photos…"), WindowTexts::tr("Cancel"), 0, 1000, parts.window);
    progress.setWindowTitle(WindowTexts::tr("Import from Card"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumWidth(460);
    progress.setValue(0);

    IngestJob job;
    PhotoCore::IngestResult result;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    connect(&job, &IngestJob::progress, &progress, [&progress, &clock](const PhotoCore::IngestProgress &at) {
        progress.setValue(at.bytes > 0 ? int(at.bytesDone * 1000 / at.bytes) : 0);
        progress.setLabelText(ImportTexts::progress(at, clock.elapsed()));
    });
    connect(&progress, &QProgressDialog::canceled, &job, &IngestJob::cancel);
    connect(&job, &IngestJob::finished, &loop, [&](const PhotoCore::IngestResult &r) {
        result = r;
        loop.quit();
    });
    job.start(dialog.plan(), dialog.destination(), dialog.backup(), PhotoCore::IngestLog::defaultPath());
    loop.exec();
    progress.close();

    const QString text = ImportTexts::summary(result);
    if (result.allImported())
        QMessageBox::information(parts.window, WindowTexts::tr("Import from Card"), text);
    else
        QMessageBox::warning(parts.window, WindowTexts::tr("Import from Card"), text);
    if (!result.folders.isEmpty())
        openImportedFolders(result.folders);
}

void ImportController::openImportedFolders(const QStringList &imported)
{
    if (imported.size() == 1) {
        folders->openFolder(imported.first(), QString());
        return;
    }
    // Several days: the folder above them, with its subfolders, shows them all.
    const QString above = commonFolder(imported);
    FoldersController::rememberSubfolders(above, true);
    folders->openFolder(above, QString());
}
