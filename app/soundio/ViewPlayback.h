// Playback of a view's recording: the Play, Pause and Stop commands, the
// play speeds, the speed and volume keys while playing, the moving play
// cursor in every view of the document and the status strip's texts. The
// sound itself is fed by SoundPlayer's thread; this object polls it from a
// timer 40 times a second.
#pragma once

#include "commands/CommandRouter.h"
#include "soundio/SoundPlayer.h"
#include "soundio/VesPlaySpeedData.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

class CVesAnaView;
class CVesSoundDoc;

class ViewPlayback : public QObject {
    Q_OBJECT
public:
    enum PlayState { Idle = 0, Open = 1, Closed = 4 };

    ViewPlayback(CVesAnaView& view, CommandHandlers& commands);
    ~ViewPlayback() override;

    static ViewPlayback* of(CVesAnaView* view);

    // "&Play sound": false when nothing started.
    bool play();
    void pause();
    void stop();
    // "Move to beginning/end of file": a paused playback is forgotten.
    void cancelPause();
    bool paused() const { return m_paused; }
    int state() const { return m_state; }
    bool playing() const { return m_player && m_player->running(); }
    std::uint32_t openedRateHz() const { return m_openedRate; }
    // Speed items 0..6 of the Play speed menu.
    void setMenuSpeed(int index);
    // Left/Right while playing: the speed halved/doubled, playing on from the
    // frame being heard at the new rate.
    void changeSpeed(bool up);
    // Down/Up while playing: the software gain halved/doubled (0..65535 word).
    void changeVolume(bool up);
    static int volumeWord();
    // External control: a set flag records after the playback (0x428, 0x429/0x42A, 0x42C).
    void externalPlay(int message, long long param);

    // The document's presets, read from and written back to its metadata.
    static VesPlaySpeedDataLst presets(CVesSoundDoc& doc);
    static void storePresets(CVesSoundDoc& doc, const VesPlaySpeedDataLst& list);
    // The program's default presets: a new document copies them, an opened
    // one gets those of the devices it has none for, and a speed the user
    // chooses joins them (the shell keeps them in the settings).
    static VesPlaySpeedDataLst& programPresets();
    static void copyProgramPresets(CVesSoundDoc& doc);
    static void completeFromProgramPresets(CVesSoundDoc& doc);

signals:
    // Playback ended and a record-after-play flag was set.
    void recordAfterPlay();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void poll();
    void finish();
    bool startAt(std::int64_t first, std::int64_t end, const QString& text, bool askRate);
    void setPlayCursorEverywhere(std::int64_t frame);

    CVesAnaView& m_view;
    CVesSoundDoc& m_doc;
    std::unique_ptr<SoundPlayer> m_player;
    QTimer m_timer;
    int m_state = Idle;
    bool m_paused = false;
    bool m_stopRequested = false;
    bool m_restarting = false;
    std::int64_t m_start = 0, m_end = 0;
    std::uint32_t m_openedRate = 0;
    QString m_playText, m_statusText;
    bool m_pending[3] = {false, false, false};
};

// Registers the playback and the virtual bat detector as parts of every new
// view (display/ViewParts.h), the detector after the playback: its keys come
// first.
void registerPlaybackParts();
