#include "core/ingest.h"
#include "core/ingestplan.h"

#include <QtTest>

using PhotoCore::IngestItem;
using PhotoCore::IngestTokens;

namespace {

void writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();
    if (modified.isValid()) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
}

const QDateTime captured(QDate(2024, 5, 1), QTime(7, 8, 9));

// Facts as a camera's Exif would give them, by file name; files not named have none.
PhotoCore::IngestFactsReader factsFrom(const QHash<QString, PhotoCore::IngestFacts> &byName)
{
    return [byName](const QString &path) { return byName.value(QFileInfo(path).fileName()); };
}

QStringList namesOf(const QStringList &paths)
{
    QStringList names;
    for (const QString &path : paths)
        names.append(QFileInfo(path).fileName());
    return names;
}

} // namespace

class TestIngestPlan : public QObject
{
    Q_OBJECT

private slots:
    void folderTemplate_data();
    void folderTemplate();
    void nameTemplate_data();
    void nameTemplate();
    void portableName_data();
    void portableName();
    void groupsAndOrder_data();
    void groupsAndOrder();
    void newOnly_data();
    void newOnly();
};

void TestIngestPlan::folderTemplate_data()
{
    QTest::addColumn<QString>("folderTemplate");
    QTest::addColumn<QString>("camera");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default") << PhotoCore::IngestTemplates::defaultFolderTemplate() << "" << "2024/2024-05-01";
    QTest::newRow("free-text-and-camera") << "Shoots/{year}/{month} {camera}" << "Canon EOS RP"
                                          << "Shoots/2024/05 Canon EOS RP";
    QTest::newRow("no-camera") << "{camera}/{day}" << "" << "Unknown/01";
    QTest::newRow("camera-with-slash") << "{camera}" << "AB/CD" << "AB_CD";
    QTest::newRow("backslashes-are-folders") << "{year}\\{month}" << "" << "2024/05";
    QTest::newRow("no-climbing-out") << "../{year}/./x" << "" << "2024/x";
    QTest::newRow("unknown-token-kept") << "{year}-{shoot}" << "" << "2024-{shoot}";
    QTest::newRow("empty") << "" << "" << "";
}

void TestIngestPlan::folderTemplate()
{
    QFETCH(QString, folderTemplate);
    QFETCH(QString, camera);
    QFETCH(QString, expected);
    QCOMPARE(PhotoCore::expandFolderTemplate(folderTemplate, IngestTokens{captured, camera, "IMG_0001", 1}), expected);
}

void TestIngestPlan::nameTemplate_data()
{
    QTest::addColumn<QString>("nameTemplate");
    QTest::addColumn<int>("sequence");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty-keeps-original") << "" << 3 << "IMG_0001";
    QTest::newRow("date-time") << "{date}_{time}" << 3 << "20240501_070809";
    QTest::newRow("sequence-four-digits") << "{original}-{sequence}" << 7 << "IMG_0001-0007";
    QTest::newRow("sequence-past-9999") << "{sequence}" << 12345 << "12345";
    QTest::newRow("camera-with-colon") << "{camera} {original}" << 1 << "Cam_ 1 IMG_0001";
    QTest::newRow("trailing-dot-dropped") << "{original}." << 1 << "IMG_0001";
}

void TestIngestPlan::nameTemplate()
{
    QFETCH(QString, nameTemplate);
    QFETCH(int, sequence);
    QFETCH(QString, expected);
    QCOMPARE(PhotoCore::expandNameTemplate(nameTemplate, IngestTokens{captured, "Cam: 1", "IMG_0001", sequence}),
             expected);
}

