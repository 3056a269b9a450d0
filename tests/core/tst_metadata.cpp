#include "testrecords.h"
#include "core/metadata.h"

#include <QtTest>

#include <limits>

using PhotoCore::Metadata;

class TestMetadata : public QObject
{
    Q_OBJECT

private slots:
    void isReviewed_data();
    void isReviewed();
    void matchesFilter_data();
    void matchesFilter();
    void parseFilter_data();
    void parseFilter();
    void normalizeRotation_data();
    void normalizeRotation();
    void summarize_data();
    void summarize();
    void navigationWalk();
    void navigationEmpty();
    void navigationSelect_data();
    void navigationSelect();
};

void TestMetadata::isReviewed_data()
{
    QTest::addColumn<Metadata>("record");
    QTest::addColumn<bool>("reviewed");
    QTest::newRow("default") << Metadata() << false;
    QTest::newRow("rotation-only") << record(0, {}, false, 90) << false;
    QTest::newRow("one-star") << record(1) << true;
    QTest::newRow("foreign-label") << record(0, QStringLiteral("Purple")) << true;
    QTest::newRow("rejected") << record(0, {}, true) << true;
}

void TestMetadata::isReviewed()
{
    QFETCH(Metadata, record);
    QFETCH(bool, reviewed);
    QCOMPARE(PhotoCore::isReviewed(record), reviewed);
}

void TestMetadata::matchesFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<Metadata>("record");
    QTest::addColumn<bool>("matches");

    const Metadata purple = record(0, QStringLiteral("Purple"));
    const Metadata rejected = record(0, {}, true);
    const Metadata rotated = record(0, {}, false, 90);

    QTest::newRow("all/rejected") << "all" << rejected << true;
    QTest::newRow("zerostars/purple") << "zerostars" << purple << true;
    QTest::newRow("zerostars/rejected") << "zerostars" << rejected << true;
    QTest::newRow("zerostars/two-stars") << "zerostars" << record(2) << false;
    QTest::newRow("unrated/purple") << "unrated" << purple << false;
    QTest::newRow("unrated/rejected") << "unrated" << rejected << false;
    QTest::newRow("unrated/rotated") << "unrated" << rotated << true;
    QTest::newRow("rejected/rejected") << "rejected" << rejected << true;
    QTest::newRow("rejected/default") << "rejected" << Metadata() << false;
    QTest::newRow("not-rejected/default") << "not:rejected" << Metadata() << true;
    QTest::newRow("not-rejected/rejected") << "not:rejected" << rejected << false;
    QTest::newRow("rating3/3") << "rating:3" << record(3) << true;
    QTest::newRow("rating3/4") << "rating:3" << record(4) << false;
    QTest::newRow("rating3/2") << "rating:3" << record(2) << false;
    QTest::newRow("not-rating3/3") << "not:rating:3" << record(3) << false;
    QTest::newRow("not-rating3/5") << "not:rating:3" << record(5) << true;
    QTest::newRow("not-rating3/0") << "not:rating:3" << Metadata() << true;
    QTest::newRow("not-rating3/rejected") << "not:rating:3" << rejected << true;
    QTest::newRow("rating5/5") << "rating:5" << record(5) << true;
    QTest::newRow("at-least3/3") << "rating>=:3" << record(3) << true;
    QTest::newRow("at-least3/5") << "rating>=:3" << record(5) << true;
    QTest::newRow("at-least3/2") << "rating>=:3" << record(2) << false;
    QTest::newRow("at-least1/0") << "rating>=:1" << Metadata() << false;
    QTest::newRow("not-at-least4/2") << "not:rating>=:4" << record(2) << true;
    QTest::newRow("at-least-zero") << "rating>=:0" << record(0) << true;
    QTest::newRow("at-least-garbage") << "rating>=:x" << record(0) << true;
    QTest::newRow("color-red/Red") << "color:Red" << record(0, QStringLiteral("Red")) << true;
    QTest::newRow("color-red/red") << "color:Red" << record(0, QStringLiteral("red")) << true;
    QTest::newRow("color-red/RED") << "color:Red" << record(0, QStringLiteral("RED")) << true;
    QTest::newRow("color-blue/blue") << "color:Blue" << record(0, QStringLiteral("blue")) << true;
    QTest::newRow("color-blue/Green") << "color:Blue" << record(0, QStringLiteral("Green")) << false;
    QTest::newRow("color-red/purple") << "color:Red" << purple << false;
    QTest::newRow("color-yellow/purple") << "color:Yellow" << purple << false;
    QTest::newRow("color-green/purple") << "color:Green" << purple << false;
    QTest::newRow("color-blue/purple") << "color:Blue" << purple << false;
    QTest::newRow("color-red/Redish") << "color:Red" << record(0, QStringLiteral("Reddish")) << false;
    QTest::newRow("not-color-blue/Blue") << "not:color:Blue" << record(0, QStringLiteral("Blue")) << false;
    QTest::newRow("not-color-blue/none") << "not:color:Blue" << Metadata() << true;
    QTest::newRow("lowercase-colour-id") << "color:blue" << record(2) << true;
    QTest::newRow("not-all") << "not:all" << rejected << true;
    QTest::newRow("unknown") << "stars" << record(4) << true;
    QTest::newRow("not-unknown") << "not:stars" << record(4) << true;
    QTest::newRow("rating-out-of-range") << "rating:7" << record(1) << true;
    QTest::newRow("rating-zero") << "rating:0" << record(3) << true;
    QTest::newRow("rating-garbage") << "rating:x" << record(3) << true;
    QTest::newRow("NOT-prefix-case") << "NOT:rejected" << rejected << true;
    QTest::newRow("empty-id") << "" << rejected << true;
}

