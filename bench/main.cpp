#include "bench/benchmark.h"
#include "imaging/imagememory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {
std::map<QString, BenchFunction> &registry()
{
    static std::map<QString, BenchFunction> benchmarks;
    return benchmarks;
}
} // namespace

BenchRegistration::BenchRegistration(const char *name, BenchFunction fn)
{
    registry().emplace(QString::fromLatin1(name), std::move(fn));
}

namespace bench {

double medianMs(int runs, const std::function<void()> &fn)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        fn();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.empty() ? 0 : times[times.size() / 2];
}

double commandMedianMs(int runs, const QString &program, const QStringList &args)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return -1;
    bool ok = true;
    const double ms = medianMs(runs, [&] {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(program, args);
        ok = ok && p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    });
    return ok ? ms : -1;
}

QImage detailedPicture(int index, const QSize &size)
{
    quint32 seed = 777u + quint32(index) * 7919u;
    QImage coarse(750, 500, QImage::Format_RGB32);
    for (int y = 0; y < coarse.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(coarse.scanLine(y));
        for (int x = 0; x < coarse.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = qRgb((x + index * 37) % 256, (y * 2 + (seed >> 24)) % 256, (seed >> 16) & 0xff);
        }
    }
    QImage image = coarse.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 28) - 8;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255), qBound(0, qBlue(p) + n, 255));
        }
    }
    return image;
}

qint64 procStatusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void resetPeakRss()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // the kernel restarts VmHWM at the current VmRSS
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

bool waitFor(const std::function<bool()> &done, int timeoutMs, int tickMs)
{
    QElapsedTimer timer;
    timer.start();
    // The form of processEvents with a time limit returns at once when nothing is
    // pending, which would spin a core that the workers need; block instead, with
    // a ticking timer so that the time limit and `done` are still checked.
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(tickMs);
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

ScreenWatch::ScreenWatch(QWidget *window, std::function<void()> flushed)
    : m_window(window)
    , m_flushed(std::move(flushed))
{
    m_window->installEventFilter(this);
}

bool ScreenWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest)
        return false;
    // The window paints its dirty widgets and flushes them here, so that the
    // callback comes after the pixels are out, not before.
    static_cast<QObject *>(m_window)->event(event);
    m_flushed();
    return true;
}

} // namespace bench

int main(int argc, char *argv[])
{
    // Benchmarks never touch the real user's settings or cache.
    QStandardPaths::setTestModeEnabled(true);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Memory is measured as the program holds it.
    configureImageMemory();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(QStringLiteral("GlancewayBench"));

    const QStringList prefixes = app.arguments().mid(1);
    BenchContext context;
    context.dataDir = qEnvironmentVariable("GLANCEWAY_BENCH_DATA", QDir::currentPath() + QStringLiteral("/bench-data"));
    context.testData = QStringLiteral(GLANCEWAY_TESTDATA);
    QDir().mkpath(context.dataDir);

    int ran = 0;
    for (const auto &[name, fn] : registry()) {
        const bool wanted = prefixes.isEmpty()
            || std::any_of(prefixes.begin(), prefixes.end(), [&](const QString &p) { return name.startsWith(p); });
        if (!wanted)
            continue;
        const BenchResult result = fn(context);
        QJsonObject line{{QStringLiteral("bench"), name},
                         {QStringLiteral("value"), result.value},
                         {QStringLiteral("unit"), result.unit}};
        for (auto it = result.detail.begin(); it != result.detail.end(); ++it)
            line.insert(it.key(), it.value());
        // The machine may be shared: how busy it was tells how far to trust a time.
        QFile loadavg(QStringLiteral("/proc/loadavg"));
        if (loadavg.open(QIODevice::ReadOnly))
            line.insert(QStringLiteral("load_1m"), loadavg.readAll().split(' ').value(0).toDouble());
        std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        ++ran;
    }
    if (ran == 0) {
        std::fprintf(stderr, "no benchmark matches\n");
        return 1;
    }
    return 0;
}
