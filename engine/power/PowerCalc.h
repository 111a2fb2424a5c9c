// The averaged power spectrum of a stretch of a recording, computed on a
// worker thread so that the window showing it stays responsive.
//
// The worker reads the document's samples through mapped views, one FFT
// frame at a time, so a stretch of any length is analysed in bounded memory.
// Whoever edits the document stops running calculations first (the window
// restarts its calculation after every change anyway).
#pragma once

#include "core/BackgroundJob.h"
#include "document/ChannelSelection.h"

#include <atomic>
#include <cstdint>
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

// One power spectrum calculation, run as a background job
// (core/BackgroundJob.h): run() is the job's work; it polls the job's stop
// flag and reports its progress there.
class PowerCalc {
public:
    PowerCalc(CVesSoundDoc& doc, const PowerRequest& request) : m_doc(doc), m_request(request) {}

    void run(vkit::BackgroundJob::Control& control);
    // Valid once run() returned; incomplete when it was stopped.
    const PowerResult& result() const { return m_result; }

private:
    CVesSoundDoc& m_doc;
    PowerRequest m_request;
    PowerResult m_result;
};
