#include "imaging/focuspoints.h"
#include "imaging/makernotes.h"
#include "imaging/photodecoder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace testnotes;

Q_DECLARE_METATYPE(FocusPoint)

namespace {

const char *const canonDebianCr2 = "/usr/share/doc/rawtran/IMG_5952.CR2";

FocusPoints pointsOf(const QByteArray &bytes)
{
    return readFocusPoints(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size());
}

FocusPoint point(double x, double y, double w, double h, std::optional<bool> inFocus = {},
                 std::optional<bool> selected = {})
{
    return FocusPoint{x, y, w, h, inFocus, selected};
}

QString describe(const FocusPoint &p)
{
    const auto flag = [](const std::optional<bool> &b) { return !b ? QStringLiteral("?") : *b ? QStringLiteral("1") : QStringLiteral("0"); };
    return QStringLiteral("(%1,%2 %3x%4 f%5 s%6)").arg(p.x).arg(p.y).arg(p.w).arg(p.h).arg(flag(p.inFocus), flag(p.selected));
}

bool near(const FocusPoint &a, const FocusPoint &b)
{
    const double e = 1e-4;
    return qAbs(a.x - b.x) < e && qAbs(a.y - b.y) < e && qAbs(a.w - b.w) < e && qAbs(a.h - b.h) < e
           && a.inFocus == b.inFocus && a.selected == b.selected;
}

void comparePoints(const QList<FocusPoint> &actual, const QList<FocusPoint> &expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < actual.size(); ++i)
        QVERIFY2(near(actual[i], expected[i]), qPrintable(describe(actual[i]) + QStringLiteral(" ≠ ") + describe(expected[i])));
}

QList<int> numbers(const QJsonValue &v)
{
    QList<int> out;
    if (v.isDouble())
        return {v.toInt()};
    for (const QString &s : v.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.append(s.toInt());
    return out;
}

bool bitOf(const QList<int> &words, int i)
{
    return i / 16 < words.size() && ((words[i / 16] >> (i % 16)) & 1);
}

// The points as the other tool's reading of the same fields gives them, in
// the stored frame: Canon areas from the AF image's centre (y upwards on EOS
// bodies), Sony's point from the top left, SubjectArea in Exif pixels.
FocusPoints expectedFromExiftool(const QJsonObject &ref)
{
    FocusPoints out;
    const bool eos = ref.value(QLatin1String("Model")).toString().contains(QLatin1String("EOS"));
    const double afW = ref.value(QLatin1String("AFImageWidth")).toDouble();
    const double afH = ref.value(QLatin1String("AFImageHeight")).toDouble();
    const int valid = ref.value(QLatin1String("ValidAFPoints")).toInt();
    const QList<int> xs = numbers(ref.value(QLatin1String("AFAreaXPositions")));
    const QList<int> ys = numbers(ref.value(QLatin1String("AFAreaYPositions")));
    const QList<int> inFocus = numbers(ref.value(QLatin1String("AFPointsInFocus")));
    const bool hasSelected = ref.contains(QLatin1String("AFPointsSelected"));
    const QList<int> selected = numbers(ref.value(QLatin1String("AFPointsSelected")));
    QList<int> widths = numbers(ref.value(QLatin1String("AFAreaWidths")));
    QList<int> heights = numbers(ref.value(QLatin1String("AFAreaHeights")));
    const bool single = widths.isEmpty() && ref.contains(QLatin1String("AFAreaWidth"));
    if (single) {
        widths = QList<int>(valid, ref.value(QLatin1String("AFAreaWidth")).toInt());
        heights = QList<int>(valid, ref.value(QLatin1String("AFAreaHeight")).toInt());
    }
    if (afW > 0 && afH > 0 && valid > 0 && xs.size() >= valid && widths.size() >= valid) {
        out.source = single ? QStringLiteral("Canon AFInfo") : QStringLiteral("Canon AFInfo2");
        for (int i = 0; i < valid; ++i) {
            if (widths[i] <= 0)
                continue;
            const double cy = eos ? afH / 2 - ys[i] : afH / 2 + ys[i];
            out.points.append(point((afW / 2 + xs[i]) / afW, cy / afH, widths[i] / afW, heights[i] / afH, bitOf(inFocus, i),
                                    hasSelected ? std::optional<bool>(bitOf(selected, i)) : std::nullopt));
        }
        return out;
    }
    const QList<int> location = numbers(ref.value(QLatin1String("FocusLocation")));
    if (location.size() == 4 && location[0] > 0 && location[1] > 0) {
        out.source = QStringLiteral("Sony FocusLocation");
        out.points.append(point(double(location[2]) / location[0], double(location[3]) / location[1], 0, 0));
        return out;
    }
    const QList<int> subject = numbers(ref.value(QLatin1String("SubjectArea")));
    const double w = ref.value(QLatin1String("ExifImageWidth")).toDouble();
    const double h = ref.value(QLatin1String("ExifImageHeight")).toDouble();
    if (subject.size() == 4 && w > 0 && h > 0) {
        out.source = QStringLiteral("EXIF SubjectArea");
        out.points.append(point(subject[0] / w, subject[1] / h, subject[2] / w, subject[3] / h));
    }
    return out;
}

// A stored picture, black but for a white area; its upright form tells where
// an orientation or turn carries the area.
QImage markedPicture(const QSize &size, const QRectF &area)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.fillRect(QRectF(area.x() * size.width(), area.y() * size.height(), area.width() * size.width(),
                      area.height() * size.height()),
               Qt::white);
    return image;
}

