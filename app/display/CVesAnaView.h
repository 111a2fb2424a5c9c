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
//
// The window families above the view (measurement windows, Find calls,
// filtering, playback, the virtual bat detector) are not known here: they add
// themselves to every view as parts (ViewParts.h), through its command
// handlers, its signals and the small interface below for the level cursor.
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
#include <functional>
#include <optional>
#include <vector>

class CAnaPlot;
class CAnaSettingsDlg;
class CRecStatus;
class CVesSoundDoc;
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
    // The view's own handlers, for the parts that add commands to it.
    CommandHandlers& commandHandlers() { return m_commands; }

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
    // Selects `selection`, scrolling first when its start is not shown.
    void revealSelection(const ViewSelection& selection);

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
    // An edit of the document is done (here or by a part): a selection or
    // cursor past the new end goes, the marks and read-outs follow.
    void afterEdit();

    // ---- pictures (CVesAnaViewPrint.cpp) ----
    // "Export Graphics...": the save dialog, then the plot as a picture file.
    void exportGraphics();
    // The plot on the clipboard as a bitmap and as SVG.
    void copyPicture();

    // The samples one time-axis tick step covers (at least 1).
    std::int64_t samplesPerTick() const;

    // ---- what measurement windows share with the view (CVesAnaViewMeasure.cpp) ----
    // The range measurement windows follow: the selection (first, last, its
    // channel), else the marking cursor (position, -1, its channel); false
    // when there is neither.
    bool measureRange(std::int64_t& first, std::int64_t& last, ChannelSel& channel) const;
    // The level cursor serves one window at a time: `owner` becomes its
    // target, and the user's moves of the cursor go to `moved`.
    void setLevelTarget(QObject* owner, std::function<void(std::int64_t level)> moved);
    // The window the level cursor serves (compare only: it may be gone), or nullptr.
    const QObject* levelTarget() const { return m_levelOwner; }
    // The level cursor at `level` on `channel` from frame `first`: the cursor
    // type becomes Level.
    void showLevelCursor(std::int64_t first, ChannelSel channel, std::int64_t level);
    // The target `owner` gives the level cursor up (it closes): the cursor
    // goes back to marking. Nothing happens when it is not the target.
    void leaveLevelCursor(const QObject* owner);
    // A window's stretch shown as the view's selection without being sent
    // back to the windows (none when `end` <= `start`).
    void showMeasureStretch(std::int64_t start, std::int64_t end);
    // Runs `hook` before every command of this view that edits the document
    // (cut, paste, delete, silence, reverse, volume, filter, undo): workers
    // that read the samples stop there.
    void beforeEdits(std::function<void()> hook);

signals:
    // The selection or cursor moved: measureRange() has changed. Coalesced,
    // once per pass of the event loop.
    void measureRangeChanged();
    // The view is going: its parts close their windows while the view and
    // its document are still whole.
    void closing();

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
    void cursorOrSelectionChanged();
    // Runs `edit` on the edit range (editRange), then afterEdit(); a
    // successful edit that `removesSelection` leaves no selection.
    using RangeEdit = std::function<bool(std::int64_t start, std::int64_t end, ChannelSel channel)>;
    bool runEdit(bool removesSelection, const RangeEdit& edit);
    void syncMarkDisplays();
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
    const QObject* m_levelOwner = nullptr;  // the window the level cursor serves
    QPointer<QObject> m_levelOwnerAlive;     // the same, while it lives
    std::function<void(std::int64_t)> m_levelMoved;
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
