// The playback thread of high-speed playback: hands the rows of a list, each
// as many times as its repeat count says, one after the other to the card,
// and tells the dialogs what it does through messages of the numbers below.
//
// The thread plays a copy of the list taken at the start (the rows are
// shared, so removing or closing rows in the dialog never frees a row the
// thread still plays). end() interrupts the file playing and ends the thread;
// the destructor ends and joins it.
#pragma once

#include "core/BackgroundJob.h"
#include "soundio/HspPlayList.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class IDaqCard;

enum class HspMessage : int {
    Hello = 0x4AA,
    Play = 0x4AB,
    Next = 0x4AC,
    End = 0x4AD,
    State = 0x4AE,
    Ended = 0x4AF,
};

// Codes of HspMessage::State.
enum class HspState : int {
    Playing = 2,
    Ended = 3,
    Error = 4,
    Log = 5,
};

// Where the thread's messages go. Called on the playback thread; the
// receiver owns the text.
class IHspSink {
public:
    virtual ~IHspSink() = default;
    virtual void hspMessage(HspMessage message, HspState code, std::string text) = 0;
};

class NidaqPlayWorker {
public:
    NidaqPlayWorker(IDaqCard& card, IHspSink& sink);
    ~NidaqPlayWorker();
    NidaqPlayWorker(const NidaqPlayWorker&) = delete;
    NidaqPlayWorker& operator=(const NidaqPlayWorker&) = delete;

    // Starts the thread on the list; false when no thread could be made
    // ("Can't start replay (CreateThread failed)!") or one is running.
    bool start(std::vector<std::shared_ptr<const HspPlayEntry>> list);
    // Ends the thread soon: the file playing is interrupted.
    void end();
    // Waits for the thread to end.
    void join();
    bool running() const { return m_running.load(); }
    // Whether the last run stopped at a card error.
    bool failed() const { return m_failed.load(); }

private:
    void run();

    IDaqCard& m_card;
    IHspSink& m_sink;
    std::vector<std::shared_ptr<const HspPlayEntry>> m_list;
    vkit::BackgroundJob m_job;  // stops by m_stop
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_failed{false};
};
