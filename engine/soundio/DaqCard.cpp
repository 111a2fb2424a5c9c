#include "soundio/DaqCard.h"

#include "core/LoggCls.h"
#include "soundio/Daq12BitConverter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

// ---- the simulated card ----

SimulatedDaqCard::SimulatedDaqCard(std::string outputPath) : m_outputPath(std::move(outputPath)) {}

std::string SimulatedDaqCard::description() const
{
    return "Simulated card (plays into " + m_outputPath + ")";
}

void SimulatedDaqCard::failAt(int playNumber, std::int64_t afterPoints, int status)
{
    m_failPlay = playNumber;
    m_failAfterPoints = afterPoints;
    m_failStatus = status;
}

int SimulatedDaqCard::play(const DaqPlayJob& job, const std::atomic<bool>& stop)
{
    using Clock = std::chrono::steady_clock;
    const int number = m_playCalls.fetch_add(1) + 1;
    if (!job.file || job.points < 0 || job.channels < 1 || !(job.rateHz > 0))
        return -10003;  // a bad argument
    std::FILE* out = std::fopen(m_outputPath.c_str(), "ab");
    if (!out)
        return -10444;  // the output cannot be reached
    // Pieces of about 10 ms of output, whole frames.
    const std::int64_t frames = std::clamp<std::int64_t>(static_cast<std::int64_t>(job.rateHz / 100), 1, 65536);
    const std::int64_t piece = frames * job.channels;
    std::vector<std::uint8_t> buf(static_cast<size_t>(2 * piece));
    const Clock::time_point start = Clock::now();
    const std::int64_t failAt = number == m_failPlay ? m_failAfterPoints : -1;
    int status = 0;
    std::int64_t done = 0;
    while (done < job.points) {
        if (stop.load()) {
            status = 1;  // stopped: not an error
            break;
        }
        std::int64_t n = std::min(piece, job.points - done);
        if (failAt >= 0)
            n = std::min(n, failAt - done);
        if (n > 0) {
            const std::int64_t got = job.file->read(buf.data(), static_cast<size_t>(2 * n), 2 * done);
            if (got != 2 * n) {
                status = -10444;
                break;
            }
            if (std::fwrite(buf.data(), 1, static_cast<size_t>(got), out) != static_cast<size_t>(got)) {
                status = -10444;
                break;
            }
            std::fflush(out);
            done += n;
        }
        if (failAt >= 0 && done >= failAt) {
            status = m_failStatus;
            break;
        }
        if (m_timeScale > 0) {
            const double seconds = static_cast<double>(done / job.channels) / job.rateHz * m_timeScale;
            const auto due = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
            // Sleep in short steps so that a stop is seen at once.
            while (Clock::now() < due && !stop.load())
                std::this_thread::sleep_for(std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(5)));
        }
    }
    std::fclose(out);
    return status;
}

// ---- settings and the choice of card ----

void DaqCardSettings::load(const vkit::RegCls& reg)
{
    m_card = reg.readText(kRegKey, "Card", m_card);
    m_simOutput = reg.readText(kRegKey, "SimOutput", m_simOutput);
}

bool DaqCardSettings::save(vkit::RegCls& reg) const
{
    bool ok = reg.writeText(kRegKey, "Card", m_card);
    return reg.writeText(kRegKey, "SimOutput", m_simOutput) && ok;
}

std::string DaqCardSettings::simOutputPath() const
{
    if (!m_simOutput.empty())
        return m_simOutput;
    std::string folder = vkit::tempFolder();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + "vesperon-daq-output.raw";
}

std::unique_ptr<IDaqCard> makeDaqCard(const DaqCardSettings& settings, std::string& note)
{
    note.clear();
    if (settings.m_card != "simulated") {
        const std::string device = settings.m_card == "auto" || settings.m_card.empty() ? "/dev/comedi0" : settings.m_card;
        std::string error;
        if (auto card = openComediCard(device, error))
            return card;
        note = "No data-acquisition card (" + error + "): the simulated card is used.";
    }
    return std::make_unique<SimulatedDaqCard>(settings.simOutputPath());
}
