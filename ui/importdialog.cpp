#include "ui/importdialog.h"

#include "core/ingest.h"
#include "imaging/ingestfacts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMap>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString sourceKey = QStringLiteral("import/source");
const QString destinationKey = QStringLiteral("import/destination");
const QString foldersKey = QStringLiteral("import/folderTemplate");
const QString namesKey = QStringLiteral("import/nameTemplate");
const QString backupKey = QStringLiteral("import/backup");
const QString videosKey = QStringLiteral("import/alsoVideos");

QString cleaned(const QString &typed)
{
    const QString path = QDir::fromNativeSeparators(typed.trimmed());
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

ImportDialog::ImportDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Import from Card"));
    QSettings settings;
    auto *layout = new QVBoxLayout(this);

    auto *sourceRow = new QHBoxLayout;
    m_source = new QComboBox(this);
    m_source->setObjectName(QStringLiteral("importSource"));
    m_source->setMinimumWidth(420);
    sourceRow->addWidget(m_source, 1);
    auto *chooseButton = new QPushButton(tr("Choose &Folder…"), this);
    chooseButton->setAutoDefault(false);
    sourceRow->addWidget(chooseButton);
    auto *sourceLabel = new QLabel(tr("Import &from:"), this);
    sourceLabel->setBuddy(m_source);
    layout->addWidget(sourceLabel);
    layout->addLayout(sourceRow);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("importSummary"));
    m_summary->setWordWrap(true);
    QFont bold = m_summary->font();
    bold.setBold(true);
    m_summary->setFont(bold);
    layout->addWidget(m_summary);
    m_days = new QListWidget(this);
    m_days->setObjectName(QStringLiteral("importDays"));
    m_days->setMaximumHeight(130);
    m_days->setSelectionMode(QAbstractItemView::NoSelection);
    m_days->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_days);

    auto *form = new QFormLayout;
    const auto folderRow = [this, form](QLineEdit *&edit, const QString &label, const QString &objectName,
                                        const QString &value) {
        auto *row = new QHBoxLayout;
        edit = new QLineEdit(QDir::toNativeSeparators(value), this);
        edit->setObjectName(objectName);
        row->addWidget(edit, 1);
        auto *browse = new QPushButton(tr("&Browse…"), this);
        browse->setAutoDefault(false);
        QLineEdit *target = edit;
        connect(browse, &QPushButton::clicked, this, [this, target] { browseInto(target); });
        row->addWidget(browse);
        auto *name = new QLabel(label, this);
        name->setBuddy(edit);
        form->addRow(name, row);
    };
    folderRow(m_destination, tr("&Destination:"), QStringLiteral("importDestination"),
              settings.value(destinationKey, QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
                  .toString());
    m_folders = new QLineEdit(
        settings.value(foldersKey, PhotoCore::IngestTemplates::defaultFolderTemplate()).toString(), this);
    m_folders->setObjectName(QStringLiteral("importFolders"));
    m_folders->setToolTip(tr("Tokens: {year} {month} {day} {camera}; \"/\" starts a subfolder."));
    form->addRow(tr("Folders &by:"), m_folders);
    m_names = new QLineEdit(settings.value(namesKey).toString(), this);
    m_names->setObjectName(QStringLiteral("importNames"));
    m_names->setPlaceholderText(tr("Keep the names from the card"));
    m_names->setToolTip(tr("Tokens: {original} {date} {time} {sequence} {camera}."));
    form->addRow(tr("File &names:"), m_names);
    folderRow(m_backup, tr("&Second copy to:"), QStringLiteral("importBackup"), settings.value(backupKey).toString());
    m_backup->setPlaceholderText(tr("No second copy"));
    layout->addLayout(form);

    m_videos = new QCheckBox(tr("Also copy &videos"), this);
    m_videos->setObjectName(QStringLiteral("importVideos"));
    m_videos->setChecked(settings.value(videosKey, false).toBool());
    layout->addWidget(m_videos);

    m_example = new QLabel(this);
    m_example->setObjectName(QStringLiteral("importExample"));
    m_example->setWordWrap(true);
    m_example->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_example);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("importProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #c62828;"));
    layout->addWidget(m_problem);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_import = buttons->addButton(tr("&Import"), QDialogButtonBox::AcceptRole);
    m_import->setDefault(true);
    layout->addWidget(buttons);

    for (const auto &[label, folder] : cardVolumes())
        addSource(label, folder);
    const QString lastFolder = settings.value(sourceKey).toString();
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() && m_source->findData(lastFolder) < 0)
        addSource(QDir::toNativeSeparators(lastFolder), lastFolder);

    // Typing is planned after a pause; a list choice at once.
    m_replanTimer = new QTimer(this);
    m_replanTimer->setSingleShot(true);
    m_replanTimer->setInterval(300);
    connect(m_replanTimer, &QTimer::timeout, this, &ImportDialog::replan);
    for (QLineEdit *edit : {m_destination, m_folders, m_names, m_backup})
        connect(edit, &QLineEdit::textChanged, m_replanTimer, qOverload<>(&QTimer::start));
    connect(m_videos, &QCheckBox::toggled, this, &ImportDialog::replan);
    connect(m_source, &QComboBox::currentIndexChanged, this, &ImportDialog::replan);
    connect(chooseButton, &QPushButton::clicked, this, &ImportDialog::chooseFolder);
    connect(buttons, &QDialogButtonBox::accepted, this, &ImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ImportDialog::reject);
    replan();
}

