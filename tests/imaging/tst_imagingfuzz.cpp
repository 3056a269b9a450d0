#include "imaging/exifsummary.h"
#include "imaging/focuspoints.h"
#include "imaging/colourprofile.h"
#include "imaging/photodecoder.h"
#include "imaging/quickpreview.h"
#include "imaging/makernotes.h"
#include "imaging/tiffbuilder.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace testimg::layouts;

namespace {

// A heap copy of exactly the file's length, so that a sanitizer build reports
// any read outside it.
class ExactCopy
{
public:
    explicit ExactCopy(const QByteArray &b) : m_size(b.size()), m_data(new uchar[size_t(qMax<qsizetype>(b.size(), 1))])
    {
        memcpy(m_data.get(), b.constData(), size_t(b.size()));
    }
    const uchar *data() const { return m_data.get(); }
    qint64 size() const { return m_size; }

private:
    qint64 m_size;
    std::unique_ptr<uchar[]> m_data;
};

// One mutation: flipped bytes, planted markers and extreme values, cuts and splices.
QByteArray mutate(QByteArray b, QRandomGenerator &rng)
{
    if (b.isEmpty())
        return b;
    const int kind = int(rng.bounded(6));
    const auto at = [&] { return int(rng.bounded(quint32(b.size()))); };
    switch (kind) {
    case 0:
        for (int i = 0, n = 1 + int(rng.bounded(8)); i < n; ++i)
            b[at()] = char(rng.bounded(256));
        break;
    case 1: { // a 32-bit field set to an extreme value, in either byte order
        const int pos = at();
        static const quint32 extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF, 8, 63, 64};
        const quint32 v = extremes[rng.bounded(9)];
        for (int i = 0; i < 4 && pos + i < b.size(); ++i)
            b[pos + i] = char(rng.bounded(2) ? (v >> (8 * i)) : (v >> (8 * (3 - i))));
        break;
    }
    case 2:
        b.truncate(at());
        break;
    case 3: { // plant JPEG markers
        static const char *const markers[] = {"\xFF\xD8\xFF", "\xFF\xD9", "\xFF\xDA", "\xFF\xE1\xFF\xFF", "\xFF\x00"};
        const char *m = markers[rng.bounded(5)];
        b.replace(at(), int(qstrlen(m)), m);
        break;
    }
    case 4: { // a copied range elsewhere: duplicated IFDs and pointers
        const int from = at(), len = int(rng.bounded(64));
        b.insert(at(), b.mid(from, len));
        break;
    }
    default: // an entry count or tag swapped for a frequent one
        if (b.size() >= 2)
            testimg::putU16(b, qMin(at(), int(b.size()) - 2), quint16(rng.bounded(2) ? 0x0201 : 0xFFFF), rng.bounded(2));
        break;
    }
    return b;
}

} // namespace

class TestImagingFuzz : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parsersStayInBounds_data();
    void parsersStayInBounds();
    void decodersSurviveMutations();

private:
    QList<QPair<QString, QByteArray>> m_seeds;
};

void TestImagingFuzz::initTestCase()
{
    m_seeds = {{QStringLiteral("nef"), nefLike(6)},       {QStringLiteral("dng"), dngLike()},
               {QStringLiteral("cr2"), cr2Like()},         {QStringLiteral("arw"), arwLike()},
               {QStringLiteral("cr3"), cr3Like(8)},        {QStringLiteral("raf"), rafLike(3)},
               {QStringLiteral("rw2"), rw2Like()},         {QStringLiteral("orf"), orfLike()}};
    // Maker notes of each maker the focus point reader knows.
    {
        using namespace testnotes;
        CanonAf af;
        af.widths = af.heights = QList<int>(9, 200);
        af.xs = af.ys = {0, 100, -100, 200, -200, 300, -300, 400, -400};
        af.inFocus = af.selected = 0x10;
        const QList<QPair<qint64, qint64>> corners{{4, 10}, {3, 10}, {6, 10}, {5, 10}};
        m_seeds += {{QStringLiteral("focus-canon"), cameraJpeg({"Canon", "Canon EOS 7D"}, canonNote(canonAfInfo2(af)))},
                    {QStringLiteral("focus-nikon"), cameraJpeg({"NIKON CORPORATION", "NIKON Z 9"}, fixedNote(nikonNote(
                        nikonAfInfo2("0400", 0, 0x3e, {8256, 5504, 4128, 2752, 400, 400}, 0x4a, 1))))},
                    {QStringLiteral("focus-sony"), cameraJpeg({"SONY", "ILCE-1"}, sonyNote({6000, 4000, 10, 20}, {60, 40, 257}))},
                    {QStringLiteral("focus-fujifilm"), cameraJpeg({"FUJIFILM", "X-H2"}, fixedNote(fujifilmNote({100, 200})))},
                    {QStringLiteral("focus-olympus"), cameraJpeg({"OLYMPUS CORPORATION", "E-M1"}, fixedNote(olympusNote(corners)))},
                    {QStringLiteral("focus-panasonic"), cameraJpeg({"Panasonic", "DC-S5"}, panasonicNote({{1, 2}, {1, 3}}))}};
    }
    const QDir data(QStringLiteral(GLANCEWAY_TESTDATA));
    for (const QString &sub : {QStringLiteral("fixtures"), QStringLiteral("corrupt"), QStringLiteral("cameras")}) {
        const QDir dir(data.filePath(sub));
        for (const QString &name : dir.entryList(QDir::Files)) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            // The headers are what the parsers read; the rest is image data.
            m_seeds.append({sub + QLatin1Char('/') + name, f.read(96 * 1024)});
        }
    }
}

