// The numeric edit: a line edit holding a 64-bit value in the field's smallest
// unit (NumEditFormat). Typing and pasting keep only digits, a decimal
// separator when decimals are allowed and '-' when the range allows negative
// values; other typed characters beep. Reading with messages shows the
// field's own message and gives the focus back to the field.
#pragma once

#include "display/DisplaySettings.h"

#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <string>

class CNumEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CNumEdit(const NumEditFormat& format = {}, QWidget* parent = nullptr);

    const NumEditFormat& format() const { return m_format; }
    void setFormat(const NumEditFormat& format);

    void setValue(std::int64_t value);
    void setEmpty() { setText(QString()); }
    // The value of the text without messages.
    NumEditRead read() const;
    // The value, or false after the message (the focus back in the field).
    // An allowed empty field gives true and `empty` set.
    bool readValue(std::int64_t& value, bool* empty = nullptr);

    // Where the settings dialogs show their messages: a message box unless a
    // test replaces it.
    using MessageSink = std::function<void(QWidget* parent, const std::string& text)>;
    static void setMessageSink(MessageSink sink);
    static void showMessage(QWidget* parent, const std::string& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    NumEditFormat m_format;
};
