#include "bench/copyanchor.h"

#include "bench/benchmark.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

namespace bench {

QStringList randomPhotos(const QString &root, const QString &name, int count, qint64 bytes)
{
    const QString dir = root + QLatin1Char('/') + name;
    QStringList files;
    for (int i = 0; i < count; ++i)
        files.append(dir + QStringLiteral("/IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')));
    prepareOnce(dir, [&] {
        QRandomGenerator random{quint32(count)};
        QByteArray data(bytes, Qt::Uninitialized);
        for (const QString &path : std::as_const(files)) {
            random.fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(data);
        }
    });
    return files;
}

double copySyncCompareMs(const QStringList &files, const QString &target)
{
    for (const char *tool : {"cp", "sync", "cmp"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return -1;
    }
    // One shell for the three steps, so that no process start of ours is timed in between.
    const QString script = QStringLiteral("t=\"$1\"; shift; cp -- \"$@\" \"$t\" && sync && "
                                          "for f; do cmp -s -- \"$f\" \"$t/${f##*/}\" || exit 1; done");
    return commandMedianMs(1, QStringLiteral("sh"),
                           QStringList{QStringLiteral("-c"), script, QStringLiteral("anchor"), target} + files);
}

CopyTimes timeAgainstCopyAnchor(const QStringList &files, const QString &target, const std::function<void()> &fresh,
                                const std::function<void()> &copy)
{
    std::vector<double> ours, theirs;
    for (int run = 0; run < 3; ++run) {
        fresh();
        ours.push_back(medianMs(1, copy));
        fresh();
        theirs.push_back(copySyncCompareMs(files, target));
    }
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    return {ours[1], theirs.front() < 0 ? -1 : theirs[1]};
}

BenchResult copyRatioResult(const CopyTimes &times)
{
    if (times.anchor <= 0)
        return BenchResult{-1, QStringLiteral("ratio"), {{QStringLiteral("error"), QStringLiteral("cp, sync or cmp failed")}}};
    return BenchResult{times.ours / times.anchor, QStringLiteral("ratio"),
                       {{QStringLiteral("ours_ms"), times.ours}, {QStringLiteral("cp_sync_cmp_ms"), times.anchor},
                        {QStringLiteral("target"), 1.2}}};
}

} // namespace bench
