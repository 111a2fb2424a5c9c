// "Power spectrum settings": FFT size and window, the level range (dB or V²,
// as the "Logarithmic scale" box says), the frequency range and continuous
// update. OK checks the values in order and keeps the dialog open with the
// first message that applies.
#pragma once

#include "records/VesSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

class CPowerSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // `rateHz`: the effective rate of the recording (the highest maximum frequency is half of it).
    CPowerSettingsDlg(const VesPowerParms& parms, double rateHz, QWidget* parent = nullptr);

    const VesPowerParms& parms() const { return m_parms; }

    void accept() override;

private:
    void showLevels();
    void logScaleToggled(bool on);

    VesPowerParms m_parms;
    double m_rateHz;
    QComboBox* m_fftSize = nullptr;
    QComboBox* m_window = nullptr;
    QLineEdit* m_minLevel = nullptr;
    QLineEdit* m_maxLevel = nullptr;
    QLineEdit* m_minFreq = nullptr;
    QLineEdit* m_maxFreq = nullptr;
    QCheckBox* m_contUpd = nullptr;
    QCheckBox* m_logScale = nullptr;
    // The pair of the scale not shown, kept while the box is toggled.
    double m_otherMin = 0, m_otherMax = 0;
};
