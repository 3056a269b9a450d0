#pragma once

#include "core/metadata.h"

#include <QCoreApplication>
#include <QString>

// One change of marks as the user asked for it ("3 stars", "reject"). It is
// applied to whatever the sidecar holds when the write runs, so that edits
// queued one after another for a sidecar build on each other.
struct MarkEdit
{
    Q_DECLARE_TR_FUNCTIONS(MarkEdit)

public:
    enum Kind {
        Rating,         // `value` stars, clears a rejection
        Label,          // colour label `label`
        Reject,         // rejected, no stars
        ClearRejection,
        ClearLabel,
        ClearAll,       // no stars, label or rejection; rotation stays
        Rotation,       // `value` degrees of extra display rotation
        Restore,        // the whole `record`, as undo and redo write it
    };

    Kind kind = Restore;
    int value = 0;
    QString label;
    PhotoCore::Metadata record;

    static MarkEdit rating(int stars);
    static MarkEdit colorLabel(const QString &label);
    static MarkEdit reject();
    static MarkEdit clearRejection();
    static MarkEdit clearLabel();
    static MarkEdit clearAll();
    static MarkEdit rotation(int degrees);
    static MarkEdit restore(const PhotoCore::Metadata &record);

    // `base` with this edit applied.
    PhotoCore::Metadata appliedTo(PhotoCore::Metadata base) const;

    // What the edit does, for status messages: "3 stars", "label Red".
    QString description() const;

private:
    static MarkEdit make(Kind kind, int value = 0, const QString &label = QString());
};
