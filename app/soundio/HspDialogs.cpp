#include "soundio/HspDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

const char* const kRecordingFilter = "Wave & Vesperon Files (*.wav);;All Files (*)";
const char* const kListFilter = "Vesperon Play List Files (*.vpl);;All Files (*)";

class CHspDialogs : public IHspDialogs {
public:
    std::vector<std::string> openRecordings(QWidget* parent) override
    {
        std::vector<std::string> out;
        for (const QString& f : QFileDialog::getOpenFileNames(parent, QStringLiteral("Add file"), QString(),
                                                              QString::fromLatin1(kRecordingFilter)))
            out.push_back(f.toStdString());
        return out;
    }

    std::string openPlayList(QWidget* parent) override
    {
        return QFileDialog::getOpenFileName(parent, QStringLiteral("Read file list"), QString(),
                                            QString::fromLatin1(kListFilter))
            .toStdString();
    }

    std::string savePlayList(QWidget* parent) override
    {
        QFileDialog dlg(parent, QStringLiteral("Save file list"), QString(), QString::fromLatin1(kListFilter));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setDefaultSuffix(QStringLiteral("vpl"));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return {};
        return dlg.selectedFiles().front().toStdString();
    }

    Frequency askFrequency(QWidget* parent) override
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Vesperon"),
                        QStringLiteral("The selected sampling frequency differs from the sampling frequency in the file!"),
                        QMessageBox::NoButton, parent);
        box.setObjectName(QStringLiteral("NidaqPlayFreq"));
        box.setAccessibleName(QStringLiteral("Sampling frequency question"));
        box.setInformativeText(QStringLiteral("Which to use?"));
        QPushButton* selected = box.addButton(QStringLiteral("Selected"), QMessageBox::AcceptRole);
        QPushButton* file = box.addButton(QStringLiteral("File"), QMessageBox::AcceptRole);
        box.addButton(QMessageBox::Cancel);
        box.exec();
        if (box.clickedButton() == selected)
            return Frequency::Selected;
        if (box.clickedButton() == file)
            return Frequency::File;
        return Frequency::Cancel;
    }

    Answer askClearOld(QWidget* parent) override
    {
        switch (QMessageBox::question(parent, QStringLiteral("Vesperon"), QStringLiteral("Clear old play list?"),
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: return Answer::Cancel;
        }
    }

    void message(QWidget* parent, const std::string& text) override
    {
        QMessageBox::warning(parent, QStringLiteral("Vesperon"), QString::fromStdString(text));
    }
};

std::unique_ptr<IHspDialogs>& current()
{
    static std::unique_ptr<IHspDialogs> dialogs;
    return dialogs;
}

}  // namespace

IHspDialogs& hspDialogs()
{
    if (!current())
        current() = std::make_unique<CHspDialogs>();
    return *current();
}

void setHspDialogs(std::unique_ptr<IHspDialogs> dialogs)
{
    current() = std::move(dialogs);
}