QList<QPair<QString, QString>> ImportDialog::cardVolumes()
{
    QList<QPair<QString, QString>> cards;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
#if defined(Q_OS_WIN)
        const bool removablePlace = root.size() <= 3 && root.at(0).isLetter();
#else
        const bool removablePlace = root.startsWith(QLatin1String("/media/"))
                                    || root.startsWith(QLatin1String("/run/media/"));
#endif
        const QString dcim = removablePlace ? PhotoCore::dcimFolder(root) : QString();
        if (dcim.isEmpty())
            continue;
        const QString name = volume.displayName() == root ? QFileInfo(root).fileName() : volume.displayName();
        cards.append({tr("%1 (%2)").arg(name, QDir::toNativeSeparators(root)), dcim});
    }
    return cards;
}

QString ImportDialog::examplePath(const PhotoCore::IngestPlan &plan, const QString &destination)
{
    for (const PhotoCore::IngestItem &item : plan.items) {
        if (item.alreadyImported)
            continue;
        const QString name = QFileInfo(item.files.first()).fileName();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        const QString path = QDir(destination).filePath(item.folder + QLatin1Char('/') + item.baseName
                                                        + (dot > 0 ? name.mid(dot) : QString()));
        return QDir::toNativeSeparators(QDir::cleanPath(path));
    }
    return QString();
}

QString ImportDialog::destination() const
{
    return cleaned(m_destination->text());
}

QString ImportDialog::backup() const
{
    return cleaned(m_backup->text());
}

QString ImportDialog::sourceFolder() const
{
    return m_source->currentData().toString();
}

void ImportDialog::addSource(const QString &label, const QString &folder)
{
    m_source->addItem(label, folder);
}

void ImportDialog::chooseFolder()
{
    const QString start = sourceFolder().isEmpty() ? QDir::homePath() : sourceFolder();
    const QString chosen = QFileDialog::getExistingDirectory(this, tr("Import from Folder"), start);
    if (chosen.isEmpty())
        return;
    const QString folder = QDir::cleanPath(chosen);
    int at = m_source->findData(folder);
    if (at < 0) {
        addSource(QDir::toNativeSeparators(folder), folder);
        at = m_source->count() - 1;
    }
    m_source->setCurrentIndex(at);
}

void ImportDialog::browseInto(QLineEdit *edit)
{
    QString start = cleaned(edit->text());
    while (!start.isEmpty() && !QFileInfo(start).isDir() && start != QDir::rootPath())
        start = QFileInfo(start).absolutePath();
    const QString chosen = QFileDialog::getExistingDirectory(this, windowTitle(), start);
    if (!chosen.isEmpty())
        edit->setText(QDir::toNativeSeparators(chosen));
}

