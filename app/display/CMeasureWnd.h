// The frame of every measurement window of a view (power spectra, pulse
// interval and pulse length histograms): a top-level window over one
// document with its plot, its own commands and context menu, its picture for
// the clipboard, printing and export, and one calculation at a time as a
// background job.
//
// A window family derives from it and supplies the calculation (setRange,
// recalculate, with startJob), the picture (paintPicture), the text export
// (asciiText) and its settings dialog; the frame does the rest the same way
// for all of them. Each run of the job has its own number: the completion
// of a run that has been replaced or stopped since is dropped, so a late
// message never takes the result of the run that is going now.
#pragma once

#include "commands/CommandRouter.h"
#include "core/BackgroundJob.h"
#include "document/ChannelSelection.h"
#include "widgets/CommandMenu.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CVesSoundDoc;
class QPainter;
namespace vprint {
class PaintedPicture;
}

class CMeasureWnd : public QWidget {
    Q_OBJECT
public:
    // The commands every measurement window has (the program's numbers).
    static constexpr int kCopy = 57634;
    static constexpr int kCopyAscii = 33077;
    static constexpr int kPrint = 32822;
    static constexpr int kPrintPreview = 32824;
    static constexpr int kSettingsCurrent = 32823;
    static constexpr int kContinuousUpdate = 32836;

    ~CMeasureWnd() override;

    int slot() const { return m_slot; }
    CVesSoundDoc& doc() { return m_doc; }
    const CVesSoundDoc& doc() const { return m_doc; }
    // The window's commands, with their enabled and checked states.
    CommandHandlers& commands() { return m_commands; }

    // The stretch: frames [first, last) of `channel`.
    virtual void setRange(std::int64_t first, std::int64_t last, ChannelSel channel) = 0;
    // The view's selection or cursor changed: taken only with continuous update.
    bool followSelection(std::int64_t first, std::int64_t last, ChannelSel channel);
    // Stops a running calculation and starts one on the current stretch.
    virtual void recalculate() = 0;
    // Stops (and joins) a running calculation.
    void stopCalculation();
    bool calculating() const { return m_job.active(); }

    // The window's picture into any painter and rectangle (device units), at
    // `unitsPerTwip` device units per twip: the window, the clipboard copy,
    // printing and export all draw this.
    virtual void paintPicture(QPainter& p, const QRectF& target, double unitsPerTwip = 1.0 / 15) const = 0;
    QImage pictureImage(const QSize& size) const;
    // The text export of the result ("Copy Ascii").
    virtual std::string asciiText() const = 0;
    // There is a result to export (Copy Ascii is enabled).
    virtual bool hasResult() const = 0;

    bool copyPicture();
    bool copyAscii();
    // "Settings - Current diagram": the dialog on this window's copy; OK recalculates.
    virtual bool editSettings() = 0;

signals:
    // The window is closing (its view frees the slot).
    void closing(int slot);
    // A calculation ended with a result.
    void calculated(int slot);
    // The window became the active one.
    void activated(int slot);

protected:
    // A window of `doc` in slot `slot`, titled `title`, named `accessibleName`
    // for screen readers, `size` large at (80, 80), with a context menu
    // called `menuName`.
    CMeasureWnd(CVesSoundDoc& doc, int slot, const QString& title, const QString& accessibleName, QSize size,
                const QString& menuName, QWidget* parent);

    // The plot (made by the family, filling the window); its context menu
    // has the frame's rows (Copy, Copy Ascii, Print, Settings - Current
    // diagram, Continuous update), then the family's `ownRows`.
    void setPlot(QWidget* plot, const std::vector<CommandMenuItem>& ownRows);
    // A frame command the family offers in its menu too, right after the row of `after`.
    void addMenuRowAfter(int after, const CommandMenuItem& row);
    void showContextMenu(const QPoint& globalPos);
    // The continuous-update flag of the family's settings record.
    virtual bool& continuousUpdate() = 0;

    // Runs `work` as the window's background job (stopping the one before);
    // `done` runs on the user-interface thread after a run that was neither
    // replaced nor stopped, and says whether it gave a result (the window
    // then tells its view). False when no thread could be made. What the work
    // reads and writes belongs to the work (captured by value or shared): the
    // frame joins the job after the family's members are gone. A family calls
    // stopCalculation() first thing in its destructor, so that no run posts
    // to a window that is going.
    bool startJob(vkit::BackgroundJob::Work work, std::function<bool()> done);
    int jobProgressPermille() const { return m_job.progressPermille(); }
    // Called after stopCalculation() stopped a running job.
    virtual void calculationStopped() {}
    // Called once when the window closes, after its job stopped.
    virtual void windowClosing() {}
    bool closed() const { return m_closed; }

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void onJobDone(std::uint64_t run);

    CVesSoundDoc& m_doc;
    int m_slot;
    QString m_menuName;
    std::vector<CommandMenuItem> m_menuRows;
    CommandHandlers m_commands;
    std::shared_ptr<vprint::PaintedPicture> m_picture;  // printing, preview and the clipboard
    std::uint64_t m_run = 0;  // number of the running (or last) calculation
    std::function<bool()> m_done;
    bool m_closed = false;
    vkit::BackgroundJob m_job;  // last: joined before the members it uses go
};

// The measurement windows of one kind that a view has open, in up to
// kMaxWindows slots (what a view's part keeps).
template <class W>
class MeasureWindowSlots {
public:
    static constexpr int kMaxWindows = 16;

    // The first free slot, or −1 when all are taken.
    int freeSlot() const
    {
        for (int i = 0; i < kMaxWindows; ++i)
            if (m_windows[static_cast<std::size_t>(i)].isNull())
                return i;
        return -1;
    }
    void put(int slot, W* window) { m_windows[static_cast<std::size_t>(slot)] = window; }
    void release(int slot) { m_windows[static_cast<std::size_t>(slot)] = nullptr; }
    std::vector<W*> windows() const
    {
        std::vector<W*> out;
        for (const auto& w : m_windows)
            if (w)
                out.push_back(w);
        return out;
    }
    void stopAll()
    {
        for (W* w : windows())
            w->stopCalculation();
    }
    void recalculateAll()
    {
        for (W* w : windows())
            w->recalculate();
    }
    void followAll(std::int64_t first, std::int64_t last, ChannelSel channel)
    {
        for (W* w : windows())
            w->followSelection(first, last, channel);
    }
    // Each window stops and joins its job when it is deleted.
    void closeAll()
    {
        for (auto& w : m_windows)
            delete w.data();
    }

private:
    std::array<QPointer<W>, kMaxWindows> m_windows;
};
