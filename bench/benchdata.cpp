#include "bench/benchmark.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QPainter>
#include <QtEndian>

#include <atomic>
#include <thread>

namespace {

using bench::putLe16;
using bench::putLe32;

constexpr int distinctCameraPhotos = 24;
const QSize cameraPhotoSize(6000, 4000);

// One IFD entry of a single SHORT (type 3) or LONG (type 4) value.
void putEntry(QByteArray &out, quint16 tag, quint16 type, quint32 value)
{
    putLe16(out, tag);
    putLe16(out, type);
    putLe32(out, 1);
    if (type == 3) {
        putLe16(out, quint16(value));
        putLe16(out, 0);
    } else {
        putLe32(out, value);
    }
}

} // namespace

namespace bench {

void putLe16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void putLe32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void prepareOnce(const QString &dir, const std::function<void()> &make)
{
    const QString marker = dir + QStringLiteral("/.complete");
    if (QFile::exists(marker))
        return;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    make();
    QFile(marker).open(QIODevice::WriteOnly);
}

QByteArray jpegBytes(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

QByteArray cameraJpeg(const QImage &picture, int quality)
{
    QImage thumbnail(160, 120, QImage::Format_RGB32);
    thumbnail.fill(Qt::black);
    const QImage small = picture.scaled(thumbnail.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter(&thumbnail).drawImage((thumbnail.width() - small.width()) / 2, (thumbnail.height() - small.height()) / 2,
                                   small);
    const QByteArray thumbnailJpeg = jpegBytes(thumbnail, 85);

    // TIFF header, IFD0 (orientation), IFD1 (the thumbnail's place), the thumbnail.
    const quint32 ifd0 = 8;
    const quint32 ifd1 = ifd0 + 2 + 12 + 4;
    const quint32 thumbnailAt = ifd1 + 2 + 3 * 12 + 4;
    QByteArray tiff("II*\0", 4);
    putLe32(tiff, ifd0);
    putLe16(tiff, 1);
    putEntry(tiff, 274, 3, 1);
    putLe32(tiff, ifd1);
    putLe16(tiff, 3);
    putEntry(tiff, 259, 3, 6); // JPEG compressed
    putEntry(tiff, 513, 4, thumbnailAt);
    putEntry(tiff, 514, 4, quint32(thumbnailJpeg.size()));
    putLe32(tiff, 0);
    tiff += thumbnailJpeg;

    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    char length[2];
    qToBigEndian(quint16(payload.size() + 2), length);
    const QByteArray app1 = QByteArray("\xFF\xE1", 2) + QByteArray(length, 2) + payload;

    // Cameras write no JFIF segment: the Exif one follows the start of image.
    QByteArray main = jpegBytes(picture, quality);
    qsizetype rest = 2;
    if (main.size() > 6 && uchar(main[2]) == 0xFF && uchar(main[3]) == 0xE0)
        rest = 4 + qFromBigEndian<quint16>(main.constData() + 4);
    return main.left(2) + app1 + main.mid(rest);
}

QStringList cameraPhotos(const QString &root)
{
    const QString dir = root + QStringLiteral("/camera24mp");
    QStringList photos;
    for (int i = 0; i < distinctCameraPhotos; ++i)
        photos << dir + QStringLiteral("/CAM%1.JPG").arg(i, 2, 10, QLatin1Char('0'));
    prepareOnce(dir, [&] {
        // A photo takes seconds to make; two are made at a time.
        std::atomic<int> next{0};
        const auto work = [&] {
            for (int i = next++; i < distinctCameraPhotos; i = next++) {
                QFile file(photos[i]);
                if (file.open(QIODevice::WriteOnly))
                    file.write(cameraJpeg(detailedPicture(i, cameraPhotoSize)));
            }
        };
        std::thread helper(work);
        work();
        helper.join();
    });
    return photos;
}

QStringList cameraPhotosWithRestarts(const QString &root)
{
    const QStringList plain = cameraPhotos(root);
    if (QStandardPaths::findExecutable(QStringLiteral("jpegtran")).isEmpty())
        return {};
    const QString dir = root + QStringLiteral("/camera24mp-restarts");
    QStringList photos;
    for (const QString &photo : plain)
        photos << dir + QLatin1Char('/') + QFileInfo(photo).fileName();
    prepareOnce(dir, [&] {
        for (int i = 0; i < plain.size(); ++i) {
            QProcess::execute(QStringLiteral("jpegtran"), {QStringLiteral("-restart"), QStringLiteral("1"),
                                                           QStringLiteral("-copy"), QStringLiteral("all"),
                                                           QStringLiteral("-outfile"), photos[i], plain[i]});
        }
    });
    return photos;
}

QStringList cameraFolder(const QString &root, const QString &name, int count,
                         const std::function<void(const QString &photo, int index)> &made,
                         const QStringList &givenSources)
{
    const QStringList sources = givenSources.isEmpty() ? cameraPhotos(root) : givenSources;
    const QString dir = root + QLatin1Char('/') + name;
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << dir + QStringLiteral("/P%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
    prepareOnce(dir, [&] {
        for (int i = 0; i < count; ++i) {
            QFile::link(sources[i % sources.size()], files[i]);
            if (made)
                made(files[i], i);
        }
    });
    return files;
}

} // namespace bench
