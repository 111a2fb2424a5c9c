#include "shell/CMainFrame.h"

#include "autorec/RecordingCommands.h"
#include "core/RegCls.h"
#include "detectorfiles/DetectorFileDialogs.h"
#include "print/PicturePrinting.h"
#include "project/ProjectDialogs.h"
#include "display/CVesAnaView.h"
#include "shell/CAppDocument.h"
#include "shell/CChildFrame.h"
#include "shell/CVesSoundApp.h"
#include "shell/StatusPanes.h"
#include "zc/CZcFrame.h"
#include "zc/CZcView.h"

#include "soundio/CDevs.h"
#include "soundio/ExternalControl.h"
#include "soundio/NidaqPlayCls.h"
#include "soundio/SoundDevices.h"

#include <QAction>

#include <algorithm>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

namespace {

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QList<QKeySequence> keysOf(std::string_view keys)
{
    QList<QKeySequence> out;
    for (const QString& k : qs(keys).split(QStringLiteral(", "), Qt::SkipEmptyParts))
        out.push_back(QKeySequence(k, QKeySequence::PortableText));
    return out;
}

QIcon iconFor(int id)
{
    switch (id) {
    case cmd::FileNew: return QIcon::fromTheme(QStringLiteral("document-new"));
    case cmd::FileOpen: return QIcon::fromTheme(QStringLiteral("document-open"));
    case cmd::FileSave: return QIcon::fromTheme(QStringLiteral("document-save"));
    case cmd::ZoomIn: return QIcon::fromTheme(QStringLiteral("zoom-in"));
    case cmd::ZoomOut: return QIcon::fromTheme(QStringLiteral("zoom-out"));
    case cmd::ZoomDefault: return QIcon::fromTheme(QStringLiteral("zoom-original"));
    case cmd::ZoomEntireFile: return QIcon::fromTheme(QStringLiteral("zoom-fit-best"));
    case cmd::FileProperties: return QIcon::fromTheme(QStringLiteral("document-properties"));
    case cmd::HelpLocal: return QIcon::fromTheme(QStringLiteral("help-contents"));
    default: return {};
    }
}

// The tool button text: the menu text without "&" and the keys after the tab.
QString toolText(std::string_view menuText)
{
    QString t = qs(menuText);
    t = t.left(t.indexOf(QLatin1Char('\t')));
    t.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    t.remove(QLatin1Char('&'));
    t.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return t.trimmed();
}

}  // namespace

CMainFrame::CMainFrame(CVesSoundApp& app) : m_app(app)
{
    setWindowTitle(QString::fromLatin1(CVesSoundApp::kAppTitle));
    setObjectName(QStringLiteral("VesperonMainFrame"));
    setWindowIcon(CVesSoundApp::appIcon());
    resize(1280, 800);
    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    setAcceptDrops(true);

    m_updateTimer.setSingleShot(true);
    m_updateTimer.setInterval(0);
    connect(&m_updateTimer, &QTimer::timeout, this, &CMainFrame::updateCommandStates);

    createActions();
    for (const MenuEntry& top : mainMenu()) {
        QMenu* m = menuBar()->addMenu(qs(top.text));
        buildMenu(m, top.entries);
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
    }
    m_toolbar = addToolBar(QStringLiteral("Standard"));
    m_toolbar->setObjectName(QStringLiteral("StandardToolbar"));
    for (int id : toolbarCommands()) {
        if (id == 0)
            m_toolbar->addSeparator();
        else
            m_toolbar->addAction(action(id));
    }
    new StatusPanes(statusBar());
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setAccessibleName(QStringLiteral("Cancel"));
    m_cancel->setToolTip(QStringLiteral("Stop the running operation"));
    m_cancel->setVisible(false);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_app.requestCancel(); });
    statusBar()->addPermanentWidget(m_cancel);
    statusBar()->showMessage(QStringLiteral("Ready"));

    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::onSubWindowActivated);
    registerCommands();
    rebuildRecentFiles();
    updateCommandStates();
}

CMainFrame::~CMainFrame()
{
    // The child frames go with the area, after this frame's own parts:
    // nothing of theirs may call back into it.
    disconnect(m_mdi, nullptr, this, nullptr);
    m_updateTimer.stop();
    delete m_mdi;
    m_mdi = nullptr;
}

