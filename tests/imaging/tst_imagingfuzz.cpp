#include "imaging/exifsummary.h"
#include "imaging/focuspoints.h"
#include "imaging/jpegluma.h"
#include "imaging/jpegstrips.h"
#include "imaging/colourprofile.h"
#include "imaging/photodecoder.h"
#include "imaging/quickpreview.h"
#include "imaging/makernotes.h"
#include "imaging/tiffbuilder.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace testimg::layouts;

#ifdef __SANITIZE_ADDRESS__
// Under the sanitizer an allocation above 512 MB fails: a parser that sizes a
// list or buffer by a file's counts without bound fails the test, not the
// machine. Images within the decoders' own limit may be refused, as Qt's
// readers refuse what they cannot allocate.
extern "C" const char *__asan_default_options()
{
    return "max_allocation_size_mb=512:allocator_may_return_null=1";
}
#endif

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

// A segment of a JPEG stream's header: `at` is its marker's first byte,
// `size` the length its length field gives (the field included).
struct Segment
{
    qsizetype at = 0;
    uchar marker = 0;
    qsizetype size = 0;
};

// The segments from the start of image up to and including the first scan header.
QList<Segment> headerSegments(const QByteArray &b)
{
    QList<Segment> out;
    qsizetype pos = 2;
    while (pos + 4 <= b.size() && uchar(b[pos]) == 0xFF) {
        const uchar marker = uchar(b[pos + 1]);
        const qsizetype size = (uchar(b[pos + 2]) << 8) | uchar(b[pos + 3]);
        if (size < 2 || pos + 2 + size > b.size())
            break;
        out.append({pos, marker, size});
        if (marker == 0xDA)
            break;
        pos += 2 + size;
    }
    return out;
}

