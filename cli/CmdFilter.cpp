#include "CliCommands.h"
#include "CliSupport.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "filter/FilterDefinitionFile.h"
#include "filter/FilterDesign.h"
#include "filter/FilterDocument.h"

#include <kelmerr/kelmerr.h>
#include <kelmsp/kelmsp.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

void helpFilter()
{
    std::printf(
        "Usage: vesperon-cli filter [OPTIONS] IN OUT\n"
        "       vesperon-cli filter --response [OPTIONS] IN\n\n"
        "Filters a recording (or a stretch of it) with an IIR filter and writes the\n"
        "result as a new file of the same type. Cut-off frequencies are real-time\n"
        "hertz: a time-expanded recording is filtered at the frequencies of the bat.\n"
        "With --response the filter's magnitude response is printed instead (100\n"
        "lines \"HZ<TAB>DB\", 0 dB at its peak) and nothing is written.\n\n"
        "  --type lowpass|highpass|bandpass|bandstop   the band (default lowpass)\n"
        "  --design butterworth|chebyshev|inverse-chebyshev|elliptic\n"
        "                       the design (default butterworth)\n"
        "  --edges HZ[,HZ]      cut-off frequency, or the lower and upper one of a\n"
        "                       band (the pass band's edges; for inverse Chebyshev\n"
        "                       filters the edges where the stopband begins)\n"
        "  --order N            filter order 1..49; band filters take even orders\n"
        "                       (default 4)\n"
        "  --auto HZ[,HZ]       instead of --order: the least order whose stopband\n"
        "                       begins at these edges\n"
        "  --ripple DB          passband ripple of Chebyshev and elliptic filters\n"
        "                       (default 0.5)\n"
        "  --attenuation DB     stopband attenuation of inverse Chebyshev and\n"
        "                       elliptic filters, and of --auto (default 50)\n"
        "  --definition FILE    a filter definition file (.flt, .txt) instead of a\n"
        "                       design: order, then the A and the B coefficients\n"
        "  --start FRAME        first frame to filter (default 0)\n"
        "  --end FRAME          frame after the last one to filter (default: the end)\n"
        "  --channel left|right|both   channels of a stereo recording (default both)\n\n"
        "Exit status 1 when a file cannot be read or written or the filter cannot be\n"
        "designed, 2 for wrong usage.\n");
}

namespace {

int usage(const std::string& text)
{
    std::fprintf(stderr, "vesperon-cli filter: %s\n", text.c_str());
    return 2;
}

bool parseEdges(const std::string& text, std::vector<double>& edges)
{
    edges.clear();
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t comma = text.find(',', pos);
        const std::string part = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        const auto v = parseNumber(part);
        if (!v || *v <= 0)
            return false;
        edges.push_back(*v);
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return !edges.empty() && edges.size() <= 2;
}

// Prewarped analog frequency of an edge in Hz.
double warped(double hz, double nyquistHz)
{
    return std::tan(M_PI * hz / nyquistHz / 2);
}

// The least order of the design whose passband ends at `pass` and whose
// stopband begins at `stop` (both in Hz), through the low-pass prototype with
// its edge at 1 (the library's order estimate); 0 when impossible.
int estimateOrder(KelmIIRFilterOption option, FilterBand band, const std::vector<double>& pass,
                  const std::vector<double>& stop, double nyquistHz, double rp, double rs)
{
    double selectivity = 0;  // prototype stop edge over pass edge, analog
    if (band == FilterBand::LowPass)
        selectivity = warped(stop[0], nyquistHz) / warped(pass[0], nyquistHz);
    else if (band == FilterBand::HighPass)
        selectivity = warped(pass[0], nyquistHz) / warped(stop[0], nyquistHz);
    else {
        const double p1 = warped(pass[0], nyquistHz), p2 = warped(pass[1], nyquistHz);
        const double w0 = p1 * p2, bw = p2 - p1;
        selectivity = INFINITY;
        for (double s : stop) {
            const double ws = warped(s, nyquistHz);
            const double lp = band == FilterBand::BandPass ? std::fabs(ws * ws - w0) / (ws * bw) : std::fabs(ws * bw / (w0 - ws * ws));
            selectivity = std::min(selectivity, lp);
        }
    }
    if (!(selectivity > 1) || !std::isfinite(selectivity))
        return 0;
    // The prototype's edges as digital frequencies: pass at 0.5 (analog 1).
    const double fs = 2 / M_PI * std::atan(selectivity);
    for (int severity = 1; severity <= 5; ++severity)
        kelm_erset(severity, 0, 0);
    kelm_error_clear();
    const int n = IIROrder<double>(option, 0.5, fs, rp, rs);
    if (kelm_n1rcd(0) != 0 || n <= 0)
        return 0;
    return band == FilterBand::BandPass || band == FilterBand::BandStop ? 2 * n : n;
}

}  // namespace

