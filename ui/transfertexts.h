#pragma once

#include <QString>

// The words of copy and move: what the menu entry, the folder dialog and the
// question before a move say about the photos that go.
namespace TransferTexts {

// "3 stars or more", "not red label", …; empty for the filter that shows all.
QString filterDescription(const QString &filterId);

// "Copy 9 Shown Photos To…", "Move 3 Selected Photos To…"; the plain entry
// when there is nothing to take.
QString menuText(bool move, int photos, bool selected);

// "9 photos (3 stars or more) with 9 XMP sidecars", "3 selected photos".
QString summary(int photos, bool selected, const QString &filterId, int sidecars);

// "Move 5 photos and 2 XMP sidecars to /x? They leave this folder."
QString moveQuestion(int photos, int sidecars, const QString &target);

} // namespace TransferTexts
