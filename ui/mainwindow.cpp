#include "ui/mainwindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Quillmark Glanceway"));
    QSize size(1200, 800);
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        size = size.boundedTo(QSize(avail.width() - 40, avail.height() - 80));
    }
    resize(size);
    statusBar()->showMessage(tr("Open a folder to begin"));
}
