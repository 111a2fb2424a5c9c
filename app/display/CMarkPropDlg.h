// "Mark properties": label, display of the label, how the mark is drawn,
// whether it is shown, its description; OK, Cancel and "Remove".
#pragma once

#include "records/VesRecData.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

class CMarkPropDlg : public QDialog {
    Q_OBJECT
public:
    // exec() result of the "Remove" button.
    static constexpr int Removed = 2;

    explicit CMarkPropDlg(const AnaMarkSave& mark, QWidget* parent = nullptr);
    // Writes the fields into `mark`.
    void apply(AnaMarkSave& mark) const;

    QLineEdit* labelEdit() const { return m_label; }
    QPlainTextEdit* descEdit() const { return m_desc; }
    QComboBox* typeList() const { return m_type; }
    QCheckBox* showLabelBox() const { return m_showLabel; }
    QCheckBox* showBox() const { return m_show; }

private:
    QLineEdit* m_label;
    QCheckBox* m_showLabel;
    QComboBox* m_type;
    QCheckBox* m_show;
    QPlainTextEdit* m_desc;
};