void CMainFrame::createActions()
{
    for (const CommandInfo& c : commandTable()) {
        auto* a = new QAction(this);
        a->setText(c.menuText.empty() ? qs(c.statusText) : qs(c.menuText));
        a->setStatusTip(qs(c.statusText));
        a->setToolTip(c.menuText.empty() ? qs(c.statusText) : toolText(c.menuText));
        a->setData(c.id);
        a->setCheckable(c.checkable);
        a->setIconText(toolText(c.menuText.empty() ? c.statusText : c.menuText));
        const QIcon icon = iconFor(c.id);
        if (!icon.isNull())
            a->setIcon(icon);
        const QList<QKeySequence> keys = keysOf(c.keys);
        if (!keys.isEmpty())
            a->setShortcuts(keys);
        const int id = c.id;
        connect(a, &QAction::triggered, this, [this, id] {
            m_app.runCommand(id);
            scheduleCommandUpdate();
        });
        addAction(a);  // the keys work whether or not the action is in a menu
        m_actions[id] = a;
    }
}

QAction* CMainFrame::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QMenu* CMainFrame::menu(const QString& title) const
{
    for (QAction* a : menuBar()->actions())
        if (a->menu() && a->text() == title)
            return a->menu();
    return nullptr;
}

void CMainFrame::buildMenu(QMenu* menu, const std::vector<MenuEntry>& entries)
{
    using K = MenuEntry::Kind;
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
        case K::Command:
            if (QAction* a = action(e.id))
                menu->addAction(a);
            break;
        case K::Separator: menu->addSeparator(); break;
        case K::Popup: {
            QMenu* sub = menu->addMenu(qs(e.text));
            buildMenu(sub, e.entries);
            break;
        }
        case K::RecentFiles:
            for (int id = cmd::FileMruFirst; id <= cmd::FileMruLast; ++id)
                menu->addAction(action(id));
            break;
        case K::SetActiveMarkList:
        case K::ScrollToMarkList: {
            QMenu* sub = menu->addMenu(qs(e.text));
            const int first = e.kind == K::SetActiveMarkList ? cmd::SetActiveMarkFirst : cmd::ScrollToMarkFirst;
            connect(sub, &QMenu::aboutToShow, this, [this, sub, first] { fillMarkMenu(sub, first); });
            fillMarkMenu(sub, first);
            break;
        }
        case K::WindowList: {
            menu->addSeparator()->setObjectName(QStringLiteral("windowListStart"));
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillWindowMenu(menu); });
            break;
        }
        }
    }
}

void CMainFrame::fillMarkMenu(QMenu* menu, int firstId)
{
    menu->clear();
    CAppDocument* doc = m_app.activeDocument();
    if (!doc || doc->doc().marks().empty()) {
        menu->addAction(QStringLiteral("(no marks)"))->setEnabled(false);
        return;
    }
    // The mark travels in the action's data: no command number range to run out of.
    const bool setActive = firstId == cmd::SetActiveMarkFirst;
    for (const AnaMarkSave& m : doc->doc().marks()) {
        QString label = QString::fromStdString(m.m_label);
        label.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* a = menu->addAction(label);
        a->setData(m.m_markNr);
        a->setEnabled(m_app.activeView() != nullptr);
        if (setActive && m.m_select)
            menu->setDefaultAction(a);
        const int nr = m.m_markNr;
        connect(a, &QAction::triggered, this, [this, nr, setActive] {
            if (CVesAnaView* v = m_app.activeView())
                setActive ? v->setActiveMark(nr) : v->scrollToMark(nr);
        });
    }
}

void CMainFrame::fillWindowMenu(QMenu* menu)
{
    updateCommandStates();
    bool after = false;
    for (QAction* a : menu->actions()) {
        if (after)
            menu->removeAction(a), a->deleteLater();
        else if (a->objectName() == QStringLiteral("windowListStart"))
            after = true;
    }
    int n = 0;
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList();
    for (QMdiSubWindow* w : windows) {
        QString t = w->windowTitle();
        t.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* a = menu->addAction(QStringLiteral("&%1 %2").arg(++n).arg(t));
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_mdi->setActiveSubWindow(w); });
    }
}

