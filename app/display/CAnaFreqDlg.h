// Zero-crossing analysis settings: frequency range (the view's own dialog
// only), samples per analysis, detection threshold, channels, line between
// values, grids and font size.
#pragma once

#include "display/CAnaSettingsDlg.h"

class QSpinBox;

class CAnaFreqDlg : public CAnaSettingsDlg {
    Q_OBJECT
public:
    CAnaFreqDlg(const VesAnaParms& parms, std::int64_t effectiveRateHz, bool defaults, QWidget* parent = nullptr);

    bool store(VesAnaParms& parms, bool messages) override;
    std::string check(const VesAnaParms& parms) const override;

    CNumEdit* minFreq() const { return m_min; }
    CNumEdit* maxFreq() const { return m_max; }
    QComboBox* frequencyGrid() const { return m_freqGrid; }

protected:
    void load(const VesAnaParms& parms) override;

private:
    CNumEdit* m_min;
    CNumEdit* m_max;
    QComboBox* m_samples;
    CNumEdit* m_threshold;
    QCheckBox* m_left;
    QCheckBox* m_right;
    QCheckBox* m_lines;
    QComboBox* m_freqGrid;
    QComboBox* m_timeGrid;
    QSpinBox* m_fontSize;
};
