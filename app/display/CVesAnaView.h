// An analysis view: one document shown in one MDI child frame, with its plot
// (CAnaPlot), its horizontal scroll bar and its status strip (CRecStatus).
// The view owns its VesAnaParms record and zoom history; it handles the
// display commands (zoom, scroll, select all, save selected interval) and
// follows every change of its document (ViewUpdate, and the message that
// takes the length from the sample store). What it needs of the program
// around it comes through IViewHost.
//
// The four kinds fix the panes at creation: CVesSpectView (spectrogram),
// CVesAmplView (oscillogram), CVesCombView (both), CVesFreqView (zero-crossing
// analysis).
#pragma once

#include "display/AnaViewZoom.h"
#include "display/CursorMarks.h"
#include "display/ViewHost.h"
#include "display/ViewPolicy.h"
#include "document/DocHost.h"
#include "records/VesAnaParms.h"
#include "records/VesSettings.h"
#include "commands/CommandRouter.h"

#include <QPointer>
#include <QWidget>

#include <array>

#include <cstdint>
#include <optional>
#include <vector>

class CAnaPlot;
class CAnaSettingsDlg;
class CCallsWnd;
class CPowerWnd;
class CRateWnd;
class CRecStatus;
class CVesSoundDoc;
class PulsCharDiagCls;
class QScrollBar;
class QTimer;

class CVesAnaView : public QWidget, public IDocView {
    Q_OBJECT
public:
    CVesAnaView(IViewHost& host, ViewKind kind, QWidget* parent = nullptr);
    ~CVesAnaView() override;

    ViewKind kind() const { return m_kind; }
    IViewHost& viewHost() { return m_host; }
    CVesSoundDoc& doc() { return m_doc; }
    const VesAnaParms& parms() const { return m_parms; }
    const AnaViewZoom& zoom() const { return m_zoom; }
    CAnaPlot* plot() const { return m_plot; }
    QScrollBar* scrollBar() const { return m_scroll; }
    CRecStatus* statusStrip() const { return m_strip; }
    ICommandTarget& commands() { return m_commands; }

    // The selection (none: nullopt); a selection of less than two samples is none.
    const std::optional<ViewSelection>& selection() const { return m_selection; }
    void setSelection(const std::optional<ViewSelection>& selection);

    // ---- display commands ----
    void zoomIn();
    void zoomOut();
    void defaultZoom();
    void zoomEntireFile();
    void zoomFullRange();
    // A scroll request; `thumbSample` for the thumb position.
    void scroll(AnaViewZoom::Scroll request, std::int64_t thumbSample = 0);
    void selectAll();
    bool saveSelectedInterval();
    // Edit > Filter: the filter dialog, then the filter over the selection
    // (without one, from the cursor or the start to the end). False when
    // cancelled.
    bool filterSelection();

    // ---- display settings (CVesAnaViewSettings.cpp) ----
    enum class SettingsKind { Spectrogram = 0, Oscillogram = 1, ZeroCrossing = 2 };
    // Opens (or focuses) the settings dialog of `kind` on the view's record
    // or on the program's defaults.
    CAnaSettingsDlg* openSettings(SettingsKind kind, bool defaults);
    CAnaSettingsDlg* settingsDialog(SettingsKind kind) const;
    // The messages of the dialogs (SettingsMsg): close, apply, OK.
    void settingsMessage(SettingsKind kind, int msg);
    std::int64_t effectiveRateHz() const;

    // The view became the active one of its frame window.
    void activated();
    // Message 1074: the document's length from the size of its sample store,
    // then to the right end.
    void lengthFromStore();

    // IDocView
    void onLengthChanged(std::int64_t frames) override;
    void onDocumentUpdate(const ViewUpdate& update) override;

    // ---- cursor, marks (CVesAnaViewCursors.cpp) ----
    const CursorRecord& cursorRecord() const { return m_cursor; }
    void setCursorRecord(const CursorRecord& cursor);
    // The marking cursor is set and lies within the shown range.
    bool markingCursorVisible() const;
    // Moves the cursor (or, in move-mark mode, the active mark) one pixel.
    void moveCursor(int dx, int dy);
    // Shift+Left / Shift+Right: one pixel, extending the selection.
    void stepCursor(int dir);
    // "Save cursor as mark": returns the new mark number, -1 when not offered.
    int saveCursorAsMark();
    void setActiveMark(int markNr);
    void scrollToMark(int markNr);
    bool moveMarkMode() const { return m_moveMark; }
    void setMoveMarkMode(bool on) { m_moveMark = on; }
    bool markProperties();
    void markDistances();
    void clearAllMarks();
    // The view's copy of its document's marks, in MarkNr order.
    const std::vector<AnaMarkSave>& markDisplays() const { return m_markDisplays; }
    // Every view of `doc` takes over its marks again and redraws them.
    static void marksChanged(CVesSoundDoc& doc);

    // ---- edit commands on the selection (CVesAnaViewEdit.cpp) ----
    // The interval and channel an edit works on: the selection, else the
    // cursor position and -1.
    void editRange(std::int64_t& start, std::int64_t& end, ChannelSel& channel) const;
    bool editCut();
    bool editCopy();
    bool editPaste();
    bool editDelete();
    bool editSilence();
    bool editReverse();
    // Without `percent` the "Change volume" dialog asks.
    bool editVolume(std::optional<int> percent = std::nullopt);
    bool editCopyAscii();
    bool editUndo();

