#include "core/photopairs.h"

#include <QTest>

using PhotoCore::pairRawWithJpeg;

class TestPhotoPairs : public QObject
{
    Q_OBJECT

private slots:
    void pairs_data();
    void pairs();
};

void TestPhotoPairs::pairs_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("shown");
    // "JPEG>RAW" for each pair found.
    QTest::addColumn<QStringList>("pairs");

    QTest::newRow("jpeg-and-raw") << QStringList{"/a/IMG_1.CR2", "/a/IMG_1.JPG"} << QStringList{"/a/IMG_1.JPG"}
                                  << QStringList{"/a/IMG_1.JPG>/a/IMG_1.CR2"};
    QTest::newRow("extension-case-and-jpeg-spelling")
        << QStringList{"/a/IMG_1.jpeg", "/a/IMG_1.nef"} << QStringList{"/a/IMG_1.jpeg"}
        << QStringList{"/a/IMG_1.jpeg>/a/IMG_1.nef"};
    QTest::newRow("two-jpegs-are-not-a-pair")
        << QStringList{"/a/IMG_1.jpeg", "/a/IMG_1.jpg"} << QStringList{"/a/IMG_1.jpeg", "/a/IMG_1.jpg"} << QStringList{};
    QTest::newRow("two-raws-are-not-a-pair")
        << QStringList{"/a/IMG_1.CR2", "/a/IMG_1.DNG"} << QStringList{"/a/IMG_1.CR2", "/a/IMG_1.DNG"} << QStringList{};
    QTest::newRow("lone-raw-stays") << QStringList{"/a/IMG_1.ARW"} << QStringList{"/a/IMG_1.ARW"} << QStringList{};
    QTest::newRow("jpeg-and-png") << QStringList{"/a/IMG_1.jpg", "/a/IMG_1.png"}
                                  << QStringList{"/a/IMG_1.jpg", "/a/IMG_1.png"} << QStringList{};
    QTest::newRow("third-file-breaks-the-pair")
        << QStringList{"/a/IMG_1.CR2", "/a/IMG_1.JPG", "/a/IMG_1.TIF"}
        << QStringList{"/a/IMG_1.CR2", "/a/IMG_1.JPG", "/a/IMG_1.TIF"} << QStringList{};
    QTest::newRow("other-folder") << QStringList{"/a/IMG_1.JPG", "/b/IMG_1.CR2"}
                                  << QStringList{"/a/IMG_1.JPG", "/b/IMG_1.CR2"} << QStringList{};
    QTest::newRow("base-name-case-differs") << QStringList{"/a/IMG_1.JPG", "/a/img_1.CR2"}
                                            << QStringList{"/a/IMG_1.JPG", "/a/img_1.CR2"} << QStringList{};
    QTest::newRow("dot-in-folder-name") << QStringList{"/a.b/IMG", "/a.b/IMG.CR2"}
                                        << QStringList{"/a.b/IMG", "/a.b/IMG.CR2"} << QStringList{};
    QTest::newRow("order-kept-raw-dropped")
        << QStringList{"/a/IMG_1.RAF", "/a/IMG_1.jpg", "/a/IMG_2.jpg", "/a/IMG_3.RW2", "/a/IMG_3.JPG", "/a/IMG_4.ORF"}
        << QStringList{"/a/IMG_1.jpg", "/a/IMG_2.jpg", "/a/IMG_3.JPG", "/a/IMG_4.ORF"}
        << QStringList{"/a/IMG_1.jpg>/a/IMG_1.RAF", "/a/IMG_3.JPG>/a/IMG_3.RW2"};
}

void TestPhotoPairs::pairs()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, pairs);

    const PhotoCore::PhotoPairs found = pairRawWithJpeg(files);
    QCOMPARE(found.shown, shown);
    QStringList actual;
    for (auto it = found.partners.cbegin(); it != found.partners.cend(); ++it) {
        // Both ways, and each way names the other.
        QCOMPARE(found.partners.value(it.value()), it.key());
        if (PhotoCore::isJpegPhoto(it.key()))
            actual.append(it.key() + QLatin1Char('>') + it.value());
    }
    actual.sort();
    QCOMPARE(actual, pairs);
    QCOMPARE(found.partners.size(), pairs.size() * 2);
}

QTEST_APPLESS_MAIN(TestPhotoPairs)
#include "tst_photopairs.moc"
