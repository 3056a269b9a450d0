#include "app/applicationidentity.h"
#include "app/translations.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QLocale>

#include <memory>

int main(int argc, char *argv[])
{
    // The arguments go only to the application object; the program opens no
    // file or folder named on the command line.
    auto app = std::make_unique<QApplication>(argc, argv);
    applyApplicationIdentity();

    auto translations = std::make_unique<Translations>();
    translations->installForLocale(QLocale::system().name());

    auto window = std::make_unique<MainWindow>();
    window->show();

    const int code = app->exec();
    window.reset();
    translations.reset();
    app.reset();
    return code;
}
