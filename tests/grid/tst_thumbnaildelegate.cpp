#include "grid/thumbnaildelegate.h"
#include "grid/thumbnaillistmodel.h"

#include <QListView>
#include <QPainter>
#include <QtTest>

using PhotoCore::Metadata;

namespace {

const QRect cell(0, 0, 216, 244);              // a cell of thumbnail size 192
const QRect area = cell.adjusted(7, 7, -7, -52); // its picture area
const QRect strip(area.left(), area.bottom() + 2, area.width(), 20); // the marks, under the picture

struct Cell
{
    Metadata marks;
    QImage thumbnail;
    int state = NotRequested;
    bool selected = false;
    bool pair = false;
};

// Thick strokes, so some text pixels carry the pen colour unblended.
QFont cellFont()
{
    QFont font = QListView().font();
    font.setPixelSize(14);
    font.setBold(true);
    return font;
}

QImage render(const Cell &c, const QRect &cell = ::cell, int contentWidth = 0)
{
    ThumbnailListModel model;
    const QString path = QStringLiteral("/photos/IMG_0042.JPG");
    model.resetContent({path}, {{path, c.marks}});
    if (!c.thumbnail.isNull())
        model.setThumbnail(0, c.thumbnail);
    model.setState(0, c.state);
    if (c.pair)
        model.setLabels(QString(), {{path, QStringLiteral("/photos/IMG_0042.CR2")}});

    QListView view;
    view.setGridSize(cell.size());
    ThumbnailDelegate delegate(&view);
    delegate.setContentWidth(contentWidth);
    QStyleOptionViewItem option;
    option.rect = cell;
    const QFont font = cellFont();
    option.font = font;
    option.fontMetrics = QFontMetrics(font);
    option.state = QStyle::State_Enabled | (c.selected ? QStyle::State_Selected : QStyle::State_None);

    QImage canvas(cell.size(), QImage::Format_ARGB32);
    canvas.fill(Qt::magenta);
    QPainter painter(&canvas);
    delegate.paint(&painter, option, model.index(0));
    painter.end();
    return canvas;
}

int pixelsOf(const QImage &image, const QRect &region, QColor colour, int tolerance = 0)
{
    int n = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QColor p = image.pixelColor(x, y);
            n += qAbs(p.red() - colour.red()) <= tolerance && qAbs(p.green() - colour.green()) <= tolerance
                 && qAbs(p.blue() - colour.blue()) <= tolerance;
        }
    }
    return n;
}

QImage solid(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

class TestThumbnailDelegate : public QObject
{
    Q_OBJECT

private slots:
    void backgroundAndSelectionFrame_data();
    void backgroundAndSelectionFrame();
    void placeholder_data();
    void placeholder();
    void thumbnailFitsAndTurns_data();
    void thumbnailFitsAndTurns();
    void tagLine_data();
    void tagLine();
    void marksNeverCoverPicture_data();
    void marksNeverCoverPicture();
    void pairTagAtEverySize_data();
    void pairTagAtEverySize();
    void rejectedIsDimmed_data();
    void rejectedIsDimmed();
    void sizeHintIsGridSize();
};

void TestThumbnailDelegate::backgroundAndSelectionFrame_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("edge"); // on the cell's left edge, where the frame runs
    QTest::newRow("plain") << false << QColor("#202328") << QColor("#202328");
    QTest::newRow("selected") << true << QColor("#345c86") << QColor("#78b7ff");
}

void TestThumbnailDelegate::backgroundAndSelectionFrame()
{
    QFETCH(bool, selected);
    QFETCH(QColor, background);
    QFETCH(QColor, edge);
    Cell c;
    c.selected = selected;
    c.thumbnail = solid(100, 100, Qt::darkGreen);
    const QImage out = render(c);
    QCOMPARE(out.pixelColor(4, cell.center().y()), background);
    QCOMPARE(out.pixelColor(cell.center().x(), cell.bottom() - 26), background);
    QCOMPARE(out.pixelColor(1, cell.center().y()), edge);
    QCOMPARE(out.pixelColor(cell.center().x(), 1), edge);
    QCOMPARE(out.pixelColor(cell.right() - 2, cell.center().y()), edge);
    QCOMPARE(pixelsOf(out, cell, Qt::magenta), 0); // the whole cell is painted
}

