#include "print/PictureExport.h"

#include "print/GraphicsExportDialog.h"
#include "render/PictureFile.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

namespace vprint {

namespace {

int& lastQuality()
{
    static int quality = GraphicsExportDialog::kDefaultQuality;
    return quality;
}

QString& lastFolder()
{
    static QString folder;
    return folder;
}

// Restores the cursor however the export ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

QFileDialog* makeExportFileDialog(QWidget* parent, const QString& baseName)
{
    auto* dlg = new QFileDialog(parent, QStringLiteral("Export Graphics"));
    dlg->setObjectName(QStringLiteral("ExportGraphicsDialog"));
    dlg->setAccessibleName(QStringLiteral("Export Graphics"));
    dlg->setAcceptMode(QFileDialog::AcceptSave);
    dlg->setFileMode(QFileDialog::AnyFile);
    const std::vector<PictureFileType> types = pictureFileTypes();
    QStringList filters;
    for (const PictureFileType& t : types)
        filters << t.filter();
    dlg->setNameFilters(filters);
    QString folder = lastFolder();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dlg->setDirectory(folder);
    const auto chooseType = [dlg, types](const QString& filter) {
        for (const PictureFileType& t : types)
            if (t.filter() == filter)
                dlg->setDefaultSuffix(t.extensions.front());
    };
    QObject::connect(dlg, &QFileDialog::filterSelected, dlg, chooseType);
    for (const PictureFileType& t : types)
        if (t.isJpeg()) {
            dlg->selectNameFilter(t.filter());
            chooseType(t.filter());
        }
    if (!baseName.isEmpty())
        dlg->selectFile(baseName);
    return dlg;
}

ExportResult exportPictureTo(IPrintablePicture& picture, const QString& path, QWidget* parent, bool askQuality)
{
    ExportResult result;
    result.path = path;
    const std::string file = path.toStdString();
    if (pictureFormatOf(file) == PictureFormat::Unknown) {
        result.kind = ExportResult::Failed;
        result.error = "\"" + QFileInfo(path).suffix().toStdString() +
                       "\" is not a picture type (use .png, .jpg, .jpeg, .bmp, .svg or .pdf)";
        return result;
    }
    PictureOptions options;
    options.jpegQuality = lastQuality();
    const QString ext = QFileInfo(path).suffix().toLower();
    if (askQuality && (ext == QStringLiteral("jpg") || ext == QStringLiteral("jpeg"))) {
        GraphicsExportDialog dlg(lastQuality(), parent);
        if (dlg.exec() != QDialog::Accepted)
            return result;  // nothing written
        lastQuality() = options.jpegQuality = dlg.quality();
    }
    WaitCursor wait;
    if (!savePicture(file, picture, options, result.error)) {
        result.kind = ExportResult::Failed;
        return result;
    }
    result.kind = ExportResult::Saved;
    return result;
}

ExportResult runGraphicsExport(IPrintablePicture& picture, QWidget* parent, const QString& baseName,
                               const LongOperation& operation)
{
    std::unique_ptr<QFileDialog> dlg(makeExportFileDialog(parent, baseName));
    if (dlg->exec() != QDialog::Accepted || dlg->selectedFiles().isEmpty())
        return {};
    const QString path = dlg->selectedFiles().front();
    lastFolder() = QFileInfo(path).absolutePath();
    dlg.reset();
    if (operation.begin)
        operation.begin("Copy Graphics");
    ExportResult result = exportPictureTo(picture, path, parent);
    if (operation.end)
        operation.end();
    if (result.kind == ExportResult::Failed) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Export Graphics"),
                        QStringLiteral("The picture could not be saved as %1:\n%2")
                            .arg(QDir::toNativeSeparators(path), QString::fromStdString(result.error)),
                        QMessageBox::Ok, parent);
        box.setObjectName(QStringLiteral("ExportFailed"));
        box.exec();
    }
    return result;
}

}  // namespace vprint
