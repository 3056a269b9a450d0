#include "imaging/colourprofile.h"

#include "imaging/decodesupport_p.h"
#include "imaging/exifsummary.h"
#include "imaging/photodecoder.h"

#include <QFile>
#include <QMap>
#include <QtEndian>

#include <cstring>

#ifdef GLANCEWAY_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

constexpr quint16 iccTiffTag = 34675;
constexpr int maxIccBytes = 4 * 1048576;

quint32 be32(const QByteArray &b, qsizetype pos)
{
    if (pos < 0 || pos + 4 > b.size())
        return 0;
    return qFromBigEndian<quint32>(b.constData() + pos);
}

// APP2 "ICC_PROFILE\0" chunks before the first scan, joined by sequence number.
QByteArray jpegIcc(const uchar *bytes, qint64 length)
{
    static const char tag[] = "ICC_PROFILE";
    QMap<int, QByteArray> chunks;
    decodesupport::forEachJpegSegment(bytes, length, [&](uchar marker, const uchar *data, qint64 size) {
        if (marker == 0xE2 && size > 14 && std::memcmp(data, tag, sizeof tag) == 0)
            chunks.insert(data[12], QByteArray(reinterpret_cast<const char *>(data + 14), qsizetype(size - 14)));
    });
    QByteArray icc;
    for (const QByteArray &chunk : std::as_const(chunks)) {
        if (icc.size() + chunk.size() > maxIccBytes)
            return {};
        icc += chunk;
    }
    return icc;
}

// zlib data inflated; empty when damaged, cut short or larger than `limit`.
// A few KB of zeros inflate to megabytes: the output stops growing at the limit.
QByteArray inflateBounded(const char *data, qsizetype size, qsizetype limit)
{
#ifdef GLANCEWAY_HAVE_ZLIB
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    z.avail_in = uInt(size);
    QByteArray out;
    bool complete = false;
    for (;;) {
        if (qsizetype(z.total_out) == out.size()) {
            if (out.size() > limit)
                break;
            out.resize(qMin(qMax<qsizetype>(2 * out.size(), 64 * 1024), limit + 1));
        }
        z.next_out = reinterpret_cast<Bytef *>(out.data() + z.total_out);
        z.avail_out = uInt(out.size() - qsizetype(z.total_out));
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END)
            complete = qsizetype(z.total_out) <= limit;
        if (status != Z_OK)
            break;
    }
    out.resize(qsizetype(z.total_out));
    inflateEnd(&z);
    return complete ? out : QByteArray();
#else
    // Without zlib, Qt's inflater: bounded only by the largest byte array.
    QByteArray wrapped(4, '\0');
    qToBigEndian<quint32>(quint32(limit), wrapped.data());
    wrapped.append(data, size);
    const QByteArray out = qUncompress(wrapped);
    return out.size() <= limit ? out : QByteArray();
#endif
}

// The iCCP chunk's zlib data, inflated.
QByteArray pngIcc(const uchar *bytes, qint64 length)
{
    qint64 pos = 8;
    while (pos + 12 <= length) {
        const quint32 size = readU32(bytes, length, pos, false);
        const uchar *type = bytes + pos + 4;
        if (qint64(size) > length - pos - 12)
            break;
        if (std::memcmp(type, "iCCP", 4) == 0) {
            const char *data = reinterpret_cast<const char *>(bytes + pos + 8);
            const void *nul = std::memchr(data, 0, qMin<size_t>(size, 80));
            if (!nul)
                return {};
            const qsizetype start = static_cast<const char *>(nul) - data + 2; // name, NUL, method
            if (start >= qsizetype(size))
                return {};
            return inflateBounded(data + start, qsizetype(size) - start, maxIccBytes);
        }
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0)
            break;
        pos += 12 + size;
    }
    return {};
}

} // namespace

