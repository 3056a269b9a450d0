#include "bench/benchmark.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

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

} // namespace bench

int main(int argc, char *argv[])
{
    // Benchmarks never touch the real user's settings or cache.
    QStandardPaths::setTestModeEnabled(true);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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
