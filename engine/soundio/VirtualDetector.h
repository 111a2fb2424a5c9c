// The virtual bat detector: a recording heard as a heterodyne detector
// renders it. Each sample of one channel is multiplied by a sine at the
// tuning frequency, the product runs through the user's IIR low-pass filter,
// and every k-th frame of the result (k, the speed factor) is played at the
// recording's rate divided by k, so that ultrasound is heard in real time:
// a 45 kHz call tuned at 40 kHz sounds near 5 kHz.
//
// The output of frame n is trunc(y(n)) · G, G = ⌊3N/2⌋ for a filter of order
// N, clipped to the sample width. The filter starts from rest at the first
// frame played and keeps its state per frame from block to block; the
// oscillator's phase is a whole-number count of its period, so it is exact
// after hours of listening.
//
// DetectorSource feeds SoundPlayer: it reads the recording a block at a time
// (speed factor × play-buffer frames) through mapped views, processes the
// block into a buffer of that block's output and hands it out. A new tuning
// takes effect from the next block; a last block that would pass the end of
// the range is not played.
#pragma once

#include "core/FileCls.h"
#include "document/ChannelSelection.h"
#include "document/SampleCodec.h"
#include "filter/SosCascade.h"
#include "records/SoundFormat.h"
#include "soundio/SoundPlayer.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace detector {

constexpr int kMinSpeedFactor = 1;
constexpr int kMaxSpeedFactor = 200;

// The speed factor offered when the view has none yet: the recording's time
// expansion (thousandths / 1000, whole), 10 when that is below 2.
int proposedSpeedFactor(std::int32_t timeExp25);
// The rate the detector plays at: f_s / k with the speed factor in use
// (0 when f_s is 0), else f_s.
std::uint32_t playbackRateHz(std::uint32_t rateHz, int speedFactor, bool useSpeedFactor);
// G = ⌊3N/2⌋.
int outputGain(int filterOrder);
// Source frames per block: k · the play buffer's frames at the output rate.
std::int64_t blockFrames(const SoundFormat& format, std::uint32_t outputRateHz, int speedFactor);

}  // namespace detector

// sin(2π · t) with t the tuning frequency's cycles since the start, kept as a
// whole number of 1/(timeExp · f_s) cycles: no rounding accumulates.
class HeterodyneOscillator {
public:
    // `timeExp25`: thousandths (0 counts as 1000); the tuning is in real
    // (not time-expanded) hertz, as the frequency axis shows it.
    HeterodyneOscillator(std::uint32_t rateHz, std::int32_t timeExp25);
    void setTuningHz(std::int64_t realHz);
    std::int64_t tuningHz() const { return m_tuningHz; }
    void reset() { m_phase = 0; }
    double value() const;
    void advance(std::int64_t frames = 1);

private:
    std::int64_t m_modulus;  // units per cycle of the sample rate
    std::int64_t m_step = 0;  // units per frame
    std::int64_t m_phase = 0;
    std::int64_t m_tuningHz = 0;
};

struct DetectorSetup {
    SoundFormat format;  // of the stored frames (and of the output, at another rate)
    ChannelIndex channel = ChannelIndex::Left;
    int speedFactor = 10;
    std::int32_t timeExp25 = 1000;
    SosCascade filter;
    int filterOrder = 0;  // N of the user's filter record (for the gain)
};

class VirtualDetector {
public:
    explicit VirtualDetector(const DetectorSetup& setup);

    const DetectorSetup& setup() const { return m_setup; }
    // Applies from the next frame processed.
    void setTuningHz(std::int64_t realHz) { m_osc.setTuningHz(realHz); }
    std::int64_t tuningHz() const { return m_osc.tuningHz(); }
    // Phase 0, the filter at rest, the next frame processed is kept.
    void reset();
    // Processes `count` whole frames at `frames`; every k-th of them (counted
    // from the last reset) goes into `out` as one output frame in the
    // recording's layout, the processed channel in every channel slot.
    // Returns the output frames written. False in `ok` when a value is not
    // finite (the filter blew up); the frame then gets silence.
    std::int64_t process(const std::uint8_t* frames, std::int64_t count, std::uint8_t* out);
    bool ok() const { return m_ok; }

private:
    DetectorSetup m_setup;
    SampleLayout m_layout;
    HeterodyneOscillator m_osc;
    std::vector<Biquad> m_sections;
    std::vector<double> m_s1, m_s2;  // transposed direct form II state per section
    int m_gain;
    int m_offset;
    std::int64_t m_sinceKept = 0;
    bool m_ok = true;
};

// What SoundPlayer plays in detector mode: frames [startFrame, endFrame) of a
// store, processed a block at a time.
class DetectorSource : public IPlaySource {
public:
    DetectorSource(FileCls& store, const DetectorSetup& setup, std::uint32_t outputRateHz, std::int64_t startFrame,
                   std::int64_t endFrame, std::int64_t tuningHz);

    std::int64_t fill(std::uint8_t* out, std::int64_t maxFrames) override;
    std::int64_t sourceFrame(std::int64_t played) const override;

    // From any thread; taken at the start of the next block.
    void setTuningHz(std::int64_t realHz) { m_tuning.store(realHz); }
    std::int64_t tuningHz() const { return m_tuning.load(); }
    std::int64_t blockFrames() const { return m_blockFrames; }
    // Output frames per whole block.
    std::int64_t blockOutputFrames() const { return m_blockFrames / m_detector.setup().speedFactor; }
    // The blocks that fit into the range.
    std::int64_t wholeBlocks() const;

private:
    bool nextBlock();

    FileCls& m_store;
    VirtualDetector m_detector;
    std::int64_t m_start, m_end;
    std::int64_t m_blockFrames;
    std::int64_t m_blocksDone = 0;
    std::atomic<std::int64_t> m_tuning;
    std::vector<std::uint8_t> m_block;  // processed output of the current block
    std::int64_t m_blockFrom = 0, m_blockCount = 0;
    bool m_failed = false;
};
