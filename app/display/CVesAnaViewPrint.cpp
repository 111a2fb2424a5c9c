// The File menu's picture commands of an analysis view: Print, Print
// Direct, Print Preview and Export Graphics, and the picture part of Copy.
// The view is drawn by ViewPicture; app/print does the rest.
#include "display/CVesAnaView.h"

#include "commands/CommandTable.h"
#include "display/ViewPicture.h"
#include "document/CVesSoundDoc.h"
#include "print/PictureClipboard.h"
#include "print/PictureExport.h"
#include "print/PicturePrinting.h"

#include <QFileInfo>

#include <memory>

void CVesAnaView::registerPrintCommands()
{
    m_commands.on(cmd::FilePrint, [this](int) {
        ViewPicture picture(*this);
        vprint::runPrint(picture, this, false);
    });
    m_commands.on(cmd::FilePrintDirect, [this](int) {
        ViewPicture picture(*this);
        vprint::runPrint(picture, this, true);
    });
    m_commands.on(cmd::FilePrintPreview, [this](int) { vprint::openPrintPreview(std::make_shared<ViewPicture>(*this), this); });
    m_commands.on(cmd::ExportGraphics, [this](int) { exportGraphics(); });
}

void CVesAnaView::exportGraphics()
{
    ViewPicture picture(*this);
    const QString base = QFileInfo(QString::fromStdString(m_doc.title())).completeBaseName();
    IDocHost& host = m_doc.host();
    vprint::runGraphicsExport(picture, this, base,
                              {[&host](const std::string& name) { host.beginOperation(name); },
                               [&host] { host.endOperation(); }});
}

void CVesAnaView::copyPicture()
{
    ViewPicture picture(*this);
    vprint::copyPictureToClipboard(picture);
}
