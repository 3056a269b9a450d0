// Culling a folder of twelve real photos with the keyboard, as a person would:
// the built program in a real window on a private X server, keys sent with
// xdotool, the result checked with exiftool and in the trash folder.

#include "core/folderlisting.h"
#include "core/sidecarpaths.h"
#include "core/xmpsidecar.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QRegularExpression>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

#ifdef Q_OS_WIN
const QString program = QStringLiteral(GLANCEWAY_BINARY_DIR "/Glanceway");
#else
const QString program = QStringLiteral(GLANCEWAY_BINARY_DIR "/glanceway");
#endif
const QString artifacts = QStringLiteral(GLANCEWAY_BINARY_DIR "/artifacts");

QString run(const QString &tool, const QStringList &args, int *exitCode = nullptr)
{
    QProcess process;
    process.start(tool, args);
    if (!process.waitForFinished(60000))
        process.kill();
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

class TestMainWindowEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cullTwelvePhotos();

private:
    // Sends keys to whatever window has the input focus.
    void keys(const QStringList &names);
    // Waits until a window whose title matches `pattern` exists; its id.
    QString waitForWindow(const QString &pattern);
    // A shown window whose title matches `pattern`, or empty when there is none.
    QString findWindow(const QString &pattern);
    void focus(const QString &window);
    void screenshot(const QString &window, const QString &name);
    QJsonObject exif(const QString &sidecar);

    QTemporaryDir sandbox{QStringLiteral(GLANCEWAY_BINARY_DIR "/tst_mainwindow_e2e-XXXXXX")};
    QString folder;
    QStringList photos;
    QProcess app;
};

