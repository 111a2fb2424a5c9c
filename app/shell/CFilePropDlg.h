// "File properties": a read-only text of the recording's size, times, rates,
// format, recording information, detector header lines and file dates.
#pragma once

#include <QDialog>

class CVesSoundDoc;
class QTextEdit;

class CFilePropDlg : public QDialog {
    Q_OBJECT
public:
    CFilePropDlg(const CVesSoundDoc& doc, QWidget* parent = nullptr);
    QTextEdit* textField() const { return m_text; }

private:
    QTextEdit* m_text;
};
