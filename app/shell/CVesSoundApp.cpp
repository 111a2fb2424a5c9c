#include "shell/CVesSoundApp.h"
#include "widgets/HelpFolders.h"

#include "autorec/AutoRecMessage.h"
#include "calls/ViewCalls.h"
#include "core/RegCls.h"
#include "core/VkitXML.h"
#include "filter/ViewFilter.h"
#include "power/ViewPower.h"
#include "pulse/ViewPulse.h"
#include "soundio/ViewPlayback.h"
#include "display/CVesAnaView.h"
#include "display/ColorMapEditing.h"
#include "display/ColorPalettes.h"
#include "document/FileNeighbours.h"
#include "shell/CAboutDlg.h"
#include "shell/CAppDocument.h"
#include "shell/CMainFrame.h"
#include "commands/CommandTable.h"
#include "shell/FileDialogTables.h"
#include "soundfiles/VesFileType.h"

#include "soundio/SoundDevices.h"
#include "soundio/SoundSystem.h"
#include "zc/CZcFrame.h"
#include "zc/CZcView.h"
#include "zcfiles/ZcFile.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {
CVesSoundApp* g_app = nullptr;

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
}  // namespace

CVesSoundApp::CVesSoundApp(int& argc, char** argv)
{
    if (!QApplication::instance())
        m_qapp = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vesperon"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vallomer"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Vesperon"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vesperon"));
    QApplication::setWindowIcon(appIcon());
    m_reg = std::make_unique<vkit::RegCls>();
    m_dialogs = std::make_unique<CShellDialogs>();
    m_sinceEvents = std::make_unique<QElapsedTimer>();
    g_app = this;
    registerCommands();
    // The window families add themselves to every new analysis view, in
    // this order: their commands and keys come after the view's own.
    ViewFilter::registerPart();
    ViewPower::registerPart();
    ViewPulse::registerPart();
    ViewCalls::registerPart();
    registerPlaybackParts();
    // The recording dialogs' messages go to the program's message box.
    autorecui::setMessageSink([this](QWidget*, const std::string& text) { message(text, IShellDialogs::Icon::Warning); });
    // "New file" of a recording asks through the program's save dialog.
    autorecui::setSaveDialog([this](QWidget* parent, const std::string& proposed,
                                    int type) -> std::optional<autorecui::SavePathChoice> {
        const std::optional<SaveChoice> c = m_dialogs->saveFile(parent, proposed, type);
        if (!c)
            return std::nullopt;
        return autorecui::SavePathChoice{c->path, c->type};
    });
}

CVesSoundApp::~CVesSoundApp()
{
    // The frames go first: their views detach from the documents.
    m_frame.reset();
    for (CAppDocument* d : findChildren<CAppDocument*>(Qt::FindDirectChildrenOnly))
        delete d;
    m_documents.clear();
    if (g_app == this) {
        g_app = nullptr;
        autorecui::setMessageSink({});
        autorecui::setSaveDialog({});
    }
}

CVesSoundApp* CVesSoundApp::instance()
{
    return g_app;
}

void CVesSoundApp::setDialogs(std::unique_ptr<IShellDialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
}

QString CVesSoundApp::webHost() const
{
    QString host = QString::fromStdString(m_reg->readText(kHelpKey, "WebHost", kDefaultWebHost));
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    return host;
}

void CVesSoundApp::loadSettings()
{
    m_defData.load(*m_reg);
    m_defAnaParms.load(*m_reg);
    UpgradeColorMap(m_defAnaParms.m_colorMap);
    m_colorMaps = VesColorMapList::load(*m_reg);
    upgradeColorMaps(m_colorMaps);
    m_power.load(*m_reg);
    m_rate.load(*m_reg);
    m_puls.load(*m_reg);
    m_autoRec.load(*m_reg);
    for (VesCardParms& c : m_cards)
        c.load(*m_reg);
    m_daqCard.load(*m_reg);
    m_recent.load(*m_reg);
    const std::string speeds = m_reg->readText(kPlaySpeedKey, "Defaults", "");
    const auto list = speeds.empty() ? nullptr : VkitXML::Node::parse(speeds.data(), speeds.size());
    ViewPlayback::programPresets().fromXml(list && list->name() == "PlaySpeedDataList" ? list.get() : nullptr);
}

