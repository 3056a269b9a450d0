#include "imaging/damagereport.h"
#include "imaging/photodecoder.h"
#include "imaging/tiffbuilder.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using testimg::TiffBuilder;
using namespace testimg::layouts;

namespace {

QSize fit(QSize s, int side) { return s.scaled(side, side, Qt::KeepAspectRatio); }

QList<quint32> offsetsOf(const QList<PreviewCandidate> &list)
{
    QList<quint32> out;
    for (const PreviewCandidate &c : list)
        out.append(c.offset);
    return out;
}

QList<PreviewCandidate> walkBytes(const QByteArray &b)
{
    return findEmbeddedJpegPreviews(reinterpret_cast<const uchar *>(b.constData()), b.size());
}

// The quadrant picture as each orientation must show it: corners top left,
// top right, bottom left, bottom right, and whether the sides swap.
struct Oriented
{
    QByteArray corners;
    bool swapped;
};

Oriented orientedQuadrants(int orientation)
{
    switch (orientation) {
    case 2: return {"GRWB", false};
    case 3: return {"WBGR", false};
    case 4: return {"BWRG", false};
    case 5: return {"RBGW", true};
    case 6: return {"BRWG", true};
    case 7: return {"WGBR", true};
    case 8: return {"GWRB", true};
    default: return {"RGBW", false};
    }
}

} // namespace

class TestPhotoDecoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void byteReads_data();
    void byteReads();
    void walk_data();
    void walk();
    void walkBounds_data();
    void walkBounds();
    void tiffOrientation_data();
    void tiffOrientation();
    void applyOrientationTurnsPixels_data();
    void applyOrientationTurnsPixels();
    void embeddedPreviewOrientation_data();
    void embeddedPreviewOrientation();
    void damageIsReported_data();
    void damageIsReported();
    void scaleDenominator_data();
    void scaleDenominator();
    void realPhotosComeOutUpright_data();
    void realPhotosComeOutUpright();

    void genericReaderSeesOnlyTheThumbnail();
    void rawLayouts_data();
    void rawLayouts();
    void previewForSize_data();
    void previewForSize();
    void equalAreasKeepWalkOrder();
    void rejectedCandidateGivesWay();
    void streamEnd_data();
    void streamEnd();
    void scanThreshold();

    void genericFormats_data();
    void genericFormats();
    void thumbnailSideIsClamped_data();
    void thumbnailSideIsClamped();
    void unusableFiles_data();
    void unusableFiles();
    void largePhotosWithinLimit_data();
    void largePhotosWithinLimit();
    void rawSuffixes_data();
    void rawSuffixes();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

void TestPhotoDecoder::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QImageReader::supportedImageFormats().contains("jpeg"));
}

QString TestPhotoDecoder::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    if (!testimg::writeFile(path, bytes))
        return QString();
    return path;
}

void TestPhotoDecoder::byteReads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("pos");
    QTest::addColumn<bool>("le");
    QTest::addColumn<uint>("u16");
    QTest::addColumn<uint>("u32");

    const QByteArray b("\x01\x02\x03\x04\x05", 5);
    QTest::newRow("le-start") << b << qint64(0) << true << 0x0201u << 0x04030201u;
    QTest::newRow("be-start") << b << qint64(0) << false << 0x0102u << 0x01020304u;
    QTest::newRow("u32-last-fit") << b << qint64(1) << false << 0x0203u << 0x02030405u;
    QTest::newRow("u16-last-fit") << b << qint64(3) << true << 0x0504u << 0u;
    QTest::newRow("past-end") << b << qint64(4) << true << 0u << 0u;
    QTest::newRow("negative") << b << qint64(-1) << true << 0u << 0u;
    QTest::newRow("huge-pos") << b << qint64(0x7FFFFFFFFFFFFFF0) << true << 0u << 0u;
}

void TestPhotoDecoder::byteReads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, pos);
    QFETCH(bool, le);
    QFETCH(uint, u16);
    QFETCH(uint, u32);
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    QCOMPARE(uint(readU16(p, bytes.size(), pos, le)), u16);
    QCOMPARE(uint(readU32(p, bytes.size(), pos, le)), u32);
}

