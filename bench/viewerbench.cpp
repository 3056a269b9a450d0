#include "bench/viewerbench.h"

#include "bench/benchmark.h"
#include "viewer/viewerwidget.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

namespace bench {

void showViewer(ViewerWidget &viewer)
{
    viewer.resize(viewerSize);
    viewer.show();
    waitFor([&] { return viewer.windowHandle() && viewer.windowHandle()->isExposed(); }, 5000);
    QCoreApplication::processEvents();
}

bool cacheHit(const ViewerWidget &viewer)
{
    return viewer.statusText().contains(QStringLiteral(" — cache"));
}

void tick(int intervalMs, const std::function<bool()> &step)
{
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(intervalMs);
    QEventLoop loop;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!step())
            loop.quit();
    });
    ticker.start();
    loop.exec();
}

} // namespace bench
