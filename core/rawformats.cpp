#include "core/rawformats.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace PhotoCore {

namespace {

// Sorted (by byte), lower case; the longest is maxLength characters.
constexpr std::array<const char *, 31> rawExtensions{
    "3fr", // Hasselblad, Imacon
    "arw", // Sony
    "cap", // Phase One
    "cr2", // Canon
    "cr3", // Canon
    "crw", // Canon, CIFF
    "dcr", // Kodak
    "dcs", // Kodak
    "dng", // Adobe DNG, from many makers
    "erf", // Epson
    "fff", // Hasselblad, Imacon
    "iiq", // Phase One
    "k25", // Kodak
    "kdc", // Kodak
    "mdc", // Minolta RD175
    "mef", // Mamiya
    "mos", // Leaf
    "mrw", // Minolta
    "nef", // Nikon
    "nrw", // Nikon Coolpix
    "orf", // Olympus
    "ori", // Olympus, high-resolution shot
    "pef", // Pentax
    "ptx", // Pentax
    "raf", // Fujifilm
    "raw", // Panasonic, Leica
    "rw2", // Panasonic
    "rwl", // Leica
    "sr2", // Sony
    "srf", // Sony
    "srw", // Samsung
};
constexpr qsizetype maxLength = 3;

} // namespace

const QStringList &RawFormats::extensions()
{
    static const QStringList list = [] {
        QStringList names;
        for (const char *name : rawExtensions)
            names.append(QString::fromLatin1(name));
        return names;
    }();
    return list;
}

bool RawFormats::contains(QStringView suffix)
{
    // Asked for every file of every listing and pairing: no allocation.
    if (suffix.isEmpty() || suffix.size() > maxLength)
        return false;
    char key[maxLength + 1] = {};
    for (qsizetype i = 0; i < suffix.size(); ++i) {
        const char16_t c = suffix.at(i).unicode();
        if (c > 0x7f)
            return false;
        key[i] = char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    return std::binary_search(rawExtensions.begin(), rawExtensions.end(), key,
                              [](const char *a, const char *b) { return std::strcmp(a, b) < 0; });
}

} // namespace PhotoCore
