#include "catalog/markedit.h"

MarkEdit MarkEdit::rating(int stars)
{
    MarkEdit edit;
    edit.kind = Rating;
    edit.value = PhotoCore::clampRating(stars);
    return edit;
}

MarkEdit MarkEdit::colorLabel(const QString &label)
{
    MarkEdit edit;
    edit.kind = Label;
    edit.label = label;
    return edit;
}

MarkEdit MarkEdit::reject()
{
    MarkEdit edit;
    edit.kind = Reject;
    return edit;
}

MarkEdit MarkEdit::clearRejection()
{
    MarkEdit edit;
    edit.kind = ClearRejection;
    return edit;
}

MarkEdit MarkEdit::clearLabel()
{
    MarkEdit edit;
    edit.kind = ClearLabel;
    return edit;
}

MarkEdit MarkEdit::clearAll()
{
    MarkEdit edit;
    edit.kind = ClearAll;
    return edit;
}

MarkEdit MarkEdit::rotation(int degrees)
{
    MarkEdit edit;
    edit.kind = Rotation;
    edit.value = PhotoCore::normalizeRotation(degrees);
    return edit;
}

MarkEdit MarkEdit::restore(const PhotoCore::Metadata &record)
{
    MarkEdit edit;
    edit.kind = Restore;
    edit.record = record;
    return edit;
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
        return record;
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