QRectF whiteArea(const QImage &image)
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qRed(image.pixel(x, y)) > 128) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
        }
    }
    return QRectF(double(left) / image.width(), double(top) / image.height(), double(right + 1 - left) / image.width(),
                  double(bottom + 1 - top) / image.height());
}

} // namespace

class TestFocusPoints : public QObject
{
    Q_OBJECT

private slots:
    void realFilesAgreeWithExiftool_data();
    void realFilesAgreeWithExiftool();
    void makerLayouts_data();
    void makerLayouts();
    void orientation_data();
    void orientation();
    void hostileRecordsGiveNothing_data();
    void hostileRecordsGiveNothing();
    void primaryPoint_data();
    void primaryPoint();
};

void TestFocusPoints::realFilesAgreeWithExiftool_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("source");
    const QString data = QStringLiteral(GLANCEWAY_TESTDATA);
    const QHash<QString, QString> sources{
        {QStringLiteral("cameras/Canon_EOS-RP__MG_0633.JPG"), QStringLiteral("Canon AFInfo2")},
        {QStringLiteral("cameras/Apple_iPhone-13-Pro_IMG_8568.JPG"), QStringLiteral("EXIF SubjectArea")},
        {QStringLiteral("fixtures/fixture-sony-zv-e10.arw"), QStringLiteral("Sony FocusLocation")},
        {QStringLiteral("fixtures/fixture.cr3"), QStringLiteral("Canon AFInfo2")},
    };
    // The others record no position: a point's name at most (Nikon "Center",
    // Pentax "Auto"), which gives nothing.
    for (const QString &sub : {QStringLiteral("cameras"), QStringLiteral("fixtures"), QStringLiteral("orientation")}) {
        const QDir dir(data + QLatin1Char('/') + sub);
        for (const QString &name : dir.entryList(QDir::Files)) {
            const QString key = sub + QLatin1Char('/') + name;
            QTest::newRow(qPrintable(key)) << dir.filePath(name) << sources.value(key);
        }
    }
    // The Debian package rawtran-doc ships a Canon EOS 30D CR2: nine points of AFInfo.
    QTest::newRow("rawtran/IMG_5952.CR2") << QString::fromLatin1(canonDebianCr2) << QStringLiteral("Canon AFInfo");
}

