// The main window: a multiple-document area holding one child frame per
// analysis view, the menus, toolbar and shortcuts built from the command
// table, and the status bar with the progress of long operations and its
// Cancel button. Files dropped on it are opened like files of the command
// line. It answers the commands of its own: toolbar and status bar on/off,
// and the arrangement of the windows.
#pragma once

#include "commands/CommandRouter.h"
#include "commands/CommandTable.h"
#include "project/ProjectDialogs.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <map>

class CChildFrame;
class CZcFrame;
class CVesAnaView;
class CVesSoundApp;
class CZcView;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPushButton;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CVesSoundApp& app);
    ~CMainFrame() override;

    QMdiArea* mdiArea() const { return m_mdi; }
    ICommandTarget& commands() { return m_commands; }
    // The action of a command number (nullptr for a number without one).
    QAction* action(int id) const;
    // The menu bar's pop-up titled `title` ("&File" ...).
    QMenu* menu(const QString& title) const;

    // Puts a new view into its own child frame, shown maximised.
    void addView(CVesAnaView* view);
    CVesAnaView* activeView() const;
    // A zero-crossing file's window, in a frame of its own.
    void addZcView(CZcView* view);
    // The zero-crossing window in front, or nullptr (then activeView() is
    // null too: the sound views' commands do not reach behind it).
    CZcView* activeZcView() const;
    void activateView(CVesAnaView* view);

    // Enabled, checked and texts of every action, from the command targets.
    void updateCommandStates();
    // The same, once, after the current event.
    void scheduleCommandUpdate();
    void rebuildRecentFiles();
    void updateTitle();
    // The view's context menu at `globalPos`, with the "current diagram"
    // item of the pane under the mouse (hit test 1, 2 or 3) only.
    void showCursorMenu(const QPoint& globalPos, int hit);

    // Progress display.
    void showStatusText(const QString& text);
    void setOperationActive(bool on);

    void saveWindowState();
    // False when the settings hold no window state (a first start).
    bool restoreWindowState();

    // File > Open Project… on `path` (asked for when empty).
    void openProject(const std::string& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createActions();
    void buildMenu(QMenu* menu, const std::vector<MenuEntry>& entries);
    void fillRecentFiles(QMenu* menu);
    void fillMarkMenu(QMenu* menu, int firstId);
    void fillWindowMenu(QMenu* menu);
    void onSubWindowActivated(QMdiSubWindow* window);
    void registerCommands();
    // How a project window opens a recording at a call.
    OpenRecordingFn projectRecordingOpener();

    CVesSoundApp& m_app;
    QMdiArea* m_mdi = nullptr;
    QToolBar* m_toolbar = nullptr;
    QPushButton* m_cancel = nullptr;
    std::map<int, QAction*> m_actions;
    std::vector<std::pair<QMenu*, MenuEntry::Kind>> m_dynamicMenus;
    CommandHandlers m_commands;
    QTimer m_updateTimer;
    // The frame last activated: the area reports none while the program is
    // in the background.
    QPointer<CChildFrame> m_current;
    // The frame the program brought to the front while the main window was
    // not active: the area honours that only once the window is active.
    QPointer<QMdiSubWindow> m_wanted;
    // The zero-crossing frame last activated, cleared when a sound view's is
    // (the area reports none while the program is in the background).
    QPointer<CZcFrame> m_currentZc;
};
