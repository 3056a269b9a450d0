#pragma once

#include "core/metadata.h"

#include <QCoreApplication>
#include <QFlags>
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
        Restore,        // the `fields` of `record`, as undo and redo write them
    };

    // The fields of a marks record, one by one.
    enum Field {
        RatingField = 0x1,
        LabelField = 0x2,
        RejectedField = 0x4,
        RotationField = 0x8,
    };
    Q_DECLARE_FLAGS(Fields, Field)

    Kind kind = Restore;
    int value = 0;
    QString label;
    PhotoCore::Metadata record;
    Fields fields;

    static MarkEdit rating(int stars);
    static MarkEdit colorLabel(const QString &label);
    static MarkEdit reject();
    static MarkEdit clearRejection();
    static MarkEdit clearLabel();
    static MarkEdit clearAll();
    static MarkEdit rotation(int degrees);
    // Writes back `fields` of `record` and leaves every other field as it is
    // on disk, so that undo never takes back what another program changed in
    // the fields its step did not touch.
    static MarkEdit restore(const PhotoCore::Metadata &record, Fields fields);

    // The fields in which `a` and `b` differ: what a change from one to the
    // other changed.
    static Fields differingFields(const PhotoCore::Metadata &a, const PhotoCore::Metadata &b);

    // `base` with this edit applied.
    PhotoCore::Metadata appliedTo(PhotoCore::Metadata base) const;

    // What the edit does, for status messages: "3 stars", "label Red".
    QString description() const;

private:
    static MarkEdit make(Kind kind, int value = 0, const QString &label = QString());
};

Q_DECLARE_OPERATORS_FOR_FLAGS(MarkEdit::Fields)