void TestIngestPlan::portableName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "2024-05-01 Wedding" << "2024-05-01 Wedding";
    QTest::newRow("forbidden") << "a<b>c:d\"e|f?g*h" << "a_b_c_d_e_f_g_h";
    QTest::newRow("control") << QString("a\tb\x01") << "a_b_";
    QTest::newRow("trailing-dots-spaces") << "Holiday. . " << "Holiday";
    QTest::newRow("reserved-device") << "con" << "con_";
    QTest::newRow("reserved-with-extension") << "NUL.txt" << "NUL_.txt";
    QTest::newRow("reserved-prefix-is-fine") << "console" << "console";
    QTest::newRow("nothing-left") << " . " << "_";
    QTest::newRow("umlauts-kept") << "Köln" << "Köln";
}

void TestIngestPlan::portableName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(PhotoCore::portableName(name), expected);
}

void TestIngestPlan::groupsAndOrder_data()
{
    // The card holds, in DCIM/100CANON: A.JPG + A.CR3 (a pair) with A.xmp;
    // B.JPG without Exif, whose file time is the earliest; C.CR3 alone;
    // MVI_1.MOV with MVI_1.xmp; CANONMSC.CTG (the camera's catalogue).
    QTest::addColumn<bool>("alsoVideos");
    QTest::addColumn<QStringList>("items"); // files of each item in capture order, "|" then the folder
    QTest::addColumn<int>("leftOnCard");
    QTest::newRow("photos-only") << false
                                 << QStringList{"B.JPG|2023/2023-12-31", "A.JPG,A.CR3,A.xmp|2024/2024-05-01",
                                                "C.CR3|2024/2024-05-02"}
                                 << 2;
    QTest::newRow("also-videos") << true
                                 << QStringList{"B.JPG|2023/2023-12-31", "A.JPG,A.CR3,A.xmp|2024/2024-05-01",
                                                "C.CR3|2024/2024-05-02", "MVI_1.MOV,MVI_1.xmp|2024/2024-06-01"}
                                 << 1;
}

void TestIngestPlan::groupsAndOrder()
{
    QFETCH(bool, alsoVideos);
    QFETCH(QStringList, items);
    QFETCH(int, leftOnCard);
    QTemporaryDir card;
    const QString folder = card.filePath("DCIM/100CANON/");
    for (const char *name : {"A.CR3", "A.JPG", "A.xmp", "C.CR3", "MVI_1.xmp", "CANONMSC.CTG"})
        writeFile(folder + name, QByteArray(name));
    writeFile(folder + "B.JPG", "no exif", QDateTime(QDate(2023, 12, 31), QTime(23, 0)));
    writeFile(folder + "MVI_1.MOV", "video", QDateTime(QDate(2024, 6, 1), QTime(12, 0)));
    // The RAW of the pair carries no date: the JPEG's counts.
    const auto facts = factsFrom({{"A.JPG", {captured, "Canon EOS RP"}},
                                  {"C.CR3", {captured.addDays(1), "Canon EOS RP"}}});
    const PhotoCore::IngestPlan plan =
        PhotoCore::planIngest(card.filePath("DCIM"), PhotoCore::IngestTemplates{}, alsoVideos, facts);
    QStringList actual;
    for (const IngestItem &item : plan.items)
        actual.append(namesOf(item.files).join(',') + '|' + item.folder);
    QCOMPARE(actual, items);
    QCOMPARE(plan.leftOnCard, leftOnCard);
    QCOMPARE(plan.items.at(1).camera, QStringLiteral("Canon EOS RP"));
    QVERIFY(plan.items.at(1).fromExif);
    QVERIFY(!plan.items.at(0).fromExif);
    QCOMPARE(plan.items.at(1).bytes(), qint64(5 + 5 + 5));
}

