// "Change play speed": the play-speed preset of one output device.
#pragma once

#include "soundio/VesPlaySpeedData.h"

#include <QDialog>

class QComboBox;

class CPlaySpeedDlg : public QDialog {
    Q_OBJECT
public:
    CPlaySpeedDlg(const VesPlaySpeedData& preset, QWidget* parent = nullptr);
    // The preset as the fields give it (after Save).
    VesPlaySpeedData result() const;

    QComboBox* deviceBox() const { return m_device; }
    QComboBox* relativeBox() const { return m_relative; }
    QComboBox* absoluteBox() const { return m_absolute; }

private:
    QComboBox* m_device;
    QComboBox* m_relative;
    QComboBox* m_absolute;
};
