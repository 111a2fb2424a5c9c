// The application: owns the QApplication, the settings (default records,
// recent-file list, window state), the open documents, the main frame and the
// commands that concern the program as a whole (New, Open, Import, Close &
// Open Next/Previous, the recent files, new views, help).
//
// Start-up: load the settings, create the main frame, open the files of the
// command line; a plain start opens the open dialog once the window shows,
// and a new empty recording when the user opens nothing. Exit: every
// modified recording may be saved, then the settings are written.
#pragma once

#include "display/ViewPolicy.h"
#include "records/VesAnaParms.h"
#include "records/VesSettings.h"
#include "soundio/DaqCard.h"
#include "commands/CommandRouter.h"
#include "shell/ProgressStack.h"
#include "shell/RecentFileList.h"
#include "shell/ShellDialogs.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

class CAppDocument;
class CMainFrame;
class CVesAnaView;
class QApplication;
class QElapsedTimer;
class QIcon;

namespace vkit {
class RegCls;
}

class CVesSoundApp : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kAppTitle = "Vesperon";
    static constexpr const char* kHelpPagePath = "/Help/VesperonHelp.html";
    static constexpr const char* kDefaultWebHost = "https://www.vallomer.example";
    static constexpr const char* kHelpKey = "Settings\\Help";
    static constexpr const char* kPlaySpeedKey = "Settings\\PlaySpeed";
    static constexpr const char* kWindowKey = "Settings\\Window";

    // Creates the QApplication unless there is one already.
    CVesSoundApp(int& argc, char** argv);
    ~CVesSoundApp() override;
    static CVesSoundApp* instance();

    // Loads the settings, creates the main frame and shows it, opens the files
    // among `arguments` (program name first). Without files the open dialog
    // is posted. False when the main frame cannot be made.
    bool startUp(const QStringList& arguments);
    // The event loop.
    int exec();
    // Writes every settings record, the recent-file list and the window state.
    bool saveSettings();

    vkit::RegCls& settings() { return *m_reg; }
    VesDefData& defData() { return m_defData; }
    VesAnaParms& defaultAnaParms() { return m_defAnaParms; }
    // The automatic recording settings ("Settings\\AutoRec").
    VesAutoRecParms& autoRecParms() { return m_autoRec; }

    // The default records of the measurement windows, written on exit.
    VesPowerParms& powerParms() { return m_power; }
    VesRateParms& rateParms() { return m_rate; }
    VesPulsParms& pulsParms() { return m_puls; }
    // New defaults from a settings dialog, written to the settings at once.
    void setDefaultAnaParms(const VesAnaParms& parms);
    // The user's colour maps, read at start-up; written whenever they change.
    std::vector<VesColorMap>& userColorMaps() { return m_colorMaps; }
    bool saveUserColorMaps();
    RecentFileList& recentFiles() { return m_recent; }
    // The acquisition card records (Settings\CB, NI, INES) and the choice of
    // the card that high-speed playback plays through.
    VesCardParms& cardParms(VesCardParms::Card card) { return m_cards[static_cast<int>(card)]; }
    DaqCardSettings& daqCardSettings() { return m_daqCard; }
    // The host of "Help on the Web": WebHost under Settings\Help.
    QString webHost() const;

    IShellDialogs& dialogs() { return *m_dialogs; }
    void setDialogs(std::unique_ptr<IShellDialogs> dialogs);
    CMainFrame* mainFrame() const { return m_frame.get(); }

    // ---- documents and views ----
    const std::vector<CAppDocument*>& documents() const { return m_documents; }
    CVesAnaView* activeView() const;
    CAppDocument* activeDocument() const;
    // The document showing `plainPath`, if one is open.
    CAppDocument* findDocument(const std::string& plainPath) const;
    // A new empty recording with one combined view.
    CAppDocument* newDocument();
    // Opens `path` as `type` (0: by its tag, or by its extension and content)
    // with one combined view; an already open file is brought to the front.
    // Nullptr when it does not open (the reason was shown).
    CAppDocument* openDocument(const std::string& path, int type = 0);
    // Opens each path in turn with `type`, under the progress name "Open ";
    // stops at the first that fails. Returns how many opened.
    int openDocuments(const std::vector<std::string>& paths, int type);
    // Opens a zero-crossing file in a window of its own (openDocuments does
    // so for the paths whose content is one); false after a message.
    bool openZcFile(const std::string& path);
    // A new view of `kind` on `doc`, in its own child frame.
    CVesAnaView* openView(CAppDocument& doc, ViewKind kind);
    // The open dialog; whether anything opened.
    bool openFromDialog();
    bool importFromDialog();
    // Close & Open Next (next) / Previous.
    bool closeAndOpenNeighbour(bool next);
    int nextNewDocumentNumber() { return ++m_newDocuments; }

    // ---- commands ----
    // Active view, its document, the main frame, the application.
    std::vector<ICommandTarget*> commandChain() const;
    CommandState commandState(int id) const;
    // Runs a command through the chain; false when it is disabled or unknown.
    bool runCommand(int id);

    // ---- messages and progress ----
    void message(const std::string& text, IShellDialogs::Icon icon = IShellDialogs::Icon::Warning);
    void showStatus(const QString& text);
    void beginOperation(const std::string& name);
    // False when the user asked to cancel.
    bool progress(const std::string& text, std::int64_t done, std::int64_t total);
    void endOperation();
    bool busy() const { return m_progress.active(); }
    void requestCancel() { m_cancel = true; }
    const ProgressStack& progressStack() const { return m_progress; }

    // The program's icon (from its own picture, at the usual sizes).
    static QIcon appIcon();

    // Help: the local user guide, or the help page on the web.
    bool openLocalHelp();

    // Reads the program's settings (start-up; the settings file may have changed).
    void loadSettings();

signals:
    void documentsChanged();

private:
    void registerCommands();
    void documentLastViewClosed(CAppDocument* doc);
    void showAbout();

    std::unique_ptr<QApplication> m_qapp;
    std::unique_ptr<vkit::RegCls> m_reg;
    VesDefData m_defData;
    bool m_soundDevicesStarted = false;
    VesAnaParms m_defAnaParms;
    std::vector<VesColorMap> m_colorMaps;
    VesPowerParms m_power;
    VesRateParms m_rate;
    VesPulsParms m_puls;
    VesAutoRecParms m_autoRec;
    VesCardParms m_cards[3] = {VesCardParms(VesCardParms::Card::CB), VesCardParms(VesCardParms::Card::NI),
                               VesCardParms(VesCardParms::Card::INES)};
    DaqCardSettings m_daqCard;
    RecentFileList m_recent;
    std::unique_ptr<IShellDialogs> m_dialogs;
    std::unique_ptr<CMainFrame> m_frame;
    std::vector<CAppDocument*> m_documents;
    CommandHandlers m_commands;
    ProgressStack m_progress;
    std::unique_ptr<QElapsedTimer> m_sinceEvents;
    bool m_cancel = false;
    int m_newDocuments = 0;
};
