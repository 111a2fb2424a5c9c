#include "autorec/AutoRecMessage.h"

#include "shell/CVesSoundApp.h"

#include <QMessageBox>

namespace autorecui {

void message(QWidget* parent, const std::string& text)
{
    if (CVesSoundApp* app = CVesSoundApp::instance())
        app->message(text, IShellDialogs::Icon::Warning);
    else
        QMessageBox::warning(parent, QStringLiteral("Vesperon"), QString::fromStdString(text));
}

}  // namespace autorecui