void TestFocusPoints::realFilesAgreeWithExiftool()
{
    QFETCH(QString, path);
    QFETCH(QString, source);
    if (!QFile::exists(path))
        QSKIP("the photo is not installed (Debian package rawtran-doc)");
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (tool.isEmpty())
        QSKIP("exiftool is not installed");
    QProcess p;
    p.start(tool, {QStringLiteral("-j"), QStringLiteral("-n"), QStringLiteral("-IFD0:Model"), QStringLiteral("-Orientation"),
                   QStringLiteral("-ValidAFPoints"), QStringLiteral("-AFImageWidth"), QStringLiteral("-AFImageHeight"),
                   QStringLiteral("-AFAreaWidths"), QStringLiteral("-AFAreaHeights"), QStringLiteral("-AFAreaWidth"),
                   QStringLiteral("-AFAreaHeight"), QStringLiteral("-AFAreaXPositions"), QStringLiteral("-AFAreaYPositions"),
                   QStringLiteral("-AFPointsInFocus"), QStringLiteral("-AFPointsSelected"), QStringLiteral("-Sony:FocusLocation"),
                   QStringLiteral("-ExifIFD:SubjectArea"), QStringLiteral("-ExifIFD:ExifImageWidth"),
                   QStringLiteral("-ExifIFD:ExifImageHeight"), path});
    QVERIFY(p.waitForFinished(60000));
    const QJsonObject ref = QJsonDocument::fromJson(p.readAllStandardOutput()).array().at(0).toObject();
    const FocusPoints expected = orientFocusPoints(expectedFromExiftool(ref), ref.value(QLatin1String("Orientation")).toInt());

    const FocusPoints ours = readFocusPoints(path);
    QCOMPARE(ours.source, source);
    QCOMPARE(expected.source, source);
    comparePoints(ours.points, expected.points);
}

