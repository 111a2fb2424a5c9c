#include "shell/CAppDocument.h"

#include "commands/CommandTable.h"
#include "display/CVesAnaView.h"
#include "core/AtomicFile.h"
#include "document/MarkTables.h"
#include "document/ViewUpdate.h"
#include "shell/CChildFrame.h"
#include "shell/CFilePropDlg.h"
#include "shell/CMainFrame.h"
#include "shell/CVesSoundApp.h"
#include "shell/FileDialogTables.h"
#include "soundfiles/VesFileType.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <unistd.h>

CAppDocument::CAppDocument(CVesSoundApp& app)
    : m_app(app), m_doc(std::make_unique<CVesSoundDoc>(static_cast<IDocHost&>(*this), app.defData()))
{
    m_commands.on(cmd::FileSave, [this](int) { save(); });
    m_commands.on(cmd::FileSaveAs, [this](int) { saveAs(); });
    m_commands.on(cmd::FileClose, [this](int) { close(); });
    m_commands.on(cmd::FileProperties, [this](int) {
        CFilePropDlg dlg(*m_doc, m_app.mainFrame());
        const bool wasModified = m_doc->modified();
        if (dlg.exec() == QDialog::Accepted && m_doc->modified() != wasModified)
            updateTitles();
    });
    m_commands.on(cmd::ExportMarks, [this](int) { exportMarks(); }, [this](int, CommandState& s) { s.enabled = !m_doc->marks().empty(); });
    m_commands.on(cmd::ImportMarks, [this](int) { importMarks(); });
}

bool CAppDocument::exportMarks()
{
    std::string proposed = plainPath();
    if (const size_t dot = proposed.find_last_of('.'); dot != std::string::npos && proposed.find('/', dot) == std::string::npos)
        proposed.erase(dot);
    if (!proposed.empty())
        proposed += ".selections.txt";
    const std::optional<MarkTableChoice> choice = m_app.dialogs().markTableFile(m_app.mainFrame(), true, proposed);
    if (!choice)
        return false;
    const AnnotationTable table = marksToTable(*m_doc);
    const std::string text = choice->selectionTable ? writeSelectionTable(table) : writeLabelTrack(table);
    std::string error;
    if (!vkit::writeFileAtomically(choice->path, text, &error)) {
        message("Cannot write " + choice->path + ": " + error);
        return false;
    }
    status(std::to_string(table.rows.size()) + (table.rows.size() == 1 ? " mark" : " marks") + " written to " +
           choice->path);
    return true;
}

bool CAppDocument::importMarks()
{
    const std::optional<MarkTableChoice> choice = m_app.dialogs().markTableFile(m_app.mainFrame(), false, plainPath());
    if (!choice)
        return false;
    // Tables of many thousands of marks stay far below this; a larger file is not one.
    constexpr std::size_t kMaxTableBytes = 64u << 20;
    std::string text;
    if (!vkit::readWholeFile(choice->path, text, kMaxTableBytes)) {
        message("Cannot read " + choice->path);
        return false;
    }
    const bool selection = looksLikeSelectionTable(text);
    AnnotationTable table;
    std::string error;
    if (!(selection ? readSelectionTable(text, table, error) : readLabelTrack(text, table, error))) {
        message(choice->path + ": " + error);
        return false;
    }
    const int added = addMarksFromTable(*m_doc, table, error);
    if (added < 0) {
        message(choice->path + ": " + error);
        return false;
    }
    CVesAnaView::marksChanged(*m_doc);
    updateTitles();
    status(std::to_string(added) + (added == 1 ? " mark" : " marks") + " added from " + choice->path);
    return true;
}

CAppDocument::~CAppDocument() = default;

void CAppDocument::startBackgroundCopy()
{
    if (!m_doc->samples().hasSource())
        return;
    m_doc->startBackgroundCopy();
    if (!m_copyTimer) {
        m_copyTimer = new QTimer(this);
        m_copyTimer->setInterval(250);
        connect(m_copyTimer, &QTimer::timeout, this, &CAppDocument::showBackgroundCopy);
    }
    m_copyTimer->start();
    showBackgroundCopy();
}

void CAppDocument::showBackgroundCopy()
{
    const bool running = m_doc->backgroundCopyRunning();
    if (!running)
        m_copyTimer->stop();
    if (m_app.busy())
        return;  // an operation of its own owns the status bar
    if (!running) {
        m_app.showStatus(QString());
        return;
    }
    const std::int64_t total = std::max<std::int64_t>(1, m_doc->lengthBytes());
    const double percent = 100.0 * static_cast<double>(m_doc->backgroundCopyDone()) / static_cast<double>(total);
    m_app.showStatus(QString::asprintf("%s %3.0f%%", ("Reading " + plainPath()).c_str(), percent));
}

