#pragma once

#include <QWidget>

class QComboBox;
class QDoubleSpinBox;
class QSettings;

// The preferences of bursts, a part of the preferences dialog: the longest
// gap between frames of one group ("groups/gapSeconds", 0 groups nothing)
// and the stars the frame kept from a group gets ("groups/pickRating", 0:
// its own marks stay).
class BurstPreferences : public QWidget
{
    Q_OBJECT
public:
    explicit BurstPreferences(QWidget *parent = nullptr);

    void save(QSettings &settings) const;

private:
    QDoubleSpinBox *m_gap = nullptr;
    QComboBox *m_pick = nullptr;
};