void TestMainWindowEndToEnd::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs a real X server (run under xvfb-run)");
    for (const char *tool : {"xdotool", "exiftool"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (make test-deps)").arg(QString::fromLatin1(tool))));
    QVERIFY(QFileInfo(program).isExecutable());
    QVERIFY(sandbox.isValid());
    QVERIFY(QDir().mkpath(artifacts));

    folder = sandbox.filePath(QStringLiteral("photos"));
    QVERIFY(QDir().mkpath(folder));
    const QDir cameras(QStringLiteral(GLANCEWAY_TESTDATA "/cameras"));
    for (const QString &name : cameras.entryList(QDir::Files))
        QVERIFY(QFile::copy(cameras.filePath(name), folder + QLatin1Char('/') + name));
    QVERIFY(QFile::copy(QStringLiteral(GLANCEWAY_TESTDATA "/fixtures/fixture.jpg"),
                        folder + QStringLiteral("/Zeiss_fixture.jpg")));
    photos = PhotoCore::listPhotoFiles(folder);
    QCOMPARE(photos.size(), 12);

    const QString home = sandbox.filePath(QStringLiteral("home"));
    {
        QSettings settings(home + QStringLiteral("/config/Quillmark/Glanceway.conf"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("lastDirectory"), folder);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(sandbox.path());
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(program, {});
    QVERIFY(app.waitForStarted());
}

void TestMainWindowEndToEnd::cleanupTestCase()
{
    if (app.state() != QProcess::NotRunning) {
        app.kill();
        app.waitForFinished();
    }
}

void TestMainWindowEndToEnd::keys(const QStringList &names)
{
    int code = 0;
    run(QStringLiteral("xdotool"), QStringList{QStringLiteral("key"), QStringLiteral("--clearmodifiers")} + names,
        &code);
    QCOMPARE(code, 0);
}

QString TestMainWindowEndToEnd::waitForWindow(const QString &pattern)
{
    const QString ids = run(QStringLiteral("xdotool"),
                            {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--name"), pattern});
    return ids.split(QLatin1Char('\n')).value(0);
}

QString TestMainWindowEndToEnd::findWindow(const QString &pattern)
{
    const QString ids = run(QStringLiteral("xdotool"),
                            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern});
    return ids.split(QLatin1Char('\n')).value(0);
}

void TestMainWindowEndToEnd::focus(const QString &window)
{
    int code = 0;
    run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}, &code);
    QCOMPARE(code, 0);
}

void TestMainWindowEndToEnd::screenshot(const QString &window, const QString &name)
{
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(WId(window.toULongLong()));
    QVERIFY(!shot.isNull());
    QVERIFY(shot.save(artifacts + QLatin1Char('/') + name));
}

QJsonObject TestMainWindowEndToEnd::exif(const QString &sidecar)
{
    const QString json = run(QStringLiteral("exiftool"),
                             {QStringLiteral("-j"), QStringLiteral("-XMP-xmp:Rating"), QStringLiteral("-XMP-xmp:Label"),
                              sidecar});
    return QJsonDocument::fromJson(json.toUtf8()).array().at(0).toObject();
}

void TestMainWindowEndToEnd::cullTwelvePhotos()
{
    auto name = [&](int i) { return QFileInfo(photos.at(i)).fileName(); };
    auto record = [&](int i) { return PhotoCore::readMetadata(photos.at(i)); };
    const int timeout = 30000;

    // The last folder opens by itself at start, with the first photo current.
    const QString window = waitForWindow(QRegularExpression::escape(name(0)));
    QVERIFY(!window.isEmpty());
    focus(window);

    // In the viewer: 3 stars, 5 stars (each moves on by itself), green (a
    // label stays on the photo), on, reject (moves on), skip one, 1 star.
    keys({QStringLiteral("3")});
    QTRY_COMPARE_WITH_TIMEOUT(record(0).rating, 3, timeout);
    keys({QStringLiteral("5")});
    QTRY_COMPARE_WITH_TIMEOUT(record(1).rating, 5, timeout);
    keys({QStringLiteral("8")});
    QTRY_COMPARE_WITH_TIMEOUT(record(2).label, QStringLiteral("Green"), timeout);
    keys({QStringLiteral("Right"), QStringLiteral("x")});
    QTRY_VERIFY_WITH_TIMEOUT(record(3).rejected, timeout);
    keys({QStringLiteral("Right"), QStringLiteral("1")});
    QTRY_COMPARE_WITH_TIMEOUT(record(5).rating, 1, timeout);
    QVERIFY(!QFile::exists(PhotoCore::sidecarPathFor(photos.at(4))));
    waitForWindow(QRegularExpression::escape(name(6)));
    screenshot(window, QStringLiteral("e2e-viewer.png"));

    // The grid; wait until every thumbnail is on screen (each lands in the
    // disk cache), since marking and deleting wait for visible previews.
    keys({QStringLiteral("g")});
    const QDir thumbnails(sandbox.filePath(QStringLiteral("home/cache/Quillmark/Glanceway/thumbnails-v1")));
    QTRY_VERIFY_WITH_TIMEOUT(thumbnails.entryList(QDir::Files).size() >= 12, timeout);

    // Back to the rejected photo and into the recycle bin, confirmed.
    // Should a thumbnail not be back yet, the program says so instead of asking;
    // a person closes that note and presses Del again.
    keys({QStringLiteral("Left"), QStringLiteral("Left"), QStringLiteral("Left")});
    QString question;
    for (int attempt = 0; attempt < 10 && question.isEmpty(); ++attempt) {
        keys({QStringLiteral("Delete")});
        QString note;
        const bool answered = QTest::qWaitFor(
            [&] {
                question = findWindow(QStringLiteral("^Move photos to Recycle Bin"));
                note = findWindow(QStringLiteral("^Previews not visible yet"));
                return !question.isEmpty() || !note.isEmpty();
            },
            timeout);
        QVERIFY(answered);
        if (question.isEmpty()) {
            focus(note);
            keys({QStringLiteral("Return")});
            focus(window);
        }
    }
    QVERIFY(!question.isEmpty());
    focus(question);
    keys({QStringLiteral("y")});
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(photos.at(3)), timeout);
    focus(window);

    // The photo after the removed one is current; select the next two and give
    // them 2 stars together.
    // The grid shows the shortened list at once but marks wait until the
    // selected thumbnails are back on screen, so press until the key takes, as
    // a person watching the status bar would.
    keys({QStringLiteral("Right"), QStringLiteral("shift+Right")});
    const auto bothRated = [&] { return record(5).rating == 2 && record(6).rating == 2; };
    for (int attempt = 0; attempt < 10 && !bothRated(); ++attempt) {
        keys({QStringLiteral("2")});
        if (QTest::qWaitFor(bothRated, 3000))
            break;
    }
    QVERIFY(bothRated());
    QCOMPARE(record(4).rating, 0);
    screenshot(window, QStringLiteral("e2e-grid.png"));

    // Open the current photo in the viewer and quit.
    keys({QStringLiteral("Return")});
    keys({QStringLiteral("ctrl+q")});
    QVERIFY(app.waitForFinished(timeout));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);

    // What other XMP software reads from the sidecars.
    QCOMPARE(exif(PhotoCore::sidecarPathFor(photos.at(0))).value(QStringLiteral("Rating")).toInt(), 3);
    QCOMPARE(exif(PhotoCore::sidecarPathFor(photos.at(1))).value(QStringLiteral("Rating")).toInt(), 5);
    QCOMPARE(exif(PhotoCore::sidecarPathFor(photos.at(2))).value(QStringLiteral("Label")).toString(),
             QStringLiteral("Green"));
    QCOMPARE(exif(PhotoCore::sidecarPathFor(photos.at(5))).value(QStringLiteral("Rating")).toInt(), 2);
    QCOMPARE(exif(PhotoCore::sidecarPathFor(photos.at(6))).value(QStringLiteral("Rating")).toInt(), 2);
    for (int i : {4, 7, 8, 9, 10, 11})
        QVERIFY2(!QFile::exists(PhotoCore::sidecarPathFor(photos.at(i))), qPrintable(name(i)));

    // The rejected photo went to the trash together with its own sidecar.
    const QString trash = sandbox.filePath(QStringLiteral("home/data/Trash"));
    const QString rejectedSidecar = QFileInfo(PhotoCore::sidecarPathFor(photos.at(3))).fileName();
    QCOMPARE(QDir(trash + QStringLiteral("/files")).entryList(QDir::Files, QDir::Name),
             (QStringList{name(3), rejectedSidecar}));
    QCOMPARE(exif(trash + QStringLiteral("/files/") + rejectedSidecar).value(QStringLiteral("Rating")).toInt(), -1);
    QVERIFY(QFile::exists(trash + QStringLiteral("/info/") + name(3) + QStringLiteral(".trashinfo")));
    QCOMPARE(PhotoCore::listPhotoFiles(folder).size(), 11);
    // Nothing landed beside the program's working directory.
    QVERIFY(!QFile::exists(sandbox.filePath(QStringLiteral("files"))));

    // The session is remembered for the next start.
    QSettings settings(sandbox.filePath(QStringLiteral("home/config/Quillmark/Glanceway.conf")), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("lastDirectory")).toString(), folder);
    QCOMPARE(settings.value(QStringLiteral("lastFile")).toString(), photos.at(6));
}

QTEST_MAIN(TestMainWindowEndToEnd)
#include "tst_mainwindow_e2e.moc"
