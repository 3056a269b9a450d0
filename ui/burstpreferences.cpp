#include "ui/burstpreferences.h"

#include "core/burstrules.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSettings>

BurstPreferences::BurstPreferences(QWidget *parent)
    : QWidget(parent)
{
    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    const QSettings settings;

    m_gap = new QDoubleSpinBox(this);
    m_gap->setObjectName(QStringLiteral("groupGapSpin"));
    m_gap->setRange(0, 60);
    m_gap->setDecimals(1);
    m_gap->setSingleStep(0.5);
    m_gap->setSuffix(tr(" s"));
    m_gap->setSpecialValueText(tr("Off"));
    m_gap->setToolTip(tr("Consecutive photos taken at most this far apart that look alike form a group "
                         "(a burst or an exposure bracket). Off: no groups."));
    m_gap->setValue(settings.value(QStringLiteral("groups/gapSeconds"), PhotoCore::BurstRules::defaultGapSeconds)
                        .toDouble());

    m_pick = new QComboBox(this);
    m_pick->setObjectName(QStringLiteral("groupPickCombo"));
    m_pick->addItem(tr("None: it keeps its marks"), 0);
    for (int stars = 1; stars <= 5; ++stars)
        m_pick->addItem(tr("%n star(s)", nullptr, stars), stars);
    m_pick->setCurrentIndex(qBound(0, settings.value(QStringLiteral("groups/pickRating"), PhotoCore::BurstRules::defaultPickRating).toInt(), 5));

    form->addRow(tr("Group photos taken within:"), m_gap);
    form->addRow(tr("Rating for the best of a group:"), m_pick);
}

void BurstPreferences::save(QSettings &settings) const
{
    settings.setValue(QStringLiteral("groups/gapSeconds"), m_gap->value());
    settings.setValue(QStringLiteral("groups/pickRating"), m_pick->currentData().toInt());
}
