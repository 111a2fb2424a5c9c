#include "CliCommands.h"
#include "CliSupport.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"
#include "filter/FilterDefinitionFile.h"
#include "filter/FilterDesign.h"
#include "filter/FilterDocument.h"


#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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

bool isEdgeList(const std::string& text)
{
    std::vector<double> edges;
    return parseEdges(text, edges);
}

}  // namespace

const CommandSpec& cmdFilterSpec()
{
    static const CommandSpec spec{
        "filter",
        "filter recordings with an IIR filter, or print its response",
        {"[OPTIONS] IN OUT", "--response [OPTIONS] IN"},
        "Filters a recording (or a stretch of it) with an IIR filter and writes the\n"
        "result as a new file of the same type. Cut-off frequencies are real-time\n"
        "hertz: a time-expanded recording is filtered at the frequencies of the bat.\n"
        "With --response the filter's magnitude response is printed instead (100\n"
        "lines \"HZ<TAB>DB\", 0 dB at its peak) and nothing is written.\n",
        {
            {.name = "response", .help = "print the magnitude response instead of filtering"},
            {.name = "type", .kind = OptionKind::Choice, .defaultText = "lowpass",
             .choices = "lowpass|highpass|bandpass|bandstop", .help = "the band"},
            {.name = "design", .kind = OptionKind::Choice, .defaultText = "butterworth",
             .choices = "butterworth|chebyshev|inverse-chebyshev|elliptic", .help = "the design"},
            {.name = "edges", .kind = OptionKind::Text, .valueName = "HZ[,HZ]",
             .help = "cut-off frequency, or the lower and upper one of a band (the pass band's edges; for "
                     "inverse Chebyshev filters the edges where the stopband begins)",
             .check = isEdgeList, .expects = "one or two frequencies in Hz above 0", .sample = "20000"},
            {.name = "order", .kind = OptionKind::Integer, .valueName = "N", .defaultText = "4", .min = 1,
             .max = FilterRecord::kMaxOrder, .help = "filter order; band filters take even orders"},
            {.name = "auto", .kind = OptionKind::Text, .valueName = "HZ[,HZ]",
             .help = "instead of --order: the least order whose stopband begins at these edges",
             .check = isEdgeList, .expects = "one or two stopband edges in Hz above 0", .sample = "30000"},
            {.name = "ripple", .kind = OptionKind::Number, .valueName = "DB", .defaultText = "0.5", .min = 0,
             .max = 29.999, .help = "passband ripple of Chebyshev and elliptic filters", .flags = kAboveMin},
            {.name = "attenuation", .kind = OptionKind::Number, .valueName = "DB", .defaultText = "50", .min = 1,
             .max = 300, .help = "stopband attenuation of inverse Chebyshev and elliptic filters, and of --auto"},
            {.name = "definition", .kind = OptionKind::Path, .valueName = "FILE",
             .help = "a filter definition file (.flt, .txt) instead of a design: order, then the A and the B "
                     "coefficients",
             .sample = "filter.flt"},
            startOption(PositionUnit::Frames, "first frame to filter, or a real time with the unit ms or s (default 0)"),
            endOption(PositionUnit::Frames, "frame after the last one to filter, or a real time (default: the end)"),
            channelOption("left|right|both", "both", "channels of a stereo recording"),
        },
        "Exit status 1 when a file cannot be read or written or the filter cannot be\n"
        "designed, 2 for wrong usage.\n"};
    return spec;
}

int cmdFilter(const CliArgs& args)
{
    const CommandSpec& spec = cmdFilterSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    FilterRecord record;
    record.type = FilterType::Butterworth;
    record.band = FilterBand::LowPass;
    record.order = 4;
    record.rippleTenthDb = 5;
    record.stopbandDb = -50;
    std::vector<double> edges, stopEdges;
    std::string definition;
    bool response = false, orderGiven = false;
    Position startPos, endPos;
    ChannelSel channel = ChannelSel::Both;
    static const FilterBand kBands[] = {FilterBand::LowPass, FilterBand::HighPass, FilterBand::BandPass,
                                        FilterBand::BandStop};
    static const FilterType kTypes[] = {FilterType::Butterworth, FilterType::Chebyshev1, FilterType::InverseChebyshev,
                                        FilterType::Elliptic};
    for (const OptionValue& o : parsed.options) {
        if (o.is("response")) {
            response = true;
        } else if (o.is("type")) {
            record.band = kBands[o.word];
        } else if (o.is("design")) {
            record.type = kTypes[o.word];
        } else if (o.is("edges")) {
            parseEdges(o.text, edges);
        } else if (o.is("auto")) {
            parseEdges(o.text, stopEdges);
        } else if (o.is("order")) {
            record.order = static_cast<int>(o.integer());
            orderGiven = true;
        } else if (o.is("ripple")) {
            record.rippleTenthDb = std::max(1, static_cast<int>(std::lround(o.number * 10)));
        } else if (o.is("attenuation")) {
            record.stopbandDb = -static_cast<int>(std::lround(o.number));
        } else if (o.is("definition")) {
            definition = o.text;
        } else if (o.is("start")) {
            startPos = positionValue(o);
        } else if (o.is("end")) {
            endPos = positionValue(o);
        } else if (o.is("channel")) {
            const Channel c = channelValue(o);
            channel = c == Channel::Left ? ChannelSel::Left : c == Channel::Right ? ChannelSel::Right : ChannelSel::Both;
        }
    }
    const std::vector<std::string>& files = parsed.operands;
    if (files.size() != (response ? 1u : 2u))
        return usage(response ? "--response takes one recording, IN (see --help)"
                              : "give IN and OUT (see --help)");
    if (!startPos.time && !endPos.time && endPos.set && endPos.frames <= startPos.frames)
        return usage("--end must lie after --start");
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
            record.order = estimateFilterOrder(record, edges, stopEdges, nyquistHz);
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
    const std::int64_t start = startPos.resolve(doc, 0), end = endPos.resolve(doc, doc.lengthFrames());
    if (end <= start)
        return usage("--end must lie after --start");
    if (!filterDocument(doc, start, end, channel, design.sections))
        return 1;
    host.setContext(out);
    return doc.save(out, doc.saveType()) ? 0 : 1;
}