void TestPhotoDecoder::walk_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<quint32>>("offsets");

    const QByteArray stream512 = QByteArray("\xFF\xD8\xFF", 3) + QByteArray(509, 'j');
    for (const bool le : {true, false}) {
        const QByteArray order = le ? "II-" : "MM-";
        {
            // IFD chain first, then the Exif IFD, then the sub-IFDs in reverse order.
            TiffBuilder t(le);
            const int ifd0 = t.addIfd(), ifd1 = t.addIfd(), s1 = t.addIfd(), s2 = t.addIfd(), exif = t.addIfd();
            const int a = t.addBlob(stream512), b = t.addBlob(stream512), c = t.addBlob(stream512),
                      d = t.addBlob(stream512), e = t.addBlob(stream512);
            t.jpegInterchange(ifd0, a);
            t.subIfds(ifd0, {s1, s2});
            t.subIfds(ifd0, {exif}, 34665);
            t.setNext(ifd0, TiffBuilder::ifd(ifd1));
            t.jpegInterchange(ifd1, e);
            t.jpegInterchange(s1, b);
            t.jpegInterchange(s2, c);
            t.jpegInterchange(exif, d);
            QTest::newRow(order + "walk-order") << t.build()
                << QList<quint32>{t.blobOffset(a), t.blobOffset(e), t.blobOffset(d), t.blobOffset(c), t.blobOffset(b)};
        }
        {
            // Previews kept as one JPEG strip count too, with SHORT or LONG fields.
            TiffBuilder t(le);
            const int ifd0 = t.addIfd(), s1 = t.addIfd(), s2 = t.addIfd();
            const int a = t.addBlob(stream512), b = t.addBlob(stream512);
            t.strip(ifd0, a, 3);
            t.subIfds(ifd0, {s1, s2});
            t.strip(s1, t.addBlob(sensorData(600)));
            t.strip(s2, b, 4);
            QTest::newRow(order + "jpeg-strips") << t.build() << QList<quint32>{t.blobOffset(a), t.blobOffset(b)};
        }
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd();
        const int a = t.addBlob(stream512.left(511));
        t.jpegInterchange(ifd0, a);
        QTest::newRow("stream-511") << t.build() << QList<quint32>{};
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd();
        const int a = t.addBlob(stream512);
        t.jpegInterchange(ifd0, a);
        QTest::newRow("stream-512") << t.build() << QList<quint32>{t.blobOffset(a)};
        QByteArray cut = t.build();
        cut.chop(1);
        QTest::newRow("stream-past-end") << cut << QList<quint32>{};
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd();
        t.entry(ifd0, 513, 4, 1, TiffBuilder::blob(t.addBlob(stream512)));
        QTest::newRow("offset-without-length") << t.build() << QList<quint32>{};
    }
    {
        // A later 513 in the same IFD overrides the earlier one.
        TiffBuilder t;
        const int ifd0 = t.addIfd();
        const int a = t.addBlob(stream512), b = t.addBlob(stream512);
        t.entry(ifd0, 513, 4, 1, TiffBuilder::blob(a));
        t.entry(ifd0, 513, 4, 1, TiffBuilder::blob(b));
        t.entry(ifd0, 514, 4, 1, TiffBuilder::lit(512));
        QTest::newRow("later-entry-wins") << t.build() << QList<quint32>{t.blobOffset(b)};
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd(), s1 = t.addIfd();
        const int a = t.addBlob(stream512), b = t.addBlob(stream512);
        t.strip(ifd0, a);
        t.entry(ifd0, 273, 4, 2, TiffBuilder::blob(a)); // two strips: not one JPEG
        t.jpegInterchange(s1, b);
        t.entry(ifd0, 330, 3, 1, TiffBuilder::ifd(s1)); // SubIFDs must be LONG
        QTest::newRow("two-strips-short-subifd") << t.build() << QList<quint32>{};
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd();
        t.strip(ifd0, t.addBlob(sensorData(2048)));
        QTest::newRow("strip-not-jpeg") << t.build() << QList<quint32>{};
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd();
        t.jpegInterchange(ifd0, t.addBlob(stream512));
        t.setNext(ifd0, TiffBuilder::ifd(ifd0));
        QTest::newRow("self-loop") << t.build() << QList<quint32>{t.blobOffset(0)};
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd(), ifd1 = t.addIfd();
        t.jpegInterchange(ifd0, t.addBlob(stream512));
        t.jpegInterchange(ifd1, t.addBlob(stream512));
        t.setNext(ifd0, TiffBuilder::ifd(ifd1));
        t.setNext(ifd1, TiffBuilder::ifd(ifd0));
        t.subIfds(ifd1, {ifd0, ifd1});
        QTest::newRow("loop-back") << t.build() << QList<quint32>{t.blobOffset(0), t.blobOffset(1)};
    }
    {
        TiffBuilder t(true, 43);
        t.jpegInterchange(t.addIfd(), t.addBlob(stream512));
        QTest::newRow("magic-43") << t.build() << QList<quint32>{};
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd();
        t.jpegInterchange(ifd0, t.addBlob(stream512));
        QByteArray mixed = t.build();
        mixed[1] = 'M';
        QTest::newRow("mixed-byte-order") << mixed << QList<quint32>{};
    }
    QTest::newRow("empty") << QByteArray() << QList<quint32>{};
    QTest::newRow("seven-bytes") << QByteArray("II*\0\x08\0\0", 7) << QList<quint32>{};
}

