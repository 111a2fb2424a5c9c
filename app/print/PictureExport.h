// "Export Graphics...": the save dialog with the picture types
// (render/PictureFile), the JPEG quality dialog for JPEG files, and the
// picture written in one atomic step. Cancel at any point leaves the chosen
// file as it was; a failed write is reported with the system's reason.
#pragma once

#include "render/PrintablePicture.h"

#include <QString>

#include <functional>
#include <string>

class QFileDialog;
class QWidget;

namespace vprint {

struct ExportResult {
    enum Kind { Saved, Cancelled, Failed } kind = Cancelled;
    QString path;
    std::string error;
};

// The save dialog of the export, ready to be shown: the types, JPEG chosen,
// the folder of the last export and `baseName` as the file name. The
// default extension follows the chosen type.
QFileDialog* makeExportFileDialog(QWidget* parent, const QString& baseName);

// Writes `picture` to `path` as its extension says, asking for the JPEG
// quality first when it is a JPEG name (`askQuality`); the quality taken
// is remembered for the next export.
ExportResult exportPictureTo(IPrintablePicture& picture, const QString& path, QWidget* parent, bool askQuality = true);

// The program's display of a long operation: `begin` with its name, `end`
// when it is over (either may be empty).
struct LongOperation {
    std::function<void(const std::string& name)> begin;
    std::function<void()> end;
};

// The whole command: save dialog, quality, writing; a failure is shown in a
// message box. Once a file is chosen the work runs as the long operation
// "Copy Graphics".
ExportResult runGraphicsExport(IPrintablePicture& picture, QWidget* parent, const QString& baseName,
                               const LongOperation& operation = {});

}  // namespace vprint
