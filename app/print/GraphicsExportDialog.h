// The JPEG quality dialog of "Export Graphics...": one digits-only field,
// 0 .. 99. OK with an empty field or a value outside that range shows
// "Invalid compression level." and keeps the dialog open.
#pragma once

#include <QDialog>

class QLineEdit;

class GraphicsExportDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDefaultQuality = 30;
    static constexpr int kMaxQuality = 99;

    explicit GraphicsExportDialog(int quality = kDefaultQuality, QWidget* parent = nullptr);

    // The value taken by OK.
    int quality() const { return m_quality; }
    QLineEdit* field() const { return m_field; }

    void accept() override;

private:
    QLineEdit* m_field = nullptr;
    int m_quality = kDefaultQuality;
};
