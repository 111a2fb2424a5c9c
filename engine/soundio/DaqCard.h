// The data-acquisition card that high-speed playback plays through: its
// analog output takes the 12-bit words of a converted recording
// (Daq12BitConverter) at a sampling frequency of its range.
//
// Two back ends: a simulated card that "plays" a file in real time by
// appending its words to a file (and can be told to fail, for tests), and,
// when the program is built with libcomedi, a Comedi card that drives an
// E-series card's analog output through the asynchronous command interface.
//
// A play call returns when the file has been played or the stop flag was
// seen; its result is a 16-bit status: negative values other than
// kStatusAcceptable are errors whose magnitude is reported, anything else
// counts as success.
#pragma once

#include "core/RegCls.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class DaqTempFile;

struct DaqPlayJob {
    const DaqTempFile* file = nullptr;
    std::int64_t points = 0;  // words of every channel
    int channels = 1;
    double rateHz = 0;        // frames per second
};

class IDaqCard {
public:
    static constexpr int kStatusAcceptable = -10881;  // a warning of the driver, not an error

    virtual ~IDaqCard() = default;
    // "Simulated card (plays into /tmp/...)", "Comedi card /dev/comedi0 (ni_pcimio)".
    virtual std::string description() const = 0;
    virtual bool simulated() const = 0;
    // The range of output sampling frequencies, Hz.
    virtual std::int64_t minRateHz() const = 0;
    virtual std::int64_t maxRateHz() const = 0;
    virtual int maxChannels() const = 0;
    // Resets the output; called before and after every play.
    virtual void configure() = 0;
    // Plays the job; returns when done or when `stop` becomes true.
    virtual int play(const DaqPlayJob& job, const std::atomic<bool>& stop) = 0;
};

constexpr bool isDaqError(int status)
{
    return status < 0 && status != IDaqCard::kStatusAcceptable;
}

// Plays by appending the words (16-bit little-endian, as converted) to an
// output file, paced so that a file takes points / channels / rate seconds
// times the time scale.
class SimulatedDaqCard : public IDaqCard {
public:
    static constexpr std::int64_t kDefaultMaxRateHz = 500000;

    explicit SimulatedDaqCard(std::string outputPath);

    std::string description() const override;
    bool simulated() const override { return true; }
    std::int64_t minRateHz() const override { return 1; }
    std::int64_t maxRateHz() const override { return m_maxRateHz; }
    int maxChannels() const override { return 2; }
    void configure() override { m_configureCalls.fetch_add(1); }
    int play(const DaqPlayJob& job, const std::atomic<bool>& stop) override;

    const std::string& outputPath() const { return m_outputPath; }
    // 1.0 real time; 0 as fast as the file can be written.
    void setTimeScale(double scale) { m_timeScale = scale; }
    void setMaxRateHz(std::int64_t hz) { m_maxRateHz = hz; }
    // Makes the play call that is `playNumber` (1-based, counted over the
    // card's life) fail with `status` after `afterPoints` words.
    void failAt(int playNumber, std::int64_t afterPoints, int status);
    int configureCalls() const { return m_configureCalls.load(); }
    int playCalls() const { return m_playCalls.load(); }

private:
    std::string m_outputPath;
    double m_timeScale = 1.0;
    std::int64_t m_maxRateHz = kDefaultMaxRateHz;
    int m_failPlay = 0;
    std::int64_t m_failAfterPoints = 0;
    int m_failStatus = 0;
    std::atomic<int> m_configureCalls{0};
    std::atomic<int> m_playCalls{0};
};

// Which card plays ("Settings\HighSpeed"): `Card` is "auto" (the first Comedi
// device when the program has Comedi and the device opens, else the simulated
// card), "simulated", or the path of a Comedi device; `SimOutput` is the file
// the simulated card plays into (empty: vesperon-daq-output.raw in the
// temporary folder).
struct DaqCardSettings {
    static constexpr const char* kRegKey = "Settings\\HighSpeed";

    std::string m_card = "auto";
    std::string m_simOutput;

    void load(const vkit::RegCls& reg);
    bool save(vkit::RegCls& reg) const;
    std::string simOutputPath() const;
};

// Whether the program was built with the Comedi back end.
bool daqHaveComedi();

// The card the settings choose. When a real card was asked for (or "auto")
// but none opens, the simulated card, and `note` says why.
std::unique_ptr<IDaqCard> makeDaqCard(const DaqCardSettings& settings, std::string& note);

// A Comedi card at `device` (null with `error` set when it does not open or
// has no analog output with commands, or when Comedi is not built in).
std::unique_ptr<IDaqCard> openComediCard(const std::string& device, std::string& error);