// Each maker's record as the camera writes it into a JPEG, read back.
void TestFocusPoints::makerLayouts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QList<FocusPoint>>("expected");

    Camera eos{"Canon", "Canon EOS 5D Mark III"};
    CanonAf grid;
    grid.n = 19;
    grid.valid = 3;
    grid.widths = {300, 300, 300};
    grid.heights = {200, 200, 200};
    grid.xs = {0, -1500, 1500};
    grid.ys = {0, 1000, -1000};
    grid.inFocus = 0b110;
    grid.selected = 0b011;
    QTest::newRow("canon-eos-y-up") << cameraJpeg(eos, canonNote(canonAfInfo2(grid))) << "Canon AFInfo2"
                                    << QList<FocusPoint>{point(0.5, 0.5, 0.05, 0.05, false, true),
                                                         point(0.25, 0.25, 0.05, 0.05, true, true),
                                                         point(0.75, 0.75, 0.05, 0.05, true, false)};
    Camera powershot{"Canon", "Canon PowerShot G9"};
    CanonAf compact;
    compact.n = 1;
    compact.valid = 1;
    compact.widths = {600};
    compact.heights = {400};
    compact.xs = {600};
    compact.ys = {400};
    compact.inFocus = 1;
    QTest::newRow("canon-compact-y-down") << cameraJpeg(powershot, canonNote(canonAfInfo2(compact))) << "Canon AFInfo2"
                                          << QList<FocusPoint>{point(0.6, 0.6, 0.1, 0.1, true, std::nullopt)};

    Camera nikon{"NIKON CORPORATION", "NIKON D90"};
    QTest::newRow("nikon-0100-live-view")
        << cameraJpeg(nikon, fixedNote(nikonNote(nikonAfInfo2("0100", 1, 0x10, {640, 480, 160, 360, 64, 48}, 0x1c, 1)))) << "Nikon AFInfo2"
        << QList<FocusPoint>{point(0.25, 0.75, 0.1, 0.1, true)};
    QTest::newRow("nikon-0101-contrast")
        << cameraJpeg(nikon, fixedNote(nikonNote(nikonAfInfo2("0101", 1, 0x46, {8256, 5504, 4128, 2752, 413, 275}, 0x52, 0))))
        << "Nikon AFInfo2" << QList<FocusPoint>{point(0.5, 0.5, 413.0 / 8256, 275.0 / 5504, false)};
    QTest::newRow("nikon-0300-mirrorless")
        << cameraJpeg(nikon, fixedNote(nikonNote(nikonAfInfo2("0300", 2, 0x2a, {6048, 4032, 1512, 1008, 302, 201}))))
        << "Nikon AFInfo2" << QList<FocusPoint>{point(0.25, 0.25, 302.0 / 6048, 201.0 / 4032)};
    QTest::newRow("nikon-0400-z9")
        << cameraJpeg(nikon, fixedNote(nikonNote(nikonAfInfo2("0400", 0, 0x3e, {8256, 5504, 6192, 1376, 400, 400}, 0x4a, 1))))
        << "Nikon AFInfo2" << QList<FocusPoint>{point(0.75, 0.25, 400.0 / 8256, 400.0 / 5504, true)};

    Camera sony{"SONY", "ILCE-7M3"};
    QTest::newRow("sony-location") << cameraJpeg(sony, sonyNote({6000, 4000, 1500, 3000})) << "Sony FocusLocation"
                                   << QList<FocusPoint>{point(0.25, 0.75, 0, 0)};
    QTest::newRow("sony-location-frame") << cameraJpeg(sony, sonyNote({6000, 4000, 3000, 2000}, {600, 400, 257}))
                                         << "Sony FocusLocation" << QList<FocusPoint>{point(0.5, 0.5, 0.1, 0.1)};
    Camera fuji{"FUJIFILM", "X-T3", 1, 6240, 4160};
    QTest::newRow("fujifilm-pixel") << cameraJpeg(fuji, fixedNote(fujifilmNote({1560, 3120}))) << "Fujifilm FocusPixel"
                                    << QList<FocusPoint>{point(0.25, 0.75, 0, 0)};
    Camera olympus{"OLYMPUS CORPORATION", "E-M1MarkII"};
    QTest::newRow("olympus-area") << cameraJpeg(olympus, fixedNote(olympusNote({{40, 100}, {30, 100}, {60, 100}, {50, 100}})))
                                  << "Olympus AFPointSelected" << QList<FocusPoint>{point(0.5, 0.4, 0.2, 0.2)};
    Camera om{"OM Digital Solutions", "OM-1"};
    QTest::newRow("om-system-point") << cameraJpeg(om, fixedNote(olympusNote({{1, 2}, {1, 2}, {1, 2}, {1, 2}}, true)))
                                     << "Olympus AFPointSelected" << QList<FocusPoint>{point(0.5, 0.5, 0, 0)};
    Camera panasonic{"Panasonic", "DC-G9"};
    QTest::newRow("panasonic-position") << cameraJpeg(panasonic, panasonicNote({{1, 4}, {3, 4}})) << "Panasonic AFPointPosition"
                                        << QList<FocusPoint>{point(0.25, 0.75, 0, 0)};

    // Records in the sensor's frame under a smaller picture of the same shape:
    // a JPEG resized by other software, a DNG's default crop, a RW2's JpgFromRaw.
    Camera eos7d{"Canon", "Canon EOS 7D", 1, 5184, 3456};
    CanonAf sensor;
    sensor.n = 1;
    sensor.valid = 1;
    sensor.afWidth = 5184;
    sensor.afHeight = 3456;
    sensor.widths = {648};
    sensor.heights = {432};
    sensor.xs = {1296};
    sensor.ys = {864};
    sensor.inFocus = 1;
    sensor.selected = 1;
    const QList<FocusPoint> sensorPoint{point(0.75, 0.25, 0.125, 0.125, true, true)};
    QTest::newRow("canon-resized-same-aspect") << withFrame(cameraJpeg(eos7d, canonNote(canonAfInfo2(sensor))), 1152, 768)
                                               << "Canon AFInfo2" << sensorPoint;
    QTest::newRow("canon-dng-private-data") << convertedDng(eos7d, 5184, 3456, 0x3A00, canonNote(canonAfInfo2(sensor)))
                                            << "Canon AFInfo2" << sensorPoint;
    QTest::newRow("panasonic-rw2-jpg-from-raw") << rw2WithJpeg(cameraJpeg(panasonic, panasonicNote({{1, 4}, {3, 4}})))
                                                << "Panasonic AFPointPosition" << QList<FocusPoint>{point(0.25, 0.75, 0, 0)};

    Camera phone{"Phone", "Phone", 1, 4000, 3000, {shortTag(37396, {1000, 1500, 400})}};
    QTest::newRow("subject-area-circle") << cameraJpeg(phone, fixedNote({})) << "EXIF SubjectArea"
                                         << QList<FocusPoint>{point(0.25, 0.5, 0.1, 400.0 / 3000)};
    phone.exifTags = {shortTag(37396, {3000, 750})};
    QTest::newRow("subject-area-point") << cameraJpeg(phone, fixedNote({})) << "EXIF SubjectArea"
                                        << QList<FocusPoint>{point(0.75, 0.25, 0, 0)};
    // Maker notes come first; SubjectArea stands in where they have nothing.
    Camera sonyWithArea = sony;
    sonyWithArea.exifTags = {shortTag(37396, {3000, 2000, 600, 400})};
    QTest::newRow("maker-note-before-subject-area")
        << cameraJpeg(sonyWithArea, sonyNote({6000, 4000, 1500, 1000})) << "Sony FocusLocation" << QList<FocusPoint>{point(0.25, 0.25, 0, 0)};
    QTest::newRow("subject-area-when-maker-note-empty")
        << cameraJpeg(sonyWithArea, sonyNote({0, 0, 0, 0})) << "EXIF SubjectArea" << QList<FocusPoint>{point(0.5, 0.5, 0.1, 0.1)};
}

