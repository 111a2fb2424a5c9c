#include "pulse/CallTable.h"

#include "core/NumberText.h"

namespace {

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

std::string intervalText(const CallMeasures& c)
{
    return c.intervalMs < 0 ? std::string() : vkit::formatC("%.3f", c.intervalMs);
}

}  // namespace

std::string callCsvHeader()
{
    return "file,call,start_ms,end_ms,duration_ms,max_freq_hz,min_freq_hz,peak_freq_hz,char_freq_hz,knee_freq_hz,"
           "bandwidth_hz,slope_khz_per_ms,interval_ms,snr_db,fc_hz,tc_ms,sc_ops,s1_ops,fk_hz,tk_ms,fmean_hz,qual_pct,"
           "tbc_ms,low_freq_hz,high_freq_hz\n";
}

std::vector<std::string> callCells(const CallMeasures& c)
{
    return {vkit::formatC("%d", c.call),           vkit::formatC("%.3f", c.startMs),
            vkit::formatC("%.3f", c.endMs),        vkit::formatC("%.3f", c.durationMs),
            vkit::formatC("%.1f", c.maxFreqHz),    vkit::formatC("%.1f", c.minFreqHz),
            vkit::formatC("%.1f", c.peakFreqHz),   vkit::formatC("%.1f", c.charFreqHz),
            vkit::formatC("%.1f", c.kneeFreqHz),   vkit::formatC("%.1f", c.bandwidthHz),
            vkit::formatC("%.3f", c.slopeKHzPerMs), intervalText(c),
            vkit::formatC("%.2f", c.snrDb),
            // The field's parameters; Fc, Fk and TBC repeat char freq, knee freq
            // and interval under the names other programs give them.
            vkit::formatC("%.1f", c.charFreqHz),   vkit::formatC("%.3f", c.charTimeMs),
            vkit::formatC("%.2f", c.charSlopeOps), vkit::formatC("%.2f", c.initialSlopeOps),
            vkit::formatC("%.1f", c.kneeFreqHz),   vkit::formatC("%.3f", c.kneeTimeMs),
            vkit::formatC("%.1f", c.meanFreqHz),   vkit::formatC("%.2f", c.qualityPct),
            intervalText(c),
            vkit::formatC("%.1f", c.lowFreqHz),    vkit::formatC("%.1f", c.highFreqHz)};
}

std::vector<std::string> callColumnHeadings()
{
    return {"Call",           "Start (ms)",     "End (ms)",      "Duration (ms)", "Max freq (Hz)",
            "Min freq (Hz)",  "Peak freq (Hz)", "Char freq (Hz)", "Knee freq (Hz)", "Bandwidth (Hz)",
            "Slope (kHz/ms)", "Interval (ms)",  "SNR (dB)",       "Fc (Hz)",        "Tc (ms)",
            "Sc (OPS)",       "S1 (OPS)",       "Fk (Hz)",        "Tk (ms)",        "Fmean (Hz)",
            "Qual (%)",       "TBC (ms)",       "Low freq (Hz)",  "High freq (Hz)"};
}

std::string callCsvRow(const std::string& file, const CallMeasures& call)
{
    std::string row = csvField(file);
    for (const std::string& cell : callCells(call))
        row += "," + cell;
    return row + "\n";
}

AnnotationTable emptyCallTable()
{
    AnnotationTable table;
    table.extraColumns = {"Begin File"};
    const std::vector<std::string> headings = callColumnHeadings();
    table.extraColumns.insert(table.extraColumns.end(), headings.begin(), headings.end());
    return table;
}

void appendCallsToTable(AnnotationTable& table, const std::string& file, const std::vector<CallMeasures>& calls)
{
    if (table.extraColumns.empty())
        table = emptyCallTable();
    for (const CallMeasures& c : calls) {
        Annotation a;
        a.beginSeconds = c.startMs / 1000.0;
        a.endSeconds = c.endMs / 1000.0;
        a.lowHz = c.lowFreqHz;
        a.highHz = c.highFreqHz;
        a.label = vkit::formatC("call %d", c.call);
        a.extra = {file};
        const std::vector<std::string> cells = callCells(c);
        a.extra.insert(a.extra.end(), cells.begin(), cells.end());
        table.rows.push_back(std::move(a));
    }
}

std::string callTableText(const std::vector<CallMeasures>& calls)
{
    auto line = [](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t i = 0; i < cells.size(); ++i)
            out += (i ? "\t" : "") + cells[i];
        return out + "\r\n";
    };
    std::string text = line(callColumnHeadings());
    for (const CallMeasures& c : calls)
        text += line(callCells(c));
    return text;
}
