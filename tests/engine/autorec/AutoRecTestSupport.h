// Shared pieces of the recording engine tests: a host that keeps every
// report, and synthetic sound with pulses at known frames.
#pragma once

#include "autorec/AutoRecTypes.h"
#include "core/ByteOrder.h"

#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace rectest {

using Bytes = std::vector<std::uint8_t>;

struct Mark {
    std::int64_t frame;
    std::string name;
};

class RecordingHost : public autorec::IAutoRecHost {
public:
    using Lock = std::lock_guard<std::mutex>;
    void recState(autorec::StateCode c) override
    {
        Lock g(m);
        states.push_back(c);
    }
    void recLog(const std::string& t) override
    {
        Lock g(m);
        log.push_back(t);
    }
    void recAddMark(std::int64_t f, const std::string& n, const std::string&, int) override
    {
        Lock g(m);
        marks.push_back({f, n});
    }
    void recFileWritten(const std::string& p, std::int64_t, std::int64_t) override
    {
        Lock g(m);
        files.push_back(p);
    }
    void recError(const std::string& t, bool) override
    {
        Lock g(m);
        errors.push_back(t);
    }
    void recEnded() override
    {
        Lock g(m);
        ++ended;
    }
    void recDisplay(const autorec::DisplayUpdate& u) override
    {
        Lock g(m);
        displays.push_back(u.kind);
    }
    void recGraphics(bool on) override
    {
        Lock g(m);
        graphics.push_back(on);
    }

    bool logHas(const std::string& text) const
    {
        Lock g(m);
        for (const std::string& l : log)
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }
    std::vector<std::string> fileList() const
    {
        Lock g(m);
        return files;
    }
    int endedCount() const
    {
        Lock g(m);
        return ended;
    }

    std::vector<autorec::StateCode> states;
    std::vector<std::string> log;
    std::vector<Mark> marks;
    std::vector<std::string> files;
    std::vector<std::string> errors;
    std::vector<bool> graphics;
    std::vector<autorec::DisplayKind> displays;
    int ended = 0;

private:
    mutable std::mutex m;
};

// 16-bit frames of `channels` channels, silent except the pulses; every
// pulse sample is distinct so that a misplaced byte shows.
struct PulseSignal {
    int channels = 1;
    std::int64_t frames = 0;
    Bytes bytes;

    PulseSignal(std::int64_t n, int ch = 1) : channels(ch), frames(n), bytes(static_cast<std::size_t>(n * 2 * ch), 0) {}
    // A pulse of magnitude around `level` on `channel` (-1: all channels) over frames [first, end).
    PulseSignal& pulse(std::int64_t first, std::int64_t end, int level = 12000, int channel = -1)
    {
        for (std::int64_t f = first; f < end; ++f)
            for (int c = 0; c < channels; ++c)
                if (channel < 0 || channel == c) {
                    const int v = ((f & 1) ? 1 : -1) * (level + static_cast<int>(f % 97));
                    writeLe16(&bytes[static_cast<std::size_t>((f * channels + c) * 2)], static_cast<std::uint16_t>(v));
                }
        return *this;
    }
    // A tone burst of `hz` at `rate` with amplitude `amp`.
    PulseSignal& tone(std::int64_t first, std::int64_t end, double hz, double rate, double amp, int channel = -1)
    {
        for (std::int64_t f = first; f < end; ++f)
            for (int c = 0; c < channels; ++c)
                if (channel < 0 || channel == c) {
                    const int v = static_cast<int>(std::lround(amp * std::sin(6.283185307179586 * hz * f / rate)));
                    writeLe16(&bytes[static_cast<std::size_t>((f * channels + c) * 2)], static_cast<std::uint16_t>(v));
                }
        return *this;
    }
    Bytes frameRange(std::int64_t first, std::int64_t end) const
    {
        const std::size_t fb = static_cast<std::size_t>(2 * channels);
        return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(first * fb),
                     bytes.begin() + static_cast<std::ptrdiff_t>(end * fb));
    }
};

}  // namespace rectest
