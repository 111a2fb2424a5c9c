// "Save Compressed Parameters": the silent level and the silent times before
// and after a pulse that a compressed wave keeps.
#pragma once

#include <QDialog>

class QSpinBox;

class CSaveVcsParmsDlg : public QDialog {
    Q_OBJECT
public:
    CSaveVcsParmsDlg(QWidget* parent, int silentLevelDb, int beforeMs, int afterMs);
    int silentLevelDb() const;
    int beforeMs() const;
    int afterMs() const;

private:
    QSpinBox* m_level;
    QSpinBox* m_before;
    QSpinBox* m_after;
};
