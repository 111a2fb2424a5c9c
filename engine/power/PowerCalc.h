// The averaged power spectrum of a stretch of a recording, computed on a
// worker thread so that the window showing it stays responsive.
//
// The worker reads the document's samples through mapped views, one FFT
// frame at a time, so a stretch of any length is analysed in bounded memory.
// Whoever edits the document stops running calculations first (the window
// restarts its calculation after every change anyway).
#pragma once

#include "core/ThreadCls.h"
#include "document/ChannelSelection.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class CVesSoundDoc;

struct PowerRequest {
    std::int64_t start = 0;  // frames
    std::int64_t end = -1;   // frames, exclusive; −1: to the end of the recording
    ChannelIndex channel = ChannelIndex::Left;
    int fftSize = 1024;      // a power of two from 16 to 16384
    int window = 2;          // window code (Parzen 1, Hanning 2, Hamming 4, Cosine 8, other rectangular)
};

struct PowerResult {
    int fftSize = 0;
    double rateHz = 0;            // effective (real-time) sampling rate
    std::int64_t start = 0;       // the stretch analysed, frames
    std::int64_t end = 0;
    std::vector<double> power;    // bins 0 .. N/2, averaged power relative to full scale (1.0 = full-scale sine)
    std::int64_t frames = 0;      // FFT frames averaged
    bool complete = false;        // false when the calculation was stopped

    double binFrequency(int bin) const { return fftSize ? bin * rateHz / fftSize : 0.0; }
};

// The computation itself, on the calling thread. `stop` is polled before each
// frame; when it is set the result comes back incomplete. `permille`, when
// given, follows the share of frames done (0 .. 1000).
PowerResult computePowerSpectrum(CVesSoundDoc& doc, PowerRequest request, const std::atomic<bool>* stop = nullptr,
                                 std::atomic<int>* permille = nullptr);

// The message a finished calculation posts to its window.
constexpr std::uint32_t kMsgPowerDone = vkit::kMsgUser + 101;

class PowerCalc : public vkit::ThreadCls {
public:
    // `done` runs on the worker thread after a calculation that was not
    // stopped; the window's implementation posts kMsgPowerDone to itself.
    PowerCalc(CVesSoundDoc& doc, const PowerRequest& request, std::function<void(PowerCalc&)> done = {});
    ~PowerCalc() override;

    bool stop() override;
    const PowerResult& result() const { return m_result; }  // valid after `done` ran / the thread finished
    // Share of the frames done, 0 .. 1000 (any thread).
    int progressPermille() const { return m_permille.load(std::memory_order_relaxed); }

protected:
    int execute() override;

private:
    CVesSoundDoc& m_doc;
    PowerRequest m_request;
    std::function<void(PowerCalc&)> m_done;
    PowerResult m_result;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_permille{0};
};
