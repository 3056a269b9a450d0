#pragma once

#include "core/copyundo.h"
#include "core/phototransfer.h"
#include "ui/windowparts.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>

class HistoryController;
class QAction;
class QMenu;

// The end of a cull, every way photos leave the open folder: the selection,
// the photo on screen or the rejected photos to the recycle bin, the picks
// copied or moved into another folder (each photo with its pair partner and
// its sidecar), and the undo steps that bring moved photos back. Also says
// which photos left the folder through another program.
class TransferController : public QObject
{
    Q_OBJECT
public:
    TransferController(const WindowParts &parts, HistoryController *history, QObject *parent);

    void addTo(QMenu *fileMenu);
    void updateActions();
    // What the grid's status line says while a move to the recycle bin waits
    // for the selection's thumbnails; empty while none waits.
    QString waitingText() const;

public slots:
    void moveSelectionToRecycleBin();
    void moveRejectedToRecycleBin();
    void copyPhotosTo();
    void movePhotosTo();

signals:
    void notice(const QString &text, int timeoutMs);
    // The photos or the steps to undo changed: the window's actions and status follow.
    void stateChanged();

private:
    // How the photos for the recycle bin were chosen, which the question names:
    // the grid's selection, the photo on screen in the single view, or the
    // folder's rejected photos.
    enum RecycleReason { Selection, OnScreen, Rejected };
    // Asks, then moves `photos` (shown photos, pairs whole) to the recycle bin.
    void moveToRecycleBin(const QStringList &photos, RecycleReason reason);
    void stopWaitingForDeletion();
    void transferPhotos(bool move);
    // What Copy and Move take: a grid selection of two or more photos, else the photos shown.
    QStringList photosToTransfer(bool *selected) const;
    PhotoCore::TransferResult runTransfer(const QList<PhotoCore::TransferGroup> &groups, const QString &target,
                                          PhotoCore::TransferMode mode);
    void noteMovedAway(const QList<PhotoCore::TransferGroup> &groups);
    void reportTransferFailures(const PhotoCore::TransferResult &result, bool move, const QString &where);
    // How many of `photos` went whole, all of their files among `movedFiles`.
    int photosMovedCount(const QStringList &photos, const QStringList &movedFiles) const;
    // Takes photos that the program itself moved away out of the folder's list.
    void removeOwnFiles(const QStringList &files);
    void noteRemovedByOthers(const QStringList &paths);

    // Photos that left the folder, as one undo step.
    struct MovedAway
    {
        bool recycled = false;
        QList<QPair<QString, QString>> files; // where each file was → where it is now
        int photos = 0;
        QString where; // the folder they went to
    };
    // Brings them back; see HistoryController::TakeBack.
    bool takeBack(const MovedAway &step);
    // Removes the copies one copy made, where still as made, and the folder
    // the copy's dialog made for them, where empty again.
    bool takeBackCopies(const PhotoCore::MadeCopies &copies, const QString &where, bool madeFolder);

    WindowParts parts;
    HistoryController *history = nullptr;
    QAction *moveToTrashAction = nullptr;
    QAction *moveRejectedAction = nullptr;
    QAction *copyToAction = nullptr;
    QAction *moveToAction = nullptr;
    // The recycle bin was asked for while selected rows had no picture yet.
    bool deletionWaiting = false;
    bool removingOwnFiles = false;
};
