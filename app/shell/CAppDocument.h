// One open recording in the desktop program: the engine's document, the host
// it talks to (message boxes, the status bar's progress display, commands
// posted to its frames) and the analysis views that show it. The document
// answers the commands that concern the whole recording: Save, Save As,
// Close, File Properties.
#pragma once

#include "commands/CommandRouter.h"
#include "display/ViewHost.h"
#include "document/CVesSoundDoc.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CVesAnaView;
class QTimer;
class CVesSoundApp;
struct SaveChoice;

class CAppDocument : public QObject, public IViewHost, private IDocHost {
    Q_OBJECT
public:
    explicit CAppDocument(CVesSoundApp& app);
    ~CAppDocument() override;

    // The document wrapper of a view of the program.
    static CAppDocument& of(CVesAnaView& view);

    CVesSoundDoc& doc() override { return *m_doc; }
    const CVesSoundDoc& doc() const { return *m_doc; }
    CVesSoundApp& app() { return m_app; }
    IDocHost& host() { return *this; }

    // The caption of its windows: the document's title, or "Vesperon<n>" for
    // a new recording that was never saved.
    QString title() const;
    // The path without its type tag ("" for a new recording).
    std::string plainPath() const;
    // A new recording is called "Vesperon<n>" until it is saved.
    void setNewNumber(int n) { m_newNumber = n; }
    // The type an opened file was read as ("Open as:"), 0 when it was not chosen.
    void setOpenedType(int type) { m_openedType = type; }

    const std::vector<CVesAnaView*>& views() const override { return m_views; }
    void addView(CVesAnaView* view) override;
    void removeView(CVesAnaView* view) override;
    CVesAnaView* activeView() const override { return m_activeView; }
    void setActiveView(CVesAnaView* view) override;
    // Captions of all its frames (after a save, or a change of modified state).
    void updateTitles();

    ICommandTarget& commands() { return m_commands; }

    // Save: Save As when the document has a pending save path, no path, or a
    // file that is read-only or missing; otherwise a save to its own path.
    bool save();
    bool saveAs();
    // "Save selected interval": frames first .. last (all with last < 0) to
    // a file chosen in the save dialog, which proposes the document's own
    // path and type; the document keeps its path.
    bool saveInterval(std::int64_t first, std::int64_t last) override;
    // Asks to save a modified document before it closes; false when the user cancels.
    bool saveModified();
    // "Export Marks": the marks as a selection table or label track, in real time.
    bool exportMarks();
    // "Import Marks": one mark per row of a table (its kind read from its first line).
    bool importMarks();
    // Closes every frame of the document (after saveModified, unless `ask` is false).
    bool close(bool ask = true);
    bool closing() const { return m_closing; }
    // Starts copying samples still read from the opened file into the
    // document's store, with the progress in the status bar.
    void startBackgroundCopy();

signals:
    // The last view went: the application lets the document go.
    void lastViewClosed(CAppDocument* doc);

private:
    // IDocHost
    void message(const std::string& text) override;
    void status(const std::string& text) override;
    void beginOperation(const std::string& text) override;
    bool progress(const std::string& text, std::int64_t done, std::int64_t total) override;
    void endOperation() override;
    void postViewMessage(ViewMessage message) override;
    bool askCompressedSaveParms(int& silentLevelDb, int& beforeMs, int& afterMs) override;

    // IViewHost
    const VesAnaParms& defaultAnaParms() const override;
    void setDefaultAnaParms(const VesAnaParms& parms) override;
    VesDefData& defaultData() override;
    std::vector<VesColorMap>& userColorMaps() override;
    void saveUserColorMaps() override;
    void viewSelectionChanged() override;
    void showCursorMenu(const QPoint& globalPos, int hit) override;
    VesPowerParms& powerDefaults() override;
    VesRateParms& rateDefaults() override;
    VesPulsParms& pulsDefaults() override;

    void openCombinedView() override;
    void handleViewMessage(ViewMessage message);
    bool saveWithDialog(bool replace);
    // The save dialog, and the recent-file list after a save.
    std::optional<SaveChoice> askSavePath(const std::string& proposed, int type);
    void rememberSaved(const std::string& path);
    void showBackgroundCopy();

    CVesSoundApp& m_app;
    std::unique_ptr<CVesSoundDoc> m_doc;
    int m_newNumber = 0;  // "Vesperon<n>" of a new recording
    int m_openedType = 0;  // until the document is saved under another path
    std::vector<CVesAnaView*> m_views;
    CVesAnaView* m_activeView = nullptr;
    CommandHandlers m_commands;
    bool m_closing = false;
    QTimer* m_copyTimer = nullptr;
};
