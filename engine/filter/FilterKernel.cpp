#include "filter/FilterKernel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::int64_t kBlockFrames = 16384;

}  // namespace

FilterKernel::FilterKernel(const SosCascade& filter, const SampleLayout& layout, ChannelSel which)
    : m_sections(filter.sections()), m_layout(layout)
{
    if (layout.channels < 2 || which != ChannelSel::Right)
        m_channels.push_back(ChannelIndex::Left);
    if (layout.channels > 1 && which != ChannelSel::Left)
        m_channels.push_back(ChannelIndex::Right);
    reset();
}

void FilterKernel::reset()
{
    for (auto& s : m_state)
        s.assign(m_sections.size(), State{});
}

bool FilterKernel::process(std::uint8_t* frames, std::int64_t count)
{
    if (count <= 0 || !m_layout.valid())
        return count <= 0;
    for (ChannelIndex c : m_channels)
        if (!processChannel(frames, count, c, m_state[static_cast<std::size_t>(channelIndexValue(c))]))
            return false;
    return true;
}

bool FilterKernel::processChannel(std::uint8_t* frames, std::int64_t count, ChannelIndex channel,
                                  std::vector<State>& state)
{
    const std::int64_t full = sampleFullScale(8 * m_layout.bytesPerSample);
    const double lo = -static_cast<double>(full), hi = static_cast<double>(full - 1);
    for (std::int64_t done = 0; done < count;) {
        const std::int64_t n = std::min(kBlockFrames, count - done);
        std::uint8_t* at = frames + done * m_layout.blockAlign;
        m_values.resize(static_cast<std::size_t>(n));
        m_raw.resize(static_cast<std::size_t>(n));
        decodeBlock(at, n, m_layout, channel, SampleScale::Raw, m_values.data());
        // One section at a time over the block: its state stays in registers.
        for (std::size_t k = 0; k < m_sections.size(); ++k) {
            const Biquad& q = m_sections[k];
            double s1 = state[k].s1, s2 = state[k].s2;
            double* v = m_values.data();
            for (std::int64_t i = 0; i < n; ++i) {
                const double x = v[i];
                const double y = q.b0 * x + s1;
                s1 = q.b1 * x - q.a1 * y + s2;
                s2 = q.b2 * x - q.a2 * y;
                v[i] = y;
            }
            state[k].s1 = s1;
            state[k].s2 = s2;
        }
        bool finite = true;
        for (std::int64_t i = 0; i < n; ++i) {
            double y = m_values[static_cast<std::size_t>(i)];
            if (!std::isfinite(y)) {
                finite = false;
                y = 0;
            }
            m_raw[static_cast<std::size_t>(i)] = static_cast<std::int64_t>(std::trunc(std::clamp(y, lo, hi)));
        }
        if (!finite)
            return false;
        encodeBlock(m_raw.data(), n, m_layout, channel, at);
        done += n;
    }
    return true;
}
