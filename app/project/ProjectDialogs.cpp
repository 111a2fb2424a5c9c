#include "project/ProjectDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QString qpath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string spath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

std::optional<std::string> CProjectDialogs::projectFile(QWidget* parent, const std::string& start)
{
    QFileDialog dlg(parent, QStringLiteral("Open Project"), qpath(start));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setNameFilters({QStringLiteral("Vesperon projects (*.vproj)"), QStringLiteral("All files (*)")});
    dlg.resize(760, 480);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return spath(dlg.selectedFiles().front());
}

std::optional<std::string> CProjectDialogs::chooseFolder(QWidget* parent, const std::string& title,
                                                         const std::string& start)
{
    QFileDialog dlg(parent, QString::fromStdString(title), qpath(start));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    dlg.resize(760, 480);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return spath(dlg.selectedFiles().front());
}

void CProjectDialogs::message(QWidget* parent, const std::string& text)
{
    QMessageBox::warning(parent, QStringLiteral("Vesperon"), QString::fromStdString(text));
}

bool CProjectDialogs::ask(QWidget* parent, const std::string& text)
{
    return QMessageBox::question(parent, QStringLiteral("Vesperon"), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}
