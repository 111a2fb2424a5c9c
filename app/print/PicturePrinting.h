// Printing of any IPrintablePicture on one page (render/PicturePage): the
// program's one printer with its page setup, the print dialog, printing
// without it, and the print preview.
//
// A printer set to PDF output is drawn into memory and its file written in
// one atomic step: a failed print leaves no partial file, and the system's
// reason is reported.
#pragma once

#include "render/PrintablePicture.h"

#include <memory>
#include <string>

class QPrinter;
class QPrintPreviewDialog;
class QWidget;

namespace vprint {

// The printer of the program, shared by every window and by Print Setup;
// created on first use, with the system's default printer (or PDF output
// when none is installed).
QPrinter& sharedPrinter();

// Whether `printer` can print without asking: a printer name, or PDF output
// with a file name.
bool printerReady(const QPrinter& printer);

// Draws the page of `picture` on `printer` (a real printer, a PDF file, or
// a preview's printer when `forPreview`). False with `error` set.
bool printPictureOn(QPrinter& printer, IPrintablePicture& picture, std::string& error, bool forPreview = false);

enum class PrintOutcome { Printed, Cancelled, Failed };

// File > Print (the print dialog first, one page) and Print Direct (the
// shared printer as it is; when it cannot print without asking, the print
// dialog all the same). A failure is shown to the user in a message box.
PrintOutcome runPrint(IPrintablePicture& picture, QWidget* parent, bool direct);

// The print preview of `picture`, a window of its own that belongs to
// `owner`: it goes when the owner goes, and a second request for the same
// owner brings the open one to the front. `picture` is kept by the preview.
QPrintPreviewDialog* openPrintPreview(std::shared_ptr<IPrintablePicture> picture, QWidget* owner);
// For a window that is its own picture (it must outlive nothing: the
// preview goes with it).
QPrintPreviewDialog* openPrintPreview(IPrintablePicture& ownerPicture, QWidget* owner);
// The open preview of `owner`, nullptr when none.
QPrintPreviewDialog* printPreviewOf(QWidget* owner);

// File > Print Setup: the page setup dialog of the shared printer. True on OK.
bool runPrintSetup(QWidget* parent);

}  // namespace vprint
