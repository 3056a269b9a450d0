#include "ui/rawclippingpreference.h"

#include "imaging/rawrender.h"

#include <QSettings>

RawClippingPreference::RawClippingPreference(QWidget *parent)
    : QCheckBox(tr("Clipping from RAW data when available"), parent)
{
    setObjectName(QStringLiteral("rawClippingBox"));
    setToolTip(tr("When a RAW file is shown from its sensor data, the clipping warning marks what the sensor "
                  "recorded at its white level, which the embedded JPEG may hide."));
    setChecked(rawClippingPreferred());
}

void RawClippingPreference::save(QSettings &settings) const
{
    settings.setValue(QLatin1String(rawClippingSetting), isChecked());
}
