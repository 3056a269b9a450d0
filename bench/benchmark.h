#pragma once

#include <QImage>
#include <QJsonObject>
#include <QString>

#include <functional>

// A benchmark prints one JSON line: {"bench": name, "value": v, "unit": u, ...detail}.
// Register one with a file-level `static const BenchRegistration r{"name", fn};`.
struct BenchResult
{
    double value = 0;
    QString unit;
    QJsonObject detail;
};

struct BenchContext
{
    QString dataDir;   // where benchmarks build their data sets (under the build tree)
    QString testData;  // the real camera files shipped with the tests
};

using BenchFunction = std::function<BenchResult(const BenchContext &)>;

struct BenchRegistration
{
    BenchRegistration(const char *name, BenchFunction fn);
};

namespace bench {

// Median of `runs` timings of `fn`, in milliseconds.
double medianMs(int runs, const std::function<void()> &fn);

// Runs a shell command `runs` times and returns the median wall time in ms,
// or -1 when the command is missing or fails.
double commandMedianMs(int runs, const QString &program, const QStringList &args);

// A picture with fine detail, different for every index, so that its JPEG
// decodes like a camera file rather than like flat colour.
QImage detailedPicture(int index, const QSize &size);

// A field of /proc/self/status in KiB (VmRSS, VmHWM), or -1 where there is none.
qint64 procStatusKiB(const char *field);

} // namespace bench