void TestPhotoDecoder::walk()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<quint32>, offsets);
    const QList<PreviewCandidate> found = walkBytes(file);
    QCOMPARE(offsetsOf(found), offsets);
    for (const PreviewCandidate &c : found)
        QVERIFY(qint64(c.offset) + c.length <= file.size());
}

// The walk's caps: IFD count, pointers per entry, entries that run past the end.
void TestPhotoDecoder::walkBounds_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("candidates");

    const QByteArray stream = QByteArray("\xFF\xD8\xFF", 3) + QByteArray(509, 'j');
    const auto chain = [&](int n) {
        TiffBuilder t;
        const int blob = t.addBlob(stream);
        for (int i = 0; i < n; ++i) {
            const int d = t.addIfd();
            t.jpegInterchange(d, blob);
            if (i > 0)
                t.setNext(i - 1, TiffBuilder::ifd(d));
        }
        return t.build();
    };
    QTest::newRow("chain-64") << chain(64) << 64;
    QTest::newRow("chain-70-capped") << chain(70) << 64;

    const auto subs = [&](int n, bool zeros) {
        TiffBuilder t;
        const int blob = t.addBlob(stream);
        const int ifd0 = t.addIfd();
        QList<int> list;
        for (int i = 0; i < n; ++i) {
            if (zeros && i % 3 == 0) {
                list.append(-1);
                continue;
            }
            const int d = t.addIfd();
            t.jpegInterchange(d, blob);
            list.append(d);
        }
        t.subIfds(ifd0, list);
        return t.build();
    };
    QTest::newRow("subifds-63") << subs(63, false) << 63;
    QTest::newRow("subifds-63-with-zeros") << subs(63, true) << 42;
    QTest::newRow("subifds-64-ignored") << subs(64, false) << 0;

    {
        // The directory claims five entries; the file ends inside the third.
        TiffBuilder t;
        const int ifd0 = t.addIfd();
        const int blob = t.addBlob(stream);
        t.jpegInterchange(ifd0, blob);
        t.orientation(ifd0, 6);
        QByteArray b = t.build();
        const QByteArray tail = b.mid(8 + 2 + 24, 6);
        b = b.left(8) + b.mid(t.blobOffset(blob), stream.size());
        // Move the IFD behind the stream and cut it inside its third entry.
        const quint32 ifdPos = quint32(b.size());
        QByteArray ifd(2, 0);
        testimg::putU16(ifd, 0, 5, true);
        QByteArray entries = t.build().mid(10, 24);
        testimg::putU32(entries, 8, 8, true); // stream now right after the header
        b += ifd + entries + tail;
        testimg::putU32(b, 4, ifdPos, true);
        QTest::newRow("entries-past-end") << b << 1;
    }
}

void TestPhotoDecoder::walkBounds()
{
    QFETCH(QByteArray, file);
    QFETCH(int, candidates);
    QCOMPARE(walkBytes(file).size(), candidates);
}

void TestPhotoDecoder::tiffOrientation_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("orientation");

    for (const bool le : {true, false}) {
        for (int v : {1, 3, 6, 8}) {
            TiffBuilder t(le);
            t.orientation(t.addIfd(), quint16(v));
            QTest::addRow("%s-%d", le ? "II" : "MM", v) << t.build() << v;
        }
    }
    {
        TiffBuilder t;
        t.orientation(t.addIfd(), 9);
        QTest::newRow("nine-is-one") << t.build() << 1;
    }
    {
        TiffBuilder t;
        t.orientation(t.addIfd(), 0);
        QTest::newRow("zero-is-one") << t.build() << 1;
    }
    {
        TiffBuilder t;
        t.entry(t.addIfd(), 274, 4, 1, TiffBuilder::lit(6));
        QTest::newRow("long-type-ignored") << t.build() << 1;
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd();
        t.entry(ifd0, 274, 3, 0, TiffBuilder::shortValue(6));
        t.orientation(ifd0, 8);
        QTest::newRow("zero-count-skipped") << t.build() << 8;
    }
    {
        TiffBuilder t;
        const int ifd0 = t.addIfd(), exif = t.addIfd();
        t.subIfds(ifd0, {exif}, 34665);
        t.orientation(exif, 6);
        QTest::newRow("exif-ifd-not-consulted") << t.build() << 1;
    }
    {
        TiffBuilder t(true, 0x55);
        t.orientation(t.addIfd(), 6);
        QTest::newRow("other-magic") << t.build() << 1;
    }
    {
        TiffBuilder t;
        t.orientation(t.addIfd(), 6);
        QTest::newRow("entry-cut-off") << t.build().left(8 + 2 + 11) << 1;
    }
    QTest::newRow("jpeg") << testimg::jpeg(16, 16) << 1;
}