void CVesSoundApp::setDefaultAnaParms(const VesAnaParms& parms)
{
    m_defAnaParms = parms;
    m_reg->beginUpdate();
    m_defAnaParms.save(*m_reg);
    m_reg->endUpdate();
}

bool CVesSoundApp::saveUserColorMaps()
{
    m_reg->beginUpdate();
    const bool ok = VesColorMapList::save(*m_reg, m_colorMaps);
    return m_reg->endUpdate() && ok;
}

bool CVesSoundApp::saveSettings()
{
    m_reg->beginUpdate();
    if (m_soundDevicesStarted) {
        m_defData.m_playDev = soundDevices().playbackDeviceName();
        m_defData.m_recDev = soundDevices().recordingDeviceName();
    }
    bool ok = m_defData.save(*m_reg);
    ok = m_defAnaParms.save(*m_reg) && ok;
    ok = m_power.save(*m_reg) && ok;
    ok = m_rate.save(*m_reg) && ok;
    ok = m_puls.save(*m_reg) && ok;
    ok = m_autoRec.save(*m_reg) && ok;
    for (const VesCardParms& c : m_cards)
        ok = c.save(*m_reg) && ok;
    ok = m_daqCard.save(*m_reg) && ok;
    ok = m_recent.save(*m_reg) && ok;
    ok = m_reg->writeText(kPlaySpeedKey, "Defaults", ViewPlayback::programPresets().toXml()->toString()) && ok;
    return m_reg->endUpdate() && ok;
}

bool CVesSoundApp::startUp(const QStringList& arguments)
{
    loadSettings();
    startSoundDevices(m_defData.m_playDev, m_defData.m_recDev);
    m_soundDevicesStarted = true;
    m_frame = std::make_unique<CMainFrame>(*this);
    if (m_frame->restoreWindowState()) {
        m_frame->show();
    } else {
        // A first start: the whole screen.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            m_frame->resize(screen->availableGeometry().size());
        m_frame->showMaximized();
    }

    std::vector<std::string> files;
    bool projects = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a.startsWith(QLatin1Char('-')) && !QFileInfo::exists(a))
            continue;  // Qt's own options
        // A season's project opens in its own window.
        if (a.endsWith(QStringLiteral(".vproj"), Qt::CaseInsensitive)) {
            m_frame->openProject(QFileInfo(a).absoluteFilePath().toStdString());
            projects = true;
            continue;
        }
        files.push_back(QFileInfo(a).absoluteFilePath().toStdString());
    }
    if (files.empty() && !projects)
        QTimer::singleShot(0, this, [this] { runCommand(cmd::OpenAtStartUp); });
    else if (!files.empty())
        openDocuments(files, 0);
    return true;
}

int CVesSoundApp::exec()
{
    return QApplication::exec();
}

// ---- documents and views ----

CVesAnaView* CVesSoundApp::activeView() const
{
    return m_frame ? m_frame->activeView() : nullptr;
}

CAppDocument* CVesSoundApp::activeDocument() const
{
    CVesAnaView* v = activeView();
    return v ? &CAppDocument::of(*v) : nullptr;
}

CAppDocument* CVesSoundApp::findDocument(const std::string& plainPath) const
{
    for (CAppDocument* d : m_documents)
        if (!plainPath.empty() && d->plainPath() == plainPath)
            return d;
    return nullptr;
}

CAppDocument* CVesSoundApp::newDocument()
{
    auto* d = new CAppDocument(*this);
    d->setParent(this);
    d->setNewNumber(nextNewDocumentNumber());
    ViewPlayback::copyProgramPresets(d->doc());
    connect(d, &CAppDocument::lastViewClosed, this, &CVesSoundApp::documentLastViewClosed);
    m_documents.push_back(d);
    openView(*d, ViewKind::Combined);
    d->startBackgroundCopy();
    emit documentsChanged();
    return d;
}

