#include "core/ingestlog.h"

#include "core/phototransfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace PhotoCore {

namespace {

// The first field of a line of this format; the first field of the earlier
// format is a file name, which never holds a "/".
const QLatin1String formatTag("glanceway-import/2");
constexpr int keyFields = 4;  // name, size, capture time, destination
constexpr int fileFields = 4; // name, size, copy, backup

// Names from a card hold no tabs, but folders chosen by the user may.
QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '\t': out += QLatin1String("\\t"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

bool unescaped(QStringView text, QString *out)
{
    out->clear();
    out->reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\\')) {
            out->append(text.at(i));
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text.at(i).unicode()) {
        case '\\': out->append(QLatin1Char('\\')); break;
        case 't': out->append(QLatin1Char('\t')); break;
        case 'n': out->append(QLatin1Char('\n')); break;
        case 'r': out->append(QLatin1Char('\r')); break;
        default: return false;
        }
    }
    return true;
}

bool isSidecar(const QString &name)
{
    return name.endsWith(QLatin1String(".xmp"), Qt::CaseInsensitive);
}

} // namespace

IngestLog::IngestLog(const QString &path)
    : m_path(path)
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    // A line counts once its end was written: a torn last line is no entry.
    qsizetype start = 0;
    for (qsizetype end = bytes.indexOf('\n'); end >= 0; start = end + 1, end = bytes.indexOf('\n', start))
        read(bytes.mid(start, end - start));
}

QString IngestLog::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/import-log.tsv");
}

QStringList IngestLog::keyFieldsOf(const IngestItem &item, const QString &destination)
{
    // The time to the millisecond as recorded.
    return QStringList{QFileInfo(item.files.first()).fileName(), QString::number(item.sizes.value(0)),
                       item.captured.toString(Qt::ISODateWithMs), resolvedFolder(destination)};
}

QString IngestLog::keyOf(const IngestItem &item, const QString &destination)
{
    // Only the destination, the last field, may hold a tab: the joined fields stay unambiguous.
    return keyFieldsOf(item, destination).join(QLatin1Char('\t'));
}

void IngestLog::read(const QByteArray &bytes)
{
    QString line = QString::fromUtf8(bytes);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    const QList<QStringView> fields = QStringView(line).split(QLatin1Char('\t'));
    if (fields.size() >= keyFields && fields.first() != formatTag) {
        // The earlier format: the key alone, written as it is built, a tab in the destination unescaped.
        m_entries[line].append(Entry{});
        ++m_count;
        return;
    }
    if (fields.size() < 1 + keyFields + 1 || fields.first() != formatTag)
        return;
    bool ok = false;
    const qsizetype count = fields.at(1 + keyFields).toInt(&ok);
    if (!ok || count < 1 || fields.size() != 1 + keyFields + 1 + count * fileFields)
        return;
    QStringList key;
    QString value;
    for (int i = 1; i <= keyFields; ++i) {
        if (!unescaped(fields.at(i), &value))
            return;
        key.append(value);
    }
    Entry entry;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype at = 1 + keyFields + 1 + i * fileFields;
        CopiedFile file;
        file.size = fields.at(at + 1).toLongLong(&ok);
        if (!ok || file.size < 0 || !unescaped(fields.at(at), &file.name) || !unescaped(fields.at(at + 2), &file.copy)
            || !unescaped(fields.at(at + 3), &file.backup) || file.name.isEmpty() || file.copy.isEmpty())
            return;
        entry.files.append(file);
    }
    m_entries[key.join(QLatin1Char('\t'))].append(entry);
    ++m_count;
}

bool IngestLog::provedBy(const Entry &entry, const IngestItem &item) const
{
    if (entry.files.isEmpty())
        return item.files.size() == 1; // the earlier format: the key names the one file
    if (entry.files.size() != item.files.size())
        return false;
    for (qsizetype i = 0; i < entry.files.size(); ++i) {
        const CopiedFile &file = entry.files.at(i);
        if (file.name != QFileInfo(item.files.at(i)).fileName() || file.size != item.sizes.value(i, -1))
            return false;
        if (isSidecar(file.name))
            continue;
        for (const QString &copy : {file.copy, file.backup}) {
            if (copy.isEmpty())
                continue;
            const QFileInfo there(copy);
            if (there.exists() && there.size() != file.size)
                return false;
        }
    }
    return true;
}

bool IngestLog::contains(const IngestItem &item, const QString &destination) const
{
    if (item.files.isEmpty())
        return false;
    const auto found = m_entries.constFind(keyOf(item, destination));
    if (found == m_entries.cend())
        return false;
    for (const Entry &entry : *found) {
        if (provedBy(entry, item))
            return true;
    }
    return false;
}

bool IngestLog::add(const IngestItem &item, const QString &destination, const QStringList &copies,
                    const QStringList &backups)
{
    if (item.files.isEmpty() || copies.size() != item.files.size()
        || (!backups.isEmpty() && backups.size() != item.files.size()))
        return false;
    const QStringList key = keyFieldsOf(item, destination);
    Entry entry;
    QStringList fields{formatTag};
    for (const QString &field : key)
        fields.append(escaped(field));
    fields.append(QString::number(item.files.size()));
    for (qsizetype i = 0; i < item.files.size(); ++i) {
        const CopiedFile file{QFileInfo(item.files.at(i)).fileName(), item.sizes.value(i), copies.at(i),
                              backups.value(i)};
        fields << escaped(file.name) << QString::number(file.size) << escaped(file.copy) << escaped(file.backup);
        entry.files.append(file);
    }

    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    // A line torn by an earlier crash is ended first, so that it cannot swallow this one.
    QByteArray line = fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    char last = '\n';
    if (file.size() > 0 && (!file.seek(file.size() - 1) || !file.getChar(&last)))
        return false;
    if (last != '\n')
        line.prepend('\n');
    if (!file.seek(file.size()) || file.write(line) != line.size() || !file.flush())
        return false;
    m_entries[key.join(QLatin1Char('\t'))].append(entry);
    ++m_count;
    return true;
}

} // namespace PhotoCore
