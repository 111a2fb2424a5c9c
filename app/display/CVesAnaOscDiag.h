// Oscillogram settings: amplitude range (the view's own dialog only),
// channels, line between samples and the grids.
#pragma once

#include "display/CAnaSettingsDlg.h"

class CVesAnaOscDiag : public CAnaSettingsDlg {
    Q_OBJECT
public:
    CVesAnaOscDiag(const VesAnaParms& parms, std::int64_t effectiveRateHz, bool defaults, QWidget* parent = nullptr);

    bool store(VesAnaParms& parms, bool messages) override;
    std::string check(const VesAnaParms& parms) const override;

    CNumEdit* minAmplitude() const { return m_min; }
    CNumEdit* maxAmplitude() const { return m_max; }

protected:
    void load(const VesAnaParms& parms) override;

private:
    CNumEdit* m_min;
    CNumEdit* m_max;
    QCheckBox* m_left;
    QCheckBox* m_right;
    QCheckBox* m_cont;
    QComboBox* m_ampGrid;
    QComboBox* m_timeGrid;
};