void CMainFrame::openProject(const std::string& path)
{
    openProjectWindow(this, path, projectRecordingOpener());
}

OpenRecordingFn CMainFrame::projectRecordingOpener()
{
    // A recording of a project opens as any other, scrolled to the call
    // with the call selected (a box in the spectrogram).
    return [this](const std::string& file, const std::optional<CallPlace>& call) {
        CAppDocument* doc = m_app.openDocument(file);
        if (!doc)
            return false;
        CVesAnaView* view = doc->activeView() ? doc->activeView() : (doc->views().empty() ? nullptr : doc->views().front());
        if (view && call) {
            const std::int64_t length = view->doc().lengthFrames();
            ViewSelection sel;
            sel.a = std::clamp<std::int64_t>(call->startFrame, 0, length);
            sel.b = std::clamp<std::int64_t>(call->endFrame, 0, length);
            if (view->parms().m_spectPlot && call->highHz > call->lowHz) {
                sel.timeOnly = false;
                sel.inFrequencyPane = true;
                sel.low = call->lowHz;
                sel.high = call->highHz;
            }
            view->revealSelection(sel);
        }
        return true;
    };
}

void CMainFrame::registerCommands()
{
    m_commands.on(cmd::DetectorFileManagement, [this](int) { runDetectorFileManagement(this); });
    m_commands.on(cmd::OpenProject, [this](int) { openProject({}); });
    m_commands.on(cmd::FilePrintSetup, [this](int) { vprint::runPrintSetup(this); });
    // Another program's play-then-record messages, over the session bus.
    auto* control = new ExternalControl([this] { return activeView(); },
                                        [this] {
                                            m_app.runCommand(cmd::FileNew);
                                            QTimer::singleShot(0, this, [this] { m_app.runCommand(cmd::RecordSound); });
                                        },
                                        this);
    control->registerOnSessionBus();
    recording::registerCommands(m_commands, m_app.autoRecParms(), m_app.settings(), [this] { return activeView(); }, this);
    m_commands.on(cmd::SoundDevices, [this](int) { runSoundDevices(this); },
                  [](int, CommandState& s) { s.enabled = !soundBusy(); });
    m_commands.on(cmd::HighSpeedPlayback, [this](int) { runHighSpeedPlayback(this, m_app.daqCardSettings()); },
                  [](int, CommandState& s) { s.enabled = !soundBusy(); });
    m_commands.on(cmd::ViewToolbar, [this](int) { m_toolbar->setVisible(!m_toolbar->isVisible()); },
                  [this](int, CommandState& s) { s.checked = m_toolbar->isVisible(); });
    m_commands.on(cmd::ViewStatusBar, [this](int) { statusBar()->setVisible(!statusBar()->isVisible()); },
                  [this](int, CommandState& s) { s.checked = statusBar()->isVisible(); });
    const auto hasWindows = [this](int, CommandState& s) { s.enabled = !m_mdi->subWindowList().isEmpty(); };
    m_commands.on(cmd::WindowCascade, [this](int) { m_mdi->cascadeSubWindows(); }, hasWindows);
    m_commands.on(cmd::WindowTile, [this](int) { m_mdi->tileSubWindows(); }, hasWindows);
    m_commands.on(cmd::WindowArrange, [this](int) {
        // Minimised frames in a row along the bottom edge.
        int x = 0;
        for (QMdiSubWindow* w : m_mdi->subWindowList())
            if (w->isMinimized()) {
                w->move(x, m_mdi->viewport()->height() - w->height());
                x += w->width();
            }
    }, hasWindows);
}

void CMainFrame::addView(CVesAnaView* view)
{
    auto* frame = new CChildFrame(view);
    m_mdi->addSubWindow(frame);
    CAppDocument::of(*view).updateTitles();
    frame->showMaximized();
    m_current = frame;
    m_currentZc = nullptr;
    m_wanted = frame;
    m_mdi->setActiveSubWindow(frame);
    view->setFocus();
    scheduleCommandUpdate();
}

