#include "power/PowerCalc.h"

#include "display/FftWindow.h"
#include "display/RealFft.h"
#include "document/CVesSoundDoc.h"
#include "document/SampleCodec.h"

#include <algorithm>
#include <cmath>

PowerResult computePowerSpectrum(CVesSoundDoc& doc, PowerRequest req, const std::atomic<bool>* stop,
                                 std::atomic<int>* permille)
{
    PowerResult r;
    int n = std::clamp(req.fftSize, 16, 16384);
    int m = 0;
    while ((1 << (m + 1)) <= n)
        ++m;
    n = 1 << m;
    r.fftSize = n;
    r.rateHz = doc.format().samplesPerSec * (doc.timeExpansion() > 0 ? doc.timeExpansion() : 1000) / 1000.0;
    const std::int64_t length = doc.lengthFrames();
    std::int64_t start = std::max<std::int64_t>(0, req.start);
    std::int64_t end = req.end < 0 ? length : req.end;
    if (end < start)
        std::swap(start, end);
    if (end - start < n)  // a stretch shorter than N is extended from its start
        end = start + n;
    r.start = start;
    r.end = end;
    r.power.assign(static_cast<size_t>(n / 2 + 1), 0.0);

    std::vector<double> table(static_cast<size_t>(n)), buf(static_cast<size_t>(n));
    buildWindowTable(table.data(), n, req.window);
    const std::int64_t frames = end - start;
    const std::int64_t k = (frames + n - 1) / n;
    SampleReader reader(doc, req.channel, SampleScale::Units16);
    const double scale = std::ldexp(1.0, -30);
    for (std::int64_t i = 0; i < k; ++i) {
        if (stop && stop->load(std::memory_order_relaxed))
            return r;
        std::int64_t s = (frames - n) * i / k;
        if (s + n > frames)
            s = frames - n;
        reader.read(start + s, n, buf.data());  // past the end: silence
        for (int j = 0; j < n; ++j)
            buf[static_cast<size_t>(j)] *= table[static_cast<size_t>(j)];
        RealFft(buf.data(), m);
        r.power[0] += 4.0 * buf[0] * buf[0] * scale;
        for (int b = 1; b < n / 2; ++b) {
            const double re = 2.0 * buf[static_cast<size_t>(b)], im = 2.0 * buf[static_cast<size_t>(n - b)];
            r.power[static_cast<size_t>(b)] += (re * re + im * im) * scale;
        }
        ++r.frames;
        if (permille)
            permille->store(static_cast<int>((i + 1) * 1000 / k), std::memory_order_relaxed);
    }
    if (r.frames > 0)
        for (double& p : r.power)
            p /= r.frames;
    r.complete = true;
    return r;
}

void PowerCalc::run(vkit::BackgroundJob::Control& control)
{
    m_result = computePowerSpectrum(m_doc, m_request, &control.stopFlag(), control.progressCounter());
}