// One mutation of the fields the JPEG decoders take from a header: Huffman
// code counts, sampling factors, sizes, quantisation and scan table
// selectors, restart intervals, segment lengths and frame types.
QByteArray mutateJpegHeader(QByteArray b, QRandomGenerator &rng)
{
    const QList<Segment> segments = headerSegments(b);
    if (segments.isEmpty())
        return b;
    const auto pick = [&](std::initializer_list<uchar> markers) -> Segment {
        QList<Segment> found;
        for (const Segment &s : segments) {
            if (std::find(markers.begin(), markers.end(), s.marker) != markers.end())
                found.append(s);
        }
        return found.isEmpty() ? Segment() : found[rng.bounded(quint32(found.size()))];
    };
    static const uchar extremes[] = {0x00, 0x01, 0x0F, 0x10, 0x11, 0x12, 0x21, 0x22, 0x41, 0x44, 0x45, 0x54, 0x80, 0xFF};
    const auto value8 = [&] { return rng.bounded(3) ? extremes[rng.bounded(quint32(std::size(extremes)))] : uchar(rng.bounded(256)); };
    static const quint16 sizes[] = {0, 1, 2, 7, 8, 9, 15, 16, 17, 255, 4096, 0x7FFF, 0x8000, 0xFFFF};
    const auto value16 = [&] { return rng.bounded(3) ? sizes[rng.bounded(quint32(std::size(sizes)))] : quint16(rng.bounded(65536)); };
    const auto at = [&](qsizetype pos) { return pos < b.size() ? uchar(b[pos]) : uchar(0); };
    const auto put8 = [&](qsizetype pos, uchar v) {
        if (pos >= 0 && pos < b.size())
            b[pos] = char(v);
    };
    const auto put16 = [&](qsizetype pos, quint16 v) {
        put8(pos, uchar(v >> 8));
        put8(pos + 1, uchar(v));
    };
    switch (rng.bounded(7)) {
    case 0: { // a Huffman table's code count of one length, or its class and slot
        const Segment s = pick({0xC4});
        QList<qsizetype> tables;
        for (qsizetype p = s.at + 4; s.size > 0 && p + 17 <= s.at + 2 + s.size;) {
            tables.append(p);
            int symbols = 0;
            for (int i = 1; i <= 16; ++i)
                symbols += uchar(b[p + i]);
            p += 17 + symbols;
        }
        if (tables.isEmpty())
            break;
        const qsizetype t = tables[rng.bounded(quint32(tables.size()))];
        const qsizetype from = t + 1 + rng.bounded(16), to = t + 1 + rng.bounded(16);
        const int moved = 1 + int(rng.bounded(quint32(qMax<int>(uchar(b[from]), 1))));
        if (rng.bounded(2) && uchar(b[from]) >= moved && uchar(b[to]) + moved <= 255) {
            // The same symbols under codes of other lengths: the segment still
            // parses, the code space may overflow or be left short.
            put8(from, uchar(b[from]) - moved);
            put8(to, uchar(b[to]) + moved);
        } else {
            put8(rng.bounded(4) ? from : t, value8());
        }
        break;
    }
    case 1: { // the frame: precision, height, width, components and their factors and tables
        const Segment s = pick({0xC0, 0xC1});
        if (s.size == 0)
            break;
        const int components = at(s.at + 9);
        switch (rng.bounded(5)) {
        case 0: put8(s.at + 4, rng.bounded(2) ? 12 : value8()); break;
        case 1: put16(s.at + 5, value16()); break;
        case 2: put16(s.at + 7, value16()); break;
        case 3: put8(s.at + 9, value8()); break;
        default: put8(s.at + 10 + 3 * rng.bounded(quint32(qMax(components, 1))) + 1 + rng.bounded(2), value8()); break;
        }
        break;
    }
    case 2: { // a quantisation table's precision and slot, or one of its values
        const Segment s = pick({0xDB});
        if (s.size == 0)
            break;
        put8(rng.bounded(2) ? s.at + 4 : s.at + 5 + rng.bounded(64), rng.bounded(2) ? 0 : value8());
        break;
    }
    case 3: { // the scan: components, their selectors and tables, the coefficient range
        const Segment s = pick({0xDA});
        if (s.size == 0)
            break;
        const int components = at(s.at + 4);
        const quint32 field = rng.bounded(quint32(2 * qMax(components, 1) + 4));
        put8(field == 0 ? s.at + 4 : field <= quint32(2 * components) ? s.at + 4 + field : s.at + 2 + s.size - 3 + rng.bounded(3),
             value8());
        break;
    }
    case 4: { // the restart interval: changed, added before the scan, or taken out
        const Segment dri = pick({0xDD});
        if (dri.size != 0 && rng.bounded(3) == 0)
            b.remove(dri.at, 2 + dri.size);
        else if (dri.size != 0)
            put16(dri.at + 4, value16());
        else if (const Segment sos = pick({0xDA}); sos.size != 0)
            b.insert(sos.at, QByteArray("\xFF\xDD\x00\x04", 4) + char(rng.bounded(2) ? 0 : value8()) + char(value8()));
        break;
    }
    case 5: { // a segment's length
        const Segment s = segments[rng.bounded(quint32(segments.size()))];
        const int delta = int(rng.bounded(9)) - 4;
        put16(s.at + 2, rng.bounded(2) ? quint16(s.size + delta) : value16());
        break;
    }
    default: { // a frame of another type, or a segment repeated or left out
        const Segment s = segments[rng.bounded(quint32(segments.size()))];
        static const uchar frames[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC9, 0xCC};
        if (rng.bounded(3) == 0 && (s.marker == 0xC0 || s.marker == 0xC1))
            put8(s.at + 1, frames[rng.bounded(quint32(std::size(frames)))]);
        else if (rng.bounded(2))
            b.insert(s.at, b.mid(s.at, 2 + s.size));
        else if (s.marker != 0xDA)
            b.remove(s.at, 2 + s.size);
        break;
    }
    }
    return b;
}


// A TIFF whose IFDs overlap: 63 of them start two bytes before entries of
// IFD0, so that each counts 60,000 entries from there, and every entry lists
// the same 63 as sub-IFDs.
QByteArray fanningSubIfds()
{
    constexpr int entries = 65535;
    constexpr quint32 list = 0x000CEA60; // past the entries; its low half is 60,000
    QByteArray b(qsizetype(list) + 4 * 63, '\0');
    b.replace(0, 4, QByteArray("MM\0*", 4));
    testimg::putU32(b, 4, 8, false);
    testimg::putU16(b, 8, entries, false);
    for (qsizetype e = 10; e < 10 + 12 * qsizetype(entries); e += 12) {
        testimg::putU16(b, e, 330, false);
        testimg::putU16(b, e + 2, 4, false);
        testimg::putU32(b, e + 4, 63, false);
        testimg::putU32(b, e + 8, list, false);
    }
    for (int k = 0; k < 63; ++k)
        testimg::putU32(b, list + 4 * k, quint32(20 + 12 * k), false);
    return b;
}

