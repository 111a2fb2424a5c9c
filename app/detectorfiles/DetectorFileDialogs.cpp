#include "detectorfiles/DetectorFileDialogs.h"

#include "detectorfiles/CFileHandlingList.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <sys/stat.h>

namespace {

IDetectorFileDialogs* g_dialogs = nullptr;

QString qpath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string spath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

std::optional<std::string> CDetectorFileDialogs::chooseFolder(QWidget* parent, const std::string& title,
                                                              const std::string& start)
{
    QFileDialog dlg(parent, QString::fromStdString(title), qpath(start));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setOption(QFileDialog::ShowDirsOnly, false);  // files are shown as well
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.resize(760, 480);
    if (!start.empty())
        dlg.selectFile(qpath(start));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return spath(dlg.selectedFiles().front());
}

std::optional<std::string> CDetectorFileDialogs::exportFileName(QWidget* parent, const std::string& folder)
{
    QFileDialog dlg(parent, QStringLiteral("Export"), qpath(folder));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = {QStringLiteral("Text Files (*.txt)"), QStringLiteral("Comma Separated Files (*.cvs)")};
    dlg.setNameFilters(filters);
    dlg.setDefaultSuffix(QStringLiteral("txt"));
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, filters](const QString& f) {
        dlg.setDefaultSuffix(f == filters[1] ? QStringLiteral("cvs") : QStringLiteral("txt"));
    });
    dlg.resize(760, 480);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return spath(dlg.selectedFiles().front());
}

void CDetectorFileDialogs::message(QWidget* parent, const std::string& text, Icon icon)
{
    const QString t = QString::fromStdString(text);
    const QString caption = QStringLiteral("Vesperon");
    switch (icon) {
    case Icon::Information: QMessageBox::information(parent, caption, t); break;
    case Icon::Warning: QMessageBox::warning(parent, caption, t); break;
    case Icon::Stop: QMessageBox::critical(parent, caption, t); break;
    }
}

bool CDetectorFileDialogs::askContinue(QWidget* parent, const std::string& text)
{
    return QMessageBox::critical(parent, QStringLiteral("Vesperon"), QString::fromStdString(text),
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

int CDetectorFileDialogs::execDialog(QDialog& dialog)
{
    return dialog.exec();
}

IDetectorFileDialogs& detectorFileDialogs()
{
    static CDetectorFileDialogs real;
    return g_dialogs ? *g_dialogs : real;
}

void setDetectorFileDialogs(IDetectorFileDialogs* dialogs)
{
    g_dialogs = dialogs;
}

DetectorFolders& detectorFolders()
{
    static DetectorFolders folders;
    return folders;
}

std::string folderOfChoice(const std::string& chosen)
{
    struct stat st {};
    if (chosen.empty() || (::stat(chosen.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
        return chosen;
    const std::size_t slash = chosen.find_last_of('/');
    if (slash == std::string::npos)
        return chosen;
    return slash == 0 ? std::string("/") : chosen.substr(0, slash);
}

void runDetectorFileManagement(QWidget* parent)
{
    IDetectorFileDialogs& dialogs = detectorFileDialogs();
    const std::optional<std::string> chosen =
        dialogs.chooseFolder(parent, "Please select a folder :", detectorFolders().source);
    if (!chosen)
        return;
    detectorFolders().source = folderOfChoice(*chosen);
    CFileHandlingList list(detectorFolders().source, parent);
    dialogs.execDialog(list);
}