void TestPhotoDecoder::tiffOrientation()
{
    QFETCH(QByteArray, file);
    QFETCH(int, orientation);
    QCOMPARE(readTiffOrientation(reinterpret_cast<const uchar *>(file.constData()), file.size()), orientation);
}

void TestPhotoDecoder::applyOrientationTurnsPixels_data()
{
    QTest::addColumn<int>("orientation");
    for (int v = 0; v <= 9; ++v)
        QTest::addRow("orientation-%d", v) << v;
}

void TestPhotoDecoder::applyOrientationTurnsPixels()
{
    QFETCH(int, orientation);
    const QImage stored = testimg::quadrants(40, 20);
    const QImage shown = applyOrientation(stored, orientation);
    const Oriented expected = orientedQuadrants(orientation);
    QCOMPARE(testimg::corners(shown), expected.corners);
    QCOMPARE(shown.size(), expected.swapped ? stored.size().transposed() : stored.size());
}

// IFD0's orientation applies to the chosen embedded preview, on both paths.
void TestPhotoDecoder::embeddedPreviewOrientation_data()
{
    QTest::addColumn<int>("orientation");
    for (int v = 1; v <= 8; ++v)
        QTest::addRow("nef-%d", v) << v;
}

void TestPhotoDecoder::embeddedPreviewOrientation()
{
    QFETCH(int, orientation);
    const QString path = write(QStringLiteral("oriented%1.nef").arg(orientation), nefLike(quint16(orientation)));
    const Oriented expected = orientedQuadrants(orientation);
    const QImage photo = decodePhoto(path);
    QCOMPARE(testimg::corners(photo), expected.corners);
    QCOMPARE(photo.size(), expected.swapped ? fullSize.transposed() : fullSize);
    const QImage thumb = decodeThumbnail(path, 256);
    QCOMPARE(testimg::corners(thumb), expected.corners);
    QCOMPARE(thumb.size(), fit(expected.swapped ? fullSize.transposed() : fullSize, 256));
}

void TestPhotoDecoder::damageIsReported_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("damaged");
    QImage picture(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, (x * y) & 255));
    const QByteArray whole = testimg::encode(picture);
    QTest::newRow("whole") << whole << false;
    QTest::newRow("truncated-60") << whole.left(whole.size() * 6 / 10) << true;
    // Every scan is whole; only the final marker is missing, and the picture is complete.
    QTest::newRow("end-marker-cut") << whole.left(whole.size() - 2) << false;
    QByteArray marker = whole;
    marker.replace(whole.size() / 2, 2, QByteArray("\xFF\xD0", 2)); // a restart marker where none belongs
    QTest::newRow("stray-marker") << marker << true;
}

void TestPhotoDecoder::damageIsReported()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, damaged);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(testimg::writeFile(path, file));
    resetDamageReport();
    const QImage image = decodePhoto(path);
    QVERIFY(!image.isNull());
    QCOMPARE(damageReported(), damaged);
    // A whole photo decoded next clears nothing by itself: the caller resets.
    resetDamageReport();
    QVERIFY(!damageReported());
}

void TestPhotoDecoder::scaleDenominator_data()
{
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<int>("denominator");
    QTest::newRow("24mp-in-1600x1000") << QSize(6000, 4000) << QSize(1600, 1000) << 4;
    QTest::newRow("24mp-at-2x") << QSize(6000, 4000) << QSize(3200, 2000) << 2;
    QTest::newRow("24mp-small-window") << QSize(6000, 4000) << QSize(700, 500) << 8;
    QTest::newRow("odd-size-rounds-down") << QSize(6001, 4001) << QSize(1600, 1000) << 4;
    QTest::newRow("one-pixel-short") << QSize(5996, 3996) << QSize(1600, 1000) << 2;
    QTest::newRow("portrait-in-landscape") << QSize(4000, 6000) << QSize(1600, 1000) << 4;
    QTest::newRow("smaller-than-box") << QSize(1200, 800) << QSize(1600, 1000) << 1;
    QTest::newRow("4k-screen") << QSize(6000, 4000) << QSize(3840, 2160) << 1;
    QTest::newRow("empty-box") << QSize(6000, 4000) << QSize() << 1;
    QTest::newRow("unknown-size") << QSize() << QSize(1600, 1000) << 1;
}