// A JPEG stream, then 2 MB of start-of-image markers, each followed by a
// comment segment that ends where the next one's comment begins: the walk
// from every one of them runs to the end of the file.
QByteArray chainedStarts()
{
    return testimg::jpeg(64, 64) + QByteArray("\xFF\xD8\xFF\xFE\x00\x04", 6).repeated((2 << 20) / 6);
}

// A TIFF whose IFD0 holds only a colour profile of `bytes` zeros.
QByteArray tiffWithProfile(qsizetype bytes)
{
    QByteArray b("II*\0\x08\0\0\0\x01\0", 10);
    b += QByteArray("\x73\x87\x07\0", 4) + testimg::u32be(0) + testimg::u32be(0) + testimg::u32be(0);
    testimg::putU32(b, 14, quint32(bytes), true);
    testimg::putU32(b, 18, quint32(b.size()), true);
    return b + QByteArray(bytes, '\0');
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk = testimg::u32be(quint32(data.size())) + QByteArray(type, 4) + data;
    return chunk + testimg::u32be(0); // the readers here leave the checksum alone
}

// A 1 × 1 PNG whose colour profile inflates to `bytes` zeros.
QByteArray pngWithProfile(qsizetype bytes)
{
    const QByteArray header = testimg::u32be(1) + testimg::u32be(1) + QByteArray("\x08\x02\0\0\0", 5);
    const QByteArray profile = QByteArray("icc\0\0", 5) + qCompress(QByteArray(bytes, '\0'), 9).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("iCCP", profile)
        + pngChunk("IEND", {});
}

// Mutations per seed in a normal run; GLANCEWAY_FUZZ_SCALE multiplies them
// for a longer local search.
int fuzzRounds(int rounds)
{
    return rounds * qMax(1, qEnvironmentVariableIntValue("GLANCEWAY_FUZZ_SCALE"));
}

// Qt's reader on the whole stream at 1/`denominator`, as stored.
QImage wholeDecode(QByteArray bytes, int denominator)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "JPEG");
    reader.setAutoTransform(false);
    reader.setScaledSize(reader.size() / denominator);
    return reader.read();
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
    void declaredSizesAreBounded_data();
    void declaredSizesAreBounded();
    void jpegHeaderMutations_data();
    void jpegHeaderMutations();

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
    for (int i = 0; i < fuzzRounds(400); ++i) {
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

void TestImagingFuzz::declaredSizesAreBounded_data()
{
    QTest::addColumn<QString>("parser");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("found"); // previews or streams, or bytes of colour profile
    QTest::newRow("raw: overlapping IFDs listing each other")
        << QStringLiteral("previews") << fanningSubIfds() << qint64(0);
    QTest::newRow("any: segments chaining over every later start")
        << QStringLiteral("streams") << chainedStarts() << qint64(1);
    QTest::newRow("png: profile at the limit") << QStringLiteral("profile") << pngWithProfile(4 << 20) << qint64(4 << 20);
    QTest::newRow("png: profile inflating past the limit")
        << QStringLiteral("profile") << pngWithProfile(16 << 20) << qint64(0);
    QTest::newRow("tiff: profile at the limit") << QStringLiteral("profile") << tiffWithProfile(4 << 20) << qint64(4 << 20);
    QTest::newRow("tiff: profile past the limit")
        << QStringLiteral("profile") << tiffWithProfile((4 << 20) + 1) << qint64(0);
}

// Counts and sizes a file declares cost no more than the parser's own limits.
// Under the sanitizer an unbounded list fails its allocation; a walk of
// quadratic length meets the test's watchdog.
void TestImagingFuzz::declaredSizesAreBounded()
{
    QFETCH(QString, parser);
    QFETCH(QByteArray, file);
    QFETCH(qint64, found);
    const ExactCopy copy(file);
    if (parser == QLatin1String("previews"))
        QCOMPARE(qint64(findEmbeddedJpegPreviews(copy.data(), copy.size()).size()), found);
    else if (parser == QLatin1String("streams"))
        QCOMPARE(qint64(scanJpegStreams(copy.data(), copy.size()).size()), found);
    else
        QCOMPARE(qint64(findEmbeddedIccProfile(copy.data(), copy.size()).size()), found);
}

void TestImagingFuzz::jpegHeaderMutations_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("rounds");
    // Small photos for many rounds; photos the luma decoder cuts into two and
    // four ranges; photos with restart intervals, for the strip planner.
    QTest::newRow("polaroid 2x2") << QStringLiteral("Polaroid_PDC-640M_POL_0132.JPG") << 120;
    QTest::newRow("epson 2x1") << QStringLiteral("Epson_PhotoPC-3100Z_EPSN0001.JPG") << 120;
    QTest::newRow("kodak 2x2") << QStringLiteral("Kodak_DC210_DCP15612.JPG") << 60;
    QTest::newRow("olympus two ranges") << QStringLiteral("Olympus_C-3000_P1010006.JPG") << 30;
    QTest::newRow("canon four ranges") << QStringLiteral("Canon_EOS-RP__MG_0633.JPG") << 20;
    QTest::newRow("hp restarts") << QStringLiteral("HP_C200_DSC00001.JPG") << 120;
    QTest::newRow("pentax restarts") << QStringLiteral("Pentax_ist-DL_IMGP6666.JPG") << 40;
    QTest::newRow("phone restarts") << QStringLiteral("Apple_iPhone-13-Pro_IMG_8568.JPG") << 20;
}

