#include "CliCommands.h"
#include "CliInputs.h"
#include "CliSupport.h"
#include "MeasurePictures.h"

#include "document/CVesSoundDoc.h"
#include "power/PowerCalc.h"
#include "power/PowerScale.h"

#include <cstdio>

const CommandSpec& cmdPowerSpec()
{
    static const CommandSpec spec{
        "power",
        "averaged power spectrum of recordings as text",
        {"[OPTIONS] IN..."},
        "Prints the averaged power spectrum of each recording (or of a stretch of it)\n"
        "as the power spectrum window exports it: a header line, then one line per\n"
        "FFT bin with the frequency in kHz and the level, separated by a tab. A bin\n"
        "with no power at all has the level -inf on the logarithmic scale. IN is a\n"
        "recording or a folder of recordings.\n",
        {
            startOption(PositionUnit::Frames,
                        "first frame of the stretch, or a real time with the unit ms or s (default 0)"),
            endOption(PositionUnit::Frames, "frame after the stretch, or a real time (default: the end)"),
            {.name = "fft", .kind = OptionKind::Integer, .valueName = "N", .defaultText = "the settings, 1024 when they say automatic",
             .min = 16, .max = 16384, .help = "FFT size, a power of two 16..16384", .flags = kPowerOfTwo},
            windowOption("the settings", nullptr),
            channelOption("left|right", "left", "channel of a stereo recording"),
            {.name = "log", .help = "level in dB relative to full scale (default: the settings)"},
            {.name = "linear", .help = "level as power (default: the settings)"},
            {.name = "image", .kind = OptionKind::Path, .valueName = "FILE",
             .help = "also draw the spectrum as the power spectrum window shows it (PNG, JPEG, BMP by the "
                     "extension; one recording only)",
             .sample = "power.png"},
            recursiveOption(),
        },
        "With several files, each spectrum follows a line \"# FILE\".\n"
        "Exit status 1 when a file cannot be read or a folder holds no recordings,\n"
        "2 for wrong options.\n"};
    return spec;
}

int cmdPower(const CliArgs& args)
{
    VesPowerParms parms;
    {
        vkit::RegCls reg;
        parms.load(reg);
    }
    PowerRequest req;
    req.fftSize = parms.m_fftSize > 0 ? parms.m_fftSize : 1024;
    req.window = parms.m_fftWindow;
    bool logScale = parms.m_logScale;
    std::string image;
    Position start, end;
    const CommandSpec& spec = cmdPowerSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    for (const OptionValue& o : parsed.options) {
        if (o.is("start"))
            start = positionValue(o);
        else if (o.is("end"))
            end = positionValue(o);
        else if (o.is("fft"))
            req.fftSize = static_cast<int>(o.integer());
        else if (o.is("window"))
            req.window = parseWindowName(o.text);
        else if (o.is("channel"))
            req.channel = channelValue(o) == Channel::Right ? ChannelIndex::Right : ChannelIndex::Left;
        else if (o.is("log") || o.is("linear"))
            logScale = o.is("log");
        else if (o.is("image"))
            image = o.text;
    }
    if (parsed.operands.empty())
        return usageError(spec, "give one or more recordings or folders (see --help)");
    const RecordingInputs inputs = expandRecordingInputs(spec.name, parsed.operands, parsed.has("recursive"));
    const std::vector<std::string>& files = inputs.files;
    if (files.empty())
        return 1;  // said why
    if (!image.empty() && files.size() != 1)
        return usageError(spec, "--image takes one recording");
    int status = inputs.ok ? 0 : 1;
    for (const auto& file : files) {
        CliDocHost host(file);
        CVesSoundDoc doc(host, userDefaults());
        if (!doc.open(file)) {
            status = 1;
            continue;
        }
        PowerRequest stretch = req;
        stretch.start = start.resolve(doc, 0);
        stretch.end = end.resolve(doc, -1);
        const PowerResult r = computePowerSpectrum(doc, stretch);
        if (files.size() > 1)
            std::printf("# %s\n", file.c_str());
        std::string error;
        if (!writePowerExport(r, logScale, stdout, error)) {
            host.message(error);
            return 1;
        }
        if (!image.empty()) {
            VesPowerParms shown = parms;
            shown.m_logScale = logScale;
            shown.m_fftWindow = req.window;
            if (!writePowerPicture(image, r, shown, 520, 220, error)) {
                std::fprintf(stderr, "vesperon-cli power: %s\n", error.c_str());
                return 1;
            }
        }
    }
    return status;
}
