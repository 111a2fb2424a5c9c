#include "soundio/NidaqPlayWorker.h"

#include "core/LoggCls.h"
#include "soundio/DaqCard.h"


NidaqPlayWorker::NidaqPlayWorker(IDaqCard& card, IHspSink& sink) : m_card(card), m_sink(sink) {}

NidaqPlayWorker::~NidaqPlayWorker()
{
    end();
    join();
}

bool NidaqPlayWorker::start(std::vector<std::shared_ptr<const HspPlayEntry>> list)
{
    if (m_running.load())
        return false;
    join();
    m_list = std::move(list);
    m_stop = false;
    m_failed = false;
    m_running = true;
    if (!m_job.start([this](vkit::BackgroundJob::Control&) { run(); })) {
        m_running = false;
        m_list.clear();
        return false;
    }
    return true;
}

void NidaqPlayWorker::end()
{
    m_stop = true;
}

void NidaqPlayWorker::join()
{
    m_job.join();
}

void NidaqPlayWorker::run()
{
    m_sink.hspMessage(HspMessage::Hello, HspState::Log, {});
    for (const auto& entry : m_list) {
        for (int rep = 1; rep <= entry->repeat && !m_stop.load(); ++rep) {
            m_sink.hspMessage(HspMessage::State, HspState::Playing, hspPlayingText(*entry, rep));
            DaqPlayJob job;
            job.file = entry->file.get();
            job.points = entry->points;
            job.channels = entry->channels;
            job.rateHz = static_cast<double>(entry->playbackRateHz);
            m_card.configure();
            const int status = m_card.play(job, m_stop);
            m_card.configure();
            if (isDaqError(status)) {
                const std::string text = hspAbortedText(*entry, status);
                vkit::Logg().error(text);
                m_failed = true;
                m_stop = true;
                m_sink.hspMessage(HspMessage::State, HspState::Error, text);
            }
        }
        if (m_stop.load())
            break;
    }
    // The rows go back before the dialogs hear of the end.
    m_list.clear();
    m_running = false;
    m_sink.hspMessage(HspMessage::Ended, HspState::Ended, {});
}
