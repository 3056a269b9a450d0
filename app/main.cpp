#include "app/applicationidentity.h"
#include "app/commandline.h"
#include "app/translations.h"
#include "core/workerpool.h"
#include "imaging/imagememory.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QLocale>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char *argv[])
{
    configureImageMemory();
    auto app = std::make_unique<QApplication>(argc, argv);
    applyApplicationIdentity();

    auto translations = std::make_unique<Translations>();
    translations->installForLocale(QLocale::system().name());

    auto window = std::make_unique<MainWindow>();
    // A folder or photo named on the command line, as "Open with" and a drop
    // on the program's icon pass it, opens instead of the last session.
    const QString path = pathToOpen(app->arguments().mid(1));
    if (!path.isEmpty())
        window->openPath(path);
    window->show();

    const int code = app->exec();
    // The window's own work that matters (the marks on their way to the
    // sidecars) is done once it is gone.
    window.reset();
    if (!WorkerPool::reapLeftPools()) {
        // A decode still running cannot be stopped and would outlive the
        // application object and the libraries it runs in. Nothing it does is
        // worth waiting for: it would show a picture, or store a thumbnail
        // (written whole or not at all) that the next start makes again.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    translations.reset();
    app.reset();
    return code;
}
