// What the three display settings dialogs share: the record they were opened
// on, the OK / Apply / Cancel buttons, the time-per-plot field with its spin
// button, and the messages to their view. Apply and OK check the fields and
// the record first (a failed check shows its message and keeps the dialog
// open); only then the view hears of it (viewMessage with the dialog's apply
// or OK number) and takes the values with store(). Cancel and closing the
// window send the close number.
#pragma once

#include "widgets/CNumEdit.h"
#include "records/VesAnaParms.h"

#include <QDialog>
#include <QElapsedTimer>

#include <array>
#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QDialogButtonBox;
class QFormLayout;
class QToolButton;

// The messages of the dialogs to their view.
enum class SettingsMsg : int {
    SpectClose = 1054, SpectApply = 1055, SpectOk = 1056,
    OscClose = 1104, OscApply = 1105, OscOk = 1106,
    FreqClose = 1114, FreqApply = 1115, FreqOk = 1116,
};

// The time-per-plot field: a numeric edit in microseconds shown as ms, with
// a spin button whose step grows while it is held.
class CPlotSizeField : public QWidget {
    Q_OBJECT
public:
    explicit CPlotSizeField(QWidget* parent = nullptr);
    CNumEdit* edit() const { return m_edit; }
    // Sets the value and chooses the step table from it.
    void load(std::int64_t micros);
    // The step (µs) after the button has been held for `heldMs`, for a field
    // loaded with `loadedMicros`.
    static std::int64_t stepFor(std::int64_t loadedMicros, std::int64_t heldMs);

private:
    void stepBy(int direction);
    CNumEdit* m_edit;
    QToolButton* m_up;
    QToolButton* m_down;
    std::int64_t m_loaded = 1000;
    QElapsedTimer m_held;
};

class CAnaSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // `effectiveRateHz`: R of the view's recording; `defaults`: opened on the
    // program's default record.
    CAnaSettingsDlg(const QString& title, const VesAnaParms& parms, std::int64_t effectiveRateHz, bool defaults,
                    std::array<int, 3> closeApplyOk, QWidget* parent);

    bool isDefaults() const { return m_defaults; }
    const VesAnaParms& parms() const { return m_parms; }
    // Writes the fields this dialog exchanges into `parms`; with `messages`,
    // a field that does not read shows its message and the result is false.
    virtual bool store(VesAnaParms& parms, bool messages) = 0;
    // The check of the whole record: its first message or empty.
    virtual std::string check(const VesAnaParms& parms) const = 0;

    // Apply and OK as the buttons do them; false when the check failed.
    bool apply();
    bool ok();

signals:
    void viewMessage(int msg);

protected:
    // The fields from the record.
    virtual void load(const VesAnaParms& parms) = 0;
    // After loading and after Apply (read-only values).
    virtual void refreshDerived() {}
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

    // Building helpers.
    QFormLayout* form() const { return m_form; }
    CPlotSizeField* plotSize() const { return m_plotSize; }
    static QComboBox* combo(const QStringList& items, const QString& accessibleName);
    QCheckBox* checkBox(const QString& text);
    // Rows the dialogs share: "Font size" (1 … 72), "Frequency grid" (None,
    // 1 / value, n / tick mark) and "Time grid" (None and 1 … 5, each shown
    // as `stepText` with %1 for the number).
    QSpinBox* addFontSizeRow();
    QComboBox* addFrequencyGridRow();
    QComboBox* addTimeGridRow(const QString& stepText);
    void finishLayout();
    // A combo's entry whose data is `value` (appended with `text` when missing).
    static void selectData(QComboBox* c, int value, const QString& text);

    VesAnaParms m_parms;
    std::int64_t m_rate;
    bool m_defaults;

private:
    bool validated();
    std::array<int, 3> m_msgs;
    QFormLayout* m_form;
    CPlotSizeField* m_plotSize;
    QDialogButtonBox* m_buttons;
    bool m_closeSent = false;
};
