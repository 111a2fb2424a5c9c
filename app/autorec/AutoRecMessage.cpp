#include "autorec/AutoRecMessage.h"

#include "soundfiles/VesFileType.h"

#include <QFileDialog>
#include <QMessageBox>

namespace autorecui {

namespace {

MessageSink& sink()
{
    static MessageSink s;
    return s;
}

SaveDialog& saveDialog()
{
    static SaveDialog d;
    return d;
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

void setSaveDialog(SaveDialog dialog)
{
    saveDialog() = std::move(dialog);
}

std::optional<SavePathChoice> askSavePath(QWidget* parent, const std::string& proposed, int type)
{
    if (saveDialog())
        return saveDialog()(parent, proposed, type);
    const std::string path =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Save recording as"), QString::fromStdString(proposed),
                                     QStringLiteral("Vesperon Files (*.vprd);;Wave Files (*.wav);;All files (*)"))
            .toStdString();
    if (path.empty())
        return std::nullopt;
    const int chosen = fileTypeBySaveExtension(path);
    return SavePathChoice{path, chosen > 0 ? chosen : type};
}

}  // namespace autorecui