void TestFocusPoints::makerLayouts()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, source);
    QFETCH(QList<FocusPoint>, expected);
    const FocusPoints points = pointsOf(file);
    QCOMPARE(points.source, source);
    comparePoints(points.points, expected);
}

// Each orientation and display turn carries a point where the decoder's own
// orientation carries the picture.
void TestFocusPoints::orientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("turn");
    for (int o = 1; o <= 8; ++o)
        QTest::newRow(qPrintable(QStringLiteral("exif-%1").arg(o))) << o << 0;
    for (int turn : {90, 180, 270, -90, 450})
        QTest::newRow(qPrintable(QStringLiteral("turn-%1").arg(turn))) << 1 << turn;
    QTest::newRow("exif-6-then-turn-90") << 6 << 90;
}

void TestFocusPoints::orientation()
{
    QFETCH(int, orientation);
    QFETCH(int, turn);
    const QSize stored(60, 40);
    const QRectF area(0.1, 0.25, 0.2, 0.5);
    QImage upright = applyOrientation(markedPicture(stored, area), orientation);
    // The picture turns by the equivalent quarter turns (QTransform's 450° is not exact).
    upright = upright.transformed(QTransform().rotate((turn % 360 + 360) % 360));
    const QRectF expected = whiteArea(upright);

    FocusPoints points;
    points.points = {point(area.center().x(), area.center().y(), area.width(), area.height())};
    const FocusPoint p = rotateFocusPoints(orientFocusPoints(points, orientation), turn).points.first();
    comparePoints({p}, {point(expected.center().x(), expected.center().y(), expected.width(), expected.height())});

    // A real camera file taken with the camera turned: the stored frame's
    // point comes out in the upright photo's frame.
    if (orientation == 6 && turn == 0) {
        Camera sony{"SONY", "ILCE-7M3", 6};
        const FocusPoint q = pointsOf(cameraJpeg(sony, sonyNote({6000, 4000, 1200, 1000}))).points.value(0);
        comparePoints({q}, {point(0.75, 0.2, 0, 0)});
    }
}

