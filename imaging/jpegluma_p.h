#pragma once

#include <QImage>
#include <QtGlobal>

namespace jpegluma {

// How the scan is cut into ranges (see jpegluma.h). Tests shrink both so that
// small streams are cut at many places.
struct Cutting
{
    qint64 minBytesPerRange = 256 * 1024; // below, a second thread costs more than it saves
    qint64 meetingBytes = 256 * 1024;     // how far a range may run into the next one's bytes
};

QImage decode(const uchar *bytes, qint64 length, int denominator, int threads, const Cutting &cutting);

} // namespace jpegluma
