#pragma once

#include <QCoreApplication>
#include <QString>

// The words of copy and move: what the menu entry, the folder dialog and the
// question before a move say about the photos that go.
class TransferTexts
{
    Q_DECLARE_TR_FUNCTIONS(TransferTexts)

public:
    // "3 stars or more", "not red label", …; empty for the filter that shows all.
    static QString filterDescription(const QString &filterId);

    // "Copy 9 Shown Photos To…", "Move 3 Selected Photos To…"; the plain entry
    // when there is nothing to take.
    static QString menuText(bool move, int photos, bool selected);

    // "9 photos (3 stars or more) with 9 XMP sidecars", "3 selected photos".
    static QString summary(int photos, bool selected, const QString &filterId, int sidecars);

    // "Move 5 photos and 2 XMP sidecars to /x? They leave this folder."
    static QString moveQuestion(int photos, int sidecars, const QString &target);

private:
    static QString photosText(int photos, bool selected);
};