// Hostile or senseless records give no focus points, without reading outside
// the file (the sanitizer build checks the reads).
void TestFocusPoints::hostileRecordsGiveNothing_data()
{
    QTest::addColumn<QByteArray>("file");
    Camera eos{"Canon", "Canon EOS R5"};
    CanonAf ok;
    ok.n = 1;
    ok.valid = 1;
    ok.widths = {100};
    ok.heights = {100};
    ok.xs = {0};
    ok.ys = {0};
    QTest::newRow("canon-65535-points") << cameraJpeg(eos, canonNote([&] { CanonAf a = ok; a.n = 65535; return canonAfInfo2(a); }()));
    QTest::newRow("canon-count-beyond-entry") << cameraJpeg(eos, canonNote(canonAfInfo2(ok), 4));
    QTest::newRow("canon-valid-beyond-points") << cameraJpeg(eos, canonNote([&] { CanonAf a = ok; a.valid = 3; return canonAfInfo2(a); }()));
    QTest::newRow("canon-size-word-lies") << cameraJpeg(eos, canonNote([&] { CanonAf a = ok; a.sizeWord = 12; return canonAfInfo2(a); }()));
    QTest::newRow("canon-area-size-0") << cameraJpeg(eos, canonNote([&] { CanonAf a = ok; a.widths = {0}; return canonAfInfo2(a); }()));
    QTest::newRow("canon-af-image-0") << cameraJpeg(eos, canonNote([&] { CanonAf a = ok; a.afWidth = 0; return canonAfInfo2(a); }()));
    QTest::newRow("canon-outside") << cameraJpeg(eos, canonNote([&] { CanonAf a = ok; a.xs = {3100}; return canonAfInfo2(a); }()));
    QTest::newRow("canon-note-offset-past-end") << cameraJpeg(eos, [](quint32) {
        QByteArray ifd = ifdBlock({{0x0026, 3, 40, QByteArray(80, 0)}}, 0);
        testimg::putU32(ifd, 2 + 8, 0x7FFFFFF0, true);
        return ifd;
    });
    QTest::newRow("canon-ifd-count-65535") << cameraJpeg(eos, fixedNote(QByteArray("\xFF\xFF", 2) + QByteArray(30, '\xFF')));

    // A crop keeps the sensor's records but not its shape: the fractions would
    // land on other subjects.
    Camera eos7d{"Canon", "Canon EOS 7D", 1, 5184, 3456};
    CanonAf sensor = ok;
    sensor.afWidth = 5184;
    sensor.afHeight = 3456;
    QTest::newRow("canon-resized-other-aspect") << withFrame(cameraJpeg(eos7d, canonNote(canonAfInfo2(sensor))), 1152, 1152);
    QTest::newRow("canon-dng-crop-other-aspect") << convertedDng(eos7d, 3456, 3456, 0x3A00, canonNote(canonAfInfo2(sensor)));
    QByteArray longNote = convertedDng(eos7d, 5184, 3456, 0x3A00, canonNote(canonAfInfo2(sensor)));
    testimg::putU32(longNote, longNote.indexOf("MakN") + 4, 0x7FFFFFF0, false);
    QTest::newRow("dng-private-data-beyond-tag") << longNote;
    // The note's own offsets name a place past the private data.
    QByteArray movedNote = convertedDng(eos7d, 5184, 3456, 0x3A00, canonNote(canonAfInfo2(sensor)));
    testimg::putU32(movedNote, movedNote.indexOf("MakN") + 10, 0x100, false);
    QTest::newRow("dng-original-offset-disagrees") << movedNote;
    const QByteArray innerJpeg = cameraJpeg(Camera{"Panasonic", "DC-G9"}, panasonicNote({{1, 4}, {3, 4}}));
    QTest::newRow("rw2-jpg-from-raw-cut") << rw2WithJpeg(innerJpeg.left(innerJpeg.size() / 2));

    Camera nikon{"NIKON CORPORATION", "NIKON D850"};
    QTest::newRow("nikon-point-name-only")
        << cameraJpeg(nikon, fixedNote(nikonNote(nikonAfInfo2("0300", 0, 0x2a, {8256, 5504, 4128, 2752, 400, 400}))));
    QTest::newRow("nikon-position-outside")
        << cameraJpeg(nikon, fixedNote(nikonNote(nikonAfInfo2("0400", 0, 0x3e, {8256, 5504, 9000, 2752, 400, 400}))));
    QTest::newRow("nikon-record-cut") << cameraJpeg(nikon, fixedNote(nikonNote(QByteArray("0400\0\0\0\0", 8))));

    Camera sony{"SONY", "ILCE-7M3"};
    QTest::newRow("sony-panorama-zeros") << cameraJpeg(sony, sonyNote({0, 0, 0, 0}));
    QTest::newRow("sony-point-outside") << cameraJpeg(sony, sonyNote({6000, 4000, 6001, 100}));
    QTest::newRow("sony-frame-larger-than-photo") << cameraJpeg(sony, sonyNote({6000, 4000, 3000, 2000}, {7000, 400, 257}));
    Camera fuji{"FUJIFILM", "X-T3", 1, 6240, 4160};
    QTest::newRow("fujifilm-outside") << cameraJpeg(fuji, fixedNote(fujifilmNote({6240, 100})));
    Camera fujiNoSize{"FUJIFILM", "X-T3", 1, 0, 0};
    QTest::newRow("fujifilm-without-size") << cameraJpeg(fujiNoSize, fixedNote(fujifilmNote({100, 100})));
    Camera olympus{"OLYMPUS CORPORATION", "E-M1"};
    QTest::newRow("olympus-corners-reversed") << cameraJpeg(olympus, fixedNote(olympusNote({{6, 10}, {3, 10}, {4, 10}, {5, 10}})));
    QTest::newRow("olympus-all-zero") << cameraJpeg(olympus, fixedNote(olympusNote({{0, 1}, {0, 1}, {0, 1}, {0, 1}})));
    QTest::newRow("olympus-zero-denominator") << cameraJpeg(olympus, fixedNote(olympusNote({{1, 0}, {1, 2}, {1, 2}, {1, 2}})));
    Camera panasonic{"Panasonic", "DC-G9"};
    QTest::newRow("panasonic-none") << cameraJpeg(panasonic, panasonicNote({{16777216, 1}, {16777216, 1}}));
    Camera phone{"Phone", "Phone", 1, 4000, 3000, {shortTag(37396, {5000, 100})}};
    QTest::newRow("subject-area-outside") << cameraJpeg(phone, fixedNote({}));
    phone.exifTags = {shortTag(37396, {100, 100, 10, 10, 10})};
    QTest::newRow("subject-area-five-values") << cameraJpeg(phone, fixedNote({}));
    phone.exifTags = {shortTag(37396, {100, 100, 9000, 10})};
    QTest::newRow("subject-area-wider-than-photo") << cameraJpeg(phone, fixedNote({}));
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("exif-header-only") << QByteArray("\xFF\xD8\xFF\xE1\x00\x10" "Exif\0\0II*\0\x08\0\0\0", 20);
}

