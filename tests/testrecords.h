#pragma once

#include "core/metadata.h"

// The marks record of a photo in one expression, for test tables.
inline PhotoCore::Metadata record(int rating, const QString &label = QString(), bool rejected = false, int rotation = 0)
{
    PhotoCore::Metadata m;
    m.rating = rating;
    m.label = label;
    m.rejected = rejected;
    m.rotation = rotation;
    return m;
}