void TestMetadata::matchesFilter()
{
    QFETCH(QString, filter);
    QFETCH(Metadata, record);
    QFETCH(bool, matches);
    QCOMPARE(PhotoCore::matchesFilter(filter, record), matches);
}

void TestMetadata::parseFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("exclude");
    using K = PhotoCore::FilterKind;
    QTest::newRow("all") << "all" << int(K::All) << false;
    QTest::newRow("not-all") << "not:all" << int(K::All) << true;
    QTest::newRow("zerostars") << "zerostars" << int(K::ZeroStars) << false;
    QTest::newRow("not-unrated") << "not:unrated" << int(K::Unreviewed) << true;
    QTest::newRow("rating1") << "rating:1" << int(K::Rating1) << false;
    QTest::newRow("rating5") << "rating:5" << int(K::Rating5) << false;
    QTest::newRow("at-least2") << "rating>=:2" << int(K::AtLeast2) << false;
    QTest::newRow("not-at-least5") << "not:rating>=:5" << int(K::AtLeast5) << true;
    QTest::newRow("at-least-out-of-range") << "rating>=:6" << int(K::All) << false;
    QTest::newRow("color-yellow") << "color:Yellow" << int(K::LabelYellow) << false;
    QTest::newRow("not-color-green") << "not:color:Green" << int(K::LabelGreen) << true;
    QTest::newRow("color-lowercase") << "color:green" << int(K::All) << false;
    QTest::newRow("double-not") << "not:not:rejected" << int(K::All) << true;
    QTest::newRow("Rejected-case") << "Rejected" << int(K::All) << false;
}

void TestMetadata::parseFilter()
{
    QFETCH(QString, filter);
    QFETCH(int, kind);
    QFETCH(bool, exclude);
    const PhotoCore::ParsedFilter parsed = PhotoCore::parseFilter(filter);
    QCOMPARE(int(parsed.kind), kind);
    QCOMPARE(parsed.exclude, exclude);
}

void TestMetadata::normalizeRotation_data()
{
    QTest::addColumn<int>("degrees");
    QTest::addColumn<int>("normalized");
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("minus-90") << -90 << 270;
    QTest::newRow("450") << 450 << 90;
    QTest::newRow("360") << 360 << 0;
    QTest::newRow("45") << 45 << 45;
    QTest::newRow("minus-720") << -720 << 0;
    QTest::newRow("int-min") << std::numeric_limits<int>::min() << 232;
    QTest::newRow("int-max") << std::numeric_limits<int>::max() << 127;
}

void TestMetadata::normalizeRotation()
{
    QFETCH(int, degrees);
    QFETCH(int, normalized);
    QCOMPARE(PhotoCore::normalizeRotation(degrees), normalized);
}

void TestMetadata::summarize_data()
{
    QTest::addColumn<int>("rejected");
    QTest::addColumn<int>("marked");
    QTest::addColumn<int>("unmarked");
    QTest::addColumn<int>("unknown");
    QTest::addColumn<PhotoCore::Summary>("expected");

    QTest::newRow("empty") << 0 << 0 << 0 << 0 << PhotoCore::Summary{0, 0, 0, 0};
    QTest::newRow("mixed") << 2 << 3 << 5 << 0 << PhotoCore::Summary{10, 5, 2, 5};
    QTest::newRow("without-records") << 1 << 1 << 0 << 4 << PhotoCore::Summary{6, 2, 1, 4};
}

