#include "ui/shortcutoverlay.h"

#include <QAction>
#include <QLocale>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// The overview read back as columns of "# Heading" and "label = key" lines.
QList<QStringList> columnsOf(const QString &html)
{
    QList<QStringList> columns;
    static const QRegularExpression column(QStringLiteral("<td valign='top'[^>]*>(.*?)</table></td>"));
    static const QRegularExpression line(
        QStringLiteral("<td colspan='2'[^>]*>(.*?)</td>|<td[^>]*>([^<]*)</td><td[^>]*><b>([^<]*)</b></td>"));
    for (auto c = column.globalMatch(html); c.hasNext();) {
        QStringList lines;
        for (auto l = line.globalMatch(c.next().captured(1)); l.hasNext();) {
            const auto m = l.next();
            lines.append(m.captured(1).isEmpty() ? m.captured(2) + QStringLiteral(" = ") + m.captured(3)
                                                 : QStringLiteral("# ") + m.captured(1));
        }
        columns.append(lines);
    }
    return columns;
}

struct Menus
{
    std::vector<std::unique_ptr<QMenu>> menus;
    QList<QAction *> listed;

    // One menu per entry of `sizes`, named M0, M1, ..., holding that many keyed
    // actions named M<i>.<j>.
    explicit Menus(const QList<int> &sizes)
    {
        int key = 0;
        for (int i = 0; i < sizes.size(); ++i) {
            menus.push_back(std::make_unique<QMenu>(QStringLiteral("M%1").arg(i)));
            for (int j = 0; j < sizes.at(i); ++j) {
                QAction *a = menus.back()->addAction(QStringLiteral("M%1.%2").arg(i).arg(j));
                a->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+F%1").arg(++key % 12 + 1)));
                listed.append(a);
            }
        }
    }
    QList<QMenu *> all() const
    {
        QList<QMenu *> list;
        for (const auto &m : menus)
            list.append(m.get());
        return list;
    }
};

} // namespace

class TestShortcutOverlay : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void columnsBalanced_data();
    void columnsBalanced();
    void groupedByMenuInMenuOrder();
    void labelsAndKeys_data();
    void labelsAndKeys();
    void sectionsAfterTheMenus_data();
    void sectionsAfterTheMenus();
};

void TestShortcutOverlay::columnsBalanced_data()
{
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<int>("columns");
    // The headings that open each column.
    QTest::addColumn<QStringList>("firsts");

    QTest::newRow("one-column") << QList<int>{3, 2, 7} << 1 << QStringList{"M0"};
    QTest::newRow("even-three") << QList<int>{4, 4, 4} << 3 << QStringList{"M0", "M1", "M2"};
    // A large group stands alone; the small ones before it share a column.
    QTest::newRow("large-middle") << QList<int>{3, 2, 7, 18, 10, 12, 1, 2} << 3 << QStringList{"M0", "M3", "M5"};
    QTest::newRow("fewer-groups-than-columns") << QList<int>{5, 5} << 3 << QStringList{"M0", "M1"};
    QTest::newRow("small-groups-fill-one") << QList<int>{1, 1, 1, 30} << 2 << QStringList{"M0", "M3"};
    QTest::newRow("empty-menus-omitted") << QList<int>{0, 4, 0, 4} << 2 << QStringList{"M1", "M3"};
}

void TestShortcutOverlay::columnsBalanced()
{
    QFETCH(QList<int>, sizes);
    QFETCH(int, columns);
    QFETCH(QStringList, firsts);

    const Menus menus(sizes);
    const QList<QStringList> found = columnsOf(shortcutOverlayHtml(menus.all(), menus.listed, nullptr, columns));
    QStringList foundFirsts;
    int rows = 0;
    for (const QStringList &column : found) {
        foundFirsts.append(column.value(0).mid(2));
        rows += int(column.size());
    }
    QCOMPARE(foundFirsts, firsts);
    // Nothing lost or repeated: every keyed action and every non-empty menu once.
    int expectedRows = 0;
    for (int size : sizes)
        expectedRows += size > 0 ? size + 1 : 0;
    QCOMPARE(rows, expectedRows);
}

void TestShortcutOverlay::groupedByMenuInMenuOrder()
{
    QMenu file(QStringLiteral("&File"));
    QMenu view(QStringLiteral("&View"));
    QAction *open = file.addAction(QStringLiteral("&Open Folder…"));
    open->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    QAction *exit = file.addAction(QStringLiteral("E&xit")); // keyed, though not among the others
    exit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    QAction *hidden = file.addAction(QStringLiteral("Hidden"));
    hidden->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    hidden->setVisible(false);
    QAction *zoom = view.addAction(QStringLiteral("&Toggle Fit / 100%"));
    zoom->setShortcut(QKeySequence(QStringLiteral("Z")));
    QMenu *sort = view.addMenu(QStringLiteral("Sort &by"));
    QAction *byName = sort->addAction(QStringLiteral("File &name"));
    byName->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+N")));
    QAction *fit = view.addAction(QStringLiteral("&Fit to Window"));
    fit->setShortcut(QKeySequence(QStringLiteral("Ctrl+0")));
    QAction *noKey = view.addAction(QStringLiteral("Show &EXIF Overlay"));
    file.addAction(fit); // in two menus: listed under the first only
    QAction loose(QStringLiteral("Resume"));
    loose.setShortcut(QKeySequence(QStringLiteral("L")));

    const QString html =
        shortcutOverlayHtml({&view, &file}, {fit, &loose, byName, zoom, open, noKey}, nullptr, 1);
    QCOMPARE(columnsOf(html), (QList<QStringList>{{"# View", "Toggle Fit / 100% = Z", "File name = Ctrl+Alt+N",
                                                   "Fit to Window = Ctrl+0", "# File", "Open Folder… = Ctrl+O",
                                                   "Exit = Ctrl+Q", "# Other", "Resume = L"}}));
    QVERIFY(html.startsWith(QStringLiteral("<div style='font-size:18px;font-weight:600;margin-bottom:10px'>"
                                           "Keyboard Shortcuts</div>")));
    QVERIFY(html.endsWith(
        QStringLiteral("Press Esc or the shortcut again to close · Change keys in Preferences</div>")));

    // No keyed action at all: the title and the hint, no empty table.
    QMenu keyless(QStringLiteral("&Edit"));
    keyless.addAction(noKey);
    keyless.addAction(hidden);
    QVERIFY(columnsOf(shortcutOverlayHtml({&keyless}, {noKey}, nullptr)).isEmpty());
    QVERIFY(!shortcutOverlayHtml({&keyless}, {noKey}, nullptr).contains(QStringLiteral("<table")));
}

