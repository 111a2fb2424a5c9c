// The Edit menu of an analysis view: every edit on the view's selection and
// channel, the "Change volume" dialog and Copy Ascii to the system clipboard.
#include "display/CVesAnaView.h"

#include "commands/CommandTable.h"
#include "core/LoggCls.h"
#include "display/CAnaPlot.h"
#include "display/CVolumeDlg.h"
#include "document/CVesSoundDoc.h"

#include <QApplication>
#include <QClipboard>

#include <cerrno>
#include <cstdio>
#include <string>

void CVesAnaView::registerEditCommands()
{
    const auto selected = [this](int, CommandState& s) { s.enabled = m_selection.has_value(); };
    m_commands.on(cmd::EditCut, [this](int) { editCut(); }, selected);
    // Copy and Copy Ascii need no selection: without one they take the
    // recording from the cursor (or its start) to the end, and Copy puts the
    // view's picture on the clipboard either way.
    m_commands.on(cmd::EditCopy, [this](int) { editCopy(); });
    m_commands.on(cmd::EditCopyAscii, [this](int) { editCopyAscii(); });
    m_commands.on(cmd::EditPaste, [this](int) { editPaste(); }, [this](int, CommandState& s) { s.enabled = m_doc.canPaste(); });
    m_commands.on(cmd::EditDelete, [this](int) { editDelete(); }, selected);
    m_commands.on(cmd::EditClear, [this](int) { editSilence(); }, selected);
    m_commands.on(cmd::EditReverse, [this](int) { editReverse(); }, selected);
    m_commands.on(cmd::EditVolume, [this](int) { editVolume(); }, selected);
}

void CVesAnaView::editRange(std::int64_t& start, std::int64_t& end, ChannelSel& channel) const
{
    if (m_selection) {
        start = m_selection->first();
        end = m_selection->last();
        channel = m_selection->channel;
        return;
    }
    start = m_cursor.isSet() ? m_cursor.position : 0;
    end = -1;
    channel = m_cursor.channel;
}

void CVesAnaView::afterEdit()
{
    const std::int64_t length = m_doc.lengthFrames();
    if (m_selection && (m_selection->first() > length || m_selection->last() > length))
        setSelection(std::nullopt);
    if (m_cursor.position > length)
        m_cursor.position = length;
    marksChanged(m_doc);
    cursorOrSelectionChanged();
}

bool CVesAnaView::runEdit(bool removesSelection, const RangeEdit& edit)
{
    std::int64_t s, e;
    ChannelSel c;
    editRange(s, e, c);
    const bool ok = edit(s, e, c);
    if (ok && removesSelection)
        setSelection(std::nullopt);
    afterEdit();
    return ok;
}

bool CVesAnaView::editCut()
{
    return runEdit(true, [this](std::int64_t s, std::int64_t e, ChannelSel c) { return m_doc.cut(s, e, c); });
}

bool CVesAnaView::editCopy()
{
    std::int64_t s, e;
    ChannelSel c;
    editRange(s, e, c);
    // A picture of the plot first, then the samples into the clip store.
    copyPicture();
    const bool ok = m_doc.copy(s, e, c);
    m_host.viewSelectionChanged();
    return ok;
}

bool CVesAnaView::editPaste()
{
    return runEdit(true, [this](std::int64_t s, std::int64_t e, ChannelSel c) { return m_doc.paste(s, e, c); });
}

bool CVesAnaView::editDelete()
{
    return runEdit(true, [this](std::int64_t s, std::int64_t e, ChannelSel c) { return m_doc.deleteRange(s, e, c); });
}

bool CVesAnaView::editSilence()
{
    return runEdit(false, [this](std::int64_t s, std::int64_t e, ChannelSel c) { return m_doc.silence(s, e, c); });
}

bool CVesAnaView::editReverse()
{
    return runEdit(false, [this](std::int64_t s, std::int64_t e, ChannelSel c) { return m_doc.reverse(s, e, c); });
}

bool CVesAnaView::editVolume(std::optional<int> percent)
{
    if (!percent) {
        CVolumeDlg dlg(this);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        percent = dlg.percent();
    }
    const int p = *percent;
    return runEdit(false, [this, p](std::int64_t s, std::int64_t e, ChannelSel c) { return m_doc.volume(s, e, c, p); });
}

bool CVesAnaView::editUndo()
{
    const bool ok = m_doc.undo();
    afterEdit();
    return ok;
}

bool CVesAnaView::editCopyAscii()
{
    std::int64_t s, e;
    ChannelSel c;
    editRange(s, e, c);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    std::FILE* f = std::tmpfile();  // in the temporary folder, gone when closed
    if (!f) {
        m_doc.host().message("Error while creating temporary file for ascii data: " + vkit::systemErrorText(errno));
        return false;
    }
    if (!m_doc.generateAscii(s, e, c, f)) {
        std::fclose(f);
        return false;
    }
    std::string text;
    std::fflush(f);
    std::rewind(f);
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    std::fclose(f);
    QApplication::clipboard()->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    return true;
}