void TestIngestPlan::newOnly_data()
{
    // The card holds IMG_1.JPG and IMG_2.JPG; IMG_1.JPG was imported before.
    QTest::addColumn<QString>("change");       // what differs between then and now
    QTest::addColumn<QStringList>("newNames"); // planned base names of the new photos
    QTest::newRow("same-photo") << "" << QStringList{"0001_IMG_2"};
    QTest::newRow("other-destination") << "destination" << QStringList{"0001_IMG_1", "0002_IMG_2"};
    QTest::newRow("other-size") << "size" << QStringList{"0001_IMG_1", "0002_IMG_2"};
    // Culled away after the import: still imported, unless the log speaks of another photo.
    QTest::newRow("copy-deleted-since") << "deleted" << QStringList{"0001_IMG_2"};
    QTest::newRow("copy-deleted-other-capture-time") << "deleted,time" << QStringList{"0001_IMG_1", "0002_IMG_2"};
    // No log (another computer): a file where the plan puts the copy proves
    // nothing (it may be a fragment, or another photo of the same name).
    QTest::newRow("copy-there-without-log") << "no-log" << QStringList{"0001_IMG_1", "0002_IMG_2"};
    // The recorded copy is still there but is no longer what was checked.
    QTest::newRow("copy-replaced-by-fragment") << "fragment" << QStringList{"0001_IMG_1", "0002_IMG_2"};
    QTest::newRow("another-file-there-without-log") << "no-log,touched" << QStringList{"0001_IMG_1", "0002_IMG_2"};
}

void TestIngestPlan::newOnly()
{
    QFETCH(QString, change);
    QFETCH(QStringList, newNames);
    QTemporaryDir card, destination, other, data;
    writeFile(card.filePath("IMG_1.JPG"), "first");
    writeFile(card.filePath("IMG_2.JPG"), "second");
    const auto facts = factsFrom({{"IMG_1.JPG", {captured, "X"}}, {"IMG_2.JPG", {captured.addSecs(1), "X"}}});
    const PhotoCore::IngestTemplates templates{"{year}", "{sequence}_{original}"};
    {
        // The earlier import took IMG_1.JPG alone.
        PhotoCore::IngestLog log(data.filePath("import-log.tsv"));
        PhotoCore::IngestPlan first = PhotoCore::planIngest(card.path(), templates, false, facts);
        first.items.removeLast();
        QCOMPARE(PhotoCore::runIngest(first, destination.path(), QString(), &log).imported, 1);
    }
    QString into = destination.path();
    PhotoCore::IngestFactsReader now = facts;
    const QStringList changes = change.split(QLatin1Char(','));
    if (changes.contains(QLatin1String("destination")))
        into = other.path();
    if (changes.contains(QLatin1String("size")))
        writeFile(card.filePath("IMG_1.JPG"), "first, longer");
    if (changes.contains(QLatin1String("time")))
        now = factsFrom({{"IMG_1.JPG", {captured.addSecs(-60), "X"}}, {"IMG_2.JPG", {captured.addSecs(1), "X"}}});
    if (changes.contains(QLatin1String("deleted")))
        QVERIFY(QFile::remove(destination.filePath("2024/0001_IMG_1.JPG")));
    if (changes.contains(QLatin1String("no-log")))
        QVERIFY(QFile::remove(data.filePath("import-log.tsv")));
    if (changes.contains(QLatin1String("fragment"))) {
        QVERIFY(QFile::remove(destination.filePath("2024/0001_IMG_1.JPG")));
        writeFile(destination.filePath("2024/0001_IMG_1.JPG"), "fir", captured);
    }
    if (changes.contains(QLatin1String("touched")))
        writeFile(destination.filePath("2024/0001_IMG_1.JPG"), "other", captured);

    const PhotoCore::IngestLog log(data.filePath("import-log.tsv"));
    const PhotoCore::IngestPlan plan = PhotoCore::planIngest(
        card.path(), templates, false, now, [&](const IngestItem &item) { return log.contains(item, into); });
    QStringList planned;
    for (const IngestItem &item : plan.items) {
        if (!item.alreadyImported)
            planned.append(item.baseName);
    }
    QCOMPARE(planned, newNames);
    QCOMPARE(plan.skippedCount(), 2 - int(newNames.size()));
}

QTEST_GUILESS_MAIN(TestIngestPlan)
#include "tst_ingestplan.moc"
