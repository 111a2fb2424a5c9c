// The virtual bat detector mode of an analysis view: the "&Virtual Bat
// detector" command with its start dialog, the detector cursor (a position
// and a tuning frequency, drawn by the plot), moved with the mouse in a
// frequency pane, with Up/Down (two pixels of the frequency axis) and, while
// nothing plays, with Left/Right (one pixel column). While the mode is on,
// "&Play sound" plays through the detector (ViewPlayback asks for a source
// here); a new tuning while listening is heard from the next block on.
#pragma once

#include "commands/CommandRouter.h"
#include "filter/FilterRecord.h"
#include "filter/SosCascade.h"

#include <QObject>

#include <cstdint>
#include <memory>

class CVesAnaView;
class DetectorSource;

class ViewDetector : public QObject {
    Q_OBJECT
public:
    ViewDetector(CVesAnaView& view, CommandHandlers& commands);

    static ViewDetector* of(CVesAnaView* view);

    bool on() const { return m_on; }
    // The command: the start dialog when off (false when cancelled), off when on.
    bool toggle();
    void switchOff();

    // 0 until the mode was first switched on.
    int speedFactor() const { return m_speedFactor; }
    bool useSpeedFactor() const { return m_useSpeedFactor; }
    // w: f_s / k with the speed factor in use, else f_s.
    std::uint32_t playbackRateHz() const;

    std::int64_t cursorFrame() const { return m_frame; }
    double tuningHz() const { return m_tuningHz; }
    // Takes a position and frequency that lie inside the plot; false otherwise.
    bool setCursor(std::int64_t frame, double tuningHz);
    // Up (+1) / Down (-1): two pixels of the frequency axis, 2 Hz where that changes nothing.
    bool retune(int direction);
    // Left (-1) / Right (+1) while not playing: one pixel column.
    bool stepTime(int direction);

    // Detector playback of frames [first, end): the source the player reads
    // (nullptr with the message shown when the recording cannot be played so).
    std::shared_ptr<DetectorSource> startPlayback(std::int64_t first, std::int64_t end);
    bool playing() const { return m_source != nullptr; }
    // The frame being heard.
    void followPlay(std::int64_t frame);
    // The playback ended: the cursor goes to `stoppedAt` (a pause), else
    // back to where listening began.
    void playEnded(std::int64_t stoppedAt = -1);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCursor();
    bool insidePlot(std::int64_t frame) const;

    CVesAnaView& m_view;
    bool m_on = false;
    int m_speedFactor = 0;
    bool m_useSpeedFactor = true;
    FilterRecord m_record;
    SosCascade m_sections;
    std::int64_t m_frame = -1;
    double m_tuningHz = 0;
    std::int64_t m_playStart = 0;
    std::shared_ptr<DetectorSource> m_source;
    bool m_dragging = false;
};

