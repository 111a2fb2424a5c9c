// The input side of automatic recording: owns the capture stream and hands
// every filled buffer (one sixteenth of a second) to the analysis thread. The
// device keeps capturing while the analysis works; when the analysis falls
// so far behind that its queue is full, the buffer is dropped and counted.
#pragma once

#include "core/BackgroundJob.h"
#include "autorec/AutoRecTypes.h"
#include "soundio/AudioBackend.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace autorec {

class CAutoRecAnaThread;

class CAutoRecWave {
public:
    CAutoRecWave(const AutoRecConfig& config, IAutoRecHost& host, CAutoRecAnaThread& analysis);
    ~CAutoRecWave();

    // Opens the device (stopped); false with the user's message.
    bool open(std::string& error);
    // False when the system could not make the thread.
    bool startThread();
    void requestListen();
    void requestPause();
    void requestEnd();
    void join();
    bool finished() const { return m_finished; }

private:
    void run();
    void flush();

    AutoRecConfig m_cfg;
    IAutoRecHost& m_host;
    CAutoRecAnaThread& m_ana;
    std::unique_ptr<ICaptureStream> m_stream;
    std::int64_t m_bufferBytes = 0;
    std::vector<std::uint8_t> m_buffer;
    std::int64_t m_fill = 0;
    std::int64_t m_received = 0;
    vkit::BackgroundJob m_job;  // ends by its own protocol (postEnd / requestEnd)
    std::mutex m_mx;
    std::condition_variable m_cv;
    enum class Want { None, Listen, Pause, End };
    Want m_want = Want::None;
    bool m_listening = false;
    std::atomic<bool> m_finished{false};
};

}  // namespace autorec