void TestFocusPoints::hostileRecordsGiveNothing()
{
    QFETCH(QByteArray, file);
    // An exact heap copy, so that any read past its end is a read outside the file.
    std::unique_ptr<uchar[]> copy(new uchar[size_t(qMax<qsizetype>(file.size(), 1))]);
    memcpy(copy.get(), file.constData(), size_t(file.size()));
    const FocusPoints points = readFocusPoints(copy.get(), file.size());
    QVERIFY2(points.isEmpty(), qPrintable(points.source));
    QVERIFY(points.source.isEmpty());
}

void TestFocusPoints::primaryPoint_data()
{
    QTest::addColumn<QList<FocusPoint>>("points");
    QTest::addColumn<int>("primary");
    const FocusPoint centre = point(0.5, 0.5, 0.1, 0.1, false, true);
    const FocusPoint left = point(0.2, 0.5, 0.1, 0.1, true, true);
    const FocusPoint right = point(0.7, 0.5, 0.1, 0.1, true, true);
    const FocusPoint unselectedNearCentre = point(0.55, 0.5, 0.1, 0.1, true, false);
    QTest::newRow("none") << QList<FocusPoint>{} << -1;
    QTest::newRow("in-focus-nearest-centre") << QList<FocusPoint>{left, centre, right} << 2;
    QTest::newRow("selected-before-unselected") << QList<FocusPoint>{left, unselectedNearCentre} << 0;
    QTest::newRow("selected-none-in-focus") << QList<FocusPoint>{point(0.9, 0.9, 0, 0, false, true), centre} << 1;
    QTest::newRow("unknown-flags-nearest-centre")
        << QList<FocusPoint>{point(0.1, 0.1, 0, 0), point(0.6, 0.4, 0, 0)} << 1;
    QTest::newRow("nothing-selected-in-focus-wins")
        << QList<FocusPoint>{point(0.5, 0.5, 0, 0, false, false), point(0.1, 0.1, 0, 0, true, false)} << 1;
}

void TestFocusPoints::primaryPoint()
{
    QFETCH(QList<FocusPoint>, points);
    QFETCH(int, primary);
    FocusPoints focus;
    focus.points = points;
    QCOMPARE(focus.primaryIndex(), primary);
}

QTEST_MAIN(TestFocusPoints)
#include "tst_focuspoints.moc"
