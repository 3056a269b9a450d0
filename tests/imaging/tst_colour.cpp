#include "tiffbuilder.h"
#include "imaging/colourconversion.h"
#include "imaging/colourprofile.h"
#include "imaging/photodecoder.h"

#include <QBuffer>
#include <QtTest>

#include <array>
#include <cmath>

namespace {

using testimg::TiffBuilder;

using Matrix = std::array<std::array<double, 3>, 3>;

// RGB → XYZ from the primaries' chromaticities and a D65 white, the textbook way.
Matrix rgbToXyz(double rx, double ry, double gx, double gy, double bx, double by)
{
    const double wx = 0.3127, wy = 0.3290;
    const Matrix p{{{rx / ry, gx / gy, bx / by}, {1, 1, 1}, {(1 - rx - ry) / ry, (1 - gx - gy) / gy, (1 - bx - by) / by}}};
    const double w[3] = {wx / wy, 1, (1 - wx - wy) / wy};
    // Solve p * s = w by Cramer's rule.
    const auto det = [](const Matrix &m) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
               + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    const double d = det(p);
    Matrix out{};
    for (int c = 0; c < 3; ++c) {
        Matrix q = p;
        for (int r = 0; r < 3; ++r)
            q[r][c] = w[r];
        const double s = det(q) / d;
        for (int r = 0; r < 3; ++r)
            out[r][c] = p[r][c] * s;
    }
    return out;
}

Matrix inverse(const Matrix &m)
{
    const double d = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
                     + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Matrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, e = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][e] - m[a][e] * m[b][c]) / d;
        }
    return r;
}

double srgbDecode(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
double srgbEncode(double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }
double adobeDecode(double v) { return std::pow(v, 563.0 / 256.0); }

// The sRGB value of an 8-bit colour in `space`, computed independently of the toolkit.
QRgb expectedSRgb(QRgb in, const QString &space)
{
    const bool adobe = space == QLatin1String("adobe");
    const Matrix from = adobe ? rgbToXyz(0.64, 0.33, 0.21, 0.71, 0.15, 0.06)
                              : rgbToXyz(0.680, 0.320, 0.265, 0.690, 0.150, 0.060);
    const Matrix to = inverse(rgbToXyz(0.64, 0.33, 0.30, 0.60, 0.15, 0.06));
    const double rgb[3] = {qRed(in) / 255.0, qGreen(in) / 255.0, qBlue(in) / 255.0};
    double linear[3], xyz[3] = {0, 0, 0}, out[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i)
        linear[i] = adobe ? adobeDecode(rgb[i]) : srgbDecode(rgb[i]);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            xyz[r] += from[r][c] * linear[c];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            out[r] += to[r][c] * xyz[c];
    const auto channel = [](double v) { return int(std::lround(255 * srgbEncode(qBound(0.0, v, 1.0)))); };
    return qRgb(channel(out[0]), channel(out[1]), channel(out[2]));
}

QByteArray encodeWithSpace(const QImage &image, const QColorSpace &space, const char *format)
{
    QImage tagged = image;
    tagged.setColorSpace(space);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    tagged.save(&buffer, format, 95);
    return bytes;
}

// An Exif APP1 segment with ColorSpace and, when given, an interoperability index.
QByteArray withExifColour(const QByteArray &jpegBytes, quint16 colourSpace, const QByteArray &interop)
{
    TiffBuilder t(false);
    const int ifd0 = t.addIfd();
    const int exif = t.addIfd();
    t.entry(ifd0, 34665, 4, 1, TiffBuilder::ifd(exif));
    t.entry(exif, 40961, 3, 1, TiffBuilder::shortValue(colourSpace));
    if (!interop.isEmpty()) {
        const int interopIfd = t.addIfd();
        t.entry(exif, 40965, 4, 1, TiffBuilder::ifd(interopIfd));
        quint32 text = 0;
        for (int i = 0; i < 4; ++i)
            text = (text << 8) | quint8(i < interop.size() ? interop.at(i) : 0);
        t.entry(interopIfd, 1, 2, 4, TiffBuilder::lit(text));
    }
    const QByteArray payload = QByteArray("Exif\0\0", 6) + t.build();
    QByteArray app1("\xFF\xE1", 2);
    app1 += char((payload.size() + 2) >> 8);
    app1 += char((payload.size() + 2) & 0xFF);
    return jpegBytes.left(2) + app1 + payload + jpegBytes.mid(2);
}

// A minimal ICC profile the toolkit cannot convert from: a CMYK one.
QByteArray cmykProfile(const QByteArray &description)
{
    QByteArray desc = "desc" + QByteArray(4, '\0') + testimg::u32be(quint32(description.size() + 1)) + description
                      + QByteArray(1, '\0');
    QByteArray icc(132, '\0');
    icc.replace(12, 4, "mntr");
    icc.replace(16, 4, "CMYK");
    icc.replace(20, 4, "XYZ ");
    icc.replace(36, 4, "acsp");
    icc.replace(128, 4, testimg::u32be(1));
    icc += "desc" + testimg::u32be(144) + testimg::u32be(quint32(desc.size()));
    icc += desc;
    icc.replace(0, 4, testimg::u32be(quint32(icc.size())));
    return icc;
}

QByteArray withIcc(const QByteArray &jpegBytes, const QByteArray &icc)
{
    const QByteArray payload = QByteArray("ICC_PROFILE\0\x01\x01", 14) + icc;
    QByteArray app2("\xFF\xE2", 2);
    app2 += char((payload.size() + 2) >> 8);
    app2 += char((payload.size() + 2) & 0xFF);
    return jpegBytes.left(2) + app2 + payload + jpegBytes.mid(2);
}

} // namespace