CAppDocument* CVesSoundApp::openDocument(const std::string& path, int type)
{
    const std::string tagged = pathWithOpenType(path, type);
    const std::string plain = VesFilePath(tagged).plain();
    if (CAppDocument* open = findDocument(plain)) {
        if (m_frame && !open->views().empty())
            m_frame->activateView(open->views().front());
        return open;
    }
    auto* d = new CAppDocument(*this);
    if (!d->doc().open(tagged)) {
        delete d;
        return nullptr;
    }
    // Colour maps that the recording's views carry join the user's list.
    bool newMaps = false;
    for (VesAnaParms& set : d->doc().pendingAnaParms()) {
        UpgradeColorMap(set.m_colorMap);
        newMaps = TakeInColorMap(m_colorMaps, set.m_colorMap) || newMaps;
    }
    if (newMaps)
        saveUserColorMaps();
    ViewPlayback::completeFromProgramPresets(d->doc());
    // The document goes by its plain path; its type travels as its save type,
    // and the type it was opened as is what a saved interval is proposed in.
    d->doc().setPath(plain);
    if (const VesFilePath t(tagged); t.hasTag())
        d->setOpenedType(fileTypeByName(t.tag()));
    d->setParent(this);
    connect(d, &CAppDocument::lastViewClosed, this, &CVesSoundApp::documentLastViewClosed);
    m_documents.push_back(d);
    m_recent.add(tagged);
    if (m_frame)
        m_frame->rebuildRecentFiles();
    openView(*d, ViewKind::Combined);
    d->startBackgroundCopy();
    emit documentsChanged();
    return d;
}

int CVesSoundApp::openDocuments(const std::vector<std::string>& paths, int type)
{
    int opened = 0;
    beginOperation("Open ");
    for (const std::string& p : paths) {
        const std::string plain = VesFilePath(p).plain();
        if (type == 0 && zcfile::isZcPath(plain)) {
            if (!openZcFile(plain))
                break;
            ++opened;
            continue;
        }
        if (!openDocument(p, type))
            break;
        ++opened;
    }
    endOperation();
    return opened;
}

bool CVesSoundApp::openZcFile(const std::string& path)
{
    // A file already open comes to the front.
    if (m_frame)
        for (QMdiSubWindow* w : m_frame->mdiArea()->subWindowList())
            if (CZcView* open = CZcFrame::viewOf(w); open && open->path() == path) {
                m_frame->mdiArea()->setActiveSubWindow(w);
                return true;
            }
    zcfile::ZcFile file;
    std::string error;
    if (!zcfile::readFile(path, file, error)) {
        message("Unable to open the zero-crossing file " + path + ": " + error);
        return false;
    }
    m_recent.add(path);
    if (m_frame) {
        m_frame->rebuildRecentFiles();
        m_frame->addZcView(new CZcView(std::move(file), path));
    }
    return true;
}

CVesAnaView* CVesSoundApp::openView(CAppDocument& doc, ViewKind kind)
{
    CVesAnaView* view = makeAnaView(doc, kind);
    if (m_frame)
        m_frame->addView(view);
    return view;
}

void CVesSoundApp::documentLastViewClosed(CAppDocument* doc)
{
    const auto it = std::find(m_documents.begin(), m_documents.end(), doc);
    if (it == m_documents.end())
        return;
    m_documents.erase(it);
    doc->deleteLater();
    if (m_frame) {
        m_frame->updateTitle();
        m_frame->scheduleCommandUpdate();
    }
    emit documentsChanged();
}

bool CVesSoundApp::openFromDialog()
{
    CAppDocument* active = activeDocument();
    const std::string folder = active ? folderOf(active->plainPath()) : std::string();
    const std::optional<OpenChoice> choice = m_dialogs->openFiles(m_frame.get(), folder);
    if (!choice || choice->paths.empty())
        return false;
    return openDocuments(choice->paths, choice->type) > 0;
}

