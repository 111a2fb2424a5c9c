// Plays frames [start, end) of a sample store on an output device. A thread
// of its own feeds the device, reading the store through mapped views a
// period at a time, so a recording of any length plays in bounded memory and
// the caller's thread never waits on the device. The caller polls position()
// and finished() (the play cursor and the end of play).
//
// The device is opened with about half a second of sound queued. Volume is
// a software gain on the samples (ALSA has no per-stream volume).
#pragma once

#include "core/BackgroundJob.h"
#include "core/FileCls.h"
#include "records/SoundFormat.h"
#include "soundio/AudioBackend.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

// Frames made on the feeding thread in place of a stretch of the store (the
// virtual bat detector).
class IPlaySource {
public:
    virtual ~IPlaySource() = default;
    // Up to `maxFrames` frames in the request's format into `out`: the count,
    // 0 at the end, -1 when the source cannot be read.
    virtual std::int64_t fill(std::uint8_t* out, std::int64_t maxFrames) = 0;
    // The store frame that the `played`-th frame handed out stands for.
    virtual std::int64_t sourceFrame(std::int64_t played) const = 0;
};

struct PlayRequest {
    FileCls* store = nullptr;
    SoundFormat format;          // of the stored frames
    std::int64_t startFrame = 0;
    std::int64_t endFrame = -1;  // exclusive; -1: to the end of the store
    std::uint32_t rateHz = 0;    // the device's rate (0: the format's)
    std::string deviceId = "default";
    int bufferMs = 500;
    // When set, the frames come from here (the store is not read) and
    // position() is the store frame they stand for.
    std::shared_ptr<IPlaySource> source;
};

class SoundPlayer {
public:
    explicit SoundPlayer(IAudioBackend& backend) : m_backend(backend) {}
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Opens the device and starts the feeding thread. A result code
    // (soundio/WaveError.h): Allocated when another sound activity holds the
    // sound-busy flag, the device's own code when it cannot be opened.
    int start(const PlayRequest& request);
    // The rate the device was opened at (the nearest it has to the one asked).
    std::uint32_t openedRateHz() const { return m_openedRate; }
    // Stops at once; position() stays where the sound stopped.
    void stop();
    bool running() const { return m_job.active() && !m_done.load(); }
    // The playback ended (range played, stopped, or the device failed);
    // joins the thread. Until then false.
    bool finished();
    // The frame being heard.
    std::int64_t position() const { return m_position.load(); }
    // 0, or the code of a device failure during play.
    int failure() const { return m_failure.load(); }
    // Software gain (1 = as recorded), applied from the next period on.
    void setGain(double gain) { m_gain.store(gain); }
    double gain() const { return m_gain.load(); }

private:
    void run();
    void applyGain(std::uint8_t* data, std::int64_t frames, double gain) const;

    IAudioBackend& m_backend;
    std::unique_ptr<IPlaybackStream> m_stream;
    PlayRequest m_req;
    vkit::BackgroundJob m_job;  // stops by m_stop, within one period
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<std::int64_t> m_position{0};
    std::atomic<int> m_failure{0};
    std::atomic<double> m_gain{1.0};
    std::uint32_t m_openedRate = 0;
    bool m_holdsBusy = false;
};
