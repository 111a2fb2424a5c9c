#include "filter/ViewFilter.h"

#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "display/ViewParts.h"
#include "document/CVesSoundDoc.h"
#include "filter/CVesFilterDlg.h"
#include "filter/FilterDesign.h"
#include "filter/FilterDocument.h"

ViewFilter::ViewFilter(CVesAnaView& view, CommandHandlers& commands) : QObject(&view), m_view(view)
{
    commands.on(cmd::EditFilter, [this](int) { filterSelection(); },
                [this](int, CommandState& s) { s.enabled = m_view.doc().lengthFrames() > 0; });
}

ViewFilter* ViewFilter::of(const CVesAnaView* view)
{
    return viewPart<ViewFilter>(view);
}

void ViewFilter::registerPart()
{
    registerViewPart("filter", [](CVesAnaView& view, CommandHandlers& commands) { new ViewFilter(view, commands); });
}

bool ViewFilter::filterSelection()
{
    CVesSoundDoc& doc = m_view.doc();
    const double nyquistHz = filterNyquistHz(doc.format().samplesPerSec, doc.effectiveTimeExp25());
    CVesFilterDlg dlg(CVesFilterDlg::programRecord(), nyquistHz, &m_view);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    CVesFilterDlg::programRecord() = dlg.record();
    // The selection, else from the cursor (or the start) to the end, as every edit.
    std::int64_t first = 0, last = -1;
    ChannelSel channel = ChannelSel::Both;
    m_view.editRange(first, last, channel);
    if (last < 0)
        last = doc.lengthFrames();
    const bool ok = filterDocument(doc, first, last, channel, dlg.sections());
    m_view.afterEdit();
    return ok;
}
