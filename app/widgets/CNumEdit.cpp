#include "widgets/CNumEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QValidator>

namespace {

CNumEdit::MessageSink& sink()
{
    static CNumEdit::MessageSink s = [](QWidget* parent, const std::string& text) {
        QMessageBox::warning(parent, QStringLiteral("Vesperon"), QString::fromStdString(text));
    };
    return s;
}

// Keeps the accepted characters of whatever reaches the field (typing,
// pasting, dropping).
class NumEditValidator : public QValidator {
public:
    NumEditValidator(const CNumEdit& edit) : QValidator(const_cast<CNumEdit*>(&edit)), m_edit(edit) {}
    State validate(QString& input, int& pos) const override
    {
        const std::string kept = numEditFilter(input.toStdString(), m_edit.format());
        if (kept.size() != static_cast<std::size_t>(input.size())) {
            pos = std::min(pos, static_cast<int>(kept.size()));
            input = QString::fromStdString(kept);
        }
        return Acceptable;
    }

private:
    const CNumEdit& m_edit;
};

}  // namespace

CNumEdit::CNumEdit(const NumEditFormat& format, QWidget* parent) : QLineEdit(parent), m_format(format)
{
    setValidator(new NumEditValidator(*this));
}

void CNumEdit::setFormat(const NumEditFormat& format)
{
    m_format = format;
}

void CNumEdit::setValue(std::int64_t value)
{
    setText(QString::fromStdString(formatNumEdit(value, m_format)));
}

NumEditRead CNumEdit::read() const
{
    return readNumEdit(text().toStdString(), m_format);
}

bool CNumEdit::readValue(std::int64_t& value, bool* empty)
{
    const NumEditRead r = read();
    if (empty)
        *empty = r.status == NumEditRead::Status::Empty;
    if (r.status == NumEditRead::Status::Empty)
        return true;
    if (!r.ok()) {
        showMessage(this, r.message);
        setFocus();
        selectAll();
        return false;
    }
    value = r.value;
    return true;
}

void CNumEdit::setMessageSink(MessageSink s)
{
    sink() = std::move(s);
}

void CNumEdit::showMessage(QWidget* parent, const std::string& text)
{
    sink()(parent, text);
}

void CNumEdit::keyPressEvent(QKeyEvent* event)
{
    const QString t = event->text();
    if (t.size() == 1 && t[0].isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar c = t[0];
        if (c.unicode() > 127 || !numEditAccepts(static_cast<char>(c.unicode()), m_format)) {
            QApplication::beep();
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}
