// "Pulse Interval / Pulse Length Analysis Settings": detection delay,
// automatic settings, histogram start and end (ms), detection threshold (%),
// number of bars and continuous update. An empty threshold field is the
// threshold computed from the data; a typed value is kept as the user's own.
#pragma once

#include "records/VesSettings.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

class CAnaRateSet : public QDialog {
    Q_OBJECT
public:
    // `thresholdAutomatic`: the record's threshold was derived from the data.
    CAnaRateSet(const VesRateParms& parms, bool thresholdAutomatic, QWidget* parent = nullptr);

    const VesRateParms& parms() const { return m_parms; }
    // After OK: the threshold field was left empty.
    bool thresholdAutomatic() const { return m_thresholdAutomatic; }

    void accept() override;

private:
    VesRateParms m_parms;
    bool m_thresholdAutomatic;
    QLineEdit* m_delay = nullptr;
    QCheckBox* m_auto = nullptr;
    QLineEdit* m_start = nullptr;
    QLineEdit* m_end = nullptr;
    QLineEdit* m_threshold = nullptr;
    QLineEdit* m_bars = nullptr;
    QCheckBox* m_contUpd = nullptr;
};
