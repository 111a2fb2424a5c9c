#include "filter/FilterKernel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

namespace {

constexpr std::int64_t kBlockFrames = 16384;

// Every sample through all sections before the next one (transposed direct
// form II): the recurrences of the sections then overlap in the processor
// instead of waiting for one another. A fixed number of sections keeps all
// states in registers. `load(i)` gives input i, `store(i, y)` takes output i.
template <std::size_t N, class Load, class Store>
void cascade(const std::vector<Biquad>& q, std::vector<FilterKernel::State>& state, std::int64_t n, Load load,
             Store store)
{
    double s1[N], s2[N], b0[N], b1[N], b2[N], a1[N], a2[N];
    for (std::size_t k = 0; k < N; ++k) {
        s1[k] = state[k].s1;
        s2[k] = state[k].s2;
        b0[k] = q[k].b0;
        b1[k] = q[k].b1;
        b2[k] = q[k].b2;
        a1[k] = q[k].a1;
        a2[k] = q[k].a2;
    }
    // The sections written out one after the other (a fold over their
    // indices), so that no state goes through memory between samples.
    auto section = [&](double& x, auto k) {
        const double y = b0[k] * x + s1[k];
        s1[k] = b1[k] * x - a1[k] * y + s2[k];
        s2[k] = b2[k] * x - a2[k] * y;
        x = y;
    };
    auto all = [&]<std::size_t... K>(double& x, std::index_sequence<K...>) {
        (section(x, std::integral_constant<std::size_t, K>{}), ...);
    };
    for (std::int64_t i = 0; i < n; ++i) {
        double x = load(i);
        all(x, std::make_index_sequence<N>{});
        store(i, x);
    }
    for (std::size_t k = 0; k < N; ++k) {
        state[k].s1 = s1[k];
        state[k].s2 = s2[k];
    }
}

template <std::size_t N>
void runFixed(const std::vector<Biquad>& q, std::vector<FilterKernel::State>& state, double* v, std::int64_t n)
{
    cascade<N>(q, state, n, [v](std::int64_t i) { return v[i]; }, [v](std::int64_t i, double y) { v[i] = y; });
}

// The samples of one channel straight from their bytes and back: decoded,
// filtered, clipped and truncated toward zero, encoded, in one pass. False
// when an output was not a number (NaN clips to the bottom, infinities to
// the ends; the caller restores the stretch).
template <int Bytes, std::size_t N>
bool runInPlace(const std::vector<Biquad>& q, std::vector<FilterKernel::State>& state, std::uint8_t* first,
                std::int64_t n, int align)
{
    constexpr std::int64_t full = sampleFullScale(8 * Bytes);
    constexpr double lo = -static_cast<double>(full), hi = static_cast<double>(full - 1);
    bool bad = false;
    cascade<N>(
        q, state, n, [first, align](std::int64_t i) { return static_cast<double>(decodeRawSample(first + i * align, Bytes)); },
        [first, align, &bad](std::int64_t i, double y) {
            bad |= !(std::fabs(y) <= std::numeric_limits<double>::max());
            double c = y > lo ? y : lo;
            c = c < hi ? c : hi;
            encodeRawSample(first + i * align, Bytes, static_cast<std::int64_t>(c));
        });
    return !bad;
}

template <int Bytes>
bool runInPlaceFor(const std::vector<Biquad>& q, std::vector<FilterKernel::State>& state, std::uint8_t* first,
                   std::int64_t n, int align, bool& handled)
{
    handled = true;
    switch (q.size()) {
    case 1: return runInPlace<Bytes, 1>(q, state, first, n, align);
    case 2: return runInPlace<Bytes, 2>(q, state, first, n, align);
    case 3: return runInPlace<Bytes, 3>(q, state, first, n, align);
    case 4: return runInPlace<Bytes, 4>(q, state, first, n, align);
    case 5: return runInPlace<Bytes, 5>(q, state, first, n, align);
    case 6: return runInPlace<Bytes, 6>(q, state, first, n, align);
    case 7: return runInPlace<Bytes, 7>(q, state, first, n, align);
    case 8: return runInPlace<Bytes, 8>(q, state, first, n, align);
    default: handled = false; return true;
    }
}

void runAny(const std::vector<Biquad>& q, std::vector<FilterKernel::State>& state, double* v, std::int64_t n)
{
    for (std::int64_t i = 0; i < n; ++i) {
        double x = v[i];
        for (std::size_t k = 0; k < q.size(); ++k) {
            const double y = q[k].b0 * x + state[k].s1;
            state[k].s1 = q[k].b1 * x - q[k].a1 * y + state[k].s2;
            state[k].s2 = q[k].b2 * x - q[k].a2 * y;
            x = y;
        }
        v[i] = x;
    }
}

void runSections(const std::vector<Biquad>& q, std::vector<FilterKernel::State>& state, double* v, std::int64_t n)
{
    switch (q.size()) {
    case 0: return;
    case 1: return runFixed<1>(q, state, v, n);
    case 2: return runFixed<2>(q, state, v, n);
    case 3: return runFixed<3>(q, state, v, n);
    case 4: return runFixed<4>(q, state, v, n);
    case 5: return runFixed<5>(q, state, v, n);
    case 6: return runFixed<6>(q, state, v, n);
    case 7: return runFixed<7>(q, state, v, n);
    case 8: return runFixed<8>(q, state, v, n);
    default: return runAny(q, state, v, n);
    }
}

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
    // Up to eight sections (an order of 16): one pass over the stored bytes.
    std::uint8_t* first = frames + m_layout.offsetOf(channel);
    bool handled = false, ok = true;
    switch (m_layout.bytesPerSample) {
    case 1: ok = runInPlaceFor<1>(m_sections, state, first, count, m_layout.blockAlign, handled); break;
    case 2: ok = runInPlaceFor<2>(m_sections, state, first, count, m_layout.blockAlign, handled); break;
    case 3: ok = runInPlaceFor<3>(m_sections, state, first, count, m_layout.blockAlign, handled); break;
    case 4: ok = runInPlaceFor<4>(m_sections, state, first, count, m_layout.blockAlign, handled); break;
    default: break;
    }
    if (handled)
        return ok;
    // Longer cascades: block by block through scratch buffers.
    const std::int64_t full = sampleFullScale(8 * m_layout.bytesPerSample);
    const double lo = -static_cast<double>(full), hi = static_cast<double>(full - 1);
    for (std::int64_t done = 0; done < count;) {
        const std::int64_t n = std::min(kBlockFrames, count - done);
        std::uint8_t* at = frames + done * m_layout.blockAlign;
        m_values.resize(static_cast<std::size_t>(n));
        m_raw.resize(static_cast<std::size_t>(n));
        decodeBlock(at, n, m_layout, channel, SampleScale::Raw, m_values.data());
        runSections(m_sections, state, m_values.data(), n);
        // Clipped and truncated toward zero; a value that is not a number
        // (NaN clips to the bottom, infinities to the ends) stops the run.
        bool bad = false;
        const double* v = m_values.data();
        std::int64_t* raw = m_raw.data();
        for (std::int64_t i = 0; i < n; ++i) {
            const double y = v[i];
            bad |= !(std::fabs(y) <= std::numeric_limits<double>::max());
            double c = y > lo ? y : lo;
            c = c < hi ? c : hi;
            raw[i] = static_cast<std::int64_t>(c);
        }
        if (bad)
            return false;
        encodeBlock(m_raw.data(), n, m_layout, channel, at);
        done += n;
    }
    return true;
}
