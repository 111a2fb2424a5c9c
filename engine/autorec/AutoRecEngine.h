// The automatic recording engine: an input thread (CAutoRecWave) that owns
// the capture device and queues every filled buffer, and an analysis thread
// (CAutoRecAnaThread) that keeps a ring of recent sound, runs the trigger and
// writes the retained stretches into the store or into files. This class owns
// both and is what a dialog or the command line drives; every method is
// called from one controlling thread (the UI thread), never from the host's
// callbacks synchronously.
#pragma once

#include "autorec/AutoRecTypes.h"

#include <cstdint>
#include <memory>
#include <string>

namespace autorec {

class CAutoRecWave;
class CAutoRecAnaThread;

class AutoRecEngine {
public:
    AutoRecEngine();
    ~AutoRecEngine();  // ends a running run and joins its threads
    AutoRecEngine(const AutoRecEngine&) = delete;
    AutoRecEngine& operator=(const AutoRecEngine&) = delete;

    // Starts both threads and opens the device (when the config names a back
    // end). Returns false with the user's message in `error` (for example
    // WaveErrorText("Failed to open waveform recording device.", code)), and
    // nothing runs. With config.listenAtStart the run listens at once.
    bool start(const AutoRecConfig& config, IAutoRecHost& host, std::string& error);

    // Start listening / resume after pause (the status window's Start).
    void listen();
    // Pause: the input stops, a pulse in progress is stored up to now and
    // its recording finished (the status window's Stop).
    void pause();
    // End the run: as pause, then both threads finish. Returns at once;
    // wait() joins.
    void end();
    // Joins both threads when the run has ended; false when still running after `timeoutMs`.
    bool wait(int timeoutMs);
    bool running() const;

    // Empties the store (logically; mapped views stay valid) and clears the
    // stream and pulse counters; the host gets DisplayKind::Reset and redraws.
    void clearFile();
    // Per-file naming: finishes the current file and continues into the
    // next name (`name`, when given, replaces the name's beginning). Single
    // file runs into a store: the host saves the document itself while the
    // run is paused, then calls clearFile() and listen().
    void newFile(const std::string& name = std::string());
    // Realtime graphics on or off (echoed through recGraphics).
    void setGraphics(bool on);
    // The host finished a Redraw display update (decrements the pending count).
    void displayDone();

    // Without a device: hands sound to the analysis thread as if captured
    // (whole frames). Blocks while the input queue is full, so a file is
    // analysed completely. False when the run has ended.
    bool feed(const void* data, std::int64_t bytes);

    AutoRecStatus status() const;
    // The input buffer size in bytes (one sixteenth of a second, at least 256
    // frames, a multiple of 64 and of the frame size).
    static std::int64_t bufferBytes(const SoundFormat& format);

private:
    std::unique_ptr<CAutoRecAnaThread> m_ana;
    std::unique_ptr<CAutoRecWave> m_wave;
};

}  // namespace autorec