void CMainFrame::addZcView(CZcView* view)
{
    auto* frame = new CZcFrame(view);
    m_mdi->addSubWindow(frame);
    frame->showMaximized();
    m_current = nullptr;
    m_currentZc = frame;
    m_wanted = frame;
    m_mdi->setActiveSubWindow(frame);
    view->setFocus();
    connect(view, &CZcView::propertiesRequested, this, [this, view] {
        CZcPropertiesDlg dlg(*view, this);
        dlg.exec();
    });
    connect(view, &CZcView::viewChanged, this, &CMainFrame::scheduleCommandUpdate);
    connect(frame, &QObject::destroyed, this, &CMainFrame::scheduleCommandUpdate);
    scheduleCommandUpdate();
}

CZcView* CMainFrame::activeZcView() const
{
    return m_mdi && m_currentZc && !m_currentZc->isHidden() ? m_currentZc->view() : nullptr;
}

CVesAnaView* CMainFrame::activeView() const
{
    if (!m_mdi || activeZcView())
        return nullptr;
    CChildFrame* frame = m_current && !m_current->isHidden() ? m_current.data() : nullptr;
    if (!frame)
        frame = qobject_cast<CChildFrame*>(m_mdi->activeSubWindow());
    if (!frame) {
        const QList<QMdiSubWindow*> list = m_mdi->subWindowList(QMdiArea::ActivationHistoryOrder);
        for (auto it = list.rbegin(); it != list.rend() && !frame; ++it)
            if ((*it)->isVisible())
                frame = qobject_cast<CChildFrame*>(*it);
    }
    return frame ? frame->view() : nullptr;
}

void CMainFrame::activateView(CVesAnaView* view)
{
    if (CChildFrame* f = CChildFrame::of(view)) {
        m_current = f;
        m_currentZc = nullptr;
        m_wanted = f;
        m_mdi->setActiveSubWindow(f);
        view->activated();
    }
}

void CMainFrame::onSubWindowActivated(QMdiSubWindow* window)
{
    if (auto* zc = qobject_cast<CZcFrame*>(window)) {
        m_current = nullptr;
        m_currentZc = zc;
        // Once the program comes to the front the area activates the frame
        // that holds the focus; m_wanted then brings this one back.
        if (zc == m_wanted && isActiveWindow())
            m_wanted = nullptr;
    }
    auto* frame = qobject_cast<CChildFrame*>(window);
    if (frame) {
        m_currentZc = nullptr;
        m_current = frame;
        if (frame == m_wanted)
            m_wanted = nullptr;
        frame->view()->activated();
    }
    if (auto* panes = statusBar()->findChild<StatusPanes*>())
        panes->follow(frame ? frame->view()->statusStrip() : nullptr);
    updateTitle();
    scheduleCommandUpdate();
}

void CMainFrame::updateTitle()
{
    // A maximised child frame adds " - [its title]" to this one.
    setWindowTitle(QString::fromLatin1(CVesSoundApp::kAppTitle));
}

void CMainFrame::scheduleCommandUpdate()
{
    if (!m_updateTimer.isActive())
        m_updateTimer.start();
}

void CMainFrame::updateCommandStates()
{
    for (const auto& [id, a] : m_actions) {
        if (id >= cmd::FileMruFirst && id <= cmd::FileMruLast)
            continue;  // rebuildRecentFiles
        const CommandState s = m_app.commandState(id);
        a->setEnabled(s.enabled);
        if (a->isCheckable())
            a->setChecked(s.checked);
        if (const CommandInfo* c = findCommand(id); c && !c->menuText.empty())
            a->setText(s.text.empty() ? qs(c->menuText) : qs(s.text));
    }
}

void CMainFrame::rebuildRecentFiles()
{
    const std::vector<std::string>& entries = m_app.recentFiles().entries();
    for (int i = 0; i < RecentFileList::kSize; ++i) {
        QAction* a = action(cmd::FileMruFirst + i);
        if (!a)
            continue;
        if (i < static_cast<int>(entries.size())) {
            a->setText(QString::fromStdString(RecentFileList::menuText(i, entries[static_cast<size_t>(i)])));
            a->setStatusTip(QString::fromStdString(entries[static_cast<size_t>(i)]));
            a->setVisible(true);
            a->setEnabled(true);
        } else if (i == 0) {
            a->setText(QStringLiteral("Recent File"));
            a->setVisible(true);
            a->setEnabled(false);
        } else {
            a->setVisible(false);
        }
    }
}

