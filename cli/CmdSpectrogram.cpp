// vesperon-cli spectrogram: the analysis plot of recordings as a picture
// (PNG, JPEG, SVG or PDF), drawn by the same painter as the program's views.
#ifdef VES_HAVE_RENDER

#include "CliCommands.h"
#include "CliInputs.h"
#include "CliSupport.h"

#include "display/ViewPolicy.h"
#include "document/CVesSoundDoc.h"
#include "records/VesAnaParms.h"
#include "render/HeadlessGui.h"
#include "render/PlotExport.h"

#include <QGuiApplication>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>

namespace {

struct Unit {
    const char* text;  // lower case
    double factor;
};

// A number followed by one of the units given (longer units before the units
// they end with); a bare number takes `plain`.
std::optional<double> parseWithUnit(const std::string& text, std::initializer_list<Unit> units, double plain)
{
    std::string lower;
    for (char c : text)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const Unit& u : units) {
        const std::string unit = u.text;
        if (lower.size() > unit.size() && lower.compare(lower.size() - unit.size(), unit.size(), unit) == 0) {
            if (const auto v = parseNumber(text.substr(0, text.size() - unit.size())))
                return *v * u.factor;
            return std::nullopt;
        }
    }
    if (const auto v = parseNumber(text))
        return *v * plain;
    return std::nullopt;
}

// Microseconds of a real time.
std::optional<std::int64_t> parseTime(const std::string& text)
{
    const auto v = parseWithUnit(text, {{"us", 1}, {"\xC2\xB5s", 1}, {"ms", 1e3}, {"s", 1e6}}, 1e6);
    if (!v || *v < 0 || *v > 9e18)
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(*v));
}

std::optional<std::int64_t> parseFrequency(const std::string& text)
{
    const auto v = parseWithUnit(text, {{"khz", 1e3}, {"k", 1e3}, {"hz", 1}}, 1);
    if (!v || *v < 0 || *v > 1e12)
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(*v));
}

int parseScheme(const std::string& v)
{
    if (const auto n = parseInt(v))
        return (*n >= 0 && *n <= 7) || *n == kUserColorScheme ? static_cast<int>(*n) : -1;
    static const std::map<std::string, int> names{
        {"yellow-red", 0}, {"black-white", 1}, {"grey", 2},        {"gray", 2},
        {"red", 3},        {"blue", 4},        {"rgb", 5},         {"yellow-blue", 6},
        {"yellow-red-blue", 7}, {"user", kUserColorScheme}};
    const auto it = names.find(v);
    return it == names.end() ? -1 : it->second;
}

struct Request {
    VesAnaParms parms;
    std::int64_t startMicros = 0;
    std::optional<std::int64_t> durationMicros;  // unset: the settings' plot size
    bool wholeRest = false;                      // --duration all
    std::optional<std::int32_t> timeExp25;
    int widthPx = 1280;
    int heightPx = 720;
    PictureOptions picture;
};

// The default analysis settings as a new view of a recording starts with them.
VesAnaParms settingsViewParms()
{
    VesAnaParms p;
    vkit::RegCls reg;
    p.load(reg);
    return defaultViewParms(p, ViewKind::Base);
}

std::string stemOf(const std::string& path)
{
    std::string name = std::filesystem::path(path).filename().string();
    // A type tag (" [Wave]") may travel on the path.
    if (const auto tag = name.find(" ["); tag != std::string::npos && name.back() == ']')
        name.erase(tag);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name.empty() ? "plot" : name;
}

// Draws one recording into `out`. Returns the exit status for it.
int drawOne(const std::string& file, const std::string& out, const Request& req)
{
    CliDocHost host(file);
    CVesSoundDoc doc(host, userDefaults());
    if (!doc.open(file))
        return 1;
    if (req.timeExp25)
        doc.recData().m_timeExp25 = *req.timeExp25;
    VesAnaParms parms = req.parms;
    const std::int64_t length = doc.lengthFrames();
    const std::int64_t start = doc.realMicrosToFrames(req.startMicros);
    if (req.startMicros > 0 && start >= length) {
        host.message("--start lies beyond the end of the recording");
        return 1;
    }
    parms.m_plotStart = start;
    parms.m_plotEnd = -1;
    if (req.wholeRest)
        parms.m_plotSize = std::max<std::int64_t>(1, doc.framesToRealMicros(length) - req.startMicros);
    else if (req.durationMicros)
        parms.m_plotSize = std::max<std::int64_t>(1, *req.durationMicros);
    // Without a recording (an empty file) there is no frequency range to show.
    const PlotDevice device = PlotDevice::fromScreen(req.widthPx, req.heightPx, 150000);
    const PlotLayout layout = PrepareLayout(parms, SoundInfo::of(doc), device);
    PictureOptions picture = req.picture;
    picture.title = std::filesystem::path(file).filename().string();
    std::string error;
    if (!writePlotPicture(out, layout, doc, picture, error)) {
        std::fprintf(stderr, "vesperon-cli: cannot write %s: %s\n", out.c_str(), error.c_str());
        return 1;
    }
    return 0;
}

