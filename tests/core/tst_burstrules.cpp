#include "core/burstrules.h"

#include <QtTest>

using PhotoCore::BurstFacts;
using PhotoCore::BurstRules;

namespace {

// Scenes far apart in hash space (32 bits differ between any two).
const quint64 sceneHashes[] = {0x0000000000000000ULL, 0xFFFFFFFF00000000ULL, 0x00000000FFFFFFFFULL};

// "seconds/scene/flipped bits[/exposure bias]"; seconds "-" for no capture
// time, scene "-" for a picture that could not be decoded.
BurstFacts frame(const QString &row)
{
    const QStringList parts = row.split(QLatin1Char('/'));
    BurstFacts facts;
    const QDateTime start(QDate(2024, 6, 1), QTime(14, 0, 0));
    if (parts.at(0) != QLatin1String("-"))
        facts.captured = start.addMSecs(qint64(parts.at(0).toDouble() * 1000));
    if (parts.at(1) != QLatin1String("-")) {
        const int flips = parts.at(2).toInt();
        facts.hash = sceneHashes[parts.at(1).toInt()] ^ (flips == 64 ? ~0ULL : ((1ULL << flips) - 1));
        facts.hashed = true;
    }
    if (parts.size() > 3)
        facts.exposureBias = parts.at(3).toDouble();
    return facts;
}

QList<int> groupSizes(const QList<QList<int>> &groups)
{
    QList<int> sizes;
    for (const QList<int> &group : groups)
        sizes.append(int(group.size()));
    return sizes;
}

} // namespace

class TestBurstRules : public QObject
{
    Q_OBJECT

private slots:
    void grouping_data();
    void grouping();
    void ranks_data();
    void ranks();
    void captureOrderUsesFractions();
};

void TestBurstRules::grouping_data()
{
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<double>("gap");
    QTest::addColumn<QList<int>>("sizes");
    const int d = BurstRules::defaultHashDistance;
    const QString near = QString::number(d);
    const QString far = QString::number(d + 1);

    QTest::newRow("one-burst") << QStringList{"0/0/0", "0.3/0/2", "0.6/0/4", "0.9/0/1"} << 2.0 << QList<int>{4};
    QTest::newRow("gap-at-threshold") << QStringList{"0/0/0", "2/0/0"} << 2.0 << QList<int>{2};
    QTest::newRow("gap-over-threshold") << QStringList{"0/0/0", "2.001/0/0"} << 2.0 << QList<int>{1, 1};
    QTest::newRow("gap-chains-frame-to-frame") << QStringList{"0/0/0", "1.5/0/0", "3/0/0", "4.5/0/0"} << 2.0
                                              << QList<int>{4};
    QTest::newRow("longer-gap-preference") << QStringList{"0/0/0", "4/0/0"} << 5.0 << QList<int>{2};
    QTest::newRow("grouping-off") << QStringList{"0/0/0", "0.2/0/0", "0.4/0/0"} << 0.0 << QList<int>{1, 1, 1};
    QTest::newRow("hash-at-threshold") << QStringList{"0/0/0", "0.5/0/" + near} << 2.0 << QList<int>{2};
    QTest::newRow("hash-over-threshold") << QStringList{"0/0/0", "0.5/0/" + far} << 2.0 << QList<int>{1, 1};
    // Two scenes shot a second apart are two groups.
    QTest::newRow("scene-change-within-gap") << QStringList{"0/0/0", "0.4/0/1", "1.4/1/0", "1.7/1/3"} << 2.0
                                             << QList<int>{2, 2};
    QTest::newRow("no-capture-time") << QStringList{"0/0/0", "-/0/0", "-/0/0"} << 2.0 << QList<int>{1, 1, 1};
    QTest::newRow("undecodable") << QStringList{"0/0/0", "0.2/-/0", "0.4/0/0"} << 2.0 << QList<int>{1, 1, 1};
    // An exposure bracket moves more bits, and is still one group...
    QTest::newRow("bracket") << QStringList{"0/0/0/0", "0.3/0/" + far + "/-1", "0.6/0/" + far + "/1"} << 2.0
                             << QList<int>{3};
    // ...but without a step in the compensation the same distance is another scene,
    QTest::newRow("no-bracket-same-bias") << QStringList{"0/0/0/0", "0.3/0/" + far + "/0"} << 2.0
                                          << QList<int>{1, 1};
    // and a bracket of another scene is not joined.
    QTest::newRow("bracket-other-scene") << QStringList{"0/0/0/0", "0.3/1/0/-1"} << 2.0 << QList<int>{1, 1};
    QTest::newRow("bracket-beyond-gap") << QStringList{"0/0/0/0", "2.5/0/" + far + "/-1"} << 2.0
                                        << QList<int>{1, 1};
    QTest::newRow("empty") << QStringList{} << 2.0 << QList<int>{};
}

void TestBurstRules::grouping()
{
    QFETCH(QStringList, frames);
    QFETCH(double, gap);
    QFETCH(QList<int>, sizes);
    QList<BurstFacts> facts;
    for (const QString &row : frames)
        facts.append(frame(row));
    BurstRules rules;
    rules.maxGapSeconds = gap;
    const QList<QList<int>> groups = PhotoCore::groupBursts(facts, rules);
    QCOMPARE(groupSizes(groups), sizes);
    // Every frame exactly once, in order.
    QList<int> all;
    for (const QList<int> &group : groups)
        all += group;
    for (int i = 0; i < all.size(); ++i)
        QCOMPARE(all.at(i), i);
}

void TestBurstRules::ranks_data()
{
    QTest::addColumn<QList<double>>("scores");
    QTest::addColumn<QList<int>>("ranks");
    QTest::newRow("descending") << QList<double>{3, 2, 1} << QList<int>{1, 2, 3};
    QTest::newRow("sharpest-in-middle") << QList<double>{0.2, 0.9, 0.5, 0.1} << QList<int>{3, 1, 2, 4};
    // Equal scores keep the capture order, so ranks never flip between runs.
    QTest::newRow("ties-keep-order") << QList<double>{0.5, 0.7, 0.5, 0.7} << QList<int>{3, 1, 4, 2};
    QTest::newRow("unknown-last") << QList<double>{-1, 0.1, -1, 0.3} << QList<int>{3, 2, 4, 1};
    QTest::newRow("single") << QList<double>{0} << QList<int>{1};
}

void TestBurstRules::ranks()
{
    QFETCH(QList<double>, scores);
    QFETCH(QList<int>, ranks);
    QCOMPARE(PhotoCore::sharpnessRanks(scores), ranks);
}

void TestBurstRules::captureOrderUsesFractions()
{
    // Frames of one second, named against their order: the fractions decide.
    const QDateTime second(QDate(2024, 6, 1), QTime(14, 0, 0));
    QHash<QString, BurstFacts> facts;
    facts[QStringLiteral("/p/IMG_3.JPG")].captured = second.addMSecs(100);
    facts[QStringLiteral("/p/IMG_1.JPG")].captured = second.addMSecs(700);
    facts[QStringLiteral("/p/IMG_2.JPG")].captured = second.addMSecs(400);
    facts[QStringLiteral("/p/IMG_0.JPG")].captured = QDateTime();
    const QStringList order = PhotoCore::captureOrder(facts.keys(), facts);
    QCOMPARE(order, (QStringList{"/p/IMG_3.JPG", "/p/IMG_2.JPG", "/p/IMG_1.JPG", "/p/IMG_0.JPG"}));
}

QTEST_GUILESS_MAIN(TestBurstRules)
#include "tst_burstrules.moc"