class TestColour : public QObject
{
    Q_OBJECT

private slots:
    void sourceColour_data();
    void sourceColour();
    void convertedPatches_data();
    void convertedPatches();
    void unmanagedKeepsPixels();
};

void TestColour::sourceColour_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("applied");
    const QImage picture = testimg::quadrants(64, 48);
    const QByteArray plain = testimg::encode(picture);
    QTest::newRow("icc-adobe-jpeg") << encodeWithSpace(picture, QColorSpace::AdobeRgb, "JPEG")
                                    << "Adobe RGB (1998)" << true;
    QTest::newRow("icc-p3-png") << encodeWithSpace(picture, QColorSpace::DisplayP3, "PNG") << "Display P3" << true;
    QTest::newRow("exif-uncalibrated-r03") << withExifColour(plain, 0xFFFF, "R03") << "Adobe RGB (1998)" << true;
    QTest::newRow("exif-uncalibrated-r98") << withExifColour(plain, 0xFFFF, "R98") << "sRGB" << true;
    QTest::newRow("exif-uncalibrated-no-index") << withExifColour(plain, 0xFFFF, QByteArray()) << "sRGB" << true;
    QTest::newRow("exif-srgb-r03") << withExifColour(plain, 1, "R03") << "sRGB" << true;
    QTest::newRow("icc-beats-exif")
        << withExifColour(encodeWithSpace(picture, QColorSpace::DisplayP3, "JPEG"), 0xFFFF, "R03") << "Display P3" << true;
    QTest::newRow("nothing") << plain << "sRGB" << true;
    // Real cameras: an Adobe RGB camera JPEG without a profile, a phone's P3 profile.
    const auto camera = [](const char *name) {
        QFile file(QStringLiteral(GLANCEWAY_TESTDATA "/cameras/") + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTest::newRow("camera-r03") << camera("Canon_EOS-RP__MG_0633.JPG") << "Adobe RGB (1998)" << true;
    QTest::newRow("phone-p3") << camera("Apple_iPhone-13-Pro_IMG_8568.JPG") << "Display P3" << true;
    QTest::newRow("camera-srgb") << camera("Pentax_ist-DL_IMGP6666.JPG") << "sRGB" << true;
    QTest::newRow("cmyk-profile") << withIcc(plain, cmykProfile("Press CMYK")) << "Press CMYK" << false;
}

void TestColour::sourceColour()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(bool, applied);
    QTemporaryDir dir;
    const QString path = dir.filePath(file.startsWith("\x89PNG") ? "photo.png" : "photo.jpg");
    QVERIFY(testimg::writeFile(path, file));
    const QImage decoded = decodePhoto(path);
    QVERIFY(!decoded.isNull());
    const SourceColour source = sourceColourOf(decoded, path);
    QCOMPARE(source.name, name);
    QCOMPARE(source.applied, applied);
    QCOMPARE(source.space.isValid(), applied);
}

void TestColour::convertedPatches_data()
{
    QTest::addColumn<QString>("space");
    QTest::newRow("adobe-rgb") << QStringLiteral("adobe");
    QTest::newRow("display-p3") << QStringLiteral("p3");
}

void TestColour::convertedPatches()
{
    QFETCH(QString, space);
    const QList<QRgb> patches{qRgb(200, 100, 50), qRgb(50, 150, 200), qRgb(128, 128, 128), qRgb(230, 190, 170),
                              qRgb(90, 160, 70),  qRgb(255, 255, 255), qRgb(10, 10, 10),  qRgb(180, 40, 60)};
    QImage image(int(patches.size()), 1, QImage::Format_RGB32);
    for (int i = 0; i < patches.size(); ++i)
        image.setPixel(i, 0, patches.at(i));
    const QColorSpace from(space == QLatin1String("adobe") ? QColorSpace::AdobeRgb : QColorSpace::DisplayP3);
    const QImage converted = convertColours(image, from, QColorSpace(QColorSpace::SRgb));
    QCOMPARE(converted.colorSpace(), QColorSpace(QColorSpace::SRgb));
    for (int i = 0; i < patches.size(); ++i) {
        const QRgb got = converted.pixel(i, 0);
        const QRgb want = expectedSRgb(patches.at(i), space);
        const int error = qMax(qAbs(qRed(got) - qRed(want)),
                               qMax(qAbs(qGreen(got) - qGreen(want)), qAbs(qBlue(got) - qBlue(want))));
        QVERIFY2(error <= 2, qPrintable(QStringLiteral("patch %1: got %2, want %3")
                                            .arg(i)
                                            .arg(QColor(got).name(), QColor(want).name())));
    }
}

void TestColour::unmanagedKeepsPixels()
{
    // Off shows the pixels as stored; an sRGB photo never changes.
    QImage image = testimg::quadrants(32, 32);
    SourceColour adobe{QColorSpace(QColorSpace::AdobeRgb), QStringLiteral("Adobe RGB (1998)"), true};
    const QColorSpace srgb(QColorSpace::SRgb);
    QCOMPARE(toColourSpace(image, adobe, srgb, false), image);
    SourceColour same{srgb, QStringLiteral("sRGB"), true};
    QCOMPARE(toColourSpace(image, same, srgb, true).cacheKey(), image.cacheKey());
    QVERIFY(toColourSpace(image, adobe, srgb, true) != image);
}

QTEST_MAIN(TestColour)
#include "tst_colour.moc"