bool isPictureType(const std::string& text)
{
    return pictureFormatOf("x." + text) != PictureFormat::Unknown;
}

bool isDuration(const std::string& text)
{
    if (text == "all")
        return true;
    const auto t = parseTime(text);
    return t && *t > 0;
}

bool isFrequency(const std::string& text)
{
    return parseFrequency(text).has_value();
}

bool isScheme(const std::string& text)
{
    return parseScheme(text) >= 0;
}

OptionSpec frequencyOption(const char* name, const char* help)
{
    OptionSpec s;
    s.name = name;
    s.kind = OptionKind::Text;
    s.valueName = "F";
    s.help = help;
    s.check = isFrequency;
    s.expects = "Hz or kHz such as 20000 or 20k";
    s.sample = "20k";
    return s;
}

}  // namespace

const CommandSpec& cmdSpectrogramSpec()
{
    static const CommandSpec spec{
        "spectrogram",
        "draw the analysis plot of recordings as PNG, JPEG, SVG or PDF",
        {"[OPTIONS] IN... -o OUT"},
        "Draws the analysis plot of each recording as the program's view shows it\n"
        "and writes it as a picture: PNG, JPEG (or another image type Qt writes),\n"
        "SVG or PDF, chosen by the extension of OUT. With several files, or a folder\n"
        "of recordings, OUT names a folder (created when missing) and each file gets\n"
        "a picture named after it.\n",
        {
            {.name = "output", .shortName = 'o', .kind = OptionKind::Path, .valueName = "OUT",
             .help = "the picture, or the folder of pictures", .sample = "plot.png"},
            {.name = "format", .kind = OptionKind::Text, .valueName = "EXT", .defaultText = "png",
             .help = "picture type in a folder: png, jpg, svg or pdf", .check = isPictureType,
             .expects = "a picture type such as png, jpg, svg or pdf", .sample = "svg"},
            {.name = "panes", .kind = OptionKind::Choice, .valueName = "KIND", .choices = "spect|osc|comb|zc",
             .help = "spect, osc, comb (oscillogram and spectrogram) or zc (zero-crossing analysis)"},
            startOption(PositionUnit::Seconds,
                        "start of the plot in real time: seconds, or with the unit s, ms or us (\"1.5\", \"250ms\"); "
                        "default 0"),
            {.name = "duration", .kind = OptionKind::Text, .valueName = "TIME",
             .help = "length of the plot in real time, or \"all\" for the rest of the recording",
             .check = isDuration, .expects = "a time above 0 such as 1.5, 250ms, or all", .sample = "250ms"},
            frequencyOption("fmin", "lowest frequency shown, in Hz or with the unit kHz (\"20k\")"),
            frequencyOption("fmax", "highest frequency shown, in Hz or with the unit kHz"),
            {.name = "fft", .kind = OptionKind::Integer, .valueName = "N", .min = 16, .max = 4096, .choices = "auto",
             .help = "FFT size: a power of two 16..4096, or \"auto\"", .flags = kPowerOfTwo},
            {.name = "overlap", .kind = OptionKind::Integer, .valueName = "P", .min = 0, .max = 99, .choices = "auto",
             .help = "FFT overlap in percent 0..99, or \"auto\""},
            windowOption(nullptr, "rectangular, parzen, hanning, hamming or cosine, or a code"),
            {.name = "scheme", .kind = OptionKind::Text, .valueName = "S",
             .help = "colour scheme 0..7 (yellow-red, black-white, grey, red, blue, rgb, yellow-blue, "
                     "yellow-red-blue), or \"user\" for the user colour map of the default settings",
             .check = isScheme, .expects = "a colour scheme 0..7, its name, or user", .sample = "grey"},
            {.name = "contrast", .kind = OptionKind::Integer, .valueName = "C", .min = -10, .max = 10,
             .help = "-10..10"},
            {.name = "threshold", .kind = OptionKind::Integer, .valueName = "T", .min = 0, .max = 32,
             .help = "spectrogram threshold 0..32"},
            {.name = "deemphasis", .kind = OptionKind::Choice, .valueName = "on|off", .choices = "on|off",
             .help = "low level de-emphasis of the colours", .implicitValue = "on"},
            channelOption("left|right|both", nullptr, "channels of a stereo recording"),
            timeExpansionOption(),
            {.name = "width", .kind = OptionKind::Integer, .valueName = "PX", .defaultText = "1280", .min = 100,
             .max = 10000, .help = "width of the plot in pixels"},
            {.name = "height", .kind = OptionKind::Integer, .valueName = "PX", .defaultText = "720", .min = 100,
             .max = 10000, .help = "height of the plot in pixels"},
            {.name = "quality", .kind = OptionKind::Integer, .valueName = "Q", .defaultText = "30", .min = 0,
             .max = 99, .help = "JPEG quality 0..99"},
            recursiveOption(),
        },
        "Options not given take the user's default analysis settings. Runs without a\n"
        "display. Exit status 1 when a file cannot be read, a folder holds no\n"
        "recordings or a picture cannot be written, 2 for wrong options.\n"};
    return spec;
}

