#include "ui/advancepreferences.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>

namespace {

const QString starsKey = QStringLiteral("rating/autoAdvance");
const QString labelKey = QStringLiteral("rating/advanceOnLabel");
const QString rejectKey = QStringLiteral("rating/advanceOnReject");

} // namespace

AdvancePreferences::AdvancePreferences(QWidget *parent)
    : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(tr("Move to the next photo after:"), this));
    m_stars = new QCheckBox(tr("Stars"), this);
    m_stars->setObjectName(QStringLiteral("advanceAfterRatingBox"));
    m_label = new QCheckBox(tr("Color label"), this);
    m_label->setObjectName(QStringLiteral("advanceAfterLabelBox"));
    m_reject = new QCheckBox(tr("Rejection"), this);
    m_reject->setObjectName(QStringLiteral("advanceAfterRejectBox"));
    for (QCheckBox *box : {m_stars, m_label, m_reject})
        row->addWidget(box);
    row->addStretch(1);

    const MarkEdit::Fields marks = advancingMarks(QSettings());
    m_stars->setChecked(marks.testFlag(MarkEdit::RatingField));
    m_label->setChecked(marks.testFlag(MarkEdit::LabelField));
    m_reject->setChecked(marks.testFlag(MarkEdit::RejectedField));
}

void AdvancePreferences::save(QSettings &settings) const
{
    settings.setValue(starsKey, m_stars->isChecked());
    settings.setValue(labelKey, m_label->isChecked());
    settings.setValue(rejectKey, m_reject->isChecked());
}

MarkEdit::Fields AdvancePreferences::advancingMarks(const QSettings &settings)
{
    const bool stars = settings.value(starsKey, true).toBool();
    MarkEdit::Fields marks;
    marks.setFlag(MarkEdit::RatingField, stars);
    // Labels once moved on with stars; now they stay unless asked to. The
    // rejection follows what the one switch for all said, until set apart.
    marks.setFlag(MarkEdit::LabelField, settings.value(labelKey, false).toBool());
    marks.setFlag(MarkEdit::RejectedField, settings.value(rejectKey, stars).toBool());
    return marks;
}
