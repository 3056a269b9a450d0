#include "app/applicationidentity.h"
#include "app/translations.h"
#include "imaging/imagememory.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QLocale>

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
    const QStringList arguments = app->arguments();
    if (arguments.size() > 1)
        window->openPath(arguments.at(1));
    window->show();

    const int code = app->exec();
    window.reset();
    translations.reset();
    app.reset();
    return code;
}
