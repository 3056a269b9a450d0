#include "core/folderlisting.h"
#include "core/photopairs.h"
#include "core/rawformats.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace PhotoCore;

class TestRawFormats : public QObject
{
    Q_OBJECT

private slots:
    void listedAndPaired_data();
    void listedAndPaired();
    void everyExtensionIsFound();
};

void TestRawFormats::listedAndPaired_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("raw");
    // A representative of each maker's formats, in the letter case cameras write.
    QTest::newRow("canon-ciff") << "IMG_0001.CRW" << true;
    QTest::newRow("kodak-kdc") << "DCP_0001.KDC" << true;
    QTest::newRow("kodak-dcr") << "DCP_0001.DCR" << true;
    QTest::newRow("kodak-k25") << "DC25_0001.K25" << true;
    QTest::newRow("minolta-mrw") << "PICT0001.MRW" << true;
    QTest::newRow("nikon-coolpix-nrw") << "DSCN0001.NRW" << true;
    QTest::newRow("pentax-pef") << "IMGP0001.PEF" << true;
    QTest::newRow("samsung-srw") << "SAM_0001.SRW" << true;
    QTest::newRow("sony-sr2") << "DSC00001.SR2" << true;
    QTest::newRow("hasselblad-3fr") << "B0000001.3FR" << true;
    QTest::newRow("phase-one-iiq") << "CF000001.IIQ" << true;
    QTest::newRow("leaf-mos") << "CRW_0001.MOS" << true;
    QTest::newRow("panasonic-raw") << "P1000001.RAW" << true;
    QTest::newRow("olympus-ori") << "P1010001.ORI" << true;
    QTest::newRow("lower-case") << "img_0001.crw" << true;
    // Not readable by the RAW library as built here, or no photo at all.
    QTest::newRow("foveon-x3f") << "SDIM0001.X3F" << false;
    QTest::newRow("gopro-gpr") << "GOPR0001.GPR" << false;
    QTest::newRow("longer-suffix") << "IMG_0001.CRWX" << false;
    QTest::newRow("text") << "IMG_0001.TXT" << false;
}

// A RAW format is listed, and beside a JPEG of the same name the two are one
// photo shown as the JPEG.
void TestRawFormats::listedAndPaired()
{
    QFETCH(QString, name);
    QFETCH(bool, raw);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString stem = name.left(name.lastIndexOf(QLatin1Char('.')));
    const QString rawPath = dir.filePath(name);
    const QString jpegPath = dir.filePath(stem + QStringLiteral(".JPG"));
    for (const QString &path : {rawPath, jpegPath}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

    const QStringList listed = listPhotoFiles(dir.path());
    QCOMPARE(listed.contains(rawPath), raw);
    QCOMPARE(isRawSuffix(QStringView(name).mid(name.lastIndexOf(QLatin1Char('.')) + 1)), raw);

    const PhotoPairs pairs = pairRawWithJpeg(QStringList{jpegPath, rawPath});
    QCOMPARE(pairs.partners.value(jpegPath), raw ? rawPath : QString());
    QCOMPARE(pairs.shown, raw ? QStringList{jpegPath} : QStringList({jpegPath, rawPath}));
}

// The look-up searches the table by halves: an entry out of order would be missed.
void TestRawFormats::everyExtensionIsFound()
{
    const QStringList &all = RawFormats::extensions();
    QVERIFY(all.size() > 8);
    for (const QString &extension : all) {
        QVERIFY2(RawFormats::contains(extension), qPrintable(extension));
        QVERIFY2(RawFormats::contains(extension.toUpper()), qPrintable(extension));
        QVERIFY2(supportedExtensions().contains(extension), qPrintable(extension));
    }
}

QTEST_GUILESS_MAIN(TestRawFormats)
#include "tst_rawformats.moc"
