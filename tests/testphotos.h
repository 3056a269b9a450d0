#pragma once

#include "core/metadata.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

namespace PhotoCore {
// How QCOMPARE prints a marks record.
inline char *toString(const Metadata &m)
{
    return qstrdup(QStringLiteral("{rating %1, label \"%2\", rejected %3, rotation %4}")
                       .arg(m.rating).arg(m.label).arg(m.rejected).arg(m.rotation).toUtf8().constData());
}
} // namespace PhotoCore

// A folder of small JPEGs named IMG_0001.jpg, IMG_0002.jpg, ...
inline QStringList makePhotos(const QString &dir, int count, QSize size = QSize(64, 48))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString first = dir + QStringLiteral("/IMG_0001.jpg");
    image.save(first, "JPEG");
    QStringList files{first};
    for (int i = 2; i <= count; ++i) {
        const QString path = dir + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QFile::copy(first, path);
        files.append(path);
    }
    return files;
}

// A new empty folder inside `tmp` for each call.
inline QString freshDir(const QTemporaryDir &tmp)
{
    static int counter = 0;
    const QString dir = tmp.filePath(QStringLiteral("case%1").arg(++counter));
    QDir().mkpath(dir);
    return dir;
}