bool CVesSoundApp::importFromDialog()
{
    CAppDocument* active = activeDocument();
    const std::vector<std::string> paths =
        m_dialogs->importFiles(m_frame.get(), active ? folderOf(active->plainPath()) : std::string());
    if (paths.empty())
        return false;
    int opened = 0;
    beginOperation("File Import");
    for (const std::string& p : paths) {
        CAppDocument* d = openDocument(p, kTypeCodec);
        if (!d)
            break;
        d->doc().setModified(true);
        d->updateTitles();
        ++opened;
    }
    endOperation();
    return opened > 0;
}

bool CVesSoundApp::closeAndOpenNeighbour(bool next)
{
    CAppDocument* current = activeDocument();
    CZcView* currentZc = m_frame ? m_frame->activeZcView() : nullptr;
    if (!current && !currentZc)
        return false;
    std::vector<std::string> open;
    for (CAppDocument* d : m_documents)
        open.push_back(d->plainPath());
    if (m_frame)
        for (QMdiSubWindow* w : m_frame->mdiArea()->subWindowList())
            if (CZcView* zc = CZcFrame::viewOf(w))
                open.push_back(zc->path());
    const NeighbourFile n = findNeighbourFile(currentZc ? currentZc->path() : current->doc().path(), next, open);
    if (n.path.empty()) {
        message(n.message, IShellDialogs::Icon::Information);
        return false;
    }
    beginOperation("Open ");
    const bool opened = zcfile::isZcPath(n.path) ? openZcFile(n.path) : openDocument(n.path, kTypeNone) != nullptr;
    endOperation();
    if (!opened)
        return false;
    if (auto* frame = currentZc ? qobject_cast<QMdiSubWindow*>(currentZc->parentWidget()) : nullptr)
        frame->close();
    else
        current->close();
    return true;
}

// ---- commands ----

void CVesSoundApp::registerCommands()
{
    const auto hasDocument = [this](int, CommandState& s) { s.enabled = activeDocument() != nullptr; };
    m_commands.on(cmd::FileNew, [this](int) { newDocument(); });
    m_commands.on(cmd::FileOpen, [this](int) { openFromDialog(); });
    m_commands.on(cmd::FileImport, [this](int) { importFromDialog(); });
    m_commands.on(cmd::OpenAtStartUp, [this](int) {
        if (!openFromDialog())
            newDocument();
    });
    // A zero-crossing window walks its folder too.
    const auto hasFile = [this](int, CommandState& s) {
        s.enabled = activeDocument() != nullptr || (m_frame && m_frame->activeZcView());
    };
    for (int id : {cmd::CloseOpenNext, cmd::CloseOpenNextKey})
        m_commands.on(id, [this](int) { closeAndOpenNeighbour(true); }, hasFile);
    for (int id : {cmd::CloseOpenPrevious, cmd::CloseOpenPreviousKey})
        m_commands.on(id, [this](int) { closeAndOpenNeighbour(false); }, hasFile);
    m_commands.onRange(
        cmd::FileMruFirst, cmd::FileMruLast,
        [this](int id) {
            const auto i = static_cast<size_t>(id - cmd::FileMruFirst);
            if (i >= m_recent.entries().size())
                return;
            const std::string path = m_recent.entries()[i];
            beginOperation("Open ");
            CAppDocument* d = openDocument(path, kTypeNone);
            endOperation();
            if (!d && !QFileInfo::exists(QString::fromStdString(VesFilePath(path).plain()))) {
                m_recent.remove(path);
                if (m_frame)
                    m_frame->rebuildRecentFiles();
            }
        },
        [this](int id, CommandState& s) { s.enabled = id - cmd::FileMruFirst < static_cast<int>(m_recent.entries().size()); });
    const std::pair<int, ViewKind> views[] = {{cmd::NewCombinedView, ViewKind::Combined},
                                              {cmd::NewSpectrogramView, ViewKind::Spectrogram},
                                              {cmd::NewOscillogramView, ViewKind::Oscillogram},
                                              {cmd::NewZeroCrossingView, ViewKind::ZeroCrossing}};
    for (const auto& [id, kind] : views)
        m_commands.on(id, [this, kind = kind](int) {
            if (CAppDocument* d = activeDocument())
                openView(*d, kind);
        }, hasDocument);
    m_commands.on(cmd::HelpLocal, [this](int) { openLocalHelp(); });
    m_commands.on(cmd::HelpWeb, [this](int) {
        QDesktopServices::openUrl(QUrl(webHost() + QString::fromLatin1(kHelpPagePath)));
    });
    m_commands.on(cmd::HomePage, [this](int) { QDesktopServices::openUrl(QUrl(webHost() + QStringLiteral("/"))); });
    m_commands.on(cmd::AppAbout, [this](int) { showAbout(); });
    m_commands.on(cmd::AppExit, [this](int) {
        if (m_frame)
            m_frame->close();
    });
}

