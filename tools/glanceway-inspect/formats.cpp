#include "command.h"

#include "core/folderlisting.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>

namespace {

// The file name extensions a folder listing takes as photos, lower case and
// sorted, as one line: {"extensions":["arw","bmp",...]}. What the desktop
// entry claims to open is checked against it.
int formats(const QStringList &args)
{
    if (!args.isEmpty()) {
        std::fprintf(stderr, "formats: takes no arguments\n");
        return 2;
    }
    QStringList extensions(PhotoCore::supportedExtensions().cbegin(), PhotoCore::supportedExtensions().cend());
    std::sort(extensions.begin(), extensions.end());
    const QJsonArray list = QJsonArray::fromStringList(extensions);
    printLine("{\"extensions\":" + QJsonDocument(list).toJson(QJsonDocument::Compact) + '}');
    return 0;
}

const InspectCommand formatsCommand{"formats", "", formats};

} // namespace