void TestThumbnailDelegate::placeholder_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QColor>("frame");
    QTest::addColumn<QColor>("fill");
    QTest::addColumn<QColor>("text");
    QTest::newRow("not-requested") << int(NotRequested) << QColor("#a9c5df") << QColor("#303740") << QColor("#e2edf7");
    QTest::newRow("loading") << int(Loading) << QColor("#a9c5df") << QColor("#303740") << QColor("#e2edf7");
    QTest::newRow("failed") << int(Failed) << QColor("#ff8585") << QColor("#3a2427") << QColor("#ffd0d0");
    // Ready but discarded from memory: still no image to draw.
    QTest::newRow("ready-without-image") << int(Ready) << QColor("#a9c5df") << QColor("#303740") << QColor("#e2edf7");
}

void TestThumbnailDelegate::placeholder()
{
    QFETCH(int, state);
    QFETCH(QColor, frame);
    QFETCH(QColor, fill);
    QFETCH(QColor, text);
    Cell c;
    c.state = state;
    const QImage out = render(c);
    // The 2-pixel frame runs just inside the image area on all four sides.
    QCOMPARE(out.pixelColor(area.left() + 1, area.center().y() + 40), frame);
    QCOMPARE(out.pixelColor(area.right() - 1, area.center().y() + 40), frame);
    QVERIFY(pixelsOf(out, area, frame) >= 2 * (area.width() + area.height()));
    QVERIFY(pixelsOf(out, area.adjusted(4, 4, -4, -4), fill) > area.width() * area.height() / 3);
    QVERIFY(pixelsOf(out, area.adjusted(10, 10, -10, -10), text) > 10); // the centred text
}

void TestThumbnailDelegate::thumbnailFitsAndTurns_data()
{
    QTest::addColumn<Metadata>("marks");
    QTest::addColumn<bool>("upright"); // a wide picture stays wide
    QTest::newRow("no-rotation") << Metadata{} << true;
    QTest::newRow("quarter-turn") << Metadata{0, QString(), false, 90} << false;
    QTest::newRow("half-turn") << Metadata{0, QString(), false, 180} << true;
    QTest::newRow("negative-quarter") << Metadata{0, QString(), false, -90} << false;
    QTest::newRow("over-a-full-turn") << Metadata{0, QString(), false, 450} << false;
    // Unparsable marks: the rotation is not trusted.
    QTest::newRow("five-fields") << Metadata{0, QStringLiteral("x|y"), false, 90} << true;
}

void TestThumbnailDelegate::thumbnailFitsAndTurns()
{
    QFETCH(Metadata, marks);
    QFETCH(bool, upright);
    Cell c;
    c.marks = marks;
    c.thumbnail = solid(200, 50, Qt::green); // 4:1, scaled up to the area's width
    const QImage out = render(c);
    const QPoint centre = area.center();
    const QColor green(Qt::green);
    QCOMPARE(out.pixelColor(centre), green);
    if (upright) {
        // 202 × 50.5: full width, a band in the middle
        QCOMPARE(out.pixelColor(area.left() + 1, centre.y()), green);
        QCOMPARE(out.pixelColor(area.right() - 1, centre.y()), green);
        QVERIFY(out.pixelColor(centre.x(), centre.y() + 40) != green);
    } else {
        // 51.75 × 207: full height, a column in the middle
        QCOMPARE(out.pixelColor(centre.x(), area.top() + 40), green);
        QCOMPARE(out.pixelColor(centre.x(), area.bottom() - 1), green);
        QVERIFY(out.pixelColor(centre.x() + 40, centre.y()) != green);
    }
}

void TestThumbnailDelegate::tagLine_data()
{
    QTest::addColumn<Metadata>("marks");
    QTest::addColumn<QColor>("textColour"); // invalid: no tag line at all
    const QColor red("#ff6262");
    QTest::newRow("rejected") << Metadata{0, QString(), true, 0} << red;
    QTest::newRow("rejected-with-blue-label") << Metadata{0, QStringLiteral("Blue"), true, 0} << red;
    QTest::newRow("rejected-with-green-label") << Metadata{0, QStringLiteral("Green"), true, 0} << red;
    QTest::newRow("red") << Metadata{0, QStringLiteral("Red"), false, 0} << red;
    QTest::newRow("yellow") << Metadata{2, QStringLiteral("Yellow"), false, 0} << QColor("#ffd740");
    QTest::newRow("green") << Metadata{0, QStringLiteral("Green"), false, 0} << QColor("#69f06f");
    QTest::newRow("blue") << Metadata{5, QStringLiteral("Blue"), false, 0} << QColor("#64b5f6");
    QTest::newRow("purple") << Metadata{0, QStringLiteral("Purple"), false, 0} << QColor(Qt::white);
    QTest::newRow("lower-case-red") << Metadata{0, QStringLiteral("red"), false, 0} << QColor(Qt::white);
    QTest::newRow("stars-only") << Metadata{3, QString(), false, 0} << QColor(Qt::white);
    QTest::newRow("no-marks") << Metadata{} << QColor();
    QTest::newRow("rotation-only") << Metadata{0, QString(), false, 90} << QColor();
    QTest::newRow("five-fields") << Metadata{4, QStringLiteral("Red|Blue"), true, 0} << QColor();
}

