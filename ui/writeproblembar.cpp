#include "ui/writeproblembar.h"

#include "catalog/photocatalog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

WriteProblemBar::WriteProblemBar(PhotoCatalog *catalog, QWidget *parent)
    : QFrame(parent)
    , m_catalog(catalog)
{
    setObjectName(QStringLiteral("writeProblemBar"));
    setStyleSheet(QStringLiteral(
        "#writeProblemBar { background: #5c3b00; border-bottom: 1px solid #ffb74d; }"
        "#writeProblemBar QLabel { color: #ffe0b2; font-weight: 600; }"
        "#writeProblemBar QPushButton { color: #ffe0b2; background: transparent; border: 1px solid #ffb74d; "
        "border-radius: 4px; padding: 3px 12px; }"));
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("writeProblemText"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    m_dismiss = new QPushButton(tr("Dismiss"), this);
    m_dismiss->setObjectName(QStringLiteral("writeProblemDismiss"));
    // The keys stay with the photo: a click dismisses, a key never does.
    m_dismiss->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_dismiss);
    connect(m_dismiss, &QPushButton::clicked, this, &WriteProblemBar::dismiss);
    connect(catalog, &PhotoCatalog::writeProblemsChanged, this, &WriteProblemBar::refresh);
    refresh();
}

QString WriteProblemBar::text() const
{
    return isVisibleTo(parentWidget()) ? m_label->text() : QString();
}

void WriteProblemBar::dismiss()
{
    m_dismissedProblem = m_catalog->folderWriteProblem();
    m_catalog->dismissWriteFailures();
    refresh();
}

void WriteProblemBar::refresh()
{
    QStringList parts;
    const QString problem = m_catalog->folderWriteProblem();
    if (problem.isEmpty())
        m_dismissedProblem.clear();
    else if (problem != m_dismissedProblem || m_catalog->failedWriteCount() > 0)
        parts.append(tr("Marks cannot be saved in this folder: %1").arg(problem));
    if (m_catalog->failedWriteCount() > 0)
        parts.append(tr("%1 mark(s) could not be saved.").arg(m_catalog->failedWriteCount()));
    m_label->setText(parts.join(QStringLiteral(" · ")));
    setVisible(!parts.isEmpty());
}
