#pragma once

#include "ui/windowparts.h"

#include <QObject>
#include <QStringList>

class FoldersController;
class QMenu;

// File › Import from Card…: the new photos of a card copied, checked, into
// dated folders (and a second time into a backup), then opened for culling.
class ImportController : public QObject
{
    Q_OBJECT
public:
    ImportController(const WindowParts &parts, FoldersController *folders, QObject *parent);

    void addTo(QMenu *fileMenu);

private:
    void importFromCard();
    // Opens what an import made: its one folder, or the folder above its
    // several folders with its subfolders.
    void openImportedFolders(const QStringList &folders);

    WindowParts parts;
    FoldersController *folders = nullptr;
};
