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
const QByteArray formatTag("glanceway-import/2\t");
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
    m_recorded.squeeze();
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

QByteArray IngestLog::escapedKeyOf(const IngestItem &item, const QString &destination)
{
    QStringList fields = keyFieldsOf(item, destination);
    for (QString &field : fields)
        field = escaped(field);
    return fields.join(QLatin1Char('\t')).toUtf8();
}

void IngestLog::read(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    if (!line.startsWith(formatTag)) {
        // The earlier format: the four key fields as built, a tab in the destination unescaped.
        if (line.count('\t') >= keyFields - 1) {
            m_earlier.insert(line);
            ++m_count;
        }
        return;
    }
    qsizetype end = formatTag.size() - 1;
    for (int i = 0; i < keyFields && end >= 0; ++i)
        end = line.indexOf('\t', end + 1);
    if (end < 0)
        return;
    m_recorded[line.mid(formatTag.size(), end - formatTag.size())].append(line.mid(end + 1));
    ++m_count;
}

bool IngestLog::provedBy(const QByteArray &files, const IngestItem &item) const
{
    const QString text = QString::fromUtf8(files);
    const QList<QStringView> fields = QStringView(text).split(QLatin1Char('\t'));
    bool ok = false;
    const qsizetype count = fields.first().toInt(&ok);
    if (!ok || count != item.files.size() || fields.size() != 1 + count * fileFields)
        return false;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype at = 1 + i * fileFields;
        CopiedFile file;
        file.size = fields.at(at + 1).toLongLong(&ok);
        if (!ok || file.size < 0 || !unescaped(fields.at(at), &file.name) || !unescaped(fields.at(at + 2), &file.copy)
            || !unescaped(fields.at(at + 3), &file.backup) || file.copy.isEmpty())
            return false;
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
    // A line of the earlier format names the photo's first file only.
    if (item.files.size() == 1 && m_earlier.contains(keyFieldsOf(item, destination).join(QLatin1Char('\t')).toUtf8()))
        return true;
    const auto found = m_recorded.constFind(escapedKeyOf(item, destination));
    if (found == m_recorded.cend())
        return false;
    for (const QByteArray &files : *found) {
        if (provedBy(files, item))
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
    QStringList files{QString::number(item.files.size())};
    for (qsizetype i = 0; i < item.files.size(); ++i)
        files << escaped(QFileInfo(item.files.at(i)).fileName()) << QString::number(item.sizes.value(i))
              << escaped(copies.at(i)) << escaped(backups.value(i));
    const QByteArray key = escapedKeyOf(item, destination);
    const QByteArray rest = files.join(QLatin1Char('\t')).toUtf8();

    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    // A line torn by an earlier crash is ended first, so that it cannot swallow this one.
    QByteArray line = formatTag + key + '\t' + rest + '\n';
    char last = '\n';
    if (file.size() > 0 && (!file.seek(file.size() - 1) || !file.getChar(&last)))
        return false;
    if (last != '\n')
        line.prepend('\n');
    if (!file.seek(file.size()) || file.write(line) != line.size() || !file.flush())
        return false;
    m_recorded[key].append(rest);
    ++m_count;
    return true;
}

} // namespace PhotoCore
