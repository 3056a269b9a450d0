#include "imaging/focuspoints.h"

#include "imaging/decodesupport_p.h"
#include "imaging/focusmakernotes_p.h"

#include <QFile>

#include <cmath>
#include <cstring>

using namespace tiffview;

namespace {

enum : quint16 {
    TagWidth = 256,
    TagMake = 271,
    TagModel = 272,
    TagOrientation = 274,
    TagExifIfd = 34665,
    TagMakerNote = 37500,
    TagPixelWidth = 40962,
    TagPixelHeight = 40963,
};

// A TIFF header at `base` with any of the magic numbers of TIFF-based RAW
// files (42, "RO" of ORF, 0x55 of RW2); the IFD0 offset it names.
bool readAnyTiffHeader(const uchar *bytes, qint64 length, qint64 base, bool *le, quint32 *ifd0)
{
    if (base < 0 || base + 8 > length)
        return false;
    *le = bytes[base] == 'I' && bytes[base + 1] == 'I';
    if (!*le && !(bytes[base] == 'M' && bytes[base + 1] == 'M'))
        return false;
    const quint16 magic = readU16(bytes, length, base + 2, *le);
    if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x55)
        return false;
    *ifd0 = readU32(bytes, length, base + 4, *le);
    return *ifd0 != 0;
}

// The size of the first frame of a JPEG stream, for photos whose Exif names none.
void readJpegFrameSize(const uchar *bytes, qint64 length, int *width, int *height)
{
    bool found = false;
    decodesupport::forEachJpegSegment(bytes, length, [&](uchar marker, const uchar *data, qint64 size) {
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (found || !frame || size < 5)
            return;
        found = true;
        *height = (data[1] << 8) | data[2];
        *width = (data[3] << 8) | data[4];
    });
}

int positiveInt(quint32 value)
{
    return value > 0 && value <= 1000000 ? int(value) : 0;
}

// Reads the photo facts and the focus records of one TIFF structure whose
// IFD0 is at `ifd0`: maker notes first, SubjectArea where they give nothing.
FocusPoints readTiff(const TiffView &tiff, quint32 ifd0, const uchar *bytes, qint64 length, int *orientation)
{
    focusnotes::Photo photo;
    photo.make = tiff.ascii(tiff.findEntry(ifd0, TagMake, 2));
    photo.model = tiff.ascii(tiff.findEntry(ifd0, TagModel, 2));
    const quint32 turn = tiff.integer(tiff.findEntry(ifd0, TagOrientation, 3));
    *orientation = turn >= 1 && turn <= 8 ? int(turn) : 1;
    const quint32 exif = tiff.integer(tiff.findEntry(ifd0, TagExifIfd));
    if (exif == 0)
        return {};
    photo.width = positiveInt(tiff.integer(tiff.findEntry(exif, TagPixelWidth)));
    photo.height = positiveInt(tiff.integer(tiff.findEntry(exif, TagPixelHeight)));
    if ((photo.width == 0 || photo.height == 0) && tiff.base() > 0)
        readJpegFrameSize(bytes, length, &photo.width, &photo.height);

    const IfdEntry note = tiff.findEntry(exif, TagMakerNote);
    if (note.position >= 0 && note.count >= 8) {
        FocusPoints points = focusnotes::checkedPoints(
            focusnotes::readMakerNote(tiff, note.position, qint64(note.count) * TiffView::elementSize(note.type), photo));
        if (!points.isEmpty())
            return points;
    }
    return focusnotes::checkedPoints(focusnotes::readSubjectArea(tiff, exif, photo));
}

// ISO media RAW files: IFD0 in the "CMT1" box, the Exif IFD in "CMT2" and
// the maker-note IFD, as the first IFD of its own TIFF structure, in "CMT3".
FocusPoints readMediaBoxes(const uchar *bytes, qint64 length, int *orientation)
{
    focusnotes::Photo photo;
    bool le = true;
    quint32 ifd = 0;
    const qint64 ifd0Base = findMetadataBox(bytes, length, "CMT1");
    if (readTiffHeader(bytes, length, ifd0Base, &le, &ifd) && ifd != 0) {
        const TiffView tiff(bytes, length, ifd0Base, le);
        photo.make = tiff.ascii(tiff.findEntry(ifd, TagMake, 2));
        photo.model = tiff.ascii(tiff.findEntry(ifd, TagModel, 2));
        const quint32 turn = tiff.integer(tiff.findEntry(ifd, TagOrientation, 3));
        *orientation = turn >= 1 && turn <= 8 ? int(turn) : 1;
    }
    quint32 exif = 0;
    const qint64 exifBase = findMetadataBox(bytes, length, "CMT2");
    const bool hasExif = readTiffHeader(bytes, length, exifBase, &le, &exif) && exif != 0;
    const TiffView exifTiff(bytes, length, hasExif ? exifBase : 0, le);
    if (hasExif) {
        photo.width = positiveInt(exifTiff.integer(exifTiff.findEntry(exif, TagPixelWidth)));
        photo.height = positiveInt(exifTiff.integer(exifTiff.findEntry(exif, TagPixelHeight)));
    }
    const qint64 noteBase = findMetadataBox(bytes, length, "CMT3");
    if (readTiffHeader(bytes, length, noteBase, &le, &ifd) && ifd != 0) {
        FocusPoints points = focusnotes::checkedPoints(
            focusnotes::readCanonIfd(TiffView(bytes, length, noteBase, le), ifd, photo));
        if (!points.isEmpty())
            return points;
    }
    return hasExif ? focusnotes::checkedPoints(focusnotes::readSubjectArea(exifTiff, exif, photo)) : FocusPoints();
}

