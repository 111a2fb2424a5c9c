#include "CliCommands.h"
#include "CliSupport.h"
#include "MeasurePictures.h"

#include "document/CVesSoundDoc.h"
#include "power/PowerCalc.h"
#include "power/PowerScale.h"

#include <cstdio>

void helpPower()
{
    std::printf("Usage: vesperon-cli power [OPTIONS] FILE...\n\n"
                "Prints the averaged power spectrum of each recording (or of a stretch of it)\n"
                "as the power spectrum window exports it: a header line, then one line per\n"
                "FFT bin with the frequency in kHz and the level, separated by a tab. A bin\n"
                "with no power at all has the level -inf on the logarithmic scale.\n\n"
                "  --start FRAME     first frame of the stretch (default 0)\n"
                "  --end FRAME       frame after the stretch (default: the end)\n"
                "  --fft N           FFT size, a power of two 16..16384 (default: the settings,\n"
                "                    1024 when they say automatic)\n"
                "  --window NAME     rectangular, hanning, parzen, hamming or cosine, or a window\n"
                "                    code (default: the settings)\n"
                "  --channel left|right   channel of a stereo recording (default left)\n"
                "  --log / --linear  level in dB relative to full scale, or as power (default:\n"
                "                    the settings)\n"
                "  --image FILE      also draw the spectrum as the power spectrum window shows\n"
                "                    it (PNG, JPEG, BMP by the extension; one recording only)\n\n"
                "With several files, each spectrum follows a line \"# FILE\".\n");
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
    std::vector<std::string> files;
    std::string image;
    for (std::size_t i = 0; i < args.size();) {
        std::string v;
        if (takeOption(args, i, "--start", v) || takeOption(args, i, "--end", v) || takeOption(args, i, "--fft", v)) {
            const std::string& opt = args[i - (args[i - 1].find('=') == std::string::npos ? 2 : 1)];
            const auto n = parseInt(v);
            if (!n || *n < 0) {
                std::fprintf(stderr, "vesperon-cli power: %s needs a whole number, not '%s'\n", opt.c_str(), v.c_str());
                return 2;
            }
            if (opt.rfind("--start", 0) == 0)
                req.start = *n;
            else if (opt.rfind("--end", 0) == 0)
                req.end = *n;
            else if (*n < 16 || *n > 16384 || (*n & (*n - 1)) != 0) {
                std::fprintf(stderr, "vesperon-cli power: --fft takes a power of two from 16 to 16384\n");
                return 2;
            } else
                req.fftSize = static_cast<int>(*n);
        } else if (takeOption(args, i, "--window", v)) {
            req.window = parseWindowName(v);
            if (req.window < 0) {
                std::fprintf(stderr, "vesperon-cli power: unknown window '%s'\n", v.c_str());
                return 2;
            }
        } else if (takeOption(args, i, "--channel", v)) {
            if (v != "left" && v != "right") {
                std::fprintf(stderr, "vesperon-cli power: --channel is left or right\n");
                return 2;
            }
            req.channel = v == "right" ? ChannelIndex::Right : ChannelIndex::Left;
        } else if (takeOption(args, i, "--image", v)) {
            image = v;
        } else if (args[i] == "--log" || args[i] == "--linear") {
            logScale = args[i++] == "--log";
        } else if (args[i].rfind("--", 0) == 0) {
            std::fprintf(stderr, "vesperon-cli power: unknown option %s\n", args[i].c_str());
            return 2;
        } else {
            files.push_back(args[i++]);
        }
    }
    if (files.empty()) {
        helpPower();
        return 2;
    }
    if (!image.empty() && files.size() != 1) {
        std::fprintf(stderr, "vesperon-cli power: --image takes one recording\n");
        return 2;
    }
    int status = 0;
    for (const auto& file : files) {
        CliDocHost host(file);
        CVesSoundDoc doc(host, userDefaults());
        if (!doc.open(file)) {
            status = 1;
            continue;
        }
        const PowerResult r = computePowerSpectrum(doc, req);
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
