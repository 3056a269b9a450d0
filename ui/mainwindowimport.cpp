#include "ui/mainwindow.h"

#include "catalog/ingestjob.h"
#include "ui/importdialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>

// File › Import from Card…: the new photos of a card copied, checked, into
// dated folders (and a second time into a backup), then opened for culling.

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

void MainWindow::addImportAction(QMenu *fileMenu)
{
    QAction *action = addRegisteredAction(fileMenu, QStringLiteral("file.import"), tr("&Import from Card…"),
                                          QKeySequence(QStringLiteral("Ctrl+Shift+I")));
    action->setObjectName(QStringLiteral("importAction"));
    // The menu bar is hidden in full screen; the key must still work there.
    addAction(action);
    connect(action, &QAction::triggered, this, &MainWindow::importFromCard);
}

void MainWindow::importFromCard()
{
    if (isFullScreen())
        toggleFullScreen();
    stopSlideshow();
    ImportDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;

    QProgressDialog progress(tr("Importing photos…"), tr("Cancel"), 0, 1000, this);
    progress.setWindowTitle(tr("Import from Card"));
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
        QMessageBox::information(this, tr("Import from Card"), text);
    else
        QMessageBox::warning(this, tr("Import from Card"), text);
    if (!result.folders.isEmpty())
        openImportedFolders(result.folders);
}

void MainWindow::openImportedFolders(const QStringList &folders)
{
    if (folders.size() == 1) {
        openFolder(folders.first(), QString());
        return;
    }
    // Several days: the folder above them, with its subfolders, shows them all.
    const QString above = commonFolder(folders);
    rememberSubfolders(above, true);
    openFolder(above, QString());
}