int cmdSpectrogram(const CliArgs& args)
{
    const CommandSpec& spec = cmdSpectrogramSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    Request req;
    req.parms = settingsViewParms();
    std::string output;
    std::string folderFormat = "png";
    std::optional<std::int64_t> fmin, fmax;
    for (const OptionValue& o : parsed.options) {
        VesAnaParms& p = req.parms;
        if (o.is("output")) {
            output = o.text;
        } else if (o.is("format")) {
            folderFormat = o.text;
        } else if (o.is("panes")) {
            p.m_ampPlot = o.text == "osc" || o.text == "comb";
            p.m_spectPlot = o.text == "spect" || o.text == "comb";
            p.m_freqPlot = o.text == "zc" ? 1 : 0;
        } else if (o.is("start")) {
            req.startMicros = positionValue(o).micros;
        } else if (o.is("duration")) {
            req.wholeRest = o.text == "all";
            if (!req.wholeRest)
                req.durationMicros = parseTime(o.text);
        } else if (o.is("fmin")) {
            fmin = parseFrequency(o.text);
        } else if (o.is("fmax")) {
            fmax = parseFrequency(o.text);
        } else if (o.is("fft")) {
            p.m_fftSize = o.word >= 0 ? 0 : static_cast<std::int32_t>(o.integer());
        } else if (o.is("overlap")) {
            p.m_fftOverLap = o.word >= 0 ? -1 : static_cast<std::int32_t>(o.integer());
        } else if (o.is("window")) {
            p.m_fftWindow = parseWindowName(o.text);
        } else if (o.is("scheme")) {
            p.m_colorScheme = parseScheme(o.text);
        } else if (o.is("contrast")) {
            p.m_contrast = static_cast<std::int32_t>(o.integer());
        } else if (o.is("threshold")) {
            p.m_fftThresHold = static_cast<std::int32_t>(o.integer());
        } else if (o.is("deemphasis")) {
            p.m_invColors = o.text == "on";
        } else if (o.is("channel")) {
            p.m_leftChan = o.text != "right";
            p.m_rightChan = o.text != "left";
        } else if (o.is("time-expansion")) {
            req.timeExp25 = timeExpansionValue(o);
        } else if (o.is("width")) {
            req.widthPx = static_cast<int>(o.integer());
        } else if (o.is("height")) {
            req.heightPx = static_cast<int>(o.integer());
        } else if (o.is("quality")) {
            req.picture.jpegQuality = static_cast<int>(o.integer());
        }
    }
    if (parsed.operands.empty() || output.empty())
        return usageError(spec, "give the recordings and -o OUT (see --help)");
    const RecordingInputs inputs = expandRecordingInputs(spec.name, parsed.operands, parsed.has("recursive"));
    const std::vector<std::string>& files = inputs.files;
    if (files.empty())
        return 1;  // said why
    if (fmin)
        req.parms.m_spectMin = *fmin;
    if (fmax)
        req.parms.m_spectMax = *fmax;
    if (fmin && fmax && *fmin >= *fmax)
        return usageError(spec, "--fmin must lie below --fmax");

    std::error_code ec;
    const bool toFolder = files.size() > 1 || inputs.anyFolder || std::filesystem::is_directory(output, ec);
    if (!toFolder && pictureFormatOf(output) == PictureFormat::Unknown)
        return usageError(spec, std::string("cannot tell the picture type of '") + output + "' (use .png, .jpg, .svg or .pdf)");
    if (toFolder) {
        std::filesystem::create_directories(output, ec);
        if (!std::filesystem::is_directory(output, ec)) {
            std::fprintf(stderr, "vesperon-cli: cannot create the folder %s: %s\n", output.c_str(),
                         ec ? ec.message().c_str() : "it is a file");
            return 1;
        }
    }

    const auto app = makeHeadlessGuiApplication();
    int status = inputs.ok ? 0 : 1;
    std::set<std::string> used;
    for (const std::string& file : files) {
        std::string out = output;
        if (toFolder) {
            const std::string stem = stemOf(file);
            std::string name = stem + "." + folderFormat;
            for (int n = 2; used.count(name) != 0; ++n)
                name = stem + "-" + std::to_string(n) + "." + folderFormat;
            used.insert(name);
            out = (std::filesystem::path(output) / name).string();
        }
        status = std::max(status, drawOne(file, out, req));
    }
    return status;
}

#endif  // VES_HAVE_RENDER