void TestThumbnailDelegate::tagLine()
{
    QFETCH(Metadata, marks);
    QFETCH(QColor, textColour);
    Cell c;
    c.marks = marks;
    c.thumbnail = solid(300, 300, QColor(128, 128, 128));
    const QImage out = render(c);

    // The picture is never covered (a rejected one is dimmed, evenly).
    const QRect picture = QRect(QPoint(area.center().x() - 92, area.top()), QSize(185, 185)).adjusted(1, 1, -1, -1);
    QCOMPARE(pixelsOf(out, picture, out.pixelColor(picture.topLeft())), picture.width() * picture.height());
    const QColor background("#202328");
    if (!textColour.isValid()) {
        QCOMPARE(pixelsOf(out, strip, background), strip.width() * strip.height());
        return;
    }
    // The tag sits on a dark band, QColor(10, 12, 15, 205) over the cell, and
    // the right end of the strip stays clear of the short tag text.
    const QColor bandStart = out.pixelColor(strip.left() + 1, strip.center().y());
    QVERIFY2(qAbs(bandStart.red() - (10 * 205 + background.red() * 50) / 255) <= 2, qPrintable(bandStart.name()));
    QCOMPARE(out.pixelColor(strip.right() - 2, strip.center().y()), background);
    QVERIFY2(pixelsOf(out, strip, textColour, 2) >= 5, qPrintable(textColour.name()));
    // No other tag colour sneaks in.
    for (const QColor &other : {QColor("#ff6262"), QColor("#ffd740"), QColor("#69f06f"), QColor("#64b5f6"), QColor(Qt::white)}) {
        if (other != textColour)
            QCOMPARE(pixelsOf(out, strip, other, 2), 0);
    }
}

void TestThumbnailDelegate::marksNeverCoverPicture_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("cell");
    QTest::addColumn<int>("contentWidth");
    // A cell of thumbnail size 192 spread over a wider view keeps its content 216 wide.
    const QRect smallest(0, 0, 120, 148), largest(0, 0, 408, 436), spread(0, 0, 251, 244);
    for (const QRect &c : {cell, smallest, largest, spread}) {
        const QByteArray size = QByteArray::number(c.width()) + 'x' + QByteArray::number(c.height());
        const int content = c == spread ? 216 : 0;
        QTest::newRow("portrait-" + size) << QSize(200, 300) << c << content;
        QTest::newRow("landscape-" + size) << QSize(300, 200) << c << content;
        QTest::newRow("square-" + size) << QSize(300, 300) << c << content;
        QTest::newRow("tall-" + size) << QSize(50, 400) << c << content;
        QTest::newRow("wide-" + size) << QSize(400, 50) << c << content;
    }
}

void TestThumbnailDelegate::marksNeverCoverPicture()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, cell);
    QFETCH(int, contentWidth);
    const QColor photo(40, 200, 90);
    Cell c;
    c.marks = Metadata{0, QStringLiteral("Yellow"), false, 0};
    c.pair = true;
    c.thumbnail = solid(picture.width(), picture.height(), photo);
    const QImage out = render(c, cell, contentWidth);

    // Where the picture lands: scaled into its area, centred.
    QRect area = cell.adjusted(7, 7, -7, -52);
    if (contentWidth > 0)
        area.setRect((cell.width() - contentWidth) / 2 + 7, 7, contentWidth - 14, area.height());
    QRect target(QPoint(0, 0), picture.scaled(area.size(), Qt::KeepAspectRatio));
    target.moveCenter(area.center());
    const QRect inner = target.adjusted(1, 1, -1, -1); // the smoothed edge blends with the cell
    QCOMPARE(pixelsOf(out, inner, photo), inner.width() * inner.height());
    QCOMPARE(pixelsOf(out, cell, photo), pixelsOf(out, target, photo)); // nowhere else
    // The marks and the pair badge are drawn at every size, all of them outside the picture.
    const QRect below(cell.left(), target.bottom() + 1, cell.width(), cell.height() - target.bottom() - 1);
    QVERIFY(pixelsOf(out, below, QColor("#ffd740"), 2) >= 5);
    QVERIFY(pixelsOf(out, below, QColor("#e2edf7"), 2) >= 5);
}

