#include "ZcCli.h"

#include "CliInputs.h"
#include "CliSupport.h"
#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

using namespace zcfile;

namespace {

struct DotSummary {
    std::size_t off = 0, main = 0, outOfRange = 0, shown = 0;
    double minHz = 0, maxHz = 0;
};

DotSummary summarise(const std::vector<Dot>& dots)
{
    DotSummary s;
    bool any = false;
    for (const Dot& d : dots) {
        switch (d.status) {
        case DotStatus::Off: ++s.off; continue;
        case DotStatus::OutOfRange: ++s.outOfRange; continue;
        case DotStatus::Main: ++s.main; break;
        case DotStatus::Normal: break;
        }
        ++s.shown;
        if (d.freqHz <= 0)
            continue;
        s.minHz = any ? std::min(s.minHz, d.freqHz) : d.freqHz;
        s.maxHz = any ? std::max(s.maxHz, d.freqHz) : d.freqHz;
        any = true;
    }
    return s;
}

struct TextRow {
    const char* label;
    const char* json;
    TextField field;
};
const TextRow kTextRows[] = {
    {"tape:", "tape", TextField::Tape},       {"date:", "date", TextField::Date},
    {"location:", "loc", TextField::Loc},     {"species:", "species", TextField::Species},
    {"spec:", "spec", TextField::Spec},       {"note:", "note", TextField::Note},
    {"note 1:", "note1", TextField::Note1},
};

void printText(const char* label, const std::string& value)
{
    if (!value.empty())
        vkit::printfC("  %-15s %s\n", label, value.c_str());
}

}  // namespace

std::string zcTypeName(const ZcFile& f)
{
    return "[Anabat " + std::to_string(f.type) + "]";
}

bool readZcOrComplain(const char* command, const std::string& path, ZcFile& out)
{
    std::string error;
    if (readFile(path, out, error))
        return true;
    std::fprintf(stderr, "vesperon-cli %s: %s: %s\n", command, path.c_str(), error.c_str());
    return false;
}

void describeZcText(const ZcFile& f, const std::string& file)
{
    const std::vector<Dot> dots = f.dots();
    const DotSummary s = summarise(dots);
    vkit::printfC("%s\n", file.c_str());
    vkit::printfC("  %-15s %s (zero crossings)\n", "type:", zcTypeName(f).c_str());
    vkit::printfC("  %-15s %zu (%zu off, %zu main, %zu out of range)\n", "dots:", dots.size(), s.off, s.main,
                  s.outOfRange);
    vkit::printfC("  %-15s %.6f s\n", "duration:", f.lengthUs() / 1e6);
    vkit::printfC("  %-15s %d\n", "division ratio:", f.divRatio);
    vkit::printfC("  %-15s %d (%g us per tick)\n", "RES1:", f.res1, f.ticksToMicros(1));
    vkit::printfC("  %-15s %d\n", "VRES:", f.vres);
    if (s.shown > 0 && s.maxHz > 0)
        vkit::printfC("  %-15s %.1f to %.1f kHz\n", "frequencies:", s.minHz / 1000, s.maxHz / 1000);
    if (f.type == 132)
        printText("start time:", f.time.iso());
    for (const TextRow& r : kTextRows)
        printText(r.label, f.text(r.field));
    if (f.type == 132) {
        printText("id:", f.id());
        printText("gps:", f.gps());
    }
    for (const std::string& w : f.warnings)
        vkit::printfC("  %-15s %s\n", "warning:", w.c_str());
    GuanoRecord g;
    std::string error;
    if (f.guanoRecord(g, error)) {
        vkit::printfC("  GUANO:%*s %zu bytes\n", 9, "", f.guano.size());
        printGuanoFields(g);
    }
}

