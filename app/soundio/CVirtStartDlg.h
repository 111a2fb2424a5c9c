// "Virtual Bat Detector": the speed factor, whether it sets the playback
// rate, and the filter the detector listens through.
#pragma once

#include "filter/FilterRecord.h"
#include "filter/SosCascade.h"

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class CVirtStartDlg : public QDialog {
    Q_OBJECT
public:
    // `rateHz`: the recording's rate f_s; `nyquistHz`: of the real signal, for the filter.
    CVirtStartDlg(int speedFactor, bool useSpeedFactor, std::uint32_t rateHz, double nyquistHz, QWidget* parent = nullptr);

    int speedFactor() const;
    bool useSpeedFactor() const;
    // The filter the detector uses (valid after OK): the one chosen with
    // "Select Filter", else the program's current filter designed anew.
    const FilterRecord& filterRecord() const { return m_record; }
    const SosCascade& filterSections() const { return m_sections; }
    // A filter was chosen in this dialog.
    bool filterChosen() const { return m_chosen; }
    // The rate shown in "Play speed:".
    std::uint32_t playRateHz() const;

    // "Select Filter": the filter dialog, then back here.
    void selectFilter();

private:
    void updateFields();
    // The program's filter designs for this recording.
    bool designCurrent();

    std::uint32_t m_rateHz;
    double m_nyquistHz;
    FilterRecord m_record;
    SosCascade m_sections;
    bool m_defined = false;
    bool m_chosen = false;
    QSpinBox* m_speed = nullptr;
    QCheckBox* m_useSpeed = nullptr;
    QLineEdit* m_playRate = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_select = nullptr;
};
