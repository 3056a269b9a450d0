#include "ui/transferdialog.h"

#include "core/phototransfer.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TransferDialog::TransferDialog(bool move, const QString &summary, const QString &startFolder,
                               const QString &baseFolder, QWidget *parent)
    : QDialog(parent)
    , m_baseFolder(baseFolder)
{
    setWindowTitle(move ? tr("Move Photos To") : tr("Copy Photos To"));
    auto *layout = new QVBoxLayout(this);
    auto *what = new QLabel(summary, this);
    what->setObjectName(QStringLiteral("transferSummary"));
    what->setWordWrap(true);
    QFont bold = what->font();
    bold.setBold(true);
    what->setFont(bold);
    layout->addWidget(what);

    auto *prompt = new QLabel(move ? tr("Move them to this folder:") : tr("Copy them to this folder:"), this);
    layout->addWidget(prompt);
    auto *row = new QHBoxLayout;
    m_edit = new QLineEdit(QDir::toNativeSeparators(startFolder), this);
    m_edit->setObjectName(QStringLiteral("transferFolder"));
    m_edit->setMinimumWidth(420);
    m_edit->setClearButtonEnabled(true);
    prompt->setBuddy(m_edit);
    row->addWidget(m_edit, 1);
    auto *browseButton = new QPushButton(tr("&Browse…"), this);
    browseButton->setAutoDefault(false);
    row->addWidget(browseButton);
    layout->addLayout(row);

    m_where = new QLabel(this);
    m_where->setObjectName(QStringLiteral("transferWhere"));
    m_where->setWordWrap(true);
    m_where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_where);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("transferProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #c62828;"));
    m_problem->hide();
    layout->addWidget(m_problem);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_confirm = buttons->addButton(move ? tr("&Move") : tr("&Copy"), QDialogButtonBox::AcceptRole);
    m_confirm->setDefault(true);
    layout->addWidget(buttons);

    connect(browseButton, &QPushButton::clicked, this, &TransferDialog::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &TransferDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TransferDialog::reject);
    connect(m_edit, &QLineEdit::textChanged, this, &TransferDialog::showWhere);
    showWhere();
    m_edit->setFocus();
    m_edit->selectAll();
}

QString TransferDialog::resolveFolder(const QString &typed, const QString &baseFolder)
{
    const QString trimmed = QDir::fromNativeSeparators(typed.trimmed());
    if (trimmed.isEmpty())
        return QString();
    QString path = trimmed;
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    else if (QDir::isRelativePath(path))
        path = QDir(baseFolder.isEmpty() ? QDir::homePath() : baseFolder).filePath(path);
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void TransferDialog::showWhere()
{
    m_problem->hide();
    const QString path = resolveFolder(m_edit->text(), m_baseFolder);
    const bool own = isPhotosFolder(path);
    m_confirm->setEnabled(!path.isEmpty() && !own);
    if (own) {
        m_problem->setText(alreadyThere());
        m_problem->show();
    }
    const QFileInfo info(path);
    if (path.isEmpty())
        m_where->setText(tr("Type a folder or choose one with Browse."));
    else if (!info.exists())
        m_where->setText(tr("New folder, made when you confirm: %1").arg(QDir::toNativeSeparators(path)));
    else if (!info.isDir())
        m_where->setText(tr("This is a file, not a folder: %1").arg(QDir::toNativeSeparators(path)));
    else if (QDir::fromNativeSeparators(m_edit->text().trimmed()) != path)
        m_where->setText(QDir::toNativeSeparators(path)); // where a relative name leads
    else
        m_where->clear();
    m_where->setVisible(!m_where->text().isEmpty());
}

// The photos' own folder, however it is spelt (a link to it included).
bool TransferDialog::isPhotosFolder(const QString &path) const
{
    return !path.isEmpty() && !m_baseFolder.isEmpty()
        && PhotoCore::resolvedFolder(path) == PhotoCore::resolvedFolder(m_baseFolder);
}

QString TransferDialog::alreadyThere()
{
    return tr("The photos are already in this folder. Choose another one.");
}

void TransferDialog::browse()
{
    const QString current = resolveFolder(m_edit->text(), m_baseFolder);
    QString start = current;
    while (!start.isEmpty() && !QFileInfo(start).isDir() && start != QDir::rootPath())
        start = QFileInfo(start).absolutePath();
    const QString chosen = QFileDialog::getExistingDirectory(this, windowTitle(), start);
    if (!chosen.isEmpty())
        m_edit->setText(QDir::toNativeSeparators(chosen));
    m_edit->setFocus();
}

void TransferDialog::accept()
{
    const QString path = resolveFolder(m_edit->text(), m_baseFolder);
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    const bool existed = info.exists();
    QString problem;
    if (isPhotosFolder(path))
        problem = alreadyThere();
    else if (existed && !info.isDir())
        problem = tr("%1 is a file, not a folder.").arg(QDir::toNativeSeparators(path));
    else if (!existed && !QDir().mkpath(path))
        problem = tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(path));
    m_created = !existed && problem.isEmpty();
    if (!problem.isEmpty()) {
        m_problem->setText(problem);
        m_problem->show();
        return;
    }
    m_folder = path;
    QDialog::accept();
}