CAppDocument& CAppDocument::of(CVesAnaView& view)
{
    // Every view of the program is hosted by a document wrapper.
    return static_cast<CAppDocument&>(view.viewHost());
}

QString CAppDocument::title() const
{
    if (m_doc->path().empty() && m_doc->pendingSavePath().empty())
        return m_newNumber > 0 ? QStringLiteral("Vesperon%1").arg(m_newNumber) : QStringLiteral("Vesperon");
    return QString::fromStdString(m_doc->title());
}

std::string CAppDocument::plainPath() const
{
    return VesFilePath(m_doc->path()).plain();
}

void CAppDocument::addView(CVesAnaView* view)
{
    m_views.push_back(view);
}

void CAppDocument::removeView(CVesAnaView* view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    if (m_activeView == view)
        m_activeView = m_views.empty() ? nullptr : m_views.back();
    if (m_views.empty())
        emit lastViewClosed(this);
    else
        updateTitles();
}

void CAppDocument::setActiveView(CVesAnaView* view)
{
    m_activeView = view;
}

void CAppDocument::updateTitles()
{
    const QString base = title();
    for (std::size_t i = 0; i < m_views.size(); ++i) {
        CChildFrame* frame = CChildFrame::of(m_views[i]);
        if (!frame)
            continue;
        QString t = base;
        if (m_views.size() > 1)
            t += QStringLiteral(":%1").arg(i + 1);
        if (m_doc->modified())
            t += QStringLiteral(" *");
        frame->setWindowTitle(t);
    }
    if (m_app.mainFrame())
        m_app.mainFrame()->updateTitle();
}

bool CAppDocument::save()
{
    const std::string plain = plainPath();
    const bool needsDialog = !m_doc->pendingSavePath().empty() || plain.empty() || ::access(plain.c_str(), F_OK) != 0 ||
                             ::access(plain.c_str(), W_OK) != 0;
    if (needsDialog)
        return saveWithDialog(true);
    const bool ok = m_doc->doSave("", true);
    updateTitles();
    return ok;
}

bool CAppDocument::saveAs()
{
    return saveWithDialog(true);
}

bool CAppDocument::saveWithDialog(bool replace)
{
    const std::string current = !m_doc->pendingSavePath().empty() ? m_doc->pendingSavePath() : plainPath();
    std::string folder;
    const size_t slash = current.find_last_of('/');
    if (slash != std::string::npos)
        folder = current.substr(0, slash + 1);
    const std::string proposed = folder + proposedSaveName(title().toStdString());
    const std::optional<SaveChoice> choice = askSavePath(proposed, m_doc->saveType());
    if (!choice)
        return false;
    const std::string plain = VesFilePath(choice->path).plain();
    const std::string tagged = VesFilePath::tagged(plain, choice->type);
    bool ok;
    if (tagNamesType(choice->type)) {
        ok = m_doc->doSave(tagged, replace);
    } else {
        const int before = m_doc->saveType();
        m_doc->setSaveType(choice->type);
        ok = m_doc->doSave(plain, replace);
        if (ok && replace)
            m_doc->setPath(plain);
        else
            m_doc->setSaveType(before);
    }
    if (ok && replace)
        m_openedType = 0;  // the document goes by the path it was saved to now
    updateTitles();
    if (ok)
        rememberSaved(tagNamesType(choice->type) ? tagged : plain);
    return ok;
}

bool CAppDocument::saveInterval(std::int64_t first, std::int64_t last)
{
    const VesFilePath path(m_doc->path());
    int type = kTypeVesperonWave;
    if (m_doc->path().empty())
        type = kTypeWave;
    else if (path.hasTag())
        type = fileTypeByName(path.tag());
    else if (m_openedType > 0)
        type = m_openedType;
    if (type == kTypeCodec)
        type = kTypeVesperonWave;  // compressed audio is read, never written
    const std::optional<SaveChoice> choice = askSavePath(path.plain(), type);
    if (!choice)
        return false;
    const std::string plain = VesFilePath(choice->path).plain();
    m_doc->host().status("Save " + plain);
    if (!m_doc->save(plain, choice->type, first, last))
        return false;
    rememberSaved(tagNamesType(choice->type) ? VesFilePath::tagged(plain, choice->type) : plain);
    return true;
}

