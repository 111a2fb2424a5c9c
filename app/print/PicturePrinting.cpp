#include "print/PicturePrinting.h"

#include "core/AtomicFile.h"
#include "render/PicturePage.h"

#include <QAction>
#include <QBuffer>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace vprint {

namespace {

const QString kPreviewName = QStringLiteral("VesperonPrintPreview");

void paintPage(QPainter& p, const QRectF& page, double dpi, IPrintablePicture& picture)
{
    p.setFont(QFont(QStringLiteral("Helvetica"), 10));
    paintPicturePage(p, page, dpi, picture);
}

// A PDF "printer": the page drawn into memory with the printer's page
// layout and resolution, then the file replaced in one step.
bool printToPdf(QPrinter& printer, IPrintablePicture& picture, std::string& error)
{
    const QString file = printer.outputFileName();
    if (file.isEmpty()) {
        error = "no file name was given for the PDF output";
        return false;
    }
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        pdf.setResolution(printer.resolution());
        pdf.setPageLayout(printer.pageLayout());
        pdf.setTitle(picture.pageTexts().header);
        pdf.setCreator(QStringLiteral("Vesperon"));
        QPainter p;
        if (!p.begin(&pdf)) {
            error = "the PDF output could not be started";
            return false;
        }
        const QRect paint = pdf.pageLayout().paintRectPixels(pdf.resolution());
        paintPage(p, QRectF(QPointF(0, 0), QSizeF(paint.size())), pdf.resolution(), picture);
        if (!p.end()) {
            error = "the PDF output could not be finished";
            return false;
        }
    }
    return vkit::writeFileAtomically(file.toStdString(), bytes.toStdString(), &error);
}

void showFailure(QWidget* parent, const QString& title, const std::string& error)
{
    QMessageBox box(QMessageBox::Warning, title, QString::fromStdString(error), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("PrintFailed"));
    box.exec();
}

}  // namespace

QPrinter& sharedPrinter()
{
    // Kept for the life of the process: the print back ends must not be
    // torn down after the application object.
    static QPrinter* printer = [] {
        auto* pr = new QPrinter(QPrinter::HighResolution);
        if (pr->outputFormat() == QPrinter::NativeFormat && pr->printerName().isEmpty())
            pr->setOutputFormat(QPrinter::PdfFormat);
        return pr;
    }();
    return *printer;
}

bool printerReady(const QPrinter& printer)
{
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return !printer.outputFileName().isEmpty();
    return !printer.printerName().isEmpty();
}

bool printPictureOn(QPrinter& printer, IPrintablePicture& picture, std::string& error, bool forPreview)
{
    printer.setDocName(picture.pageTexts().header);
    printer.setCreator(QStringLiteral("Vesperon"));
    if (!forPreview && printer.outputFormat() == QPrinter::PdfFormat)
        return printToPdf(printer, picture, error);
    QPainter p;
    if (!p.begin(&printer)) {
        error = forPreview ? "the preview could not be drawn"
                           : "the printer \"" + printer.printerName().toStdString() + "\" could not be started";
        return false;
    }
    const QRectF page(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
    paintPage(p, page, printer.resolution(), picture);
    if (!p.end() || printer.printerState() == QPrinter::Error) {
        error = "the printer \"" + printer.printerName().toStdString() + "\" reported an error";
        return false;
    }
    return true;
}

PrintOutcome runPrint(IPrintablePicture& picture, QWidget* parent, bool direct)
{
    QPrinter& printer = sharedPrinter();
    if (!direct || !printerReady(printer)) {
        QPrintDialog dlg(&printer, parent);
        dlg.setObjectName(QStringLiteral("PrintDialog"));
        dlg.setWindowTitle(QStringLiteral("Print"));
        dlg.setMinMax(1, 1);
        dlg.setFromTo(1, 1);
        dlg.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dlg.setOption(QAbstractPrintDialog::PrintSelection, false);
        dlg.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
        if (dlg.exec() != QDialog::Accepted)
            return PrintOutcome::Cancelled;
    }
    std::string error;
    if (!printPictureOn(printer, picture, error)) {
        showFailure(parent, QStringLiteral("Print"), "The page could not be printed: " + error);
        return PrintOutcome::Failed;
    }
    return PrintOutcome::Printed;
}

QPrintPreviewDialog* printPreviewOf(QWidget* owner)
{
    if (!owner)
        return nullptr;
    return owner->findChild<QPrintPreviewDialog*>(kPreviewName, Qt::FindDirectChildrenOnly);
}

QPrintPreviewDialog* openPrintPreview(std::shared_ptr<IPrintablePicture> picture, QWidget* owner)
{
    if (QPrintPreviewDialog* open = printPreviewOf(owner)) {
        open->raise();
        open->activateWindow();
        return open;
    }
    // A child of its owner: it cannot outlive the window whose picture it shows.
    auto* dlg = new QPrintPreviewDialog(&sharedPrinter(), owner);
    dlg->setObjectName(kPreviewName);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    const QString title = picture->pageTexts().header;
    dlg->setWindowTitle(QStringLiteral("Print Preview - ") + title);
    dlg->setAccessibleName(QStringLiteral("Print preview"));
    QPointer<QWidget> guard(owner);
    QObject::connect(dlg, &QPrintPreviewDialog::paintRequested, dlg, [picture, guard](QPrinter* printer) {
        if (!guard)
            return;
        std::string error;
        printPictureOn(*printer, *picture, error, true);
    });
    // The preview's own Print button prints as File > Print does, so that a
    // PDF is written whole or not at all and a failure is reported.
    const QString printText = QCoreApplication::translate("QPrintPreviewDialog", "Print");
    for (QAction* a : dlg->findChildren<QAction*>())
        if (a->text() == printText) {
            QObject::disconnect(a, &QAction::triggered, dlg, nullptr);
            QObject::connect(a, &QAction::triggered, dlg, [dlg, picture, guard] {
                if (guard && runPrint(*picture, dlg, false) == PrintOutcome::Printed)
                    dlg->close();
            });
        }
    dlg->resize(900, 700);
    dlg->show();
    return dlg;
}

QPrintPreviewDialog* openPrintPreview(IPrintablePicture& ownerPicture, QWidget* owner)
{
    // Not owned: the picture is the owner window, which the preview cannot outlive.
    return openPrintPreview(std::shared_ptr<IPrintablePicture>(std::shared_ptr<void>(), &ownerPicture), owner);
}

bool runPrintSetup(QWidget* parent)
{
    QPageSetupDialog dlg(&sharedPrinter(), parent);
    dlg.setObjectName(QStringLiteral("PrintSetupDialog"));
    dlg.setWindowTitle(QStringLiteral("Print Setup"));
    return dlg.exec() == QDialog::Accepted;
}

}  // namespace vprint
