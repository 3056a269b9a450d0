#include "catalog/burstcachefile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

namespace {

// The facts of a photo change meaning when the analysis does: entries of
// another version are analysed afresh.
const QString &analysisVersion()
{
    static const QString version = QStringLiteral("bursts-2");
    return version;
}

QJsonObject toJson(const BurstCacheFile::Entry &entry)
{
    const PhotoCore::BurstFacts &facts = entry.facts;
    QJsonObject o;
    o.insert(QStringLiteral("size"), double(entry.size));
    o.insert(QStringLiteral("modified"), double(entry.modified));
    if (facts.captured.isValid())
        o.insert(QStringLiteral("captured"), facts.captured.toString(Qt::ISODateWithMs));
    if (!qIsNaN(facts.exposureBias))
        o.insert(QStringLiteral("bias"), facts.exposureBias);
    if (facts.hashed)
        o.insert(QStringLiteral("hash"), QString::number(facts.hash, 16));
    o.insert(QStringLiteral("sharpness"), facts.sharpness);
    return o;
}

// False for an entry that cannot describe any file.
bool fromJson(const QJsonObject &o, BurstCacheFile::Entry *entry)
{
    const double size = o.value(QStringLiteral("size")).toDouble(-1);
    const double modified = o.value(QStringLiteral("modified")).toDouble(qQNaN());
    // Whole numbers that a qint64 holds exactly.
    constexpr double exact = 9007199254740992.0;
    if (!(size >= 0 && size <= exact && std::floor(size) == size) || !(std::fabs(modified) <= exact))
        return false;
    entry->size = qint64(size);
    entry->modified = qint64(modified);
    PhotoCore::BurstFacts &facts = entry->facts;
    if (o.contains(QStringLiteral("captured")))
        facts.captured = QDateTime::fromString(o.value(QStringLiteral("captured")).toString(), Qt::ISODateWithMs);
    const double bias = o.value(QStringLiteral("bias")).toDouble(qQNaN());
    facts.exposureBias = std::isfinite(bias) ? bias : qQNaN();
    bool ok = false;
    const quint64 hash = o.value(QStringLiteral("hash")).toString().toULongLong(&ok, 16);
    facts.hashed = ok;
    facts.hash = ok ? hash : 0;
    const double sharpness = o.value(QStringLiteral("sharpness")).toDouble(-1);
    facts.sharpness = std::isfinite(sharpness) ? sharpness : -1;
    return true;
}

} // namespace

QString BurstCacheFile::pathFor(const QString &directory, const QString &folder)
{
    const QByteArray digest =
        QCryptographicHash::hash(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()).toUtf8(),
                                 QCryptographicHash::Sha256);
    return QDir(directory).filePath(QString::fromLatin1(digest.toHex()) + QStringLiteral(".json"));
}

QHash<QString, BurstCacheFile::Entry> BurstCacheFile::read(const QString &path)
{
    QHash<QString, Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxBytes)
        return entries;
    // Read with the limit too: the file may have grown since its size was looked at.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes)
        return entries;
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    if (root.value(QStringLiteral("version")).toString() != analysisVersion())
        return entries;
    const QJsonObject photos = root.value(QStringLiteral("photos")).toObject();
    for (auto it = photos.constBegin(); it != photos.constEnd(); ++it) {
        Entry entry;
        if (!it.key().isEmpty() && it.value().isObject() && fromJson(it.value().toObject(), &entry))
            entries.insert(it.key(), entry);
    }
    return entries;
}

bool BurstCacheFile::write(const QString &path, const QString &folder, const QHash<QString, Entry> &entries)
{
    QJsonObject photos;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        photos.insert(it.key(), toJson(it.value()));
    QJsonObject root;
    root.insert(QStringLiteral("version"), analysisVersion());
    root.insert(QStringLiteral("folder"), QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    root.insert(QStringLiteral("photos"), photos);
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Compact);
    if (bytes.size() > maxBytes) // it would never be read
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