    // ---- pictures (CVesAnaViewPrint.cpp) ----
    // "Export Graphics...": the save dialog, then the plot as a picture file.
    void exportGraphics();
    // The plot on the clipboard as a bitmap and as SVG.
    void copyPicture();

    // ---- Find calls (CVesAnaViewCalls.cpp) ----
    // Runs the call detector over the selection, else the shown range, and
    // shows the calls in the view's result window. False when cancelled.
    bool findCalls();
    CCallsWnd* callsWindow() const;
    // Selects call `index` of the result window (a rectangle in the
    // spectrogram), scrolling to it when it is not shown.
    void showCall(int index);
    // A mark over every call of the result window; how many were added.
    int markCalls();

    // The samples one time-axis tick step covers (at least 1).
    std::int64_t samplesPerTick() const;

    // ---- measurement windows (CVesAnaViewMeasure.cpp) ----
    static constexpr int kMaxMeasureWindows = 16;
    // A power spectrum of the selection (else of one FFT length at the
    // cursor or the start of the view); nullptr after the message when all
    // 16 are open.
    CPowerWnd* openPowerSpectrum();
    // A pulse interval (or pulse length) histogram; nullptr when all 16 are open.
    CRateWnd* openRateWindow(bool intervalMode);
    // The pulse characteristics dialog (one per view).
    PulsCharDiagCls* openPulseCharacteristics();
    std::vector<CPowerWnd*> powerWindows() const;
    std::vector<CRateWnd*> rateWindows() const;
    PulsCharDiagCls* pulseDialog() const;
    // Stops every worker that reads this view's document (before an edit).
    void stopMeasurementWorkers();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The layout again from the record, the scroll bar from the layout, the
    // record handed to the document, and a repaint.
    void relayout();
    void updateScrollBar();
    void updateFormatText();
    void onScrollAction(int action);
    void onScrollValue(int value);
    void onMousePress(QMouseEvent* event);
    void onMouseMove(QMouseEvent* event);
    void onMouseRelease(QMouseEvent* event);
    void onContextMenu(const QPoint& globalPos, int hit);
    void registerCommands();
    void registerSettingsCommands();
    void registerCursorCommands();
    void registerEditCommands();
    void registerPrintCommands();
    void registerMeasureCommands();
    // The selection, cursor or level cursor changed: the measurement windows follow.
    void forwardToMeasurements();
    void sendToMeasurements();
    void closeMeasurementWindows();
    void showLevelTarget(std::int64_t first, std::int64_t last, ChannelSel channel, std::int64_t level);
    void leaveLevelCursor();

    void registerCallCommands();
    void cursorOrSelectionChanged();
    void syncMarkDisplays();
    void afterEdit();
    std::int64_t clampSample(std::int64_t s) const;

    IViewHost& m_host;
    CVesSoundDoc& m_doc;
    ViewKind m_kind;
    VesAnaParms m_parms;
    AnaViewZoom m_zoom;
    ViewDocTracker m_tracker;
    CAnaPlot* m_plot = nullptr;
    QScrollBar* m_scroll = nullptr;
    CRecStatus* m_strip = nullptr;
    CommandHandlers m_commands;
    std::optional<ViewSelection> m_selection;
    QPointer<CCallsWnd> m_callsWnd;
    std::int64_t m_scrollUnit = 1;
    bool m_settingScroll = false;
    bool m_dragging = false;
    std::int64_t m_anchor = 0;
    ChannelSel m_dragChannel = ChannelSel::Both;
    int m_lastHit = 0;
    std::array<QPointer<CAnaSettingsDlg>, 3> m_settingsDlgs;
    CursorRecord m_cursor;
    bool m_moveMark = false;
    bool m_extending = false;
    std::vector<AnaMarkSave> m_markDisplays;
    std::array<QPointer<CPowerWnd>, kMaxMeasureWindows> m_powerWnds;
    std::array<QPointer<CRateWnd>, kMaxMeasureWindows> m_rateWnds;
    QPointer<PulsCharDiagCls> m_pulseDlg;
    std::optional<VesPulsParms> m_pulsParms;  // the view's own copy of the pulse settings
    int m_levelTarget = -1;               // rate window slot, kPulseLevelTarget, or -1
    static constexpr int kPulseLevelTarget = 1000;
    std::int64_t m_levelSent = -1;
    QTimer* m_forwardTimer = nullptr;
    bool m_showingMeasureStretch = false;
};

class CVesSpectView : public CVesAnaView {
    Q_OBJECT
public:
    explicit CVesSpectView(IViewHost& host, QWidget* parent = nullptr) : CVesAnaView(host, ViewKind::Spectrogram, parent) {}
};

class CVesAmplView : public CVesAnaView {
    Q_OBJECT
public:
    explicit CVesAmplView(IViewHost& host, QWidget* parent = nullptr) : CVesAnaView(host, ViewKind::Oscillogram, parent) {}
};

class CVesCombView : public CVesAnaView {
    Q_OBJECT
public:
    explicit CVesCombView(IViewHost& host, QWidget* parent = nullptr) : CVesAnaView(host, ViewKind::Combined, parent) {}
};

class CVesFreqView : public CVesAnaView {
    Q_OBJECT
public:
    explicit CVesFreqView(IViewHost& host, QWidget* parent = nullptr) : CVesAnaView(host, ViewKind::ZeroCrossing, parent) {}
};

// A view of `kind` (the base class for ViewKind::Base).
CVesAnaView* makeAnaView(IViewHost& host, ViewKind kind, QWidget* parent = nullptr);
