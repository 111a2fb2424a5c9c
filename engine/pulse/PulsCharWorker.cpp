#include "pulse/PulsCharWorker.h"

PulsCharWorker::PulsCharWorker(CVesSoundDoc& doc, const PulseRequest& request, IPulseSink& sink,
                               std::function<void(PulsCharWorker&)> done)
    : ThreadCls("PulsCharWorker"), m_doc(doc), m_request(request), m_sink(sink), m_done(std::move(done))
{
}

PulsCharWorker::~PulsCharWorker()
{
    m_abort = true;
    waitForEnd(120000);
}

bool PulsCharWorker::stop()
{
    m_abort = true;
    return ThreadCls::stop();
}

int PulsCharWorker::execute()
{
    const bool complete = analysePulses(m_doc, m_request, m_sink, &m_abort);
    m_completed = complete;
    m_aborted = !complete;
    if (m_done)
        m_done(*this);
    return complete ? 0 : 1;
}