void TestMetadata::summarize()
{
    QFETCH(int, rejected);
    QFETCH(int, marked);
    QFETCH(int, unmarked);
    QFETCH(int, unknown);
    QFETCH(PhotoCore::Summary, expected);

    QStringList files;
    QHash<QString, Metadata> records;
    const auto add = [&](const Metadata &m, bool stored) {
        const QString path = QStringLiteral("/photos/IMG_%1.JPG").arg(files.size());
        files.append(path);
        if (stored)
            records.insert(path, m);
    };
    for (int i = 0; i < rejected; ++i)
        add(record(i % 2 ? 3 : 0, {}, true), true); // rejected with or without stars counts once
    for (int i = 0; i < marked; ++i)
        add(i % 2 ? record(i % 5 + 1) : record(0, QStringLiteral("Blue")), true);
    for (int i = 0; i < unmarked; ++i)
        add(record(0, {}, false, 90 * i), true);
    for (int i = 0; i < unknown; ++i)
        add({}, false);
    // Records of photos no longer in the folder must not count.
    records.insert(QStringLiteral("/photos/gone.JPG"), record(5, {}, true));

    QCOMPARE(PhotoCore::summarize(files, records), expected);
}

void TestMetadata::navigationWalk()
{
    PhotoCore::NavigationList list;
    QCOMPARE(list.currentIndex(), -1);
    list.setFiles({QStringLiteral("/a/1.jpg"), QStringLiteral("/a/2.jpg"), QStringLiteral("/a/3.jpg")});
    QCOMPARE(list.currentIndex(), 0);
    QCOMPARE(list.previous(), QStringLiteral("/a/1.jpg"));
    QCOMPARE(list.currentIndex(), 0);
    list.next();
    list.next();
    QCOMPARE(list.next(), QStringLiteral("/a/3.jpg"));
    QCOMPARE(list.currentIndex(), 2);
    QCOMPARE(list.at(3), QString());
    QCOMPARE(list.at(-1), QString());
    QVERIFY(!list.setCurrentIndex(3));
    QVERIFY(!list.setCurrentIndex(-1));
    QCOMPARE(list.currentIndex(), 2);
    QVERIFY(list.setCurrentIndex(1));
    QCOMPARE(list.current(), QStringLiteral("/a/2.jpg"));
    list.setFiles({QStringLiteral("/b/1.jpg")});
    QCOMPARE(list.currentIndex(), 0);
    QCOMPARE(list.next(), QStringLiteral("/b/1.jpg"));
}

void TestMetadata::navigationEmpty()
{
    PhotoCore::NavigationList list;
    list.setFiles({QStringLiteral("/a/1.jpg")});
    list.setFiles({});
    QVERIFY(list.isEmpty());
    QCOMPARE(list.currentIndex(), -1);
    QCOMPARE(list.current(), QString());
    QCOMPARE(list.next(), QString());
    QCOMPARE(list.previous(), QString());
    QCOMPARE(list.currentIndex(), -1);
    QVERIFY(!list.setCurrentIndex(0));
    QVERIFY(!list.select(QString()));
}

void TestMetadata::navigationSelect_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("index");
    QTest::newRow("exact") << "/a/B.jpg" << true << 1;
    QTest::newRow("other-case") << "/a/b.jpg" << false << 2;
    QTest::newRow("duplicate-takes-first") << "/a/C.jpg" << true << 2;
    QTest::newRow("missing") << "/a/Z.jpg" << false << 2;
}

void TestMetadata::navigationSelect()
{
    QFETCH(QString, path);
    QFETCH(bool, found);
    QFETCH(int, index);
    PhotoCore::NavigationList list;
    list.setFiles({QStringLiteral("/a/A.jpg"), QStringLiteral("/a/B.jpg"), QStringLiteral("/a/C.jpg"),
                   QStringLiteral("/a/C.jpg")});
    QVERIFY(list.setCurrentIndex(2));
    QCOMPARE(list.select(path), found);
    QCOMPARE(list.currentIndex(), index);
}

QTEST_GUILESS_MAIN(TestMetadata)
#include "tst_metadata.moc"