void TestPhotoDecoder::scaleDenominator()
{
    QFETCH(QSize, stored);
    QFETCH(QSize, box);
    QFETCH(int, denominator);
    QCOMPARE(jpegScaleDenominator(stored, box), denominator);
}

void TestPhotoDecoder::realPhotosComeOutUpright_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reference");
    const QString dir = QStringLiteral(GLANCEWAY_TESTDATA "/orientation/");
    for (const char *kind : {"Landscape", "Portrait"}) {
        for (int v = 0; v <= 8; ++v) {
            QTest::addRow("%s-%d", kind, v) << dir + QStringLiteral("%1_%2.jpg").arg(QLatin1String(kind)).arg(v)
                                            << dir + QStringLiteral("%1_1.jpg").arg(QLatin1String(kind));
        }
    }
}

// Every variant must show the same picture as the unrotated one.
void TestPhotoDecoder::realPhotosComeOutUpright()
{
    QFETCH(QString, path);
    QFETCH(QString, reference);
    const QImage expected = decodeThumbnail(reference, 64).convertToFormat(QImage::Format_RGB32);
    const QImage full = decodePhoto(path);
    // Decoded for a small view: a DCT-scaled picture, upright, still covering its fit.
    const QSize box(160, 120);
    QSize wholeSize;
    const QImage forView = decodePhoto(path, box, nullptr, &wholeSize);
    QCOMPARE(wholeSize, full.size());
    const QSize fit = full.size().scaled(box, Qt::KeepAspectRatio);
    QVERIFY2(forView.width() >= fit.width() && forView.height() >= fit.height() && forView.width() < full.width(),
             qPrintable(QStringLiteral("%1x%2").arg(forView.width()).arg(forView.height())));
    for (const QImage &image : {full, forView, decodeThumbnail(path, 64)}) {
        QVERIFY(!image.isNull());
        const QImage small = image.scaled(expected.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.width() > image.height(), expected.width() > expected.height());
        qint64 difference = 0;
        for (int y = 0; y < small.height(); ++y) {
            for (int x = 0; x < small.width(); ++x) {
                const QRgb a = small.pixel(x, y), b = expected.pixel(x, y);
                difference += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
            }
        }
        const double perChannel = double(difference) / (3.0 * small.width() * small.height());
        QVERIFY2(perChannel < 12, qPrintable(QStringLiteral("mean difference %1").arg(perChannel)));
    }
}

// The reason RAW files do not go to Qt's reader first: its TIFF reader returns
// the small first-IFD thumbnail as if it were the photo.
void TestPhotoDecoder::genericReaderSeesOnlyTheThumbnail()
{
    if (!QImageReader::supportedImageFormats().contains("tiff"))
        QSKIP("no TIFF reader plug-in: nothing to prefer the embedded preview over");
    const QString path = write(QStringLiteral("generic.nef"), nefLike());
    QCOMPARE(QImageReader(path).read().size(), thumbSize);
    QCOMPARE(decodePhoto(path).size(), fullSize);
    // Decoded for a view, the full size is still the preview's, not the reader's.
    bool scaled = false;
    QSize wholeSize;
    QVERIFY(decodePhoto(path, fullSize / 3, &scaled, &wholeSize).width() < fullSize.width());
    QVERIFY(scaled);
    QCOMPARE(wholeSize, fullSize);
}

