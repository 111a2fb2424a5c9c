#include "shell/ShellDialogs.h"

#include "shell/CSaveVcsParmsDlg.h"
#include "shell/CSndFileDialog.h"

#include <QFileDialog>
#include <QMessageBox>

std::optional<OpenChoice> CShellDialogs::openFiles(QWidget* parent, const std::string& folder)
{
    CSndFileDialog dlg(parent, QString::fromStdString(folder));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    OpenChoice c;
    for (const QString& f : dlg.selectedFiles())
        c.paths.push_back(f.toStdString());
    c.type = dlg.chosenType();
    return c;
}

std::vector<std::string> CShellDialogs::importFiles(QWidget* parent, const std::string& folder)
{
    const QStringList files =
        QFileDialog::getOpenFileNames(parent, QStringLiteral("Import audio file"), QString::fromStdString(folder));
    std::vector<std::string> out;
    for (const QString& f : files)
        out.push_back(f.toStdString());
    return out;
}

std::optional<SaveChoice> CShellDialogs::saveFile(QWidget* parent, const std::string& initialPath, int documentType)
{
    CSndSaveDialog dlg(parent, QString::fromStdString(initialPath), documentType);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return SaveChoice{dlg.selectedFiles().front().toStdString(), dlg.chosenType()};
}

bool CShellDialogs::compressedSaveParms(QWidget* parent, int& silentLevelDb, int& beforeMs, int& afterMs)
{
    CSaveVcsParmsDlg dlg(parent, silentLevelDb, beforeMs, afterMs);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    silentLevelDb = dlg.silentLevelDb();
    beforeMs = dlg.beforeMs();
    afterMs = dlg.afterMs();
    return true;
}

std::optional<MarkTableChoice> CShellDialogs::markTableFile(QWidget* parent, bool saving,
                                                           const std::string& proposedPath)
{
    const QString selection = QStringLiteral("Raven selection table (*.txt)");
    const QString labels = QStringLiteral("Audacity label track (*.txt)");
    QFileDialog dlg(parent, saving ? QStringLiteral("Export Marks") : QStringLiteral("Import Marks"),
                    QString::fromStdString(proposedPath));
    dlg.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setNameFilters(saving ? QStringList{selection, labels}
                              : QStringList{QStringLiteral("Mark tables (*.txt)"), QStringLiteral("All files (*)")});
    dlg.setDefaultSuffix(QStringLiteral("txt"));
    if (!proposedPath.empty())
        dlg.selectFile(QString::fromStdString(proposedPath));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return MarkTableChoice{dlg.selectedFiles().front().toStdString(), dlg.selectedNameFilter() != labels};
}

void CShellDialogs::message(QWidget* parent, const std::string& text, Icon icon)
{
    const QString t = QString::fromStdString(text);
    switch (icon) {
    case Icon::Information: QMessageBox::information(parent, QStringLiteral("Vesperon"), t); break;
    case Icon::Warning: QMessageBox::warning(parent, QStringLiteral("Vesperon"), t); break;
    case Icon::Critical: QMessageBox::critical(parent, QStringLiteral("Vesperon"), t); break;
    }
}

IShellDialogs::Answer CShellDialogs::askSaveChanges(QWidget* parent, const std::string& title)
{
    const auto r = QMessageBox::question(parent, QStringLiteral("Vesperon"),
                                         QStringLiteral("Save changes to %1?").arg(QString::fromStdString(title)),
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (r == QMessageBox::Yes)
        return Answer::Yes;
    if (r == QMessageBox::No)
        return Answer::No;
    return Answer::Cancel;
}
