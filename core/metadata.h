#pragma once

#include <QHash>
#include <QMetaType>
#include <QString>
#include <QStringList>

namespace PhotoCore {

// The marks of one photo. A photo without a readable sidecar has the default
// record. `rating` is always 0..5 (a rejection is stored separately, never as
// a negative rating) and `rotation` always 0..359.
struct Metadata
{
    int rating = 0;
    QString label;
    bool rejected = false;
    int rotation = 0;

    friend bool operator==(const Metadata &a, const Metadata &b)
    {
        return a.rating == b.rating && a.label == b.label && a.rejected == b.rejected
               && a.rotation == b.rotation;
    }
    friend bool operator!=(const Metadata &a, const Metadata &b) { return !(a == b); }
};

// `value` clamped into 0..5.
int clampRating(int value);

// Degrees modulo 360, made non-negative: -90 gives 270, 450 gives 90.
int normalizeRotation(int degrees);

// Rejected, at least one star or a colour label. Rotation alone does not count.
bool isReviewed(const Metadata &record);

enum class FilterKind {
    All,
    ZeroStars,
    Unreviewed, // stored as "unrated"
    Rejected,
    Rating1,
    Rating2,
    Rating3,
    Rating4,
    Rating5,
    LabelRed,
    LabelYellow,
    LabelGreen,
    LabelBlue,
    AtLeast1,
    AtLeast2,
    AtLeast3,
    AtLeast4,
    AtLeast5,
};

struct ParsedFilter
{
    FilterKind kind = FilterKind::All;
    bool exclude = false;
};

// Parses a filter identifier such as "rating:3" (exactly three stars),
// "rating>=:3" (three stars or more), "color:Red" or "not:rejected". The
// unreviewed photos are "unrated", the identifier that settings and saved
// filters have always held.
// Unrecognised identifiers (and star counts outside 1..5) give All.
ParsedFilter parseFilter(const QString &filterId);

// Whether a photo with `record` is shown under `filterId`. The kind All matches
// every photo, also when excluded ("not:all").
bool matchesFilter(const QString &filterId, const Metadata &record);

struct Summary
{
    int total = 0;
    int reviewed = 0;
    int rejected = 0;
    int open = 0;

    friend bool operator==(const Summary &a, const Summary &b)
    {
        return a.total == b.total && a.reviewed == b.reviewed && a.rejected == b.rejected
               && a.open == b.open;
    }
};

// Counts over the whole folder list; paths without a record count with the
// default record. Rejected photos count as reviewed too.
Summary summarize(const QStringList &files, const QHash<QString, Metadata> &metadataByPath);

// An ordered list of paths with a current position that stops at both ends.
class NavigationList
{
public:
    // Replaces the list; the current index becomes 0, or -1 for an empty list.
    void setFiles(const QStringList &files);
    const QStringList &files() const { return m_files; }

    int count() const { return int(m_files.size()); }
    bool isEmpty() const { return m_files.isEmpty(); }
    int currentIndex() const { return m_currentIndex; }

    // The path at `index`, or an empty string outside 0..count-1.
    QString at(int index) const;
    // The current path, or an empty string when there is none.
    QString current() const;

    // Move by one without wrapping around; both return current().
    QString next();
    QString previous();

    // Makes the first entry equal to `path` (case-sensitive) current.
    bool select(const QString &path);
    // Makes `index` current when it is inside 0..count-1.
    bool setCurrentIndex(int index);

private:
    QStringList m_files;
    int m_currentIndex = -1;
};

} // namespace PhotoCore

Q_DECLARE_METATYPE(PhotoCore::Metadata)
