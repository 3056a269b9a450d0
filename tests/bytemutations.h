#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

// One random change of a file's bytes, for the fuzz-style tests of readers
// of our own files: flipped bits, a cut, inserted pieces of the format
// (`snippets`), a removed span or a span repeated elsewhere.
inline QByteArray mutatedBytes(QByteArray bytes, QRandomGenerator &random, const QList<QByteArray> &snippets)
{
    const auto position = [&] { return int(random.bounded(quint32(bytes.size() + 1))); };
    switch (random.bounded(5u)) {
    case 0:
        for (int i = int(random.bounded(1u, 5u)); i > 0 && !bytes.isEmpty(); --i) {
            const int at = int(random.bounded(quint32(bytes.size())));
            bytes[at] = char(bytes.at(at) ^ (1 << random.bounded(8u)));
        }
        break;
    case 1:
        bytes.truncate(position());
        break;
    case 2:
        for (int i = int(random.bounded(1u, 4u)); i > 0 && !snippets.isEmpty(); --i)
            bytes.insert(position(), snippets.at(int(random.bounded(quint32(snippets.size())))));
        break;
    case 3:
        bytes.remove(position(), int(random.bounded(1u, 64u)));
        break;
    default: {
        const QByteArray span = bytes.mid(position(), int(random.bounded(1u, 200u)));
        bytes.insert(position(), span);
        break;
    }
    }
    return bytes;
}