void TestPhotoDecoder::rawLayouts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<int>("side");
    QTest::addColumn<QSize>("thumbnail");

    QTest::newRow("nef") << "a.nef" << nefLike() << fullSize << 256 << fit(fullSize, 256);
    QTest::newRow("nef-big-endian-uppercase") << "b.NEF" << nefLike(1, false) << fullSize << 512 << fit(fullSize, 512);
    QTest::newRow("dng-strips") << "a.dng" << dngLike() << fullSize << 256 << fit(midSize, 256);
    QTest::newRow("dng-above-mid") << "b.dng" << dngLike() << fullSize << 800 << fit(fullSize, 800);
    QTest::newRow("cr2-ifd0-strip") << "a.cr2" << cr2Like() << fullSize << 256 << fit(fullSize, 256);
    QTest::newRow("cr2-small-side") << "b.cr2" << cr2Like() << fullSize << 128 << fit(thumbSize, 128);
    QTest::newRow("arw") << "a.arw" << arwLike() << midSize << 512 << fit(midSize, 512);
    QTest::newRow("arw-all-smaller") << "b.arw" << arwLike() << midSize << 1024 << fit(midSize, 1024);
    QTest::newRow("cr3-scan") << "a.cr3" << cr3Like() << fullSize << 512 << fit(midSize, 512);
    QTest::newRow("cr3-scan-small") << "b.cr3" << cr3Like() << fullSize << 100 << fit(thumbSize, 100);
    QTest::newRow("raf-nested-thumbnail") << "a.raf" << rafLike() << fullSize << 256 << fit(fullSize, 256);
    QTest::newRow("rw2-other-magic") << "a.rw2" << rw2Like() << fullSize << 256 << fit(fullSize, 256);
    QTest::newRow("orf-other-magic") << "a.orf" << orfLike() << midSize << 128 << fit(thumbSize, 128);
    // A TIFF-structured file with a RAW-free name keeps Qt's reader first.
    if (QImageReader::supportedImageFormats().contains("tiff"))
        QTest::newRow("tif-generic-first") << "a.tif" << nefLike() << thumbSize << 256 << thumbSize;
}

void TestPhotoDecoder::rawLayouts()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    QFETCH(QSize, photo);
    QFETCH(int, side);
    QFETCH(QSize, thumbnail);
    const QString path = write(name, file);
    const QImage full = decodePhoto(path);
    QCOMPARE(full.size(), photo);
    if (name.endsWith(QLatin1String(".tif")))
        return;
    QCOMPARE(testimg::corners(full), QByteArray("RGBW"));
    QCOMPARE(decodeLargestEmbeddedPreview(path).size(), photo);
    const QImage thumb = decodeThumbnail(path, side);
    QCOMPARE(thumb.size(), thumbnail);
    QCOMPARE(testimg::corners(thumb), QByteArray("RGBW"));
}

void TestPhotoDecoder::previewForSize_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QSize>("expected");
    // Previews of 160×120, 640×360 and 960×640 in a DNG-like file.
    QTest::newRow("smallest-covering") << 600 << fit(midSize, 600);
    QTest::newRow("exact-extent") << 640 << midSize;
    QTest::newRow("just-above") << 641 << fit(fullSize, 641);
    QTest::newRow("all-smaller-scaled-up") << 1024 << fit(fullSize, 1024);
    QTest::newRow("clamped-low") << 10 << fit(thumbSize, 64);
    QTest::newRow("clamped-high") << 5000 << fit(fullSize, 1024);
}

void TestPhotoDecoder::previewForSize()
{
    QFETCH(int, target);
    QFETCH(QSize, expected);
    TiffBuilder t;
    const int ifd0 = t.addIfd(), a = t.addIfd(), b = t.addIfd();
    t.jpegInterchange(ifd0, t.addBlob(jpegOf(thumbSize)));
    t.subIfds(ifd0, {a, b});
    t.strip(a, t.addBlob(jpegOf(fullSize)));
    t.strip(b, t.addBlob(jpegOf(midSize)));
    const QString path = write(QStringLiteral("forsize.dng"), t.build());
    QCOMPARE(decodeEmbeddedPreviewForSize(path, target).size(), expected);
}

// Equal areas and equal extents: the candidate met first in the walk wins.
void TestPhotoDecoder::equalAreasKeepWalkOrder()
{
    TiffBuilder t;
    const int ifd0 = t.addIfd(), s1 = t.addIfd(), s2 = t.addIfd();
    t.subIfds(ifd0, {s1, s2});
    t.jpegInterchange(s1, t.addBlob(testimg::jpeg(320, 200, Qt::blue)));
    t.jpegInterchange(s2, t.addBlob(testimg::jpeg(200, 320, Qt::green))); // met first: sub-IFDs run backwards
    const QString path = write(QStringLiteral("ties.nef"), t.build());
    QCOMPARE(testimg::corners(decodeLargestEmbeddedPreview(path)), QByteArray("GGGG"));
    QCOMPARE(testimg::corners(decodeEmbeddedPreviewForSize(path, 300)), QByteArray("GGGG"));
}

// A candidate the JPEG reader refuses does not compete; the others still do.
void TestPhotoDecoder::rejectedCandidateGivesWay()
{
    TiffBuilder t;
    const int ifd0 = t.addIfd(), s1 = t.addIfd();
    t.jpegInterchange(ifd0, t.addBlob(jpegOf(midSize)));
    t.subIfds(ifd0, {s1});
    QByteArray broken = jpegOf(fullSize);
    // A lossless frame, as sensor data stored as JPEG is: the reader refuses it.
    broken[broken.indexOf(QByteArray("\xFF\xC0", 2)) + 1] = char(0xC3);
    t.jpegInterchange(s1, t.addBlob(broken));
    const QString path = write(QStringLiteral("broken.nef"), t.build());
    QCOMPARE(walkBytes(t.build()).size(), 2);
    QCOMPARE(decodePhoto(path).size(), midSize);
    QCOMPARE(decodeThumbnail(path, 1024).size(), fit(midSize, 1024));
}