std::optional<SaveChoice> CAppDocument::askSavePath(const std::string& proposed, int type)
{
    return m_app.dialogs().saveFile(m_app.mainFrame(), proposed, type);
}

void CAppDocument::rememberSaved(const std::string& path)
{
    m_app.recentFiles().add(path);
    if (m_app.mainFrame())
        m_app.mainFrame()->rebuildRecentFiles();
}

bool CAppDocument::saveModified()
{
    if (!m_doc->modified())
        return true;
    switch (m_app.dialogs().askSaveChanges(m_app.mainFrame(), title().toStdString())) {
    case IShellDialogs::Answer::Yes: return save();
    case IShellDialogs::Answer::No: return true;
    case IShellDialogs::Answer::Cancel: break;
    }
    return false;
}

bool CAppDocument::close(bool ask)
{
    if (m_closing)
        return true;
    if (ask && !saveModified())
        return false;
    // A converted recording that was not saved goes by its own-format path
    // from here on, as it would have after a save.
    if (!m_doc->pendingSavePath().empty())
        m_doc->setPath(m_doc->pendingSavePath());
    m_closing = true;
    // Each frame goes; the last one takes the document with it.
    const std::vector<CVesAnaView*> views = m_views;
    for (CVesAnaView* v : views)
        if (CChildFrame* f = CChildFrame::of(v))
            f->close();
    if (views.empty())
        emit lastViewClosed(this);
    return true;
}

// ---- IDocHost ----

void CAppDocument::message(const std::string& text)
{
    m_app.message(text);
}

void CAppDocument::status(const std::string& text)
{
    m_app.showStatus(QString::fromStdString(text));
}

void CAppDocument::beginOperation(const std::string& text)
{
    m_app.beginOperation(text);
}

bool CAppDocument::progress(const std::string& text, std::int64_t done, std::int64_t total)
{
    return m_app.progress(text, done, total);
}

void CAppDocument::endOperation()
{
    m_app.endOperation();
}

void CAppDocument::postViewMessage(ViewMessage message)
{
    // May come from a worker thread: the message is handled later on the user
    // interface thread, and not at all when the document is gone by then.
    QMetaObject::invokeMethod(this, [this, message] { handleViewMessage(message); }, Qt::QueuedConnection);
}

void CAppDocument::handleViewMessage(ViewMessage message)
{
    if (m_closing)
        return;
    switch (message) {
    case ViewMessage::LengthFromStore: {
        const std::vector<CVesAnaView*> views = m_views;
        for (CVesAnaView* v : views)
            v->lengthFromStore();
        m_doc->updateAllViews(viewupdate::Format{});
        break;
    }
    }
}

void CAppDocument::openCombinedView()
{
    // After the open that asks for it has given the document its first view.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_closing)
                m_app.openView(*this, ViewKind::Combined);
        },
        Qt::QueuedConnection);
}

// ---- IViewHost ----

const VesAnaParms& CAppDocument::defaultAnaParms() const
{
    return m_app.defaultAnaParms();
}

VesDefData& CAppDocument::defaultData() { return m_app.defData(); }

void CAppDocument::setDefaultAnaParms(const VesAnaParms& parms)
{
    m_app.setDefaultAnaParms(parms);
}

std::vector<VesColorMap>& CAppDocument::userColorMaps()
{
    return m_app.userColorMaps();
}

void CAppDocument::saveUserColorMaps()
{
    m_app.saveUserColorMaps();
}

void CAppDocument::viewSelectionChanged()
{
    if (CMainFrame* f = m_app.mainFrame())
        f->scheduleCommandUpdate();
}

void CAppDocument::showCursorMenu(const QPoint& globalPos, int hit)
{
    if (CMainFrame* f = m_app.mainFrame())
        f->showCursorMenu(globalPos, hit);
}

bool CAppDocument::askCompressedSaveParms(int& silentLevelDb, int& beforeMs, int& afterMs)
{
    return m_app.dialogs().compressedSaveParms(m_app.mainFrame(), silentLevelDb, beforeMs, afterMs);
}

VesPowerParms& CAppDocument::powerDefaults()
{
    return m_app.powerParms();
}

VesRateParms& CAppDocument::rateDefaults()
{
    return m_app.rateParms();
}

VesPulsParms& CAppDocument::pulsDefaults()
{
    return m_app.pulsParms();
}
