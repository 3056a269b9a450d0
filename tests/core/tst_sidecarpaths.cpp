#include "core/sidecarpaths.h"

#include <QtTest>

namespace {

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("<x:xmpmeta/>") > 0;
}

} // namespace

// Which file is a photo's sidecar, which sidecars leave with their photos,
// and which links a sidecar may be written through.
class TestSidecarPaths : public QObject
{
    Q_OBJECT

private slots:
    void sidecarPathFor_data();
    void sidecarPathFor();
    void sidecarsToMoveWith_data();
    void sidecarsToMoveWith();
    void trustedLinkTargets_data();
    void trustedLinkTargets();
};

void TestSidecarPaths::sidecarPathFor_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("photo");
    QTest::addColumn<QString>("sidecar");
    QTest::newRow("raw") << QStringList() << "DSC_0123.NEF" << "DSC_0123.xmp";
    QTest::newRow("jpeg-shares") << QStringList{"DSC_0123.xmp"} << "DSC_0123.JPG" << "DSC_0123.xmp";
    QTest::newRow("upper-only") << QStringList{"IMG_1.XMP"} << "IMG_1.jpg" << "IMG_1.XMP";
    QTest::newRow("both-exist") << QStringList{"IMG_1.XMP", "IMG_1.xmp"} << "IMG_1.jpg" << "IMG_1.xmp";
    QTest::newRow("last-suffix-only") << QStringList() << "a.b.jpg" << "a.b.xmp";
    QTest::newRow("no-suffix") << QStringList() << "scan" << "scan.xmp";
    QTest::newRow("directory-path") << QStringList() << "sub/" << QString();
}

void TestSidecarPaths::sidecarPathFor()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, photo);
    QFETCH(QString, sidecar);
    QTemporaryDir dir;
    for (const QString &name : existing)
        QVERIFY(touch(dir.filePath(name)));
    if (QDir(dir.path()).entryList(QDir::Files).size() < existing.size())
        QSKIP("names differing only in case are one file here");
    QCOMPARE(PhotoCore::sidecarPathFor(dir.filePath(photo)), sidecar.isEmpty() ? QString() : dir.filePath(sidecar));
}

void TestSidecarPaths::sidecarsToMoveWith_data()
{
    QTest::addColumn<QStringList>("all");
    QTest::addColumn<QStringList>("moving");
    QTest::addColumn<QStringList>("expected");
    // Absolute paths ("/p" gains the current drive on Windows).
    const QString p = QFileInfo(QStringLiteral("/p")).absoluteFilePath();
    const QString q = QFileInfo(QStringLiteral("/q")).absoluteFilePath();
    const QStringList pair{p + "/DSC_1.JPG", p + "/DSC_1.NEF", p + "/DSC_2.JPG"};
    QTest::newRow("one-of-pair") << pair << QStringList{p + "/DSC_1.NEF"} << QStringList();
    QTest::newRow("both-of-pair") << pair << QStringList{p + "/DSC_1.NEF", p + "/DSC_1.JPG"}
                                  << QStringList{p + "/DSC_1.xmp"};
    QTest::newRow("all") << pair << pair << QStringList{p + "/DSC_1.xmp", p + "/DSC_2.xmp"};
    QTest::newRow("unclean-and-other-case") << pair << QStringList{p + "/./x/../dsc_2.jpg"}
                                            << QStringList{p + "/DSC_2.xmp"};
    QTest::newRow("not-in-folder") << pair << QStringList{q + "/DSC_2.JPG"} << QStringList();
    QTest::newRow("nothing") << pair << QStringList() << QStringList();
}

void TestSidecarPaths::sidecarsToMoveWith()
{
    QFETCH(QStringList, all);
    QFETCH(QStringList, moving);
    QFETCH(QStringList, expected);
    QCOMPARE(PhotoCore::sidecarsToMoveWith(all, moving), expected);
}

void TestSidecarPaths::trustedLinkTargets_data()
{
    // Where the link beside <tmp>/photos/IMG_1.jpg leads: "home/..." lies in
    // the user's home, anything else below <tmp>, which is outside it.
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("trusted");
    QTest::newRow("below-the-photo") << "photos/shared/IMG_1.xmp" << true << true;
    QTest::newRow("home") << "home/shared/IMG_1.xmp" << true << true;
    QTest::newRow("elsewhere") << "elsewhere/IMG_1.xmp" << true << false;
    QTest::newRow("folder-named-like-the-photos") << "photos-old/IMG_1.xmp" << true << false;
    QTest::newRow("nowhere") << "photos/shared/gone.xmp" << false << false;
}

void TestSidecarPaths::trustedLinkTargets()
{
    QFETCH(QString, target);
    QFETCH(bool, exists);
    QFETCH(bool, trusted);
#ifndef Q_OS_UNIX
    QSKIP("QFile::link makes shortcut files here, not links");
#endif
    QTemporaryDir tmp;
    QTemporaryDir home(QDir::home().filePath("linked-XXXXXX"));
    QVERIFY(!tmp.path().startsWith(QDir::homePath()));
    const QString resolved = target.startsWith(QLatin1String("home/")) ? home.filePath(target.mid(5))
                                                                       : tmp.filePath(target);
    QVERIFY(QDir().mkpath(QFileInfo(resolved).absolutePath()));
    QVERIFY(QDir().mkpath(tmp.filePath("photos")));
    if (exists)
        QVERIFY(touch(resolved));
    const QString link = tmp.filePath("photos/IMG_1.xmp");
    QVERIFY(QFile::link(resolved, link));
    QCOMPARE(PhotoCore::isTrustedLinkTarget(QFileInfo(link), tmp.filePath("photos/IMG_1.jpg")), trusted);
}

QTEST_MAIN(TestSidecarPaths)
#include "tst_sidecarpaths.moc"
