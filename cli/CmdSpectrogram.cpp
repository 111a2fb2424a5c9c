// vesperon-cli spectrogram: the analysis plot of recordings as a picture
// (PNG, JPEG, SVG or PDF), drawn by the same painter as the program's views.
#ifdef VES_HAVE_RENDER

#include "CliCommands.h"
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

void helpSpectrogram()
{
    std::printf(
        "Usage: vesperon-cli spectrogram [OPTIONS] FILE... -o OUT\n\n"
        "Draws the analysis plot of each recording as the program's view shows it\n"
        "and writes it as a picture: PNG, JPEG (or another image type Qt writes),\n"
        "SVG or PDF, chosen by the extension of OUT. With several files OUT names a\n"
        "folder (created when missing) and each file gets a picture named after it.\n\n"
        "  -o, --output OUT   the picture, or the folder of pictures\n"
        "  --format EXT       picture type in a folder: png, jpg, svg or pdf (default png)\n"
        "  --panes KIND       spect, osc, comb (oscillogram and spectrogram) or zc\n"
        "                     (zero-crossing analysis)\n"
        "  --start TIME       start of the plot in real time: seconds, or with the\n"
        "                     unit s, ms or us (\"1.5\", \"250ms\"); default 0\n"
        "  --duration TIME    length of the plot in real time, or \"all\" for the rest\n"
        "                     of the recording\n"
        "  --fmin F, --fmax F frequency range in Hz, or with the unit kHz (\"20k\")\n"
        "  --fft N            FFT size: a power of two 16..4096, or \"auto\"\n"
        "  --overlap P        FFT overlap in percent 0..99, or \"auto\"\n"
        "  --window NAME      rectangular, parzen, hanning, hamming or cosine, or a code\n"
        "  --scheme S         colour scheme 0..7 (yellow-red, black-white, grey, red,\n"
        "                     blue, rgb, yellow-blue, yellow-red-blue), or \"user\" for\n"
        "                     the user colour map of the default settings\n"
        "  --contrast C       -10..10\n"
        "  --threshold T      spectrogram threshold 0..32\n"
        "  --deemphasis[=on|off]   low level de-emphasis of the colours\n"
        "  --channel CH       left, right or both (stereo recordings)\n"
        "  --time-expansion X treat the recordings as time-expanded by X (e.g. 10)\n"
        "  --width PX, --height PX  size of the plot in pixels (default 1280 x 720)\n"
        "  --quality Q        JPEG quality 0..99 (default 30)\n\n"
        "Options not given take the user's default analysis settings. Runs without a\n"
        "display. Exit status 1 when a file cannot be read or a picture cannot be\n"
        "written, 2 for wrong options.\n");
}

