#include "filter/FilterKernel.h"
#include "filter/SosCascade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The reference vectors of make_filter_reference.py.
const std::map<std::string, std::vector<double>>& reference()
{
    static const std::map<std::string, std::vector<double>> data = [] {
        std::map<std::string, std::vector<double>> d;
        std::ifstream in(VES_SOURCE_DIR "/tests/engine/filter/filter_reference.txt");
        std::string line, name;
        std::size_t left = 0;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            if (line[0] == '@') {
                std::istringstream s(line.substr(1));
                s >> name >> left;
                d[name];
                continue;
            }
            if (left > 0) {
                d[name].push_back(std::stod(line));
                --left;
            }
        }
        return d;
    }();
    return data;
}

const std::vector<double>& refVector(const std::string& name)
{
    static const std::vector<double> none;
    auto it = reference().find(name);
    return it == reference().end() ? none : it->second;
}

SosCascade sectionsOf(const std::vector<double>& sos)
{
    std::vector<Biquad> s;
    for (std::size_t i = 0; i + 5 < sos.size(); i += 6)
        s.push_back({sos[i], sos[i + 1], sos[i + 2], sos[i + 4] / sos[i + 3], sos[i + 5] / sos[i + 3]});
    return SosCascade(std::move(s));
}

// Stores raw values (relative to the zero line) as frames of `channels`
// channels, the value in `channel`, `other` in the other channel.
std::vector<std::uint8_t> frames(const std::vector<double>& raw, int bits, int channels, int channel, std::int64_t other)
{
    const int bytes = bits / 8;
    std::vector<std::uint8_t> out(raw.size() * static_cast<std::size_t>(bytes * channels));
    for (std::size_t i = 0; i < raw.size(); ++i)
        for (int c = 0; c < channels; ++c) {
            std::int64_t v = c == channel ? static_cast<std::int64_t>(raw[i]) : other;
            if (bits == 8)
                v += 128;
            for (int b = 0; b < bytes; ++b)
                out[(i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)) * static_cast<std::size_t>(bytes) +
                    static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * b));
        }
    return out;
}

// The raw value of one stored sample, read byte by byte.
std::int64_t sampleAt(const std::vector<std::uint8_t>& f, std::size_t frame, int bits, int channels, int channel)
{
    const int bytes = bits / 8;
    const std::size_t at = (frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)) * static_cast<std::size_t>(bytes);
    std::uint64_t u = 0;
    for (int b = 0; b < bytes; ++b)
        u |= static_cast<std::uint64_t>(f[at + static_cast<std::size_t>(b)]) << (8 * b);
    if (bits == 8)
        return static_cast<std::int64_t>(u) - 128;
    const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
    return static_cast<std::int64_t>((u ^ sign)) - static_cast<std::int64_t>(sign);
}

SampleLayout layoutOf(int bits, int channels)
{
    return {bits / 8, bits / 8 * channels, channels};
}

}  // namespace

// The kernel against scipy's sosfilt and lfilter, every width, mono and each
// channel of a stereo recording; the other channel keeps its bytes.
TEST(FilterKernel, FollowsScipyForEveryWidthAndChannel)
{
    ASSERT_FALSE(reference().empty()) << "filter_reference.txt is missing";
    for (const char* name : {"ellip_bp", "butter_hp", "cheby_lp", "butter_lp_ba"}) {
        const std::string n = name;
        const SosCascade filter = refVector(n + ".sos").empty()
                                      ? SosCascade::fromTransferFunction(refVector(n + ".b"), refVector(n + ".a"))
                                      : sectionsOf(refVector(n + ".sos"));
        ASSERT_FALSE(filter.empty()) << n;
        for (int bits : {8, 16, 24, 32}) {
            const auto& x = refVector(n + ".x" + std::to_string(bits));
            const auto& y = refVector(n + ".y" + std::to_string(bits));
            ASSERT_EQ(x.size(), y.size());
            for (const auto& [channels, channel] : {std::pair{1, 0}, std::pair{2, 0}, std::pair{2, 1}}) {
                const std::int64_t other = bits == 8 ? -77 : -12345 % (std::int64_t{1} << (bits - 2));
                auto f = frames(x, bits, channels, channel, other);
                FilterKernel k(filter, layoutOf(bits, channels), channel == 0 ? ChannelSel::Left : ChannelSel::Right);
                ASSERT_TRUE(k.process(f.data(), static_cast<std::int64_t>(x.size())));
                int worst = 0;
                for (std::size_t i = 0; i < x.size(); ++i) {
                    worst = std::max<int>(worst, static_cast<int>(std::llabs(sampleAt(f, i, bits, channels, channel) -
                                                                             static_cast<std::int64_t>(y[i]))));
                    if (channels == 2) {
                        ASSERT_EQ(sampleAt(f, i, bits, channels, 1 - channel), other) << n << " " << bits << " bit, frame " << i;
                    }
                }
                // Both compute in double; truncation may land one step apart. A
                // transfer function factored into sections (its triple zero at
                // z = -1 found to about 1e-7) may differ by 1e-7 of full scale.
                const double tolerance = refVector(n + ".sos").empty() ? 1 + std::ldexp(1e-7, bits - 1) : 1;
                EXPECT_LE(worst, tolerance) << n << ", " << bits << " bit, " << channels << " channel(s), channel " << channel;
            }
        }
    }
}

