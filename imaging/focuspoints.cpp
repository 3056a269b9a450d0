#include "imaging/focuspoints.h"

#include "imaging/decodesupport_p.h"
#include "imaging/focusmakernotes_p.h"

#include <QFile>

#include <cmath>
#include <cstring>

using namespace tiffview;

namespace {

enum : quint16 {
    TagJpgFromRaw = 0x002E,
    TagNewSubfileType = 254,
    TagWidth = 256,
    TagMake = 271,
    TagModel = 272,
    TagOrientation = 274,
    TagSubIfds = 330,
    TagExifIfd = 34665,
    TagMakerNote = 37500,
    TagPixelWidth = 40962,
    TagPixelHeight = 40963,
    TagDngPrivateData = 50740,
    TagDefaultCropSize = 50720,
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

// The size of the DNG's picture after its default crop, from the raw IFD
// (IFD0 or the sub-IFD of the full-size image); false when it names none.
bool readDngCropSize(const TiffView &tiff, quint32 ifd0, int *width, int *height)
{
    QList<quint32> ifds{ifd0};
    const IfdEntry subs = tiff.findEntry(ifd0, TagSubIfds);
    for (quint32 i = 0; (subs.type == 4 || subs.type == 13) && i < subs.count && i < 8; ++i)
        ifds.append(tiff.u32(subs.position + 4 * qint64(i)));
    for (quint32 ifd : std::as_const(ifds)) {
        if (tiff.integer(tiff.findEntry(ifd, TagNewSubfileType)) != 0)
            continue;
        const IfdEntry crop = tiff.findEntry(ifd, TagDefaultCropSize);
        if (crop.count != 2 || (crop.type != 3 && crop.type != 4))
            continue;
        const int step = crop.type == 3 ? 2 : 4;
        *width = positiveInt(crop.type == 3 ? tiff.u16(crop.position) : tiff.u32(crop.position));
        *height = positiveInt(crop.type == 3 ? tiff.u16(crop.position + step) : tiff.u32(crop.position + step));
        return *width > 0 && *height > 0;
    }
    return false;
}

// The camera's maker note that a DNG converter keeps in DNGPrivateData:
// "Adobe\0", "MakN", then, all big-endian, the length of what follows, the
// note's byte order and its offset in the original file, then the note. Offsets inside
// the note still count from the original file's TIFF header.
FocusPoints readDngMakerNote(const TiffView &tiff, quint32 ifd0, const focusnotes::Photo &photo)
{
    const IfdEntry data = tiff.findEntry(ifd0, TagDngPrivateData);
    if ((data.type != 1 && data.type != 7) || data.count < 20)
        return {};
    const uchar *b = tiff.bytes() + data.position;
    if (std::memcmp(b, "Adobe\0MakN", 10) != 0)
        return {};
    const qint64 size = qint64(readU32(tiff.bytes(), tiff.length(), data.position + 10, false)) - 6;
    const bool le = b[14] == 'I' && b[15] == 'I';
    if (!le && !(b[14] == 'M' && b[15] == 'M'))
        return {};
    const qint64 originalOffset = readU32(tiff.bytes(), tiff.length(), data.position + 16, false);
    const qint64 note = data.position + 20;
    const qint64 noteEnd = data.position + qint64(data.count);
    if (size < 8 || note + size > noteEnd)
        return {};
    // Bounded to the private data, so that no offset of the note reaches the rest of the DNG.
    const TiffView original(tiff.bytes(), noteEnd, note - originalOffset, le);
    return focusnotes::readMakerNote(original, note, size, photo);
}

// Reads the photo facts and the focus records of one TIFF structure whose
// IFD0 is at `ifd0`: maker notes first, SubjectArea where they give nothing.
// `jpeg` is the JPEG stream holding the structure as its Exif, null for a
// TIFF-based file. `orientation` is left alone where IFD0 names none.
FocusPoints readTiff(const TiffView &tiff, quint32 ifd0, const uchar *jpeg, qint64 jpegLength, int *orientation)
{
    focusnotes::Photo photo;
    photo.make = tiff.ascii(tiff.findEntry(ifd0, TagMake, 2));
    photo.model = tiff.ascii(tiff.findEntry(ifd0, TagModel, 2));
    const quint32 turn = tiff.integer(tiff.findEntry(ifd0, TagOrientation, 3));
    if (turn >= 1 && turn <= 8)
        *orientation = int(turn);
    const quint32 exif = tiff.integer(tiff.findEntry(ifd0, TagExifIfd));
    if (exif == 0)
        return {};
    photo.width = positiveInt(tiff.integer(tiff.findEntry(exif, TagPixelWidth)));
    photo.height = positiveInt(tiff.integer(tiff.findEntry(exif, TagPixelHeight)));
    if (jpeg)
        readJpegFrameSize(jpeg, jpegLength, &photo.frameWidth, &photo.frameHeight);
    if (photo.width == 0 || photo.height == 0) {
        photo.width = photo.frameWidth;
        photo.height = photo.frameHeight;
    }
    if (!jpeg && !readDngCropSize(tiff, ifd0, &photo.frameWidth, &photo.frameHeight)) {
        photo.frameWidth = photo.width;
        photo.frameHeight = photo.height;
    }

    const IfdEntry note = tiff.findEntry(exif, TagMakerNote);
    if (note.position >= 0 && note.count >= 8) {
        FocusPoints points = focusnotes::checkedPoints(
            focusnotes::readMakerNote(tiff, note.position, qint64(note.count) * TiffView::elementSize(note.type), photo));
        if (!points.isEmpty())
            return points;
    }
    FocusPoints points = focusnotes::checkedPoints(readDngMakerNote(tiff, ifd0, photo));
    if (!points.isEmpty())
        return points;
    return focusnotes::checkedPoints(focusnotes::readSubjectArea(tiff, exif, photo));
}

// The Exif of the JPEG that a RAW file keeps whole in IFD0 (RW2 JpgFromRaw),
// where such files keep their maker notes.
FocusPoints readEmbeddedJpeg(const TiffView &tiff, quint32 ifd0, int *orientation)
{
    const IfdEntry entry = tiff.findEntry(ifd0, TagJpgFromRaw, 7);
    if (entry.count < 16)
        return {};
    const uchar *jpeg = tiff.bytes() + entry.position;
    const qint64 end = entry.position + qint64(entry.count);
    if (jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return {};
    const qint64 base = findTiffBase(jpeg, entry.count);
    bool le = true;
    quint32 inner = 0;
    if (base <= 0 || !readAnyTiffHeader(tiff.bytes(), end, entry.position + base, &le, &inner))
        return {};
    return readTiff(TiffView(tiff.bytes(), end, entry.position + base, le), inner, jpeg, entry.count, orientation);
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
        const TiffView tiff(bytes, length, base, le);
        stored = readTiff(tiff, ifd0, base > 0 ? bytes : nullptr, length, &orientation);
        if (stored.isEmpty() && base == 0)
            stored = readEmbeddedJpeg(tiff, ifd0, &orientation);
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