void ImportDialog::replan()
{
    m_replanTimer->stop();
    const QString source = sourceFolder();
    const QString into = destination();
    if (source.isEmpty()) {
        m_plan = PhotoCore::IngestPlan{};
        showPlan();
        return;
    }
    const auto readFacts = [this](const QString &path) {
        auto it = m_facts.constFind(path);
        if (it == m_facts.cend())
            it = m_facts.insert(path, readIngestFacts(path));
        return *it;
    };
    const PhotoCore::IngestLog log;
    setCursor(Qt::BusyCursor);
    m_plan = PhotoCore::planIngest(source, {m_folders->text().trimmed(), m_names->text().trimmed()},
                                   m_videos->isChecked(), readFacts, [&](const PhotoCore::IngestItem &item) {
                                       return !into.isEmpty() && log.contains(item, into);
                                   });
    unsetCursor();
    showPlan();
}

QString ImportDialog::problem() const
{
    const QString source = sourceFolder();
    const QString into = destination();
    const QString second = backup();
    if (source.isEmpty())
        return tr("Insert a card, or choose a folder to import from.");
    if (into.isEmpty())
        return tr("Choose a destination folder.");
    switch (PhotoCore::ingestFolderClash(source, into, second)) {
    case PhotoCore::IngestFolderClash::OnSource:
        return tr("The destination and the second copy cannot lie on the card's own folder.");
    case PhotoCore::IngestFolderClash::BackupOverlaps:
        return tr("The second copy needs a folder of its own, outside the destination.");
    case PhotoCore::IngestFolderClash::None:
        break;
    }
    if (m_plan.items.isEmpty())
        return tr("There are no photos in %1.").arg(QDir::toNativeSeparators(source));
    if (m_plan.newCount() == 0)
        return tr("Every photo here was imported before.");
    return QString();
}

void ImportDialog::showPlan()
{
    const QLocale locale;
    m_days->clear();
    // New photos and their size, by day of capture.
    QMap<QDate, QPair<int, qint64>> days;
    for (const PhotoCore::IngestItem &item : std::as_const(m_plan.items)) {
        if (item.alreadyImported)
            continue;
        auto &day = days[item.captured.date()];
        ++day.first;
        day.second += item.bytes();
    }
    for (auto it = days.cbegin(); it != days.cend(); ++it)
        m_days->addItem(tr("%1 — %2 photo(s), %3")
                            .arg(locale.toString(it.key(), QLocale::LongFormat))
                            .arg(it.value().first)
                            .arg(locale.formattedDataSize(it.value().second)));
    m_days->setVisible(!days.isEmpty());

    QStringList summary;
    if (!sourceFolder().isEmpty()) {
        summary.append(m_plan.newCount() == 0 ? tr("No new photos")
                                              : tr("%1 new photo(s), %2")
                                                    .arg(m_plan.newCount())
                                                    .arg(locale.formattedDataSize(m_plan.newBytes())));
        if (m_plan.skippedCount() > 0)
            summary.append(tr("%1 imported before, skipped").arg(m_plan.skippedCount()));
        if (m_plan.leftOnCard > 0)
            summary.append(tr("%1 other file(s) left on the card").arg(m_plan.leftOnCard));
    }
    m_summary->setText(summary.join(QStringLiteral(" · ")));
    m_summary->setVisible(!summary.isEmpty());

    // The example only while the import could start: it shows what it would do.
    const QString trouble = problem();
    const QString example = trouble.isEmpty() ? examplePath(m_plan, destination()) : QString();
    m_example->setText(example.isEmpty() ? QString() : tr("The first photo goes to %1").arg(example));
    m_example->setVisible(!example.isEmpty());
    m_problem->setText(trouble);
    m_problem->setVisible(!trouble.isEmpty());
    m_import->setEnabled(trouble.isEmpty());
}

void ImportDialog::accept()
{
    // What was typed last, planned before it is acted on.
    replan();
    if (!problem().isEmpty())
        return;
    for (const QString &folder : {destination(), backup()}) {
        if (!folder.isEmpty() && !QDir().mkpath(folder)) {
            m_problem->setText(tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder)));
            m_problem->show();
            return;
        }
    }
    QSettings settings;
    const QString source = sourceFolder();
    // A card comes back under its own mount; a folder chosen by hand is offered again.
    const bool card = m_source->currentIndex() < int(cardVolumes().size());
    if (!card)
        settings.setValue(sourceKey, source);
    settings.setValue(destinationKey, destination());
    settings.setValue(foldersKey, m_folders->text().trimmed());
    settings.setValue(namesKey, m_names->text().trimmed());
    settings.setValue(backupKey, backup());
    settings.setValue(videosKey, m_videos->isChecked());
    QDialog::accept();
}
