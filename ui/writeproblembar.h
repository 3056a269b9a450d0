#pragma once

#include <QFrame>
#include <QString>

class PhotoCatalog;
class QLabel;
class QPushButton;

// The bar above the photo that says when marks are not reaching the disk: a
// folder where no sidecar can be written (from the moment it is opened) and
// the number of writes that failed. It stays until the user dismisses it;
// a new failure, or a folder problem other than the one dismissed, shows it
// again.
class WriteProblemBar : public QFrame
{
    Q_OBJECT
public:
    explicit WriteProblemBar(PhotoCatalog *catalog, QWidget *parent = nullptr);

    QString text() const;

public slots:
    void dismiss();

private:
    void refresh();

    PhotoCatalog *m_catalog;
    QLabel *m_label = nullptr;
    QPushButton *m_dismiss = nullptr;
    QString m_dismissedProblem;
};
