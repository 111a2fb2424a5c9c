#include "pulse/PulsCharWorker.h"

PulsCharWorker::PulsCharWorker(CVesSoundDoc& doc, const PulseRequest& request, IPulseSink& sink,
                               std::function<void(PulsCharWorker&)> done)
    : m_doc(doc), m_request(request), m_sink(sink), m_done(std::move(done))
{
}

bool PulsCharWorker::start()
{
    return m_job.start(
        [this](vkit::BackgroundJob::Control& control) {
            const bool complete = analysePulses(m_doc, m_request, m_sink, &control.stopFlag());
            m_completed = complete;
            m_aborted = !complete;
        },
        [this](bool) {
            if (m_done)
                m_done(*this);
        });
}