FocusPoint turned(const FocusPoint &p, int orientation)
{
    FocusPoint q = p;
    const bool swap = orientation >= 5 && orientation <= 8;
    if (swap) {
        q.w = p.h;
        q.h = p.w;
    }
    switch (orientation) {
    case 2: q.x = 1 - p.x; break;
    case 3: q.x = 1 - p.x; q.y = 1 - p.y; break;
    case 4: q.y = 1 - p.y; break;
    case 5: q.x = p.y; q.y = p.x; break;
    case 6: q.x = 1 - p.y; q.y = p.x; break;
    case 7: q.x = 1 - p.y; q.y = 1 - p.x; break;
    case 8: q.x = p.y; q.y = 1 - p.x; break;
    default: break;
    }
    return q;
}

} // namespace

int FocusPoints::inFocusCount() const
{
    int n = 0;
    for (const FocusPoint &p : points)
        n += p.inFocus.value_or(false) ? 1 : 0;
    return n;
}

bool FocusPoints::recordsFocus() const
{
    for (const FocusPoint &p : points) {
        if (p.inFocus.has_value())
            return true;
    }
    return false;
}

int FocusPoints::primaryIndex() const
{
    bool anySelected = false;
    for (const FocusPoint &p : points)
        anySelected = anySelected || p.selected.value_or(false);
    bool anyInFocus = false;
    for (const FocusPoint &p : points)
        anyInFocus = anyInFocus || (p.inFocus.value_or(false) && (!anySelected || p.selected.value_or(false)));
    int best = -1;
    double bestDistance = 0;
    for (int i = 0; i < points.size(); ++i) {
        const FocusPoint &p = points.at(i);
        if (anySelected && !p.selected.value_or(false))
            continue;
        if (anyInFocus && !p.inFocus.value_or(false))
            continue;
        const double d = (p.x - 0.5) * (p.x - 0.5) + (p.y - 0.5) * (p.y - 0.5);
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

FocusPoints readFocusPoints(const uchar *bytes, qint64 length)
{
    if (!bytes || length < 16)
        return {};
    int orientation = 1;
    FocusPoints stored;
    if (std::memcmp(bytes + 4, "ftyp", 4) == 0) {
        stored = readMediaBoxes(bytes, length, &orientation);
    } else {
        // The TIFF structure of a TIFF-based file, else the Exif data of a
        // JPEG or of the JPEG a RAF file starts with.
        qint64 base = 0;
        bool le = true;
        quint32 ifd0 = 0;
        if (!readAnyTiffHeader(bytes, length, base, &le, &ifd0)) {
            base = findTiffBase(bytes, length);
            if (base <= 0 || !readAnyTiffHeader(bytes, length, base, &le, &ifd0))
                return {};
        }
        stored = readTiff(TiffView(bytes, length, base, le), ifd0, bytes, length, &orientation);
    }
    return orientFocusPoints(stored, orientation);
}

FocusPoints readFocusPoints(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size < 16)
        return {};
    FocusPoints points;
    if (const uchar *bytes = file.map(0, size)) {
        points = readFocusPoints(bytes, size);
        file.unmap(const_cast<uchar *>(bytes));
    }
    return points;
}

FocusPoints orientFocusPoints(const FocusPoints &stored, int orientation)
{
    FocusPoints upright = stored;
    for (FocusPoint &p : upright.points)
        p = turned(p, orientation);
    return upright;
}

FocusPoints rotateFocusPoints(const FocusPoints &upright, int degreesClockwise)
{
    const int quarters = ((degreesClockwise / 90) % 4 + 4) % 4;
    static const int orientationFor[4] = {1, 6, 3, 8};
    return orientFocusPoints(upright, orientationFor[quarters]);
}