void TestPhotoDecoder::streamEnd_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<qint64>("expected");

    const QByteArray plain = jpegOf(QSize(200, 100));
    QTest::newRow("baseline") << plain + "trailing" << qint64(plain.size());
    const QByteArray nested = testimg::jpegWithExifThumbnail(plain, jpegOf(QSize(64, 48)));
    QTest::newRow("nested-exif-thumbnail") << nested + sensorData(100) << qint64(nested.size());
    const QByteArray progressive = testimg::encode(testimg::quadrants(300, 200), "JPEG", 85, true);
    QTest::newRow("progressive") << progressive + QByteArray("\xFF\xD9", 2) << qint64(progressive.size());
    QTest::newRow("truncated") << plain.left(plain.size() - 2) << qint64(0);
    QTest::newRow("segment-past-end") << plain.left(30) << qint64(0);
    QTest::newRow("not-a-marker") << QByteArray("\xFF\xD8\x00\xFF\xD9", 5) << qint64(0);
    QTest::newRow("bare-soi-eoi") << QByteArray("\xFF\xD8\xFF\xD9", 4) << qint64(4);
    QTest::newRow("zero-segment-length") << QByteArray("\xFF\xD8\xFF\xE0\x00\x00\xFF\xD9", 8) << qint64(0);
    // Stuffed zeros, restart markers and fill bytes in the entropy-coded data.
    QTest::newRow("entropy-escapes") << QByteArray("\xFF\xD8\xFF\xDA\x00\x02\x12\xFF\x00\x34\xFF\xD3\x56\xFF\xFF\xD9xx", 18)
                                    << qint64(16);
}

void TestPhotoDecoder::streamEnd()
{
    QFETCH(QByteArray, stream);
    QFETCH(qint64, expected);
    // A heap copy of exactly this size, so reads past the end are caught.
    QScopedArrayPointer<uchar> copy(new uchar[size_t(qMax<qsizetype>(stream.size(), 1))]);
    memcpy(copy.data(), stream.constData(), size_t(stream.size()));
    QCOMPARE(jpegStreamLength(copy.data(), stream.size()), expected);
}

// Streams found by the scan need 512 bytes too; the scan resumes after each stream.
void TestPhotoDecoder::scanThreshold()
{
    const QByteArray app = QByteArray("\xFF\xE0", 2);
    const auto streamOf = [&](int total) {
        const int payload = total - 8;
        QByteArray s("\xFF\xD8", 2);
        s += app;
        s += char((payload + 2) >> 8);
        s += char((payload + 2) & 0xFF);
        s += QByteArray(payload, 'x');
        return s + QByteArray("\xFF\xD9", 2);
    };
    const QByteArray s511 = streamOf(511), s512 = streamOf(512);
    QCOMPARE(s511.size(), 511);
    const QByteArray file = QByteArray("junk") + s511 + "more" + s512 + QByteArray("\xFF\xD8\xFF", 3);
    const QList<PreviewCandidate> found = scanJpegStreams(reinterpret_cast<const uchar *>(file.constData()), file.size());
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().offset, quint32(4 + 511 + 4));
    QCOMPARE(found.first().length, 512u);
}

void TestPhotoDecoder::genericFormats_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file");

    const QImage image = testimg::quadrants(300, 200);
    QTest::newRow("jpeg") << "g.jpg" << testimg::encode(image, "JPEG", 95);
    QTest::newRow("png") << "g.png" << testimg::encode(image, "PNG");
    QTest::newRow("bmp") << "g.bmp" << testimg::encode(image, "BMP");
    // A JPEG with its own Exif orientation is turned by Qt's reader, exactly once.
    QTest::newRow("jpeg-exif-6") << "o.jpg"
                                 << testimg::jpegWithExifThumbnail(testimg::encode(applyOrientation(image, 8), "JPEG", 95),
                                                                   jpegOf(QSize(64, 48)), 6);
}

