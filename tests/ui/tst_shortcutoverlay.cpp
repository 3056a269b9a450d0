#include "ui/shortcutoverlay.h"

#include <QAction>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <vector>

namespace {

const QString cell = QStringLiteral(
    "<td style='padding:3px 18px 3px 0;color:#c6ccd5'>%1</td><td style='padding:3px 34px 3px 0'><b>%2</b></td>");

QString pair(const QString &label, const QString &key)
{
    return cell.arg(label, key);
}

QString wrap(const QString &rows)
{
    return QStringLiteral("<div style='font-size:18px;font-weight:600;margin-bottom:10px'>Keyboard Shortcuts</div>"
                          "<table cellspacing='0'>%1</table>"
                          "<div style='color:#9da6b2;margin-top:12px'>Press the shortcut again to close · Change "
                          "keys in Preferences</div>")
        .arg(rows);
}

QStringList rowsOf(const QString &html)
{
    QStringList rows;
    static const QRegularExpression row(QStringLiteral("<tr>(.*?)</tr>"));
    for (auto it = row.globalMatch(html); it.hasNext();)
        rows.append(it.next().captured(1));
    return rows;
}

} // namespace

class TestShortcutOverlay : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void columnSplit_data();
    void columnSplit();
    void exactHtmlForThreeActions();
    void labelsAndKeys_data();
    void labelsAndKeys();
    void toggleActionUsesFixedLabel();
};

void TestShortcutOverlay::columnSplit_data()
{
    QTest::addColumn<int>("withKeys");
    QTest::addColumn<int>("withoutKeys");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("lastRightEmpty");
    QTest::newRow("21-odd") << 21 << 0 << 11 << true;
    QTest::newRow("20-even") << 20 << 0 << 10 << false;
    QTest::newRow("20-plus-13-without-keys") << 20 << 13 << 10 << false;
    QTest::newRow("1") << 1 << 2 << 1 << true;
    QTest::newRow("none") << 0 << 3 << 0 << true;
}

void TestShortcutOverlay::columnSplit()
{
    QFETCH(int, withKeys);
    QFETCH(int, withoutKeys);
    QFETCH(int, rows);
    QFETCH(bool, lastRightEmpty);

    std::vector<std::unique_ptr<QAction>> owned;
    QList<QAction *> actions;
    // Names that sort as A00, A01, ...; actions without a key interleave with them.
    for (int i = 0; i < withKeys + withoutKeys; ++i) {
        owned.push_back(std::make_unique<QAction>(QStringLiteral("A%1").arg(i, 2, 10, QLatin1Char('0'))));
        if (i < withKeys)
            owned.back()->setShortcut(QKeySequence(QStringLiteral("Ctrl+F%1").arg(i % 12 + 1)));
        actions.prepend(owned.back().get()); // reversed, so the builder must sort
    }

    const QString html = shortcutOverlayHtml(actions, nullptr);
    const QStringList found = rowsOf(html);
    QCOMPARE(found.size(), rows);
    for (int i = 0; i < rows; ++i) {
        const QString left = pair(QStringLiteral("A%1").arg(i, 2, 10, QLatin1Char('0')),
                                  QStringLiteral("Ctrl+F%1").arg(i % 12 + 1));
        const int r = rows + i;
        const QString right = r < withKeys ? pair(QStringLiteral("A%1").arg(r, 2, 10, QLatin1Char('0')),
                                                  QStringLiteral("Ctrl+F%1").arg(r % 12 + 1))
                                           : QString();
        QCOMPARE(found.at(i), left + right);
    }
    if (rows > 0)
        QCOMPARE(found.last().count(QStringLiteral("<td")), lastRightEmpty ? 2 : 4);
    QCOMPARE(html.count(QStringLiteral("<td")), 2 * withKeys);
}

void TestShortcutOverlay::exactHtmlForThreeActions()
{
    QAction open(QStringLiteral("Open Folder…"));
    open.setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    QAction grid(QStringLiteral("Thumbnail Grid"));
    grid.setShortcut(QKeySequence(QStringLiteral("G")));
    QAction fit(QStringLiteral("Fit to Window"));
    fit.setShortcut(QKeySequence(QStringLiteral("Ctrl+0")));

    const QString expected = wrap(QStringLiteral("<tr>%1%2</tr><tr>%3</tr>")
                                      .arg(pair(QStringLiteral("Fit to Window"), QStringLiteral("Ctrl+0")),
                                           pair(QStringLiteral("Thumbnail Grid"), QStringLiteral("G")),
                                           pair(QStringLiteral("Open Folder…"), QStringLiteral("Ctrl+O"))));
    QCOMPARE(shortcutOverlayHtml({&grid, &open, &fit}, nullptr), expected);
}

void TestShortcutOverlay::labelsAndKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QKeySequence>>("keys");
    QTest::addColumn<QString>("expectedCells");

    QTest::newRow("ampersands-removed")
        << QStringLiteral("&Next && Image") << QList<QKeySequence>{QKeySequence(Qt::Key_Right)}
        << pair(QStringLiteral("Next  Image"), QStringLiteral("Right"));
    QTest::newRow("html-escaped")
        << QStringLiteral("<b>Rotate</b> \"left\"") << QList<QKeySequence>{QKeySequence(Qt::Key_Less)}
        << pair(QStringLiteral("&lt;b&gt;Rotate&lt;/b&gt; &quot;left&quot;"), QStringLiteral("&lt;"));
    QTest::newRow("only-first-key")
        << QStringLiteral("Previous Image")
        << QList<QKeySequence>{QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Less)}
        << pair(QStringLiteral("Previous Image"), QStringLiteral("Left"));
    QTest::newRow("percent-in-text-not-an-argument")
        << QStringLiteral("Actual Size (100%) %1") << QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+1"))}
        << pair(QStringLiteral("Actual Size (100%) %1"), QStringLiteral("Ctrl+1"));
    QTest::newRow("no-key-no-row") << QStringLiteral("Exit") << QList<QKeySequence>{} << QString();
}

void TestShortcutOverlay::labelsAndKeys()
{
    QFETCH(QString, text);
    QFETCH(QList<QKeySequence>, keys);
    QFETCH(QString, expectedCells);

    QAction action(text);
    action.setShortcuts(keys);
    const QString expected = wrap(expectedCells.isEmpty() ? QString() : QStringLiteral("<tr>%1</tr>").arg(expectedCells));
    QCOMPARE(shortcutOverlayHtml({&action}, nullptr), expected);
}

void TestShortcutOverlay::toggleActionUsesFixedLabel()
{
    for (const QString &text : {QStringLiteral("Hide Keyboard Shortcuts"), QStringLiteral("Show Keyboard Shortcuts")}) {
        QAction toggle(text);
        toggle.setShortcut(QKeySequence(QStringLiteral("Ctrl+F1")));
        QAction open(QStringLiteral("Open Folder…"));
        open.setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
        // Placed by the action's own text ("Hide…" before "Open…", "Show…" after
        // it), shown under the fixed label.
        const QString toggleCells = pair(QStringLiteral("Show / hide this overview"), QStringLiteral("Ctrl+F1"));
        const QString openCells = pair(QStringLiteral("Open Folder…"), QStringLiteral("Ctrl+O"));
        const QString row = text.startsWith(QLatin1Char('H')) ? toggleCells + openCells : openCells + toggleCells;
        QCOMPARE(shortcutOverlayHtml({&open, &toggle}, &toggle), wrap(QStringLiteral("<tr>%1</tr>").arg(row)));
    }
}

QTEST_MAIN(TestShortcutOverlay)
#include "tst_shortcutoverlay.moc"
