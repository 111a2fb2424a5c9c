// The one interface to the platform's sound devices, with two back ends:
// ALSA (Linux; any rate the device or its plugin accepts) and PortAudio (the
// portable one; its front end refuses rates above 384 kHz). Failures come
// back as the result codes of soundio/WaveError.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AudioDeviceInfo {
    std::string id;    // what open() takes
    std::string name;  // what the user sees and the settings keep
    int maxChannels = 0;
    std::uint32_t minRateHz = 0;
    std::uint32_t maxRateHz = 0;  // 0: the device did not say
};

struct AudioStreamFormat {
    int channels = 1;
    int bitsPerSample = 16;  // 8 (unsigned), 16, 24 (three bytes), 32; little-endian
    std::uint32_t rateHz = 44100;
};

// An open playback stream. Used by one thread at a time.
class IPlaybackStream {
public:
    virtual ~IPlaybackStream() = default;
    // The rate the device runs at (the nearest it has to the one asked).
    virtual std::uint32_t rateHz() const = 0;
    // Frames the stream takes per write without blocking long (one period).
    virtual std::int64_t periodFrames() const = 0;
    // Writes `frames` frames, waiting at most `timeoutMs` for room; sets
    // `written` to the frames taken (possibly 0). A result code.
    virtual int write(const void* data, std::int64_t frames, int timeoutMs, std::int64_t& written) = 0;
    // Frames handed over and not yet heard.
    virtual std::int64_t delayFrames() = 0;
    // Plays what is queued to the end, then stops.
    virtual int drain() = 0;
    // Stops at once; what is queued is dropped.
    virtual void drop() = 0;
};

// An open capture stream, stopped until start(). Used by one thread at a time.
class ICaptureStream {
public:
    virtual ~ICaptureStream() = default;
    virtual std::uint32_t rateHz() const = 0;
    // Reads up to `frames` frames, waiting at most `timeoutMs` for sound; sets
    // `got` to the frames read (possibly 0). A result code; an overrun of the
    // device is recovered and counted, not returned.
    virtual int read(void* data, std::int64_t frames, int timeoutMs, std::int64_t& got) = 0;
    // Overruns of the device's own buffer since the stream opened (sound lost there).
    virtual std::int64_t overruns() const = 0;
    // Stops capturing; read() returns nothing afterwards until start().
    virtual void stop() = 0;
    virtual int start() = 0;
};

class IAudioBackend {
public:
    virtual ~IAudioBackend() = default;
    virtual const char* name() const = 0;
    virtual std::vector<AudioDeviceInfo> outputDevices() = 0;
    virtual std::vector<AudioDeviceInfo> inputDevices() = 0;
    // Opens `deviceId` for playback; `bufferMs` of sound may be queued.
    virtual int openPlayback(const std::string& deviceId, const AudioStreamFormat& format, int bufferMs,
                             std::unique_ptr<IPlaybackStream>& stream) = 0;
    // Whether the device would play this format (opens and closes it).
    virtual int queryPlayback(const std::string& deviceId, const AudioStreamFormat& format);
    // Opens `deviceId` for capture with room for `bufferMs` of sound in the
    // device; it captures from start() on. NotSupported by a back end without capture.
    virtual int openCapture(const std::string& deviceId, const AudioStreamFormat& format, int bufferMs,
                            std::unique_ptr<ICaptureStream>& stream);
    // Whether the device would record this format (opens and closes it).
    int queryCapture(const std::string& deviceId, const AudioStreamFormat& format);
};

enum class AudioBackendKind { Alsa, PortAudio };

// nullptr when the back end is not built in.
std::unique_ptr<IAudioBackend> makeAudioBackend(AudioBackendKind kind);
// ALSA on Linux, unless VESPERON_AUDIO=portaudio asks for the other one.
AudioBackendKind defaultAudioBackendKind();
