// "Time Domain Filter": the user's choice of IIR filter for a recording.
#pragma once

#include "filter/FilterDesign.h"
#include "filter/FilterRecord.h"

#include <QDialog>

#include <functional>
#include <string>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CVesFilterDlg : public QDialog {
    Q_OBJECT
public:
    // Filled from `record`; cut-offs are real-time hertz against `nyquistHz`.
    CVesFilterDlg(const FilterRecord& record, double nyquistHz, QWidget* parent = nullptr);

    // After OK: the designed record and the filter that runs.
    const FilterRecord& record() const { return m_record; }
    const SosCascade& sections() const { return m_sections; }

    // Collects the fields into a record and designs it; false (and the
    // message shown) when a check or the design fails.
    bool collectAndDesign(FilterRecord& record, SosCascade& sections);

    // Where messages and the definition-file choice go (message boxes and a
    // file dialog unless replaced, as tests do).
    using MessageSink = std::function<void(QWidget* parent, const std::string& text)>;
    using FileChooser = std::function<QString(QWidget* parent)>;
    static void setMessageSink(MessageSink sink);
    static void setDefinitionFileChooser(FileChooser chooser);

    // The program-wide filter record: the last filter designed, kept while the program runs.
    static FilterRecord& programRecord();

    void accept() override;

private:
    void fill(const FilterRecord& record);
    void updateEnabling();
    void typeChosen(int index);
    void showResponse();
    void message(const std::string& text);

    double m_nyquistHz;
    FilterRecord m_record;
    SosCascade m_sections;
    // The coefficients of a definition file chosen in this dialog.
    FilterRecord m_loaded;
    bool m_filling = false;

    QButtonGroup* m_bands = nullptr;
    QRadioButton* m_radio[4] = {};
    QLineEdit* m_lowPass = nullptr;
    QLineEdit* m_highPass = nullptr;
    QLineEdit* m_bandPassLow = nullptr;
    QLineEdit* m_bandPassHigh = nullptr;
    QLineEdit* m_bandStopLow = nullptr;
    QLineEdit* m_bandStopHigh = nullptr;
    QComboBox* m_type = nullptr;
    QComboBox* m_order = nullptr;
    QComboBox* m_ripple = nullptr;
    QComboBox* m_stopband = nullptr;
    QPushButton* m_responseButton = nullptr;
};
