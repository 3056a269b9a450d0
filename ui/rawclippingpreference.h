#pragma once

#include <QCheckBox>

class QSettings;

// The preference of where a RAW file's clipping warning comes from: its raw
// data where that has been rendered anyway, or the shown pixels.
class RawClippingPreference : public QCheckBox
{
    Q_OBJECT
public:
    explicit RawClippingPreference(QWidget *parent = nullptr);

    void save(QSettings &settings) const;
};