namespace {

constexpr const char* kCmd = "vesperon-cli spectrogram";

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

int usageError(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", kCmd, message.c_str());
    return 2;
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

}  // namespace

int cmdSpectrogram(const CliArgs& args)
{
    Request req;
    req.parms = settingsViewParms();
    std::vector<std::string> files;
    std::string output;
    std::string folderFormat = "png";
    std::optional<std::int64_t> fmin, fmax;
    for (std::size_t i = 0; i < args.size();) {
        std::string v;
        const std::string& a = args[i];
        if (takeOption(args, i, "-o", v) || takeOption(args, i, "--output", v)) {
            output = v;
        } else if (takeOption(args, i, "--format", v)) {
            folderFormat = v;
            if (pictureFormatOf("x." + v) == PictureFormat::Unknown)
                return usageError(std::string("unknown picture type '") + v + "'");
        } else if (takeOption(args, i, "--panes", v)) {
            VesAnaParms& p = req.parms;
            p.m_ampPlot = v == "osc" || v == "comb";
            p.m_spectPlot = v == "spect" || v == "comb";
            p.m_freqPlot = v == "zc" ? 1 : 0;
            if (!p.m_ampPlot && !p.m_spectPlot && !p.m_freqPlot)
                return usageError(std::string("--panes is spect, osc, comb or zc, not '") + v + "'");
        } else if (takeOption(args, i, "--start", v)) {
            const auto t = parseTime(v);
            if (!t)
                return usageError(std::string("--start needs a time such as 1.5, 250ms or 80us, not '") + v + "'");
            req.startMicros = *t;
        } else if (takeOption(args, i, "--duration", v)) {
            if (v == "all") {
                req.wholeRest = true;
            } else {
                const auto t = parseTime(v);
                if (!t || *t <= 0)
                    return usageError(std::string("--duration needs a time above 0 such as 1.5, 250ms, or all, not '") + v + "'");
                req.durationMicros = *t;
                req.wholeRest = false;
            }
        } else if (takeOption(args, i, "--fmin", v) || takeOption(args, i, "--fmax", v)) {
            const bool isMin = a.rfind("--fmin", 0) == 0;
            const auto f = parseFrequency(v);
            if (!f)
                return usageError(std::string("the frequency limits take Hz or kHz such as 20000 or 20k, not '") + v + "'");
            (isMin ? fmin : fmax) = *f;
        } else if (takeOption(args, i, "--fft", v)) {
            if (v == "auto") {
                req.parms.m_fftSize = 0;
            } else {
                const auto n = parseInt(v);
                if (!n || *n < 16 || *n > 4096 || (*n & (*n - 1)) != 0)
                    return usageError(std::string("--fft takes a power of two from 16 to 4096 or auto, not '") + v + "'");
                req.parms.m_fftSize = static_cast<std::int32_t>(*n);
            }
        } else if (takeOption(args, i, "--overlap", v)) {
            if (v == "auto") {
                req.parms.m_fftOverLap = -1;
            } else {
                const auto n = parseInt(v);
                if (!n || *n < 0 || *n > 99)
                    return usageError(std::string("--overlap takes a percentage 0..99 or auto, not '") + v + "'");
                req.parms.m_fftOverLap = static_cast<std::int32_t>(*n);
            }
        } else if (takeOption(args, i, "--window", v)) {
            const int w = parseWindowName(v);
            if (w < 0)
                return usageError(std::string("unknown window '") + v + "'");
            req.parms.m_fftWindow = w;
        } else if (takeOption(args, i, "--scheme", v)) {
            const int s = parseScheme(v);
            if (s < 0)
                return usageError(std::string("unknown colour scheme '") + v + "'");
            req.parms.m_colorScheme = s;
        } else if (takeOption(args, i, "--contrast", v)) {
            const auto n = parseInt(v);
            if (!n || *n < -10 || *n > 10)
                return usageError(std::string("--contrast takes -10..10, not '") + v + "'");
            req.parms.m_contrast = static_cast<std::int32_t>(*n);
        } else if (takeOption(args, i, "--threshold", v)) {
            const auto n = parseInt(v);
            if (!n || *n < 0 || *n > 32)
                return usageError(std::string("--threshold takes 0..32, not '") + v + "'");
            req.parms.m_fftThresHold = static_cast<std::int32_t>(*n);
        } else if (a == "--deemphasis") {
            req.parms.m_invColors = true;
            ++i;
        } else if (a.rfind("--deemphasis=", 0) == 0) {
            v = a.substr(13);
            if (v != "on" && v != "off")
                return usageError(std::string("--deemphasis is on or off, not '") + v + "'");
            req.parms.m_invColors = v == "on";
            ++i;
        } else if (takeOption(args, i, "--channel", v)) {
            if (v != "left" && v != "right" && v != "both")
                return usageError(std::string("--channel is left, right or both, not '") + v + "'");
            req.parms.m_leftChan = v != "right";
            req.parms.m_rightChan = v != "left";
        } else if (takeOption(args, i, "--time-expansion", v)) {
            const auto x = parseNumber(v);
            if (!x || *x <= 0 || *x > 100)
                return usageError(std::string("--time-expansion takes a factor above 0 up to 100, such as 10, not '") + v + "'");
            req.timeExp25 = static_cast<std::int32_t>(std::lround(*x * 1000));
        } else if (takeOption(args, i, "--width", v) || takeOption(args, i, "--height", v)) {
            const bool isWidth = a.rfind("--width", 0) == 0;
            const auto n = parseInt(v);
            if (!n || *n < 100 || *n > 10000)
                return usageError(std::string("the picture's width and height take 100..10000 pixels, not '") + v + "'");
            (isWidth ? req.widthPx : req.heightPx) = static_cast<int>(*n);
        } else if (takeOption(args, i, "--quality", v)) {
            const auto n = parseInt(v);
            if (!n || *n < 0 || *n > 99)
                return usageError(std::string("--quality takes 0..99, not '") + v + "'");
            req.picture.jpegQuality = static_cast<int>(*n);
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError(std::string("unknown option ") + a);
        } else {
            files.push_back(a);
            ++i;
        }
    }
    if (files.empty() || output.empty()) {
        helpSpectrogram();
        return 2;
    }
    if (fmin)
        req.parms.m_spectMin = *fmin;
    if (fmax)
        req.parms.m_spectMax = *fmax;
    if (fmin && fmax && *fmin >= *fmax)
        return usageError("--fmin must lie below --fmax");

    std::error_code ec;
    const bool toFolder = files.size() > 1 || std::filesystem::is_directory(output, ec);
    if (!toFolder && pictureFormatOf(output) == PictureFormat::Unknown)
        return usageError(std::string("cannot tell the picture type of '") + output + "' (use .png, .jpg, .svg or .pdf)");
    if (toFolder) {
        std::filesystem::create_directories(output, ec);
        if (!std::filesystem::is_directory(output, ec)) {
            std::fprintf(stderr, "vesperon-cli: cannot create the folder %s: %s\n", output.c_str(),
                         ec ? ec.message().c_str() : "it is a file");
            return 1;
        }
    }

    const auto app = makeHeadlessGuiApplication();
    int status = 0;
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
