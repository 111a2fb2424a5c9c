// "Change volume": the new volume in percent of the present one.
#pragma once

#include <QDialog>

class QSpinBox;

class CVolumeDlg : public QDialog {
    Q_OBJECT
public:
    explicit CVolumeDlg(QWidget* parent = nullptr);
    int percent() const;
    QSpinBox* percentBox() const { return m_percent; }

private:
    QSpinBox* m_percent;
};
