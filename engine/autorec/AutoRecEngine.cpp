#include "autorec/AutoRecEngine.h"

#include "autorec/CAutoRecAnaThread.h"
#include "autorec/CAutoRecWave.h"

#include <chrono>
#include <thread>

namespace autorec {

AutoRecEngine::AutoRecEngine() = default;

AutoRecEngine::~AutoRecEngine()
{
    if (m_ana || m_wave) {
        end();
        if (m_wave)
            m_wave->join();
        if (m_ana)
            m_ana->join();
    }
}

std::int64_t AutoRecEngine::bufferBytes(const SoundFormat& format) { return format.blockSize(); }

bool AutoRecEngine::start(const AutoRecConfig& config, IAutoRecHost& host, std::string& error)
{
    if (m_ana) {
        end();
        wait(30000);
    }
    m_wave.reset();
    m_ana.reset();
    auto ana = std::make_unique<CAutoRecAnaThread>(config, host);
    if (!ana->init(error))
        return false;
    std::unique_ptr<CAutoRecWave> wave;
    if (config.backend) {
        wave = std::make_unique<CAutoRecWave>(config, host, *ana);
        if (!wave->open(error))
            return false;
    }
    if (!ana->startThread()) {
        error = "Can't start recording (CreateThread failed)!";
        return false;
    }
    if (wave && !wave->startThread()) {
        ana->postEnd();
        ana->join();
        error = "Can't start recording (CreateThread failed)!";
        return false;
    }
    m_ana = std::move(ana);
    m_wave = std::move(wave);
    if (config.listenAtStart)
        listen();
    return true;
}

void AutoRecEngine::listen()
{
    if (m_wave)
        m_wave->requestListen();
    else if (m_ana)
        m_ana->postStart();
}

void AutoRecEngine::pause()
{
    if (m_wave)
        m_wave->requestPause();
    else if (m_ana)
        m_ana->postStop();
}

void AutoRecEngine::end()
{
    if (m_wave) {
        // The input flushes its last buffer to the analysis before the end.
        m_wave->requestEnd();
        m_wave->join();
    }
    if (m_ana)
        m_ana->postEnd();
}

bool AutoRecEngine::wait(int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_ana && !m_ana->finished()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (m_wave && !m_ana)
        return true;
    if (m_wave) {
        m_wave->requestEnd();
        m_wave->join();
    }
    if (m_ana)
        m_ana->join();
    return true;
}

bool AutoRecEngine::running() const { return m_ana && !m_ana->finished(); }

void AutoRecEngine::clearFile()
{
    if (m_ana)
        m_ana->postClear();
}

void AutoRecEngine::newFile(const std::string& name)
{
    if (m_ana)
        m_ana->postNewFile(name);
}

void AutoRecEngine::setGraphics(bool on)
{
    if (m_ana)
        m_ana->postGraphics(on);
}

void AutoRecEngine::displayDone()
{
    if (m_ana)
        m_ana->displayDone();
}

bool AutoRecEngine::feed(const void* data, std::int64_t bytes)
{
    if (!m_ana || m_wave || bytes <= 0)
        return m_ana && bytes <= 0;
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> buf(p, p + bytes);
    return m_ana->postData(std::move(buf), -1);
}

AutoRecStatus AutoRecEngine::status() const
{
    AutoRecStatus s;
    if (m_ana)
        m_ana->status(s);
    return s;
}

}  // namespace autorec
