// vesperon-cli record: unattended triggered recording from a sound device,
// one file per recording, until stopped.
#include "CliCommands.h"
#include "CliSupport.h"
#include "RecordOptions.h"

#include "autorec/AutoRecEngine.h"
#include "autorec/AutoRecTexts.h"
#include "core/NumberText.h"
#include "soundio/AudioBackend.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <thread>

#ifndef VES_VERSION
#define VES_VERSION "0"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) { g_stop = 1; }

}  // namespace

const CommandSpec& cmdRecordSpec()
{
    static const CommandSpec spec = [] {
        const char* device = "Device";
        CommandSpec c{
            "record",
            "triggered recording from a sound device, one file per recording",
            {"--rate HZ --output FOLDER [OPTIONS]", "--list-devices"},
            "Records from a sound device without a break and keeps what the trigger\n"
            "retains, one wave file per recording (with a GUANO chunk: make, model,\n"
            "version, time, rate, time expansion, length, device). Runs until Ctrl+C or\n"
            "SIGTERM (which finish the current file), --duration, or --max-recordings.\n"
            "Prints one line per file written: PATH, frames, its length and its start in the\n"
            "stream (real seconds), separated by tabs.\n",
            {
                {.name = "device", .kind = OptionKind::Text, .valueName = "NAME", .defaultText = "\"default\"",
                 .help = "capture device (ALSA name such as hw:1,0, or a name from --list-devices)", .group = device,
                 .sample = "default"},
                {.name = "backend", .kind = OptionKind::Choice, .defaultText = "alsa", .choices = "alsa|portaudio",
                 .help = "sound interface (portaudio takes at most 384 kHz)", .group = device},
                {.name = "rate", .kind = OptionKind::Integer, .valueName = "HZ", .min = 1000, .max = 10000000,
                 .help = "sampling rate (required)", .group = device},
                {.name = "bits", .kind = OptionKind::Choice, .defaultText = "16", .choices = "8|16|24|32",
                 .help = "bits per sample", .group = device},
                {.name = "channels", .kind = OptionKind::Choice, .defaultText = "1", .choices = "1|2",
                 .help = "channels", .group = device},
                durationOption(),
                {.name = "list-devices", .help = "list the capture devices and exit", .group = device},
            },
            "At the end a summary goes to standard error: recordings, files, sound\n"
            "analysed, buffers lost because the disk or the processor did not keep up,\n"
            "and overruns of the device. Exit status 1 when the device or the disk\n"
            "failed or buffers were lost, 2 for wrong options.\n"};
        for (OptionSpec& s : recordOptionSpecs())
            c.options.push_back(s);
        return c;
    }();
    return spec;
}

int cmdRecord(const CliArgs& args)
{
    const CommandSpec& spec = cmdRecordSpec();
    ParsedArgs parsed;
    if (!parseOrComplain(spec, args, parsed))
        return 2;
    RecordOptions o;
    initRecordOptions(o);
    o.prefix = "rec";
    std::string device = "default", backendName = "alsa";
    std::int64_t rate = 0, bits = 16, channels = 1, durationMs = 0;
    bool list = false;
    for (const OptionValue& v : parsed.options) {
        if (applyRecordOption(v, o))
            continue;
        if (v.is("device"))
            device = v.text;
        else if (v.is("backend"))
            backendName = v.text;
        else if (v.is("rate"))
            rate = v.integer();
        else if (v.is("bits"))
            bits = std::stoi(v.text);
        else if (v.is("channels"))
            channels = std::stoi(v.text);
        else if (v.is("duration"))
            durationMs = parseDurationMs(v.text);
        else if (v.is("list-devices"))
            list = true;
    }
    if (!parsed.operands.empty())
        return usageError(spec, "unknown argument '" + parsed.operands[0] + "': record takes options only");
    auto backend = makeAudioBackend(backendName == "alsa" ? AudioBackendKind::Alsa : AudioBackendKind::PortAudio);
    if (!backend) {
        std::fprintf(stderr, "vesperon-cli record: the %s back end is not built in\n", backendName.c_str());
        return 1;
    }
    if (list) {
        for (const AudioDeviceInfo& d : backend->inputDevices())
            vkit::printfC("%s\t%s\t%d channels\t%u-%u Hz\n", d.id.c_str(), d.name.c_str(), d.maxChannels, d.minRateHz,
                          d.maxRateHz);
        return 0;
    }
    if (rate <= 0 || o.output.empty()) {
        std::fprintf(stderr, "vesperon-cli record: --rate and --output are required (see --help)\n");
        return 2;
    }
    struct stat st;
    if (::stat(o.output.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "vesperon-cli record: no such folder: %s\n", o.output.c_str());
        return 1;
    }
    std::string deviceId = device, deviceName = device;
    for (const AudioDeviceInfo& d : backend->inputDevices())
        if (d.name == device || d.id == device) {
            deviceId = d.id;
            deviceName = d.name;
        }

    autorec::AutoRecConfig cfg;
    cfg.parms = o.parms;
    cfg.parms.m_fileSwitch = o.naming;
    cfg.parms.m_fileName = o.output + "/" + o.prefix;
    cfg.format = SoundFormat::pcm(static_cast<int>(channels), static_cast<int>(bits), static_cast<std::uint32_t>(rate));
    cfg.timeExp25 = static_cast<std::int32_t>(std::lround(o.timeExpansion * 1000));
    cfg.backend = backend.get();
    cfg.deviceId = deviceId;
    cfg.deviceName = deviceName;
    cfg.programVersion = VES_VERSION;
    cfg.listenAtStart = true;
    if (durationMs > 0)
        cfg.maxStreamBytes = autorec::realMillisToBytes(cfg.format, cfg.timeExp25, durationMs);

    CliRecordHost host(o.verbose, cfg.format.samplesPerSec, cfg.timeExp25);
    autorec::AutoRecEngine engine;
    std::string error;
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    if (!engine.start(cfg, host, error)) {
        for (std::size_t p; (p = error.find("\r\n")) != std::string::npos;)
            error.replace(p, 2, "\n");
        std::fprintf(stderr, "vesperon-cli record: %s\n", error.c_str());
        return 1;
    }
    const auto t0 = std::chrono::steady_clock::now();
    while (!g_stop && !host.ended() && engine.running())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    engine.end();
    engine.wait(60000);
    const autorec::AutoRecStatus s = engine.status();
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::fprintf(stderr,
                 "vesperon-cli record: %lld recordings, %lld files, %.1f s of sound analysed in %.1f s, "
                 "%lld buffers lost, %lld device overruns\n",
                 static_cast<long long>(s.recordings), static_cast<long long>(s.filesWritten),
                 autorec::bytesToRealMicros(cfg.format, cfg.timeExp25, s.streamBytes) / 1e6, secs,
                 static_cast<long long>(s.lostBuffers), static_cast<long long>(s.deviceOverruns));
    return host.failed() || s.lostBuffers > 0 ? 1 : 0;
}
