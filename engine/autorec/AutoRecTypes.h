// The automatic recording engine's shared types: the run's configuration,
// the status a status window shows, and the host interface through which the
// engine's worker threads report to the user-interface side.
//
// Every IAutoRecHost method is called on a worker thread (the input or the
// analysis thread). A desktop host forwards each call to its UI thread with a
// queued call and copies what it needs; it must never block in them nor call
// back into the engine synchronously from them (posting is fine).
#pragma once

#include "records/SoundFormat.h"
#include "records/VesSettings.h"

#include <cstdint>
#include <string>
#include <vector>

class FileCls;
class IAudioBackend;

namespace autorec {

// TriggerType, FileNaming, MarkType and TriggerChannels, the codes of
// VesAutoRecParms, come with records/VesSettings.h (records/AutoRecCodes.h).

// State report codes (what the status window's state field shows).
enum class StateCode : int {
    RecordingFinished = 2,  // "Listening  "
    RecordingBegins = 3,    // "RECORDING"
    Listening = 4,          // "Listening"
    Ended = 5,              // "Ended"
    Paused = 7,             // "Paused" (input stopped)
    Started = 8,            // "Started" (input started)
};

// Display update kinds.
enum class DisplayKind : int {
    SequenceNumber = 1,  // `sequence` holds the next sequence number
    Redraw = 2,          // the store holds `frames` frames: set the length, redraw (throttled by the host)
    Refresh = 3,
    Reset = 4,           // the store was emptied
};

struct DisplayUpdate {
    DisplayKind kind = DisplayKind::Redraw;
    std::int64_t frames = -1;    // frames in the store (Redraw), -1 none
    std::int64_t sequence = 0;   // SequenceNumber
    std::int64_t tickMs = 0;     // steady-clock milliseconds when made (for the 50 ms staleness rule)
};

// A snapshot of a run, safe to take from any thread at any time.
struct AutoRecStatus {
    bool running = false;          // threads alive
    bool listening = false;        // started and not paused
    bool recording = false;        // a recording is in progress
    bool ended = false;            // the run has ended (by itself or by end())
    StateCode lastState = StateCode::Listening;
    std::int64_t recordings = 0;         // recordings begun in this run
    std::int64_t filesWritten = 0;       // files completed (per-file naming)
    std::int64_t sequenceNumber = 1;     // next sequence number
    std::int64_t streamBytes = 0;        // bytes received since listening began
    std::int64_t storeBytes = 0;         // bytes in the current store or file
    std::int64_t recordedBytes = 0;      // bytes retained in this run, all files together
    std::int64_t recordedMicros = 0;     // the same as real time (time expansion applied)
    std::int64_t buffersReceived = 0;
    std::int64_t lostBuffers = 0;        // buffers dropped because the analysis fell behind
    std::int64_t deviceOverruns = 0;     // overruns the device reported (sound lost before us)
    std::int64_t queuedBuffers = 0;      // buffers waiting for the analysis now
    std::int64_t freeDiskBytes = -1;     // last measured free space of the output folder, -1 unknown
    bool graphics = true;                // realtime graphics on
    bool storeFailed = false;            // the store or a file could not be written (disk full...)
    std::string currentFile;             // file being written (per-file naming), or the document path
    std::string lastFile;                // last file completed
};

// Where the engine reports. All methods have empty defaults.
class IAutoRecHost {
public:
    virtual ~IAutoRecHost() = default;
    // A state report (the status window's state field).
    virtual void recState(StateCode) {}
    // One line for the log.
    virtual void recLog(const std::string&) {}
    // The run's title for the status window ("Automatic Recording Status" / "Recording Status").
    virtual void recTitle(const std::string&) {}
    // A display update. Every Redraw counts as pending until the host calls
    // AutoRecEngine::displayDone() (when more than the backlog limit are
    // pending, the engine switches realtime graphics off).
    virtual void recDisplay(const DisplayUpdate&) {}
    // Realtime graphics was switched (by the engine on overload, or echoed).
    virtual void recGraphics(bool) {}
    // A mark to add to the document at `frame` (single-file and continuous
    // runs into a store); channels: 1 for mono, 3 for both of a stereo document.
    virtual void recAddMark(std::int64_t /*frame*/, const std::string& /*name*/, const std::string& /*comment*/,
                            int /*channels*/) {}
    // A recording began: the document's "recorded with" becomes `device` and
    // its recording date/time `localTime`; the document counts as modified.
    virtual void recStarted(const std::string& /*device*/, const std::string& /*localTime*/) {}
    // A file was written completely (per-file naming): its path, frames, and
    // the run's recording number.
    virtual void recFileWritten(const std::string& /*path*/, std::int64_t /*frames*/, std::int64_t /*number*/) {}
    // The same file's place in the stream: its first frame counted from the
    // start of listening (called just before recFileWritten).
    virtual void recFileSpan(const std::string& /*path*/, std::int64_t /*streamFrame*/, std::int64_t /*frames*/) {}
    // An error the user must see (device failure, disk full, store failure).
    // With `endsRun` the run is over: the status window stops and closes.
    virtual void recError(const std::string& /*text*/, bool /*endsRun*/) {}
    // The run ended by itself (maximum count or time, input end, error) or by
    // end(); both threads are finishing. Called once per run.
    virtual void recEnded() {}
};

// What a run needs.
struct AutoRecConfig {
    VesAutoRecParms parms;
    SoundFormat format = SoundFormat::pcm(1, 16, 44100);  // the document's sound format
    std::int32_t timeExp25 = 1000;                         // time expansion x 1000 (1000 none)
    // Input: the back end and device to capture from; with no backend the run
    // takes its sound from AutoRecEngine::feed() (tests, trigger-split).
    IAudioBackend* backend = nullptr;
    std::string deviceId = "default";
    std::string deviceName;            // as the user sees it (document metadata, GUANO)
    int inputBuffers = 64;             // buffers of 1/16 s the input may hold waiting for the analysis
    // Output. Single-file (naming 0) and continuous runs append to `store`
    // (the document's sample store, which only the engine writes during the
    // run); the other namings write one wave file per recording, named from
    // parms.m_fileName (with `extension` appended when the name has no dot),
    // never overwriting a file. A single-file run without a store writes one
    // file named `singleFilePath`.
    FileCls* store = nullptr;
    std::string documentPath;          // shown in logs for single-file runs
    std::string singleFilePath;
    std::string extension = "wav";
    std::string programVersion;        // GUANO "Firmware Version"
    // Metadata chunks copied into every file written (for example a source's
    // GUANO when splitting): raw chunk id and payload. A `guan` chunk given
    // here is updated (length, timestamp) instead of the engine's own.
    struct Chunk {
        std::string id;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Chunk> extraChunks;
    // Wall-clock time of stream position 0 (Unix microseconds; 0: the time
    // listening begins). Names, marks and GUANO timestamps follow it, so a
    // split of an old recording is named after the time it was made.
    std::int64_t streamStartUnixMicros = 0;
    int utcOffsetMinutes = 0;          // of that time, for GUANO (0: the local zone's)
    bool localTimeFromStream = false;  // names from the stream time instead of the clock
    // A file is finished and the next one begun before it would exceed this
    // many data bytes (0: RF64 is written instead when it passes 4 GiB).
    std::int64_t maxFileBytes = 0;
    // Free disk space below this stops the run with "Disk full" (bytes; 0:
    // two seconds of sound plus 1 MiB, checked at least every second of sound).
    std::int64_t diskReserveBytes = 0;
    // The run ends after this many bytes of sound (0: no end); a pulse in
    // progress is kept up to that point.
    std::int64_t maxStreamBytes = 0;
    // Start listening at once (the CLI, trigger-split); else listen() starts it.
    bool listenAtStart = false;
};

}  // namespace autorec