void TestPhotoDecoder::genericFormats()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    const QString path = write(name, file);
    const QImage photo = decodePhoto(path);
    QCOMPARE(photo.size(), QSize(300, 200));
    QCOMPARE(testimg::corners(photo), QByteArray("RGBW"));
    const QImage thumb = decodeThumbnail(path, 150);
    QCOMPARE(thumb.size(), QSize(150, 100));
    QCOMPARE(testimg::corners(thumb), QByteArray("RGBW"));
    // Smaller than the side: returned as decoded, never enlarged.
    QCOMPARE(decodeThumbnail(path, 512).size(), QSize(300, 200));
}

void TestPhotoDecoder::thumbnailSideIsClamped_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("10-is-64") << 10 << QSize(64, 32);
    QTest::newRow("64") << 64 << QSize(64, 32);
    QTest::newRow("5000-is-1024") << 5000 << QSize(1024, 512);
    QTest::newRow("negative-is-64") << -3 << QSize(64, 32);
}

void TestPhotoDecoder::thumbnailSideIsClamped()
{
    QFETCH(int, side);
    QFETCH(QSize, expected);
    const QString path = m_dir.filePath(QStringLiteral("wide.png"));
    if (!QFile::exists(path))
        QVERIFY(testimg::writeFile(path, testimg::encode(testimg::quadrants(1400, 700), "PNG")));
    QCOMPARE(decodeThumbnail(path, side).size(), expected);
}

void TestPhotoDecoder::unusableFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("three-bytes") << "short.jpg" << QByteArray("\xFF\xD8\xFF", 3);
    QTest::newRow("zeros") << "zeros.nef" << QByteArray(4096, 0);
    QTest::newRow("empty") << "empty.cr3" << QByteArray();
    QTest::newRow("missing") << "missing.raf" << QByteArray();
    QTest::newRow("directory") << "folder.jpg" << QByteArray();
    QTest::newRow("tiff-header-only") << "header.dng" << QByteArray("II*\0\x08\0\0\0", 8);
}

void TestPhotoDecoder::unusableFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    QString path = m_dir.filePath(name);
    if (name == QLatin1String("folder.jpg"))
        QVERIFY(QDir().mkpath(path));
    else if (name != QLatin1String("missing.raf"))
        path = write(name, file);
    QVERIFY(decodePhoto(path).isNull());
    QVERIFY(decodeThumbnail(path, 256).isNull());
    QVERIFY(decodeLargestEmbeddedPreview(path).isNull());
    QVERIFY(decodeEmbeddedPreviewForSize(path, 256).isNull());
}

// Photos of 45 MP and more decode; a header claiming an absurd size is refused.
void TestPhotoDecoder::largePhotosWithinLimit_data()
{
    QTest::addColumn<QSize>("claimed");
    QTest::addColumn<bool>("decodes");
    QTest::newRow("45mp") << QSize(8256, 5504) << true;
    QTest::newRow("absurd") << QSize(65000, 65000) << false;
}

void TestPhotoDecoder::largePhotosWithinLimit()
{
    QFETCH(QSize, claimed);
    QFETCH(bool, decodes);
    // A small real JPEG whose frame header claims the size: the decoder fills the
    // rest, which is all this needs, and it stays cheap to build.
    QByteArray bytes = testimg::encode(testimg::quadrants(64, 64), "JPEG", 50);
    const int sof = int(bytes.indexOf(QByteArray("\xFF\xC0", 2)));
    QVERIFY(sof > 0);
    testimg::putU16(bytes, sof + 5, quint16(claimed.height()), false);
    testimg::putU16(bytes, sof + 7, quint16(claimed.width()), false);
    const QString path = write(QStringLiteral("large.jpg"), bytes);
    QImageReader probe(path);
    QCOMPARE(probe.size(), claimed);
    QCOMPARE(!decodePhoto(path).isNull(), decodes);
    const QImage thumb = decodeThumbnail(path, 256);
    if (decodes)
        QCOMPARE(thumb.size(), fit(claimed, 256));
}

void TestPhotoDecoder::rawSuffixes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("raw");
    for (const char *s : {"dng", "CR2", "cr3", "Nef", "arw", "ORF", "raf", "rw2"})
        QTest::newRow(s) << QStringLiteral("/p/IMG.%1").arg(QLatin1String(s)) << true;
    QTest::newRow("jpg") << "/p/IMG.jpg" << false;
    QTest::newRow("tif") << "/p/IMG.tif" << false;
    QTest::newRow("raw-folder") << "/p.nef/IMG" << false;
    QTest::newRow("no-suffix") << "/p/nef" << false;
}

void TestPhotoDecoder::rawSuffixes()
{
    QFETCH(QString, path);
    QFETCH(bool, raw);
    QCOMPARE(isRawPhotoPath(path), raw);
}

QTEST_MAIN(TestPhotoDecoder)
#include "tst_photodecoder.moc"
