#pragma once

#include "catalog/markedit.h"

#include <QWidget>

class QCheckBox;
class QSettings;

// Which marks of the photo on screen move on to the next photo, a part of
// the preferences dialog: stars ("rating/autoAdvance", on by default), the
// colour label ("rating/advanceOnLabel", off) and the rejection
// ("rating/advanceOnReject", on). Stars kept the key all marks once shared,
// so a user who had turned advancing off finds every kind off.
class AdvancePreferences : public QWidget
{
    Q_OBJECT
public:
    explicit AdvancePreferences(QWidget *parent = nullptr);

    void save(QSettings &settings) const;

    // The kinds of marks that move on, as stored.
    static MarkEdit::Fields advancingMarks(const QSettings &settings);

private:
    QCheckBox *m_stars = nullptr;
    QCheckBox *m_label = nullptr;
    QCheckBox *m_reject = nullptr;
};
