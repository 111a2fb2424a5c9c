#include "display/CAnaFreqDlg.h"

#include "display/SettingsFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QSpinBox>

CAnaFreqDlg::CAnaFreqDlg(const VesAnaParms& parms, std::int64_t rate, bool defaults, QWidget* parent)
    : CAnaSettingsDlg(QStringLiteral("Zero Crossing Analysis settings"), parms, rate, defaults,
                      {static_cast<int>(SettingsMsg::FreqClose), static_cast<int>(SettingsMsg::FreqApply),
                       static_cast<int>(SettingsMsg::FreqOk)},
                      parent)
{
    m_min = new CNumEdit(NumEditFormat{0, 0, 100000000, false, false}, this);
    m_min->setAccessibleName(QStringLiteral("Min frequency"));
    m_max = new CNumEdit(NumEditFormat{0, 1, 100000000, false, false}, this);
    m_max->setAccessibleName(QStringLiteral("Max frequency"));
    m_min->setEnabled(!defaults);
    m_max->setEnabled(!defaults);
    form()->addRow(QStringLiteral("Min and max frequency "), settingsfields::row(m_min, m_max));
    m_samples = combo({}, QStringLiteral("Number of samples in zero crossing analysis"));
    for (int n : {16000, 8000, 4000, 2000, 1000, 500, 250, 100, 50, 25})
        m_samples->addItem(QStringLiteral("%1 samples").arg(n), n);
    m_samples->addItem(QStringLiteral("Automatic"), 1);
    form()->addRow(QStringLiteral("Number of samples in zero crossing analysis"), m_samples);
    m_threshold = new CNumEdit(NumEditFormat{0, 0, 99, false, false}, this);
    m_threshold->setAccessibleName(QStringLiteral("Detection threshold %"));
    form()->addRow(QStringLiteral("Detection threshold %"), m_threshold);
    m_left = checkBox(QStringLiteral("Left Channel"));
    m_right = checkBox(QStringLiteral("Right Channel"));
    form()->addRow(QString(), settingsfields::row(m_left, m_right));
    m_lines = checkBox(QStringLiteral("Line between values"));
    form()->addRow(QString(), m_lines);
    m_freqGrid = addFrequencyGridRow();
    m_timeGrid = addTimeGridRow(QStringLiteral("%1"));
    m_fontSize = addFontSizeRow();
    finishLayout();
}

void CAnaFreqDlg::load(const VesAnaParms& p)
{
    plotSize()->load(p.m_plotSize);
    if (!m_defaults) {
        m_min->setValue(std::max<std::int64_t>(p.m_spectMin, 0));
        m_max->setValue(p.m_spectMax < 0 ? m_rate / 2 : p.m_spectMax);
    }
    selectData(m_samples, p.m_freqSize, QStringLiteral("%1 samples").arg(p.m_freqSize));
    m_threshold->setValue(p.m_freqThreshold);
    m_left->setChecked(p.m_leftChan);
    m_right->setChecked(p.m_rightChan);
    m_lines->setChecked(p.m_freqPlotType != 0);
    selectData(m_freqGrid, p.m_freqGridY, QStringLiteral("%1 / tick mark").arg(p.m_freqGridY));
    selectData(m_timeGrid, p.m_freqGridX, QString::number(p.m_freqGridX));
    m_fontSize->setValue(p.m_fontSize);
}

bool CAnaFreqDlg::store(VesAnaParms& p, bool messages)
{
    std::int64_t plot = 0, lo = p.m_spectMin, hi = p.m_spectMax, thr = 0;
    if (!settingsfields::read(plotSize()->edit(), plot, 0, messages))
        return false;
    if (!m_defaults &&
        (!settingsfields::read(m_min, lo, 0, messages) || !settingsfields::read(m_max, hi, 0, messages)))
        return false;
    if (!settingsfields::read(m_threshold, thr, 0, messages))
        return false;
    p.m_plotSize = plot;
    p.m_spectMin = lo;
    p.m_spectMax = hi;
    p.m_freqSize = m_samples->currentData().toInt();
    p.m_freqThreshold = static_cast<std::int32_t>(thr);
    p.m_leftChan = m_left->isChecked();
    p.m_rightChan = m_right->isChecked();
    p.m_freqPlotType = m_lines->isChecked() ? 1 : 0;
    p.m_freqGridY = m_freqGrid->currentData().toInt();
    p.m_freqGridX = m_timeGrid->currentData().toInt();
    p.m_fontSize = m_fontSize->value();
    return true;
}

std::string CAnaFreqDlg::check(const VesAnaParms& p) const
{
    return checkFreqSettings(p, m_rate, !m_defaults);
}