void TestThumbnailDelegate::pairTagAtEverySize_data()
{
    QTest::addColumn<int>("thumbnailSize");
    QTest::addColumn<Metadata>("marks");
    QTest::addColumn<QString>("tag"); // as drawn
    const Metadata none;
    const Metadata all{5, QStringLiteral("Yellow"), true, 0};
    QTest::newRow("96-no-marks") << 96 << none << "RAW+JPEG";
    QTest::newRow("96-one-star") << 96 << Metadata{1, QString(), false, 0} << "R+J";
    QTest::newRow("96-all-marks") << 96 << all << "R+J";
    QTest::newRow("128-all-marks") << 128 << all << "R+J";
    QTest::newRow("192-all-marks") << 192 << all << "R+J";
    QTest::newRow("192-one-star") << 192 << Metadata{1, QString(), false, 0} << "RAW+JPEG";
    QTest::newRow("384-all-marks") << 384 << all << "RAW+JPEG";
}

void TestThumbnailDelegate::pairTagAtEverySize()
{
    QFETCH(int, thumbnailSize);
    QFETCH(Metadata, marks);
    QFETCH(QString, tag);
    Cell c;
    c.marks = marks;
    c.pair = true;
    c.thumbnail = solid(300, 200, QColor(40, 200, 90));
    const QRect cell(0, 0, thumbnailSize + 24, thumbnailSize + 52);
    const QImage out = render(c, cell);
    const QRect area = cell.adjusted(7, 7, -7, -52);
    const QRect strip(area.left(), area.bottom() + 2, area.width(), 20);

    // The badge ends at the strip's right end; its width tells which tag it holds.
    const QColor background("#202328");
    const auto columnClear = [&](int x) { return pixelsOf(out, QRect(x, strip.top(), 1, strip.height()), background) == strip.height(); };
    int left = strip.right();
    while (left > strip.left() && !columnClear(left - 1))
        --left;
    const QRect badge(left, strip.top(), strip.right() - left + 1, strip.height());
    QVERIFY(!columnClear(strip.right()));
    QCOMPARE(badge.width(), QFontMetrics(cellFont()).horizontalAdvance(tag) + 10);
    QVERIFY(pixelsOf(out, badge, QColor("#e2edf7"), 2) >= 5);
    // The marks still show, left of it, in their colour.
    if (marks.rating > 0) {
        const QColor markColour = marks.rejected ? QColor("#ff6262") : QColor(Qt::white);
        const QRect rest(strip.left(), strip.top(), badge.left() - strip.left(), strip.height());
        QVERIFY(pixelsOf(out, rest, markColour, 2) >= 5);
        QCOMPARE(pixelsOf(out, rest, QColor("#e2edf7"), 2), 0);
    }
}

void TestThumbnailDelegate::rejectedIsDimmed_data()
{
    QTest::addColumn<Metadata>("marks");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("dimmed");
    QTest::newRow("kept") << Metadata{3, QString(), false, 0} << false << false;
    QTest::newRow("rejected") << Metadata{0, QString(), true, 0} << false << true;
    QTest::newRow("rejected-selected") << Metadata{0, QString(), true, 0} << true << true;
    QTest::newRow("rejected-rotated") << Metadata{0, QStringLiteral("Green"), true, 90} << false << true;
    // Unparsable marks: the rejection is not trusted.
    QTest::newRow("five-fields") << Metadata{0, QStringLiteral("a|b"), true, 0} << false << false;
}

void TestThumbnailDelegate::rejectedIsDimmed()
{
    QFETCH(Metadata, marks);
    QFETCH(bool, selected);
    QFETCH(bool, dimmed);
    Cell c;
    c.marks = marks;
    c.selected = selected;
    c.thumbnail = solid(300, 300, Qt::white);
    const QImage out = render(c);
    const QColor centre = out.pixelColor(area.center());
    if (!dimmed) {
        QCOMPARE(centre, QColor(Qt::white));
        return;
    }
    // Well darker than the photo, still lighter than the cell around it.
    const QColor cellColour(selected ? "#345c86" : "#202328");
    QVERIFY2(centre.lightness() < 160 && centre.lightness() > cellColour.lightness() + 40, qPrintable(centre.name()));
    // The rejection itself is shown at full strength.
    QVERIFY(pixelsOf(out, strip, QColor("#ff6262"), 2) >= 5);
}

void TestThumbnailDelegate::sizeHintIsGridSize()
{
    QListView view;
    view.setGridSize(QSize(144, 172));
    ThumbnailDelegate delegate(&view);
    QCOMPARE(delegate.sizeHint(QStyleOptionViewItem(), QModelIndex()), QSize(144, 172));
}

QTEST_MAIN(TestThumbnailDelegate)
#include "tst_thumbnaildelegate.moc"
