#include "soundio/HspPlayList.h"

#include "core/NumberText.h"
#include "core/TimeConv.h"
#include "display/PlotAxes.h"
#include "soundio/DaqCard.h"

#include <cctype>
#include <charconv>

std::int64_t HspPlayEntry::durationUs() const
{
    if (playbackRateHz <= 0)
        return 0;
    return vkit::framesToFileMicros(frames(), playbackRateHz);
}

const std::vector<HspFrequencyChoice>& hspFrequencyChoices()
{
    static const std::vector<HspFrequencyChoice> list = {
        {"50 kHz", 50000},       {"100 kHz", 100000},     {"151.5 kHz", 151515}, {"200 kHz", 200000},
        {"250 kHz", 250000},     {"294.1 kHz", 294117},   {"357.1 kHz", 357142}, {"384.6 kHz", 384615},
        {"454.5 kHz", 454545},   {"500 kHz", 500000},
    };
    return list;
}

std::int64_t parseHspFrequency(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (text.empty())
        return 0;
    for (const HspFrequencyChoice& c : hspFrequencyChoices())
        if (text == c.text)
            return c.hz;
    std::int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (ec != std::errc() || ptr == text.data())
        return -1;
    const std::string_view after(ptr, static_cast<size_t>(text.data() + text.size() - ptr));
    std::int64_t factor = 1;
    if (after.find("kHz") != std::string_view::npos)
        factor = 1000;
    else if (after.find("MHz") != std::string_view::npos)
        factor = 1000000;
    if (value <= 0 || value > INT64_MAX / factor)
        return -1;
    return value * factor;
}

std::string hspRateText(std::int64_t hz)
{
    if (hz < 100000)
        return vkit::formatC(" %lld Hz", static_cast<long long>(hz));
    if (hz <= 99999999)
        return vkit::formatC(" %lld kHz", static_cast<long long>(hz / 1000));
    return vkit::formatC(" %lld MHz", static_cast<long long>(hz / 1000000));
}

std::string hspDurationText(std::int64_t us)
{
    return formatTimeValue(us * 1000, 4);
}

std::string hspRepeatText(std::int32_t repeat)
{
    return vkit::formatC(" %d ", static_cast<int>(repeat));
}

std::string checkHspEntryForCard(const HspPlayEntry& entry, const IDaqCard& card)
{
    if (entry.playbackRateHz < card.minRateHz() || entry.playbackRateHz > card.maxRateHz())
        return vkit::formatC("The sampling frequency %lld Hz is outside the range of the card (%lld to %lld Hz).",
                             static_cast<long long>(entry.playbackRateHz), static_cast<long long>(card.minRateHz()),
                             static_cast<long long>(card.maxRateHz()));
    if (entry.channels > card.maxChannels())
        return vkit::formatC("The card has %d output channel(s); the recording has %d.", card.maxChannels(),
                             static_cast<int>(entry.channels));
    return {};
}

std::string hspPlayingText(const HspPlayEntry& entry, int repetition)
{
    if (entry.repeat <= 1)
        return "Playing " + entry.name;
    return "Playing " + entry.name + vkit::formatC(" %d of %d times", repetition, static_cast<int>(entry.repeat));
}

std::string hspAbortedText(const HspPlayEntry& entry, int status)
{
    return "Play of " + entry.name + vkit::formatC(" aborted due of error (NI:%d)!", status < 0 ? -status : status);
}

HspEntryResult makeHspEntry(const std::string& path, const DaqConvertOptions& options)
{
    HspEntryResult r;
    DaqConversion c = convertForDaq(path, options);
    r.warnings = std::move(c.warnings);
    if (!c.ok) {
        r.error = std::move(c.error);
        return r;
    }
    auto e = std::make_shared<HspPlayEntry>();
    e->path = path;
    const std::size_t slash = path.find_last_of('/');
    e->name = slash == std::string::npos ? path : path.substr(slash + 1);
    e->file = std::move(c.file);
    e->channels = static_cast<std::int16_t>(c.channels);
    e->fileRateHz = c.fileRateHz;
    e->realTimeRateHz = c.playbackRateHz;
    e->convertedBytes = c.convertedBytes;
    e->points = c.points;
    e->playbackRateHz = c.playbackRateHz;
    r.entry = std::move(e);
    return r;
}

void setHspPlayback(HspPlayEntry& entry, std::int64_t rateHz, std::int32_t repeat)
{
    entry.playbackRateHz = rateHz > 0 ? rateHz : entry.realTimeRateHz;
    entry.repeat = repeat < 1 ? 1 : repeat;
}

PlayListLine hspListLine(const HspPlayEntry& entry)
{
    PlayListLine l;
    l.path = entry.path;
    l.name = entry.name;
    l.rateHz = entry.playbackRateHz;
    l.repeat = entry.repeat;
    return l;
}
