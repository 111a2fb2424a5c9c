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

void helpRecord()
{
    std::printf(
        "Usage: vesperon-cli record --rate HZ --output FOLDER [OPTIONS]\n"
        "       vesperon-cli record --list-devices\n\n"
        "Records from a sound device without a break and keeps what the trigger\n"
        "retains, one wave file per recording (with a GUANO chunk: make, model,\n"
        "version, time, rate, time expansion, length, device). Runs until Ctrl+C or\n"
        "SIGTERM (which finish the current file), --duration, or --max-recordings.\n"
        "Prints one line per file written: PATH, frames, its length and its start in the\n"
        "stream (real seconds), separated by tabs.\n\n"
        "Device:\n"
        "  --device NAME      capture device (ALSA name such as hw:1,0, or a name from\n"
        "                     --list-devices; default \"default\")\n"
        "  --backend alsa|portaudio   sound interface (default alsa; portaudio takes\n"
        "                     at most 384 kHz)\n"
        "  --rate HZ          sampling rate (required)\n"
        "  --bits N           8, 16, 24 or 32 (default 16)\n"
        "  --channels N       1 or 2 (default 1)\n"
        "  --duration TIME    stop after this much sound: 8h, 30m, 90s, 500ms\n"
        "  --list-devices     list the capture devices and exit\n\n"
        "%s\n"
        "At the end a summary goes to standard error: recordings, files, sound\n"
        "analysed, buffers lost because the disk or the processor did not keep up,\n"
        "and overruns of the device. Exit status 1 when the device or the disk\n"
        "failed or buffers were lost, 2 for wrong options.\n",
        recordOptionsHelp());
}

int cmdRecord(const CliArgs& args)
{
    RecordOptions o;
    initRecordOptions(o);
    o.prefix = "rec";
    std::string device = "default", backendName = "alsa";
    std::int64_t rate = 0, bits = 16, channels = 1, durationMs = 0;
    bool list = false;
    for (std::size_t i = 0; i < args.size();) {
        std::string v, error;
        if (takeRecordOption(args, i, o, error)) {
            if (!error.empty()) {
                std::fprintf(stderr, "vesperon-cli record: %s\n", error.c_str());
                return 2;
            }
        } else if (takeOption(args, i, "--device", v)) {
            device = v;
        } else if (takeOption(args, i, "--backend", v)) {
            backendName = v;
        } else if (takeOption(args, i, "--rate", v)) {
            const auto n = parseInt(v);
            if (!n || *n < 1000 || *n > 10000000) {
                std::fprintf(stderr, "vesperon-cli record: --rate must be from 1000 to 10000000 Hz\n");
                return 2;
            }
            rate = *n;
        } else if (takeOption(args, i, "--bits", v)) {
            const auto n = parseInt(v);
            if (!n || (*n != 8 && *n != 16 && *n != 24 && *n != 32)) {
                std::fprintf(stderr, "vesperon-cli record: --bits must be 8, 16, 24 or 32\n");
                return 2;
            }
            bits = *n;
        } else if (takeOption(args, i, "--channels", v)) {
            const auto n = parseInt(v);
            if (!n || (*n != 1 && *n != 2)) {
                std::fprintf(stderr, "vesperon-cli record: --channels must be 1 or 2\n");
                return 2;
            }
            channels = *n;
        } else if (takeOption(args, i, "--duration", v)) {
            durationMs = parseDurationMs(v);
            if (durationMs <= 0) {
                std::fprintf(stderr, "vesperon-cli record: --duration must be a time such as 8h, 30m or 90s\n");
                return 2;
            }
        } else if (args[i] == "--list-devices") {
            list = true;
            ++i;
        } else {
            std::fprintf(stderr, "vesperon-cli record: unknown option '%s'\n", args[i].c_str());
            return 2;
        }
    }
    if (backendName != "alsa" && backendName != "portaudio") {
        std::fprintf(stderr, "vesperon-cli record: --backend must be alsa or portaudio\n");
        return 2;
    }
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