void TestShortcutOverlay::labelsAndKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QKeySequence>>("keys");
    QTest::addColumn<bool>("isToggle");
    QTest::addColumn<QString>("expected");

    QTest::newRow("mnemonic-removed-literal-ampersand-kept")
        << QStringLiteral("&Next && Image") << QList<QKeySequence>{QKeySequence(Qt::Key_Right)} << false
        << QStringLiteral("Next &amp; Image = Right");
    QTest::newRow("html-escaped")
        << QStringLiteral("<b>Rotate</b> \"left\"") << QList<QKeySequence>{QKeySequence(Qt::Key_Less)} << false
        << QStringLiteral("&lt;b&gt;Rotate&lt;/b&gt; &quot;left&quot; = &lt;");
    QTest::newRow("only-first-key")
        << QStringLiteral("Previous Image")
        << QList<QKeySequence>{QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Less)} << false
        << QStringLiteral("Previous Image = Left");
    QTest::newRow("percent-in-text-not-an-argument")
        << QStringLiteral("Actual Size (100%) %1 %2") << QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+1"))}
        << false << QStringLiteral("Actual Size (100%) %1 %2 = Ctrl+1");
    QTest::newRow("toggle-hide-text") << QStringLiteral("Hide &Keyboard Shortcuts")
                                      << QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+F1"))} << true
                                      << QStringLiteral("Show / hide this overview = Ctrl+F1");
    QTest::newRow("toggle-show-text") << QStringLiteral("Show &Keyboard Shortcuts")
                                      << QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+F1"))} << true
                                      << QStringLiteral("Show / hide this overview = Ctrl+F1");
}

void TestShortcutOverlay::labelsAndKeys()
{
    QFETCH(QString, text);
    QFETCH(QList<QKeySequence>, keys);
    QFETCH(bool, isToggle);
    QFETCH(QString, expected);

    QMenu menu(QStringLiteral("&Help"));
    QAction *action = menu.addAction(text);
    action->setShortcuts(keys);
    const QList<QStringList> columns = columnsOf(shortcutOverlayHtml({&menu}, {action}, isToggle ? action : nullptr));
    QCOMPARE(columns, (QList<QStringList>{{"# Help", expected}}));
}

void TestShortcutOverlay::sectionsAfterTheMenus_data()
{
    QTest::addColumn<QList<ShortcutSection>>("sections");
    QTest::addColumn<QStringList>("expected");

    const QStringList menus{"# Help", "Guide = F1", "# Other", "Loose = L"};
    QTest::newRow("none") << QList<ShortcutSection>{} << menus;
    QTest::newRow("in-order-escaped")
        << QList<ShortcutSection>{
               {"Compare", {{"Keep", QKeySequence(Qt::Key_Return)}, {"Switch", QKeySequence(Qt::Key_Tab)}}},
               {"A & B", {{"<Less>", QKeySequence(Qt::Key_Less)}}}}
        << menus + QStringList{"# Compare", "Keep = Return", "Switch = Tab", "# A &amp; B", "&lt;Less&gt; = &lt;"};
    // A row whose key the user cleared is dropped, and a section left without rows.
    QTest::newRow("keyless-rows-and-empty-sections")
        << QList<ShortcutSection>{{"Empty", {}},
                                  {"Cleared", {{"Next", QKeySequence()}}},
                                  {"Compare", {{"Next", QKeySequence()}, {"Keep", QKeySequence(Qt::Key_Return)}}}}
        << menus + QStringList{"# Compare", "Keep = Return"};
}

void TestShortcutOverlay::sectionsAfterTheMenus()
{
    QFETCH(QList<ShortcutSection>, sections);
    QFETCH(QStringList, expected);

    QMenu help(QStringLiteral("&Help"));
    QAction *guide = help.addAction(QStringLiteral("&Guide"));
    guide->setShortcut(QKeySequence(Qt::Key_F1));
    QAction loose(QStringLiteral("Loose"));
    loose.setShortcut(QKeySequence(Qt::Key_L));
    QCOMPARE(columnsOf(shortcutOverlayHtml({&help}, {&loose, guide}, nullptr, 1, sections)),
             QList<QStringList>{expected});
}

QTEST_MAIN(TestShortcutOverlay)
#include "tst_shortcutoverlay.moc"