void TestImagingFuzz::parsersStayInBounds_data()
{
    QTest::addColumn<int>("seed");
    for (int i = 0; i < m_seeds.size(); ++i)
        QTest::newRow(qPrintable(m_seeds[i].first)) << i;
}

void TestImagingFuzz::parsersStayInBounds()
{
    QFETCH(int, seed);
    QRandomGenerator rng(quint32(0x6A7 + seed));
    QByteArray file = m_seeds[seed].second;
    for (int i = 0; i < 400; ++i) {
        // Mutations pile up for a while, then start again from the seed.
        file = (i % 25 == 0) ? mutate(m_seeds[seed].second, rng) : mutate(file, rng);
        const ExactCopy copy(file);
        for (const PreviewCandidate &c : findEmbeddedJpegPreviews(copy.data(), copy.size())) {
            QVERIFY(c.length >= 512);
            QVERIFY(qint64(c.offset) + c.length <= copy.size());
        }
        for (const PreviewCandidate &c : scanJpegStreams(copy.data(), copy.size())) {
            QVERIFY(qint64(c.offset) + c.length <= copy.size());
            QCOMPARE(jpegStreamLength(copy.data() + c.offset, copy.size() - c.offset), qint64(c.length));
        }
        const int orientation = readTiffOrientation(copy.data(), copy.size());
        QVERIFY(orientation >= 1 && orientation <= 8);
        const ExifSummary s = readExifSummary(copy.data(), copy.size());
        QCOMPARE(s.fileSize, copy.size());
        QVERIFY(s.make.size() <= 4096 && s.model.size() <= 4096 && s.lens.size() <= 4096);
        const FocusPoints focus = readFocusPoints(copy.data(), copy.size());
        QCOMPARE(focus.isEmpty(), focus.source.isEmpty());
        for (const FocusPoint &p : focus.points)
            QVERIFY(p.x >= 0 && p.x <= 1 && p.y >= 0 && p.y <= 1 && p.w >= 0 && p.w <= 1 && p.h >= 0 && p.h <= 1);
    }
}

// Fewer rounds through the whole decoders, which map the files themselves.
void TestImagingFuzz::decodersSurviveMutations()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QRandomGenerator rng(20240607);
    int decoded = 0;
    for (int s = 0; s < 8; ++s) {
        QByteArray file = m_seeds[s].second;
        for (int i = 0; i < 12; ++i) {
            file = mutate(file, rng);
            const QString path = dir.filePath(QStringLiteral("m%1_%2.%3").arg(s).arg(i).arg(m_seeds[s].first));
            QVERIFY(testimg::writeFile(path, file));
            const QImage photo = decodePhoto(path);
            const QImage thumb = decodeThumbnail(path, 128);
            QVERIFY(thumb.width() <= 128 && thumb.height() <= 128);
            decoded += !photo.isNull();
            readExifSummary(path);
            readFocusPoints(path);
            // The paths taken before and while the real decode runs, and the colour lookup.
            const QImage forView = decodePhoto(path, QSize(320, 200));
            QVERIFY(forView.isNull() || photo.isNull() || forView.width() <= photo.width());
            decodeQuickPreview(path, QSize(320, 200));
            const QImage cell = decodeEmbeddedThumbnail(path, 128);
            QVERIFY(cell.width() <= 128 && cell.height() <= 128);
            sourceColourOf(photo, path);
        }
    }
    // Most single mutations leave some preview intact.
    QVERIFY(decoded > 0);
}

QTEST_MAIN(TestImagingFuzz)
#include "tst_imagingfuzz.moc"
