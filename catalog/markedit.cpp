#include "catalog/markedit.h"

MarkEdit MarkEdit::make(Kind kind, int value, const QString &label)
{
    MarkEdit edit;
    edit.kind = kind;
    edit.value = value;
    edit.label = label;
    return edit;
}

MarkEdit MarkEdit::rating(int stars)
{
    return make(Rating, PhotoCore::clampRating(stars));
}

MarkEdit MarkEdit::colorLabel(const QString &label)
{
    return make(Label, 0, label);
}

MarkEdit MarkEdit::reject()
{
    return make(Reject);
}

MarkEdit MarkEdit::clearRejection()
{
    return make(ClearRejection);
}

MarkEdit MarkEdit::clearLabel()
{
    return make(ClearLabel);
}

MarkEdit MarkEdit::clearAll()
{
    return make(ClearAll);
}

MarkEdit MarkEdit::rotation(int degrees)
{
    return make(Rotation, PhotoCore::normalizeRotation(degrees));
}

MarkEdit MarkEdit::restore(const PhotoCore::Metadata &record, Fields fields)
{
    MarkEdit edit = make(Restore);
    edit.record = record;
    edit.fields = fields;
    return edit;
}

MarkEdit::Fields MarkEdit::differingFields(const PhotoCore::Metadata &a, const PhotoCore::Metadata &b)
{
    Fields fields;
    fields.setFlag(RatingField, a.rating != b.rating);
    fields.setFlag(LabelField, a.label != b.label);
    fields.setFlag(RejectedField, a.rejected != b.rejected);
    fields.setFlag(RotationField, a.rotation != b.rotation);
    return fields;
}

PhotoCore::Metadata MarkEdit::appliedTo(PhotoCore::Metadata base) const
{
    switch (kind) {
    case Rating:
        base.rating = value;
        base.rejected = false;
        break;
    case Label:
        base.label = label;
        break;
    case Reject:
        base.rating = 0;
        base.rejected = true;
        break;
    case ClearRejection:
        base.rejected = false;
        break;
    case ClearLabel:
        base.label.clear();
        break;
    case ClearAll:
        base.rating = 0;
        base.label.clear();
        base.rejected = false;
        break;
    case Rotation:
        base.rotation = value;
        break;
    case Restore:
        if (fields.testFlag(RatingField))
            base.rating = record.rating;
        if (fields.testFlag(LabelField))
            base.label = record.label;
        if (fields.testFlag(RejectedField))
            base.rejected = record.rejected;
        if (fields.testFlag(RotationField))
            base.rotation = record.rotation;
        break;
    }
    return base;
}

QString MarkEdit::description() const
{
    switch (kind) {
    case Rating:
        if (value == 0)
            return tr("no stars");
        return value == 1 ? tr("1 star") : tr("%1 stars").arg(value);
    case Label:
        return tr("label %1").arg(QCoreApplication::translate("ColorLabel", label.toUtf8().constData()));
    case Reject:
        return tr("rejection");
    case ClearRejection:
        return tr("rejection cleared");
    case ClearLabel:
        return tr("label cleared");
    case ClearAll:
        return tr("all marks cleared");
    case Rotation:
        return tr("rotation %1°").arg(value);
    case Restore:
        break;
    }
    return tr("marks");
}
