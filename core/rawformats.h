#pragma once

#include <QStringList>
#include <QStringView>

namespace PhotoCore {

// The one list of camera RAW formats the program shows: the folder listing,
// RAW+JPEG pairing, imports and glanceway-inspect's "formats" take it from
// here; the desktop entry and the Windows installer are checked against it.
// Every extension names files the linked RAW library opens (checked against
// its camera list and build capabilities); formats it needs optional parts
// for that Debian's build lacks (Foveon X3F, GoPro GPR) are left out.
class RawFormats
{
public:
    // Lower-case extensions without the dot, sorted.
    static const QStringList &extensions();
    // `suffix` (the extension alone, any letter case) is one of extensions().
    static bool contains(QStringView suffix);
};

} // namespace PhotoCore