void describeZcJson(const ZcFile& f, const std::string& file, bool first)
{
    const std::vector<Dot> dots = f.dots();
    const DotSummary s = summarise(dots);
    vkit::printfC("%s  {\"file\": %s, \"type\": %s, \"zc_type\": %d, \"dots\": %zu, \"off_dots\": %zu, "
                  "\"main_dots\": %zu, \"out_of_range_dots\": %zu,\n",
                  first ? "" : ",\n", jsonString(file).c_str(), jsonString(zcTypeName(f)).c_str(), f.type,
                  dots.size(), s.off, s.main, s.outOfRange);
    vkit::printfC("   \"duration_s\": %.6f, \"division_ratio\": %d, \"res1\": %d, \"vres\": %d, "
                  "\"min_freq_hz\": %.1f, \"max_freq_hz\": %.1f,\n",
                  f.lengthUs() / 1e6, f.divRatio, f.res1, f.vres, s.minHz, s.maxHz);
    vkit::printfC("   \"start_time\": %s, \"id\": %s, \"gps\": %s,\n   \"text\": {",
                  f.time.present() ? jsonString(f.time.iso()).c_str() : "null", jsonString(f.id()).c_str(),
                  jsonString(f.gps()).c_str());
    bool firstField = true;
    for (const TextRow& r : kTextRows) {
        vkit::printfC("%s\"%s\": %s", firstField ? "" : ", ", r.json, jsonString(f.text(r.field)).c_str());
        firstField = false;
    }
    vkit::printfC("},\n   \"warnings\": [");
    for (std::size_t i = 0; i < f.warnings.size(); ++i)
        vkit::printfC("%s%s", i ? ", " : "", jsonString(f.warnings[i]).c_str());
    vkit::printfC("]");
    GuanoRecord g;
    std::string error;
    if (f.guanoRecord(g, error)) {
        vkit::printfC(",\n   \"guano\": {");
        firstField = true;
        for (const auto& field : g.fields()) {
            if (field.key.empty() || g.find(field.key) != &field.value)
                continue;
            vkit::printfC("%s%s: %s", firstField ? "" : ", ", jsonString(field.key).c_str(),
                          jsonString(field.value).c_str());
            firstField = false;
        }
        vkit::printfC("}");
    } else if (!error.empty()) {
        vkit::printfC(",\n   \"guano_error\": %s", jsonString(error).c_str());
    }
    vkit::printfC("}");
}

bool isZcOutputPath(const std::string& path)
{
    return isZcFileName(path);
}

std::vector<OptionSpec> zcConvertOptions()
{
    const ConvertSettings d;
    return {
        {.name = "division", .kind = OptionKind::Integer, .valueName = "N", .defaultText = "8", .min = 1,
         .max = 255, .help = "zero-crossing output: the division ratio (one dot per N zero crossings)",
         .group = "Zero-crossing output (OUT.zc)"},
        {.name = "threshold", .kind = OptionKind::Number, .valueName = "PCT", .defaultText = "5", .min = 0,
         .max = 99,
         .help = "zero-crossing output: sensitivity, the band around zero (percent of full scale) a swing must "
                 "cross to count, as in the zero-crossing view; lower finds quieter calls and more noise"},
        {.name = "gate", .kind = OptionKind::Number, .valueName = "DB", .defaultText = "off", .min = -200,
         .max = 0, .choices = "off",
         .help = "zero-crossing output: noise gate, dots whose strongest sample lies below DB of full scale "
                 "are marked off"},
        channelOption("left|right", "left", "zero-crossing output: the channel of a stereo recording"),
        timeExpansionOption("zero-crossing output: treat the recordings as time-expanded by X (by default "
                            "their own factor); the intervals are real time"),
    };
}

bool takeZcConvertOption(const OptionValue& o, ConvertSettings& settings)
{
    if (o.is("division"))
        settings.divRatio = static_cast<int>(o.integer());
    else if (o.is("threshold"))
        settings.thresholdPct = o.number;
    else if (o.is("gate"))
        settings.gateDb = o.word >= 0 ? -200 : o.number;
    else if (o.is("time-expansion"))
        settings.timeExpansion = o.number;
    else if (o.is("channel"))
        settings.channel = channelValue(o) == Channel::Right ? 1 : 0;
    else
        return false;
    return true;
}

bool convertToZc(const std::string& in, const std::string& out, const ConvertSettings& settings)
{
    if (isZcPath(in)) {
        std::fprintf(stderr, "vesperon-cli convert: %s: a zero-crossing file holds no samples to convert\n",
                     in.c_str());
        return false;
    }
    CliDocHost host(in);
    CVesSoundDoc doc(host, userDefaults());
    if (!doc.open(in))
        return false;
    ZcFile zc;
    std::string error;
    if (!fromRecording(doc, settings, zc, error) || !writeFile(out, zc, error)) {
        std::fprintf(stderr, "vesperon-cli convert: %s: %s\n", in.c_str(), error.c_str());
        return false;
    }
    return true;
}