void CMainFrame::showCursorMenu(const QPoint& globalPos, int hit)
{
    const MenuEntry& entries = cursorMenu();
    QMenu menu(this);
    bool pendingSeparator = false;
    for (const MenuEntry& e : entries.entries) {
        if (e.kind == MenuEntry::Kind::Separator) {
            pendingSeparator = !menu.actions().isEmpty();
            continue;
        }
        if (e.kind != MenuEntry::Kind::Command)
            continue;
        // Only the settings of the pane under the mouse.
        if ((e.id == cmd::SpectSettingsCurrent && hit != 1) || (e.id == cmd::FreqSettingsCurrent && hit != 2) ||
            (e.id == cmd::OscSettingsCurrent && hit != 3))
            continue;
        if (pendingSeparator)
            menu.addSeparator();
        pendingSeparator = false;
        const CommandInfo* c = findCommand(e.id);
        const CommandState s = m_app.commandState(e.id);
        QAction* a = menu.addAction(e.text.empty() ? (c ? qs(c->menuText) : QString()) : qs(e.text));
        a->setEnabled(s.enabled);
        if (c && c->checkable) {
            a->setCheckable(true);
            a->setChecked(s.checked);
        }
        const int id = e.id;
        connect(a, &QAction::triggered, this, [this, id] { m_app.runCommand(id); });
    }
    menu.exec(globalPos);
    scheduleCommandUpdate();
}

void CMainFrame::showStatusText(const QString& text)
{
    statusBar()->showMessage(text);
}

void CMainFrame::setOperationActive(bool on)
{
    m_cancel->setVisible(on);
    m_mdi->setEnabled(!on);
    menuBar()->setEnabled(!on);
    m_toolbar->setEnabled(!on);
}

void CMainFrame::saveWindowState()
{
    vkit::RegCls& reg = m_app.settings();
    const QByteArray geometry = saveGeometry();
    const QByteArray state = saveState();
    reg.beginUpdate();
    reg.writeBinary(CVesSoundApp::kWindowKey, "Geometry", geometry.constData(), static_cast<std::size_t>(geometry.size()));
    reg.writeBinary(CVesSoundApp::kWindowKey, "State", state.constData(), static_cast<std::size_t>(state.size()));
    reg.writeInt(CVesSoundApp::kWindowKey, "Maximized", isMaximized() ? 1 : 0);
    reg.endUpdate();
}

bool CMainFrame::restoreWindowState()
{
    const vkit::RegCls& reg = m_app.settings();
    bool restored = false;
    if (const auto g = reg.readBinary(CVesSoundApp::kWindowKey, "Geometry"))
        restored = restoreGeometry(QByteArray(reinterpret_cast<const char*>(g->data()), static_cast<qsizetype>(g->size())));
    if (const auto s = reg.readBinary(CVesSoundApp::kWindowKey, "State"))
        restoreState(QByteArray(reinterpret_cast<const char*>(s->data()), static_cast<qsizetype>(s->size())));
    return restored;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_app.busy()) {
        event->ignore();
        return;
    }
    const std::vector<CAppDocument*> docs = m_app.documents();
    for (CAppDocument* d : docs)
        if (!d->saveModified()) {
            event->ignore();
            return;
        }
    saveWindowState();
    m_app.saveSettings();
    for (CAppDocument* d : docs)
        d->close(false);
    event->accept();
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_wanted)
        QTimer::singleShot(0, this, [this] {
            if (m_wanted && !m_wanted->isHidden())
                m_mdi->setActiveSubWindow(m_wanted);
        });
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() && !m_app.busy())
        for (const QUrl& u : event->mimeData()->urls())
            if (u.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    for (const QUrl& u : event->mimeData()->urls())
        if (u.isLocalFile())
            paths.push_back(u.toLocalFile().toStdString());
    if (paths.empty())
        return;
    event->acceptProposedAction();
    activateWindow();
    m_app.openDocuments(paths, 0);
}
