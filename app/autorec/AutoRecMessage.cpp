#include "autorec/AutoRecMessage.h"

#include <QMessageBox>

namespace autorecui {

namespace {

MessageSink& sink()
{
    static MessageSink s;
    return s;
}

}  // namespace

void message(QWidget* parent, const std::string& text)
{
    if (sink())
        sink()(parent, text);
    else
        QMessageBox::warning(parent, QStringLiteral("Vesperon"), QString::fromStdString(text));
}

void setMessageSink(MessageSink s)
{
    sink() = std::move(s);
}

}  // namespace autorecui
