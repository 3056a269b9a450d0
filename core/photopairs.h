#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace PhotoCore {

// A JPEG by its file name's last extension (jpg or jpeg, any letter case).
bool isJpegPhoto(const QString &path);
// `suffix` (the extension alone, in any letter case) names a camera's RAW format.
bool isRawSuffix(QStringView suffix);

// `path` without its file name's last extension: the folder and base name that
// a photo's sidecar is named after and a pair's two files have in common.
QStringView photoStem(QStringView path);

// The RAW+JPEG pairs among `files`: photos of one folder with one base name
// (case as written) that are exactly one JPEG and one RAW. Any other mix under
// one base name (two JPEGs, two RAWs, a TIFF beside them) pairs nothing.
struct PhotoPairs
{
    // The files with every paired RAW left out, in the order given.
    QStringList shown;
    // Both ways: the JPEG's partner is its RAW and the RAW's its JPEG.
    QHash<QString, QString> partners;
};

PhotoPairs pairRawWithJpeg(const QStringList &files);

} // namespace PhotoCore