QByteArray findEmbeddedIccProfile(const uchar *bytes, qint64 length)
{
    if (!bytes || length < 8)
        return {};
    if (bytes[0] == 0xFF && bytes[1] == 0xD8)
        return jpegIcc(bytes, length);
    if (std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0)
        return pngIcc(bytes, length);
    if ((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M')) {
        const QByteArray icc = readIfd0Bytes(bytes, length, iccTiffTag);
        return icc.size() <= maxIccBytes ? icc : QByteArray();
    }
    return {};
}

QString iccProfileDescription(const QByteArray &icc)
{
    if (icc.size() < 132 || std::memcmp(icc.constData() + 36, "acsp", 4) != 0)
        return {};
    const quint32 tags = be32(icc, 128);
    for (quint32 i = 0; i < tags && i < 256; ++i) {
        const qsizetype entry = 132 + qsizetype(i) * 12;
        if (be32(icc, entry) != 0x64657363) // 'desc'
            continue;
        const qsizetype offset = be32(icc, entry + 4);
        const qsizetype size = be32(icc, entry + 8);
        if (offset <= 0 || size < 12 || offset + size > icc.size())
            return {};
        const QByteArray tag = icc.mid(offset, size);
        if (tag.startsWith("desc")) {
            const qsizetype count = be32(tag, 8);
            if (count <= 0 || 12 + count > tag.size())
                return {};
            return QString::fromLatin1(tag.constData() + 12, count).section(QChar(0), 0, 0).trimmed();
        }
        if (tag.startsWith("mluc") && be32(tag, 8) > 0) {
            // The first record's text, UTF-16 big endian.
            const qsizetype textSize = be32(tag, 20);
            const qsizetype textOffset = be32(tag, 24);
            if (textOffset + textSize > tag.size() || textSize % 2 != 0)
                return {};
            QString text(textSize / 2, Qt::Uninitialized);
            for (qsizetype c = 0; c < text.size(); ++c)
                text[c] = QChar(qFromBigEndian<quint16>(tag.constData() + textOffset + 2 * c));
            return text.section(QChar(0), 0, 0).trimmed();
        }
        return {};
    }
    return {};
}

QString colourSpaceName(const QColorSpace &space)
{
    if (!space.isValid())
        return {};
    if (space == QColorSpace(QColorSpace::SRgb))
        return QStringLiteral("sRGB");
    if (space == QColorSpace(QColorSpace::AdobeRgb))
        return QStringLiteral("Adobe RGB (1998)");
    if (space == QColorSpace(QColorSpace::DisplayP3))
        return QStringLiteral("Display P3");
    if (space == QColorSpace(QColorSpace::ProPhotoRgb))
        return QStringLiteral("ProPhoto RGB");
    const QString description = space.description().trimmed();
    return description.isEmpty() ? QStringLiteral("ICC profile") : description;
}

SourceColour sourceColourOf(const QImage &decoded, const uchar *bytes, qint64 length)
{
    SourceColour source;
    if (decoded.colorSpace().isValid()) {
        source.space = decoded.colorSpace();
    } else if (const QByteArray icc = findEmbeddedIccProfile(bytes, length); !icc.isEmpty()) {
        source.space = QColorSpace::fromIccProfile(icc);
        if (!source.space.isValid()) {
            // CMYK, grey or table-based profiles: the pixels are shown as stored.
            source.applied = false;
            source.name = iccProfileDescription(icc);
            if (source.name.isEmpty())
                source.name = QStringLiteral("ICC profile");
            return source;
        }
    } else {
        const ExifSummary exif = readExifSummary(bytes, length);
        const bool adobe = exif.colourSpace == 0xFFFF && exif.interopIndex == QLatin1String("R03");
        source.space = QColorSpace(adobe ? QColorSpace::AdobeRgb : QColorSpace::SRgb);
    }
    source.name = colourSpaceName(source.space);
    return source;
}

SourceColour sourceColourOf(const QImage &decoded, const QString &path)
{
    if (decoded.colorSpace().isValid())
        return sourceColourOf(decoded, nullptr, 0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.size())
        return sourceColourOf(decoded, nullptr, 0);
    const qint64 size = file.size();
    const uchar *bytes = file.map(0, size);
    const SourceColour source = sourceColourOf(decoded, bytes, bytes ? size : 0);
    if (bytes)
        file.unmap(const_cast<uchar *>(bytes));
    return source;
}