// Filtering a recording in pieces of any size gives the samples of one pass.
TEST(FilterKernel, PiecesGiveTheSamplesOfOnePass)
{
    const SosCascade filter = sectionsOf(refVector("ellip_bp.sos"));
    const auto& x = refVector("ellip_bp.x16");
    ASSERT_FALSE(x.empty());
    auto whole = frames(x, 16, 2, 0, 0);
    for (std::size_t i = 0; i < x.size(); ++i)  // the right channel carries the signal reversed
        for (int b = 0; b < 2; ++b)
            whole[i * 4 + 2 + static_cast<std::size_t>(b)] = whole[(x.size() - 1 - i) * 4 + static_cast<std::size_t>(b)];
    auto pieces = whole;
    FilterKernel one(filter, layoutOf(16, 2), ChannelSel::Both);
    ASSERT_TRUE(one.process(whole.data(), static_cast<std::int64_t>(x.size())));
    FilterKernel many(filter, layoutOf(16, 2), ChannelSel::Both);
    const std::int64_t sizes[] = {1, 7, 64, 3, 100};
    std::int64_t at = 0;
    for (int i = 0; at < static_cast<std::int64_t>(x.size()); ++i) {
        const std::int64_t n = std::min<std::int64_t>(sizes[i % 5], static_cast<std::int64_t>(x.size()) - at);
        ASSERT_TRUE(many.process(pieces.data() + at * 4, n));
        at += n;
    }
    EXPECT_EQ(pieces, whole);
}

// A resonant filter driven hard clips at the limits of each width instead of
// wrapping around; an empty piece writes nothing; the identity changes nothing.
TEST(FilterKernel, SaturatesIdentityAndEmpty)
{
    // y[m] = x[m] + 0.999 y[m−1]: a DC input of a tenth of full scale grows tenfold and more.
    const SosCascade integrator({Biquad{1, 0, 0, -0.999, 0}});
    for (int bits : {8, 16, 24, 32}) {
        const double full = std::ldexp(1.0, bits - 1);
        std::vector<double> x(3000, std::trunc(full / 10)), neg(3000, -std::trunc(full / 10));
        for (const auto* in : {&x, &neg}) {
            auto f = frames(*in, bits, 1, 0, 0);
            FilterKernel k(integrator, layoutOf(bits, 1), ChannelSel::Both);
            ASSERT_TRUE(k.process(f.data(), 3000));
            const std::int64_t last = sampleAt(f, 2999, bits, 1, 0);
            const std::int64_t limit = (*in)[0] > 0 ? static_cast<std::int64_t>(full) - 1 : -static_cast<std::int64_t>(full);
            if (bits == 24 && limit > 0) {
                EXPECT_GE(last, 0x7FFF00) << "24 bit";
            } else {
                EXPECT_EQ(last, limit) << bits << " bit";
            }
            for (std::size_t i = 1; i < 3000; ++i)
                ASSERT_GE(std::llabs(sampleAt(f, i, bits, 1, 0)), std::llabs(sampleAt(f, i - 1, bits, 1, 0)))
                    << bits << " bit: a wrap at frame " << i;
        }
    }
    const auto& x = refVector("butter_hp.x16");
    auto f = frames(x, 16, 1, 0, 0);
    const auto before = f;
    FilterKernel identity(SosCascade({Biquad{}}), layoutOf(16, 1), ChannelSel::Both);
    ASSERT_TRUE(identity.process(f.data(), static_cast<std::int64_t>(x.size())));
    EXPECT_EQ(f, before);
    FilterKernel any(sectionsOf(refVector("butter_hp.sos")), layoutOf(16, 1), ChannelSel::Both);
    EXPECT_TRUE(any.process(f.data(), 0));
    EXPECT_EQ(f, before);
}