std::vector<ICommandTarget*> CVesSoundApp::commandChain() const
{
    std::vector<ICommandTarget*> chain;
    if (CZcView* zc = m_frame ? m_frame->activeZcView() : nullptr)
        chain.push_back(&zc->commands());
    if (CVesAnaView* v = activeView()) {
        chain.push_back(&v->commands());
        chain.push_back(&CAppDocument::of(*v).commands());
    }
    if (m_frame)
        chain.push_back(&m_frame->commands());
    chain.push_back(const_cast<CommandHandlers*>(&m_commands));
    return chain;
}

CommandState CVesSoundApp::commandState(int id) const
{
    CommandState s = queryCommand(commandChain(), id);
    if (busy())
        s.enabled = false;
    return s;
}

bool CVesSoundApp::runCommand(int id)
{
    if (busy())
        return false;
    const bool ran = dispatchCommand(commandChain(), id);
    if (m_frame)
        m_frame->scheduleCommandUpdate();
    return ran;
}

// ---- messages and progress ----

void CVesSoundApp::message(const std::string& text, IShellDialogs::Icon icon)
{
    m_dialogs->message(m_frame.get(), text, icon);
}

void CVesSoundApp::showStatus(const QString& text)
{
    if (m_frame)
        m_frame->showStatusText(text);
}

void CVesSoundApp::beginOperation(const std::string& name)
{
    const bool first = !m_progress.active();
    showStatus(QString::fromStdString(m_progress.begin(name)));
    if (first) {
        m_cancel = false;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        if (m_frame)
            m_frame->setOperationActive(true);
        m_sinceEvents->start();
    }
}

bool CVesSoundApp::progress(const std::string& text, std::int64_t done, std::int64_t total)
{
    if (const std::optional<std::string> t = m_progress.progress(text, done, total))
        showStatus(QString::fromStdString(*t));
    // Let the status bar show and the Cancel button be pressed, a few times a second.
    if (m_progress.active() && (!m_sinceEvents->isValid() || m_sinceEvents->elapsed() >= 100)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_sinceEvents->start();
    }
    return !m_cancel;
}

void CVesSoundApp::endOperation()
{
    if (!m_progress.active())
        return;
    showStatus(QString::fromStdString(m_progress.end()));
    if (!m_progress.active()) {
        QGuiApplication::restoreOverrideCursor();
        if (m_frame)
            m_frame->setOperationActive(false);
        m_cancel = false;
    }
}

QIcon CVesSoundApp::appIcon()
{
    QIcon icon;
    QSvgRenderer svg(QStringLiteral(":/vesperon.svg"));
    if (!svg.isValid())
        return QIcon::fromTheme(QStringLiteral("vesperon"));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        svg.render(&p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

// ---- help ----

bool CVesSoundApp::openLocalHelp()
{
    for (const char* name : {"VesperonHelp.html", "VesperonManual.pdf"})
        for (const std::string& folder : helpFolders()) {
            const QString path = QString::fromStdString(folder) + QLatin1Char('/') + QLatin1String(name);
            if (QFileInfo::exists(path))
                return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        }
    message(" No help available (VesperonHelp.html and VesperonManual.pdf are missing) !",
            IShellDialogs::Icon::Information);
    return false;
}

void CVesSoundApp::showAbout()
{
    CAboutDlg dlg(m_frame.get());
    dlg.exec();
}
