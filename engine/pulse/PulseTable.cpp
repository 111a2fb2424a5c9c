#include "pulse/PulseTable.h"

#include "core/NumberText.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr std::size_t kMaxLine = 32000;

std::string format(const char* fmt, double v)
{
    char buf[400];
    vkit::snprintfC(buf, sizeof buf, fmt, v);
    return buf;
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::vector<PulseColumn> pulseTableColumns(const VesPulsParms& p)
{
    std::vector<PulseColumn> c;
    if (p.m_pulsNum)
        c.push_back(PulseColumn::PulseNumber);
    if (p.m_startTime)
        c.push_back(PulseColumn::Start);
    if (p.m_stopTime)
        c.push_back(PulseColumn::Stop);
    if (p.m_duration)
        c.push_back(PulseColumn::Duration);
    if (p.m_freqMax)
        c.push_back(PulseColumn::MaxFreq);
    if (p.m_freqMin)
        c.push_back(PulseColumn::MinFreq);
    if (p.m_freqStrong)
        c.push_back(PulseColumn::StrongestFreq);
    if (p.m_ampMaxAmp)
        c.push_back(PulseColumn::MaxAmplitude);
    return c;
}

const char* pulseColumnHeading(PulseColumn column)
{
    switch (column) {
    case PulseColumn::PulseNumber: return "Pulse# ";
    case PulseColumn::Start: return "Start(ms) ";
    case PulseColumn::Stop: return "Stop(ms) ";
    case PulseColumn::Duration: return "Duration(ms) ";
    case PulseColumn::MaxFreq: return "Max freq. ";
    case PulseColumn::MinFreq: return "Min freq. ";
    case PulseColumn::StrongestFreq: return "Strongest freq ";
    case PulseColumn::MaxAmplitude: return "Max freq amplitude ";
    }
    return "";
}

const char* pulseColumnLongHeading(PulseColumn column)
{
    switch (column) {
    case PulseColumn::PulseNumber: return "Pulse# ";
    case PulseColumn::Start: return "Start osc. (ms) ";
    case PulseColumn::Stop: return "Stop osc. (ms) ";
    case PulseColumn::Duration: return "Duration osc. (ms) ";
    case PulseColumn::MaxFreq: return "Max freq. (Hz)";
    case PulseColumn::MinFreq: return "Min freq. (Hz)";
    case PulseColumn::StrongestFreq: return "Freq. at max amp. (Hz)";
    case PulseColumn::MaxAmplitude: return "Max freq amplitude (Hz)";
    }
    return "";
}

std::string pulseCell(PulseColumn column, const PulseResult& r)
{
    switch (column) {
    case PulseColumn::PulseNumber: return format(" %4.0f ", r.pulse);
    case PulseColumn::Start: return format(" %5.2f ", r.startUs / 1000.0);
    case PulseColumn::Stop: return format(" %5.2f ", r.endUs / 1000.0);
    case PulseColumn::Duration: return format(" %4.2f ", r.durationUs / 1000.0);
    case PulseColumn::MaxFreq: return format(" %4.0f ", r.highestHz);
    case PulseColumn::MinFreq: return format(" %4.0f ", r.lowestHz);
    case PulseColumn::StrongestFreq: return format(" %4.0f ", r.strongestHz);
    case PulseColumn::MaxAmplitude: return format(" %4.2f ", r.strongestDb);
    }
    return {};
}

std::vector<std::string> pulseTableFirstRow(const VesPulsParms& parms)
{
    std::vector<std::string> row{"          "};
    for (PulseColumn c : pulseTableColumns(parms))
        row.emplace_back(pulseColumnLongHeading(c));
    return row;
}

std::vector<std::string> pulseTableRow(const VesPulsParms& parms, const PulseResult& result)
{
    std::vector<std::string> row{"  "};
    for (PulseColumn c : pulseTableColumns(parms))
        row.push_back(pulseCell(c, result));
    return row;
}

std::string pulseTableLine(const std::vector<std::string>& cells)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += '\t';
        line += cells[i];
    }
    if (line.size() > kMaxLine)
        line.resize(kMaxLine);
    return line + "\r\n";
}

std::string pulseTableText(const VesPulsParms& parms, const std::vector<PulseResult>& results)
{
    std::string text = pulseTableLine(pulseTableFirstRow(parms));
    for (const PulseResult& r : results)
        text += pulseTableLine(pulseTableRow(parms, r));
    return text;
}

std::string pulseCsvHeader()
{
    return "file,pulse,start_ms,end_ms,duration_ms,max_freq_hz,min_freq_hz,peak_freq_hz,peak_level_db\n";
}

std::string pulseCsvRow(const std::string& file, const PulseResult& r)
{
    char buf[512];
    char level[64];
    if (std::isfinite(r.strongestDb) && r.strongestDb > -1e300 && r.strongestFound)
        vkit::snprintfC(level, sizeof level, "%.2f", r.strongestDb);
    else
        vkit::snprintfC(level, sizeof level, "-inf");
    vkit::snprintfC(buf, sizeof buf, ",%d,%.3f,%.3f,%.3f,%.1f,%.1f,%.1f,%s\n", r.pulse, r.startUs / 1000.0,
                  r.endUs / 1000.0, r.durationUs / 1000.0, r.highestHz, r.lowestHz, r.strongestHz, level);
    return csvField(file) + buf;
}

AnnotationTable pulsesToTable(const std::vector<PulseResult>& pulses)
{
    AnnotationTable table;
    table.extraColumns = {"Pulse", "Duration (ms)", "Peak Freq (Hz)", "Peak Power (dB)"};
    for (const PulseResult& p : pulses) {
        Annotation a;
        a.beginSeconds = p.startUs / 1e6;
        a.endSeconds = p.endUs / 1e6;
        if (p.contourFound) {
            a.lowHz = p.lowestHz;
            a.highHz = p.highestHz;
        }
        a.label = vkit::formatC("pulse %d", p.pulse);
        a.extra = {vkit::formatC("%d", p.pulse), vkit::formatC("%.3f", p.durationUs / 1000.0),
                   p.strongestFound ? vkit::formatC("%.1f", p.strongestHz) : std::string(),
                   p.strongestFound ? vkit::formatC("%.2f", p.strongestDb) : std::string()};
        table.rows.push_back(std::move(a));
    }
    return table;
}
