#include "catalog/groupmarks.h"

#include <QtTest>

using PhotoCore::Metadata;

namespace {

Metadata marked(int rating, bool rejected = false)
{
    Metadata m;
    m.rating = rating;
    m.rejected = rejected;
    return m;
}

} // namespace

class TestGroupMarks : public QObject
{
    Q_OBJECT

private slots:
    void scope_data();
    void scope();
    void summary_data();
    void summary();
};

// Cells "g1" and "g2" stand for collapsed groups (g1 of g1, a, b; g2 of g2, c);
// "s" is a photo of its own.
void TestGroupMarks::scope_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<bool>("wholeGroups");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("groupsCovered");
    QTest::addColumn<QString>("shownOnly");
    QTest::newRow("reject-one-group") << QStringList{"g1"} << true << QStringList{"g1", "a", "b"} << 1 << "";
    QTest::newRow("reject-groups-and-single")
        << QStringList{"s", "g1", "g2"} << true << QStringList{"s", "g1", "a", "b", "g2", "c"} << 2 << "";
    QTest::newRow("stars-on-a-group-cell") << QStringList{"g1"} << false << QStringList{"g1"} << 0 << "g1";
    QTest::newRow("stars-on-several-cells") << QStringList{"g1", "s"} << false << QStringList{"g1", "s"} << 0 << "";
    QTest::newRow("single-photo") << QStringList{"s"} << true << QStringList{"s"} << 0 << "";
    QTest::newRow("nothing-selected") << QStringList() << true << QStringList() << 0 << "";
}

void TestGroupMarks::scope()
{
    QFETCH(QStringList, selected);
    QFETCH(bool, wholeGroups);
    QFETCH(QStringList, files);
    QFETCH(int, groupsCovered);
    QFETCH(QString, shownOnly);
    const QHash<QString, QStringList> groups{{"g1", {"g1", "a", "b"}}, {"g2", {"g2", "c"}}};
    const GroupMarkScope scope = groupMarkScope(selected, wholeGroups, [&](const QString &cell) { return groups.value(cell); });
    QCOMPARE(scope.files, files);
    QCOMPARE(scope.groupsCovered, groupsCovered);
    QCOMPARE(scope.shownOnly, shownOnly);
    QCOMPARE(scope.shownGroupSize, shownOnly.isEmpty() ? 0 : 3);
}

void TestGroupMarks::summary_data()
{
    QTest::addColumn<QList<Metadata>>("frames");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unmarked") << QList<Metadata>{marked(0), marked(0)} << "";
    QTest::newRow("kept-and-rejected") << QList<Metadata>{marked(3), marked(0, true), marked(0, true)} << "★★★ 1 · ✕ 2";
    QTest::newRow("most-stars-first") << QList<Metadata>{marked(1), marked(4), marked(1)} << "★★★★ 1 · ★ 2";
    QTest::newRow("a-rejection-hides-no-stars") << QList<Metadata>{marked(0, true)} << "✕ 1";
}

void TestGroupMarks::summary()
{
    QFETCH(QList<Metadata>, frames);
    QFETCH(QString, expected);
    QStringList paths;
    QHash<QString, Metadata> records;
    for (int i = 0; i < frames.size(); ++i) {
        paths.append(QStringLiteral("/f/%1.jpg").arg(i));
        records.insert(paths.last(), frames.at(i));
    }
    QCOMPARE(groupMarksSummary(paths, records), expected);
}

QTEST_GUILESS_MAIN(TestGroupMarks)
#include "tst_groupmarks.moc"
