#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks where photos are copied or moved to, saying what goes. The folder is
// typed or browsed for; a relative name is taken below `baseFolder`, the
// folder the photos are in, which is never a target; a folder that does not
// exist yet is created when the user confirms. The dialog stays open, saying
// why, while the folder cannot be used.
class TransferDialog : public QDialog
{
    Q_OBJECT
public:
    TransferDialog(bool move, const QString &summary, const QString &startFolder, const QString &baseFolder,
                   QWidget *parent = nullptr);

    // The chosen folder, absolute and existing once the dialog is accepted.
    QString folder() const { return m_folder; }
    // Whether the dialog made the folder (so that a later cancel can take it away again).
    bool createdFolder() const { return m_created; }

    // Where `typed` leads: absolute, cleaned; empty for nothing typed.
    static QString resolveFolder(const QString &typed, const QString &baseFolder);

public slots:
    void accept() override;

private:
    void browse();
    void showWhere();
    bool isPhotosFolder(const QString &path) const;
    static QString alreadyThere();

    QString m_baseFolder;
    QString m_folder;
    bool m_created = false;
    QLineEdit *m_edit = nullptr;
    QLabel *m_where = nullptr;
    QLabel *m_problem = nullptr;
    QPushButton *m_confirm = nullptr;
};
