#pragma once

#include "core/ingestplan.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

// File › Import from Card…: where the photos come from (a card with a DCIM
// folder, or any folder), what is new on it by day, and where it goes: a
// destination with a folder template and a file-name template, an optional
// backup. Everything chosen is remembered for the next import. The plan is
// made again whenever a choice changes, so that what the dialog shows is
// what the import does.
class ImportDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ImportDialog(QWidget *parent = nullptr);

    // Once accepted: what to copy and where.
    const PhotoCore::IngestPlan &plan() const { return m_plan; }
    QString destination() const;
    QString backup() const;

    // Mounted volumes that hold a DCIM folder, as (what the list shows, the
    // DCIM folder): on Linux those below /media and /run/media, on Windows
    // every drive letter.
    static QList<QPair<QString, QString>> cardVolumes();

    // Where the first new photo of `plan` would go, for the example line.
    static QString examplePath(const PhotoCore::IngestPlan &plan, const QString &destination);

public slots:
    void accept() override;
    // Plans again from what the dialog holds now.
    void replan();

private:
    void addSource(const QString &label, const QString &folder);
    void chooseFolder();
    void browseInto(QLineEdit *edit);
    void showPlan();
    QString sourceFolder() const;
    QString problem() const;

    PhotoCore::IngestPlan m_plan;
    // Capture facts by path: read once per photo, not at every keystroke.
    QHash<QString, PhotoCore::IngestFacts> m_facts;
    QComboBox *m_source = nullptr;
    QLabel *m_summary = nullptr;
    QListWidget *m_days = nullptr;
    QLineEdit *m_destination = nullptr;
    QLineEdit *m_folders = nullptr;
    QLineEdit *m_names = nullptr;
    QLineEdit *m_backup = nullptr;
    QCheckBox *m_videos = nullptr;
    QLabel *m_example = nullptr;
    QLabel *m_problem = nullptr;
    QPushButton *m_import = nullptr;
    QTimer *m_replanTimer = nullptr;
};
