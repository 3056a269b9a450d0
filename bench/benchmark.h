#pragma once

#include <QImage>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <QStringList>

#include <functional>
#include <vector>

class QWidget;

// A benchmark prints one JSON line: {"bench": name, "value": v, "unit": u, ...detail}.
// Register one with a file-level `static const BenchRegistration r{"name", fn};`.
struct BenchResult
{
    double value = 0;
    QString unit;
    QJsonObject detail;
};

struct BenchContext
{
    QString dataDir;   // where benchmarks build their data sets (under the build tree)
    QString testData;  // the real camera files shipped with the tests
};

using BenchFunction = std::function<BenchResult(const BenchContext &)>;

struct BenchRegistration
{
    BenchRegistration(const char *name, BenchFunction fn);
};

namespace bench {

// Median of `runs` timings of `fn`, in milliseconds.
double medianMs(int runs, const std::function<void()> &fn);

// Runs a shell command `runs` times and returns the median wall time in ms,
// or -1 when the command is missing or fails.
double commandMedianMs(int runs, const QString &program, const QStringList &args);

// A picture with fine detail, different for every index, so that its JPEG
// decodes like a camera file rather than like flat colour.
QImage detailedPicture(int index, const QSize &size);

// A field of /proc/self/status in KiB (VmRSS, VmHWM), or -1 where there is none.
qint64 procStatusKiB(const char *field);

// Restarts the peak resident size (VmHWM) at the current resident size.
void resetPeakRss();

// The value at fraction `p` (0…1) of the sorted values; 0 when there are none.
double percentile(std::vector<double> values, double p);

// Runs the event loop until `done` holds; false when `timeoutMs` passed first.
// Blocks between events instead of spinning, and looks at `done` at least
// every `tickMs`.
bool waitFor(const std::function<bool()> &done, int timeoutMs = 600000, int tickMs = 100);

// Builds a data set in `dir` once: a folder left half made by an interrupted
// run is made again.
void prepareOnce(const QString &dir, const std::function<void()> &make);

// Calls `flushed` each time the window `window` has painted what changed and
// handed it to the screen: from then on, the user sees what its widgets hold.
class ScreenWatch : public QObject
{
public:
    ScreenWatch(QWidget *window, std::function<void()> flushed);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    std::function<void()> m_flushed;
};

QByteArray jpegBytes(const QImage &image, int quality);

// A photo as cameras write it: an Exif segment with the orientation and a
// 160 × 120 thumbnail (IFD1, letterboxed as cameras do), then the picture.
QByteArray cameraJpeg(const QImage &picture, int quality = 90);

// 24 distinct 24 MP camera JPEGs with fine detail, made once in `root`.
QStringList cameraPhotos(const QString &root);

// The same photos as many cameras and phones write them: with a restart
// marker after every row of MCUs (jpegtran, losslessly). Empty without jpegtran.
QStringList cameraPhotosWithRestarts(const QString &root);

// A folder `root`/`name` of `count` photos P00000.jpg…, links to the camera
// photos in turn, made once; `made` is called for each photo as it is made.
QStringList cameraFolder(const QString &root, const QString &name, int count,
                         const std::function<void(const QString &photo, int index)> &made = {},
                         const QStringList &sources = {});

// Little-endian TIFF fields, as most cameras write them.
void putLe16(QByteArray &out, quint16 value);
void putLe32(QByteArray &out, quint32 value);

} // namespace bench