// The luma decoder gives the same picture, or none, on any number of
// threads, and the strip planner's cuts stay within the scan it found.
void TestImagingFuzz::jpegHeaderMutations()
{
    QFETCH(QString, name);
    QFETCH(int, rounds);
    QFile f(QStringLiteral(GLANCEWAY_TESTDATA "/cameras/") + name);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray original = f.readAll();
    // A seed of the name alone: Qt's string hash differs between processors.
    quint32 seed = 0x1A6E;
    for (const QChar c : name)
        seed = seed * 31 + c.unicode();
    QRandomGenerator rng(seed);
    // Each input is written here before it is decoded, so a crash leaves its reproducer.
    const QString last = qEnvironmentVariable("GLANCEWAY_FUZZ_LAST");
    QByteArray file = original;
    int decoded = 0;
    int planned = 0;
    for (int i = 0; i < fuzzRounds(rounds); ++i) {
        file = mutateJpegHeader(i % 3 == 0 ? original : file, rng);
        if (!last.isEmpty())
            QVERIFY(testimg::writeFile(last, file));
        const QByteArray context = name.toLatin1() + " round " + QByteArray::number(i);
        const ExactCopy copy(file);
        const int denominator = i % 2 ? 4 : 8;
        const QImage one = decodeJpegLuma(copy.data(), copy.size(), denominator, 1);
        for (const int threads : {2, 4})
            QVERIFY2(decodeJpegLuma(copy.data(), copy.size(), denominator, threads) == one, context);
        if (!one.isNull()) {
            ++decoded;
            QBuffer buffer(&file);
            const QSize frame = QImageReader(&buffer, "JPEG").size(); // invalid where Qt refuses the header
            const QSize expected((frame.width() + denominator - 1) / denominator,
                                 (frame.height() + denominator - 1) / denominator);
            QVERIFY2(one.format() == QImage::Format_Grayscale8 && (!frame.isValid() || one.size() == expected), context);
        }

        for (const int strips : {2, 4}) {
            const JpegStripPlan plan = planJpegStrips(copy.data(), copy.size(), strips);
            if (plan.count() == 0)
                continue;
            ++planned;
            QVERIFY2(plan.count() >= 2 && plan.count() <= strips, context);
            int kept = 0;
            for (int s = 0; s < plan.count(); ++s) {
                QVERIFY2(plan.firstInterval[s] >= 0 && plan.firstInterval[s] < plan.lastInterval[s]
                             && plan.lastInterval[s] <= plan.restarts.size() + 1, context);
                QVERIFY2(plan.heights[s] > 0 && plan.heights[s] <= 0xFFFF
                             && plan.skipTop[s] + plan.keep[s] <= plan.heights[s], context);
                kept += plan.keep[s];
                const QByteArray stream = jpegStripStream(plan, s);
                QVERIFY2(stream.startsWith("\xFF\xD8") && stream.endsWith("\xFF\xD9"), context);
            }
            QCOMPARE(kept, plan.size.height());
            if (strips == 4 && i % 4 == 0) {
                // Joined strips are the whole picture, pixel for pixel, where both decode.
                const QImage joined = decodeJpegStrips(plan, 8);
                const QImage whole = wholeDecode(file, 8);
                QVERIFY2(joined.isNull() || whole.isNull() || joined == whole, context);
            }
        }
    }
    qDebug() << name << decoded << "luma pictures," << planned << "strip plans";
}

QTEST_MAIN(TestImagingFuzz)
#include "tst_imagingfuzz.moc"