int cmdFilter(const CliArgs& args)
{
    std::vector<std::string> files;
    FilterRecord record;
    record.type = FilterType::Butterworth;
    record.band = FilterBand::LowPass;
    record.order = 4;
    record.rippleTenthDb = 5;
    record.stopbandDb = -50;
    std::vector<double> edges, stopEdges;
    std::string definition;
    bool response = false, orderGiven = false;
    std::int64_t start = 0, end = -1;
    ChannelSel channel = ChannelSel::Both;
    for (std::size_t i = 0; i < args.size();) {
        std::string v;
        if (args[i] == "--response") {
            response = true;
            ++i;
        } else if (takeOption(args, i, "--type", v)) {
            const struct {
                const char* name;
                FilterBand band;
            } bands[] = {{"lowpass", FilterBand::LowPass}, {"highpass", FilterBand::HighPass},
                         {"bandpass", FilterBand::BandPass}, {"bandstop", FilterBand::BandStop}};
            record.band = FilterBand::None;
            for (const auto& b : bands)
                if (v == b.name)
                    record.band = b.band;
            if (record.band == FilterBand::None)
                return usage("unknown --type '" + v + "' (lowpass, highpass, bandpass, bandstop)");
        } else if (takeOption(args, i, "--design", v)) {
            const struct {
                const char* name;
                FilterType type;
            } types[] = {{"butterworth", FilterType::Butterworth}, {"chebyshev", FilterType::Chebyshev1},
                         {"inverse-chebyshev", FilterType::InverseChebyshev}, {"elliptic", FilterType::Elliptic}};
            record.type = FilterType::None;
            for (const auto& t : types)
                if (v == t.name)
                    record.type = t.type;
            if (record.type == FilterType::None)
                return usage("unknown --design '" + v + "' (butterworth, chebyshev, inverse-chebyshev, elliptic)");
        } else if (takeOption(args, i, "--edges", v)) {
            if (!parseEdges(v, edges))
                return usage("--edges needs one or two frequencies in Hz above 0, not '" + v + "'");
        } else if (takeOption(args, i, "--auto", v)) {
            if (!parseEdges(v, stopEdges))
                return usage("--auto needs one or two stopband edges in Hz above 0, not '" + v + "'");
        } else if (takeOption(args, i, "--order", v)) {
            const auto n = parseInt(v);
            if (!n || *n < 1 || *n > FilterRecord::kMaxOrder)
                return usage("--order needs a whole number 1..49, not '" + v + "'");
            record.order = static_cast<int>(*n);
            orderGiven = true;
        } else if (takeOption(args, i, "--ripple", v)) {
            const auto db = parseNumber(v);
            if (!db || *db <= 0 || *db >= 30)
                return usage("--ripple needs decibels above 0 and below 30, not '" + v + "'");
            record.rippleTenthDb = static_cast<int>(std::lround(*db * 10));
            if (record.rippleTenthDb < 1)
                record.rippleTenthDb = 1;
        } else if (takeOption(args, i, "--attenuation", v)) {
            const auto db = parseNumber(v);
            if (!db || *db < 1 || *db > 300)
                return usage("--attenuation needs decibels 1..300, not '" + v + "'");
            record.stopbandDb = -static_cast<int>(std::lround(*db));
        } else if (takeOption(args, i, "--definition", v)) {
            definition = v;
        } else if (takeOption(args, i, "--start", v) || takeOption(args, i, "--end", v)) {
            const bool isStart = args[i - (args[i - 1].find('=') == std::string::npos ? 2 : 1)].rfind("--start", 0) == 0;
            const auto n = parseInt(v);
            if (!n || *n < 0)
                return usage(std::string(isStart ? "--start" : "--end") + " needs a frame number, not '" + v + "'");
            (isStart ? start : end) = *n;
        } else if (takeOption(args, i, "--channel", v)) {
            if (v == "left")
                channel = ChannelSel::Left;
            else if (v == "right")
                channel = ChannelSel::Right;
            else if (v == "both")
                channel = ChannelSel::Both;
            else
                return usage("--channel takes left, right or both, not '" + v + "'");
        } else if (args[i].rfind("--", 0) == 0) {
            return usage("unknown option " + args[i]);
        } else {
            files.push_back(args[i++]);
        }
    }
    if (files.size() != (response ? 1u : 2u) || (end >= 0 && end <= start)) {
        helpFilter();
        return 2;
    }
    const bool twoEdges = record.band == FilterBand::BandPass || record.band == FilterBand::BandStop;
    if (definition.empty()) {
        if (edges.size() != (twoEdges ? 2u : 1u))
            return usage(twoEdges ? "a band filter needs --edges LOW,HIGH" : "give the cut-off frequency with --edges HZ");
        if (!stopEdges.empty() && orderGiven)
            return usage("give --order or --auto, not both");
        if (!stopEdges.empty() && stopEdges.size() != (twoEdges ? 2u : 1u))
            return usage(twoEdges ? "--auto takes the two stopband edges of a band filter" : "--auto takes one stopband edge");
        if (twoEdges && stopEdges.empty() && record.order % 2)
            return usage("band-pass and band-stop filters take an even --order");
    }

    CliDocHost host(files[0]);
    CVesSoundDoc doc(host, userDefaults());
    if (!doc.open(files[0]))
        return 1;
    const double nyquistHz = filterNyquistHz(doc.format().samplesPerSec, doc.timeExpansion());

    if (!definition.empty()) {
        const FilterDefinition d = readFilterDefinitionFile(definition);
        if (!d.ok) {
            std::fprintf(stderr, "%s: %s\n", definition.c_str(), d.message.c_str());
            return 1;
        }
        record.type = FilterType::UserDefined;
        record.order = d.order;
        record.A = d.A;
        record.B = d.B;
    } else {
        record.lowPassHz = record.highPassHz = 0;
        const auto hz = [](double v) { return static_cast<std::int32_t>(std::min(std::lround(v), 2000000000L)); };
        switch (record.band) {
        case FilterBand::LowPass: record.lowPassHz = hz(edges[0]); break;
        case FilterBand::HighPass: record.highPassHz = hz(edges[0]); break;
        case FilterBand::BandPass: record.bandPassLowHz = hz(edges[0]); record.bandPassHighHz = hz(edges[1]); break;
        case FilterBand::BandStop: record.bandStopLowHz = hz(edges[0]); record.bandStopHighHz = hz(edges[1]); break;
        case FilterBand::None: break;
        }
        if (!stopEdges.empty()) {
            const KelmIIRFilterOption option = record.type == FilterType::Chebyshev1 ? KELM_CHEBYSHEV
                                               : record.type == FilterType::Elliptic ? KELM_ELLIPTIC
                                               : record.type == FilterType::InverseChebyshev ? KELM_INVERSE_CHEBYSHEV
                                                                                              : KELM_BUTTERWORTH;
            const double rp = 1 - std::pow(10.0, -record.rippleTenthDb / 200.0);
            const double rs = std::pow(10.0, record.stopbandDb / 20.0);
            record.order = estimateOrder(option, record.band, edges, stopEdges, nyquistHz, rp, rs);
            if (record.order < 1 || record.order > FilterRecord::kMaxOrder) {
                std::fprintf(stderr, "vesperon-cli filter: no filter order up to 49 meets the edges given with --auto\n");
                return 1;
            }
            std::fprintf(stderr, "vesperon-cli filter: order %d meets the stopband edges\n", record.order);
        }
    }
    record.typeName = filterTypeName(record.type);
    const FilterDesignResult design = designFilter(record, nyquistHz);
    if (!design.ok) {
        std::fprintf(stderr, "%s: %s\n", files[0].c_str(), design.message.c_str());
        return 1;
    }

    if (response) {
        const std::vector<double> m = normalisedMagnitudeResponse(design.sections, 100);
        for (std::size_t i = 0; i < m.size(); ++i)
            vkit::printfC("%.0f\t%.2f\n", nyquistHz * static_cast<double>(i) / 99.0,
                          m[i] > 0 ? 20 * std::log10(m[i]) : -999.0);
        return 0;
    }

    const std::string out = files[1];
    std::error_code ec;
    if (std::filesystem::equivalent(files[0], out, ec))
        return usage("OUT must not be IN: write the filtered recording to a new file");
    if (!filterDocument(doc, start, end < 0 ? doc.lengthFrames() : end, channel, design.sections))
        return 1;
    host.setContext(out);
    return doc.save(out, doc.saveType()) ? 0 : 1;
}
