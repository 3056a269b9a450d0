#include "bench/benchmark.h"
#include "imaging/burstanalysis.h"
#include "imaging/jpegluma.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

// A hostile file in a folder being grouped: a 32768 × 32768 grey JPEG of
// 6 MiB whose blocks are 3 bits each, so that a range cut at a byte decodes
// sound-looking blocks that never meet the true ones. The analysis of it must
// stay within 600 MiB and 5 s, on however many threads it decodes.

namespace {

QByteArray huffman(int cls, const QByteArray &counts)
{
    QByteArray body(1, char(cls << 4));
    body += counts.leftJustified(16, '\0');
    int total = 0;
    for (char c : counts)
        total += uchar(c);
    body += QByteArray(total, '\0');
    const int size = int(body.size()) + 2;
    return QByteArray("\xFF\xC4", 2) + char(size >> 8) + char(size & 0xFF) + body;
}

QString craftedFile(const BenchContext &ctx)
{
    const QString path = ctx.dataDir + QStringLiteral("/crafted/three-bit-blocks.jpg");
    bench::prepareOnce(ctx.dataDir + QStringLiteral("/crafted"), [&] {
        const int side = 32768;
        QByteArray bytes("\xFF\xD8", 2);
        bytes += QByteArray("\xFF\xDB\x00\x43\x00", 5) + QByteArray(64, '\1');
        bytes += QByteArray("\xFF\xC0\x00\x0B\x08\x80\x00\x80\x00\x01\x01\x11\x00", 13);
        bytes += huffman(0, QByteArray("\1", 1)) + huffman(1, QByteArray("\0\1", 2));
        bytes += QByteArray("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
        bytes += QByteArray(qsizetype(qint64(side / 8) * (side / 8) * 3 / 8), '\0');
        bytes += QByteArray("\xFF\xD9", 2);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    });
    return path;
}

struct Crafted
{
    double analyseMs = -1;
    double analysePeakMiB = -1;
    QJsonArray decodes; // the luma decode alone at 1/4, per thread count
};

const Crafted &crafted(const BenchContext &ctx)
{
    static Crafted result;
    static bool measured = false;
    if (measured)
        return result;
    measured = true;
    const QString path = craftedFile(ctx);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray bytes = file.readAll();
    file.close();
    auto peakSince = [](qint64 startKiB) { return double(bench::procStatusKiB("VmHWM") - startKiB) / 1024.0; };
    for (int threads : {1, 2, 4}) {
        bench::resetPeakRss();
        const qint64 start = bench::procStatusKiB("VmRSS");
        QElapsedTimer timer;
        timer.start();
        const QImage luma = decodeJpegLuma(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size(), 4, threads);
        result.decodes.append(QJsonObject{{QStringLiteral("threads"), threads},
                                          {QStringLiteral("ms"), double(timer.nsecsElapsed()) / 1e6},
                                          {QStringLiteral("peak_mib"), peakSince(start)},
                                          {QStringLiteral("decoded"), !luma.isNull()}});
    }
    bench::resetPeakRss();
    const qint64 start = bench::procStatusKiB("VmRSS");
    QElapsedTimer timer;
    timer.start();
    analyseBurstFrame(path);
    result.analyseMs = double(timer.nsecsElapsed()) / 1e6;
    result.analysePeakMiB = peakSince(start);
    return result;
}

const BenchRegistration craftedMs{"groups.craftedMs", [](const BenchContext &ctx) {
    const Crafted &c = crafted(ctx);
    return BenchResult{c.analyseMs, QStringLiteral("ms"),
                       QJsonObject{{QStringLiteral("goal_ms"), 5000}, {QStringLiteral("luma_decodes"), c.decodes}}};
}};

const BenchRegistration craftedPeakRss{"groups.craftedPeakRss", [](const BenchContext &ctx) {
    const Crafted &c = crafted(ctx);
    return BenchResult{c.analysePeakMiB, QStringLiteral("MiB"),
                       QJsonObject{{QStringLiteral("goal_mib"), 600}, {QStringLiteral("luma_decodes"), c.decodes}}};
}};

} // namespace
