#include "records/VesSettings.h"

#include "records/SettingsValues.h"
#include "records/VesRecData.h"

#include <cmath>

using namespace vesrec;

namespace {

// round(v x 1000) as a 64-bit integer; not-a-number gives 0, values beyond the
// range are limited to it.
std::int64_t thousandths(double v)
{
    if (std::isnan(v))
        return 0;
    const double t = std::round(v * 1000.0);
    if (t >= 9.2e18)
        return INT64_MAX;
    if (t <= -9.2e18)
        return INT64_MIN;
    return static_cast<std::int64_t>(t);
}

}  // namespace

// ---------------------------------------------------------------------------
// VesDefData

VesDefData::VesDefData() : m_copyright(VesRecData::kDefaultCopyright) {}

void VesDefData::load(const vkit::RegCls& reg)
{
    const char* key = kRegKey;
    m_timeExp25 = readInt32(reg, key, "TimeExp25", m_timeExp25);
    m_chans = readInt32(reg, key, "Chans", m_chans);
    m_bits = readInt32(reg, key, "Bits", m_bits);
    m_rate = readInt32(reg, key, "Rate", m_rate);
    m_at = readText(reg, key, "At", m_at, 79);
    m_by = readText(reg, key, "By", m_by, 39);
    m_cBoardSamp = readInt32(reg, key, "CBoardSamp", m_cBoardSamp);
    m_niDaqSamp = readInt32(reg, key, "NiDaqSamp", m_niDaqSamp);
    m_inesSamp = readInt32(reg, key, "InesSamp", m_inesSamp);
    m_playDev = readText(reg, key, "PlayDev", m_playDev);
    m_recDev = readText(reg, key, "RecDev", m_recDev);
}

bool VesDefData::save(vkit::RegCls& reg) const
{
    KeyWriter w(reg, kRegKey);
    w.integer("Release", m_release);
    w.integer("Version", m_version);
    w.integer("Build", m_build);
    w.text("Copyright", m_copyright);
    w.integer("TimeExp25", m_timeExp25);
    w.integer("Chans", m_chans);
    w.integer("Bits", m_bits);
    w.integer("Rate", m_rate);
    w.text("Date", m_date);
    w.text("Time", m_time);
    w.text("At", m_at);
    w.text("By", m_by);
    w.integer("CBoardSamp", m_cBoardSamp);
    w.integer("NiDaqSamp", m_niDaqSamp);
    w.integer("InesSamp", m_inesSamp);
    w.text("PlayDev", m_playDev);
    w.text("RecDev", m_recDev);
    return w.finish();
}

// ---------------------------------------------------------------------------
// VesPowerParms

void VesPowerParms::load(const vkit::RegCls& reg)
{
    const char* key = kRegKey;
    m_leftChan = readFlag(reg, key, "LeftChan", m_leftChan);
    m_rightChan = readFlag(reg, key, "RightChan", m_rightChan);
    m_contUpd = readFlag(reg, key, "ContUpd", m_contUpd);
    m_logScale = readFlag(reg, key, "LogScale", m_logScale);
    m_fftSize = readInt32(reg, key, "FftSize", m_fftSize);
    m_fftWindow = readInt32(reg, key, "FftWindow", m_fftWindow);
    m_zeroDB = readInt32(reg, key, "ZeroDB", m_zeroDB);
    m_maxDB = readInt32(reg, key, "MaxDB", m_maxDB);
    if (const auto v = readOptionalInt(reg, key, "ZeroV"))
        m_zeroV = static_cast<double>(*v) / 1000.0;
    if (const auto v = readOptionalInt(reg, key, "MaxV"))
        m_maxV = static_cast<double>(*v) / 1000.0;
}

bool VesPowerParms::save(vkit::RegCls& reg) const
{
    KeyWriter w(reg, kRegKey);
    w.flag("LeftChan", m_leftChan);
    w.flag("RightChan", m_rightChan);
    w.flag("ContUpd", m_contUpd);
    w.flag("LogScale", m_logScale);
    w.integer("FftSize", m_fftSize);
    w.integer("FftWindow", m_fftWindow);
    w.integer("ZeroDB", m_zeroDB);
    w.integer("MaxDB", m_maxDB);
    w.integer("ZeroV", thousandths(m_zeroV));
    w.integer("MaxV", thousandths(m_maxV));
    return w.finish();
}

// ---------------------------------------------------------------------------
// VesRateParms

void VesRateParms::load(const vkit::RegCls& reg)
{
    const char* key = kRegKey;
    m_leftChan = readFlag(reg, key, "LeftChan", m_leftChan);
    m_rightChan = readFlag(reg, key, "RightChan", m_rightChan);
    m_contUpd = readFlag(reg, key, "ContUpd", m_contUpd);
    m_autoCalc = readFlag(reg, key, "AutoCalc", m_autoCalc);
    m_histStart = readInt32(reg, key, "HistStart", m_histStart);
    m_histEnd = readInt32(reg, key, "HistEnd", m_histEnd);
    m_barAnt = readInt32(reg, key, "BarAnt", m_barAnt);
    m_delay = readInt32(reg, key, "Delay", m_delay);
    m_threshold = readInt32(reg, key, "Threshold", m_threshold);
}

bool VesRateParms::save(vkit::RegCls& reg) const
{
    KeyWriter w(reg, kRegKey);
    w.flag("LeftChan", m_leftChan);
    w.flag("RightChan", m_rightChan);
    w.flag("ContUpd", m_contUpd);
    w.flag("AutoCalc", m_autoCalc);
    w.integer("HistStart", m_histStart);
    w.integer("HistEnd", m_histEnd);
    w.integer("BarAnt", m_barAnt);
    w.integer("Delay", m_delay);
    w.integer("Threshold", m_threshold);
    return w.finish();
}

// ---------------------------------------------------------------------------
// VesPulsParms

namespace {

struct PulsFlag {
    const char* name;
    bool VesPulsParms::*field;
};

// The flags after AmpThres, in the order they are written.
constexpr PulsFlag kPulsFlags[] = {
    {"AmpMaxAmp", &VesPulsParms::m_ampMaxAmp},       {"Energy", &VesPulsParms::m_energy},
    {"FreqStrong", &VesPulsParms::m_freqStrong},     {"FreqStrongMark", &VesPulsParms::m_freqStrongMark},
    {"FreqMax", &VesPulsParms::m_freqMax},           {"FreqMin", &VesPulsParms::m_freqMin},
    {"FreqMaxMark", &VesPulsParms::m_freqMaxMark},   {"FreqMinMark", &VesPulsParms::m_freqMinMark},
    {"PulsNum", &VesPulsParms::m_pulsNum},           {"RelPulsCalc", &VesPulsParms::m_relPulsCalc},
    {"StartTime", &VesPulsParms::m_startTime},       {"StartTimeMark", &VesPulsParms::m_startTimeMark},
    {"StopTime", &VesPulsParms::m_stopTime},         {"StopTimeMark", &VesPulsParms::m_stopTimeMark},
    {"Duration", &VesPulsParms::m_duration},         {"StartFreq", &VesPulsParms::m_startFreq},
    {"StopFreq", &VesPulsParms::m_stopFreq},         {"DurationFreq", &VesPulsParms::m_durationFreq},
};

// A time in µs under `usName`, else `msName` (ms) x 1000, else `current`.
std::int32_t readMicroseconds(const vkit::RegCls& reg, const char* key, const char* usName, const char* msName,
                              std::int32_t current)
{
    if (reg.hasValue(key, usName))
        return readInt32(reg, key, usName, current);
    if (const auto ms = readOptionalInt(reg, key, msName)) {
        const std::int64_t us = mulSaturated(*ms, 1000);
        return static_cast<std::int32_t>(us < INT32_MIN ? INT32_MIN : (us > INT32_MAX ? INT32_MAX : us));
    }
    return current;
}

}  // namespace

void VesPulsParms::load(const vkit::RegCls& reg)
{
    const char* key = kRegKey;
    m_leftChan = readFlag(reg, key, "LeftChan", m_leftChan);
    m_rightChan = readFlag(reg, key, "RightChan", m_rightChan);
    m_contUpd = readFlag(reg, key, "ContUpd", m_contUpd);
    m_autoCalc = readFlag(reg, key, "AutoCalc", m_autoCalc);
    m_plotSize = readInt32(reg, key, "PlotSize", m_plotSize);
    m_fontSize = readInt32(reg, key, "FontSize", m_fontSize);
    m_minFrequency = readInt32(reg, key, "MinFrequency", m_minFrequency);
    m_maxFrequency = readInt32(reg, key, "MaxFrequency", m_maxFrequency);
    m_freqThreshold = readInt32(reg, key, "FreqThreshold", m_freqThreshold);
    m_freqSeparation = readInt32(reg, key, "FreqSeparation", m_freqSeparation);
    m_ampSeparationMySec = readMicroseconds(reg, key, "AmpSeparationMySec", "AmpSeparation", m_ampSeparationMySec);
    m_durTimeMySec = readMicroseconds(reg, key, "DurTimeMySec", "DurTime", m_durTimeMySec);
    m_ampThres = readInt32(reg, key, "AmpThres", m_ampThres);
    for (const auto& f : kPulsFlags)
        this->*f.field = readFlag(reg, key, f.name, this->*f.field);
    m_method = readInt32(reg, key, "Method", m_method);
}

bool VesPulsParms::save(vkit::RegCls& reg) const
{
    KeyWriter w(reg, kRegKey);
    w.flag("LeftChan", m_leftChan);
    w.flag("RightChan", m_rightChan);
    w.flag("ContUpd", m_contUpd);
    w.flag("AutoCalc", m_autoCalc);
    w.integer("PlotSize", m_plotSize);
    w.integer("FontSize", m_fontSize);
    w.integer("MinFrequency", m_minFrequency);
    w.integer("MaxFrequency", m_maxFrequency);
    w.integer("FreqThreshold", m_freqThreshold);
    w.integer("FreqSeparation", m_freqSeparation);
    w.integer("AmpSeparationMySec", m_ampSeparationMySec);
    w.integer("DurTimeMySec", m_durTimeMySec);
    w.integer("AmpThres", m_ampThres);
    for (const auto& f : kPulsFlags)
        w.flag(f.name, this->*f.field);
    w.integer("Method", m_method);
    return w.finish();
}

// ---------------------------------------------------------------------------
// VesCardParms

const char* VesCardParms::regKey(Card card)
{
    switch (card) {
    case Card::CB: return "Settings\\CB";
    case Card::NI: return "Settings\\NI";
    case Card::INES: return "Settings\\INES";
    }
    return "Settings\\NI";
}

void VesCardParms::load(const vkit::RegCls& reg)
{
    const char* key = regKey();
    m_numSamples = readInt32(reg, key, "NumSamples", m_numSamples);
    m_sampFreq = readInt32(reg, key, "SampFreq", m_sampFreq);
    m_cutFreq = readInt32(reg, key, "CutFreq", m_cutFreq);
    m_timeExp = readInt32(reg, key, "TimeExp", m_timeExp);
    m_storeTime = readInt32(reg, key, "StoreTime", m_storeTime);
    if (hasGain())
        m_gain = readInt32(reg, key, "Gain", m_gain);
    m_circularBuffer = readFlag(reg, key, "CircularBuffer", m_circularBuffer);
    m_playAfter = readFlag(reg, key, "PlayAfter", m_playAfter);
    m_spectro = readFlag(reg, key, "Spectro", m_spectro);
    m_fixReplay = readFlag(reg, key, "FixReplay", m_fixReplay);
    m_replayFreq = readInt32(reg, key, "ReplayFreq", m_replayFreq);
    m_extStop = readFlag(reg, key, "ExtStop", m_extStop);
}

bool VesCardParms::save(vkit::RegCls& reg) const
{
    KeyWriter w(reg, regKey());
    w.integer("NumSamples", m_numSamples);
    w.integer("SampFreq", m_sampFreq);
    w.integer("CutFreq", m_cutFreq);
    w.integer("TimeExp", m_timeExp);
    w.integer("StoreTime", m_storeTime);
    if (hasGain())
        w.integer("Gain", m_gain);
    w.flag("CircularBuffer", m_circularBuffer);
    w.flag("PlayAfter", m_playAfter);
    w.flag("Spectro", m_spectro);
    w.flag("FixReplay", m_fixReplay);
    w.integer("ReplayFreq", m_replayFreq);
    w.flag("ExtStop", m_extStop);
    return w.finish();
}

// ---------------------------------------------------------------------------
// VesAutoRecParms

void VesAutoRecParms::load(const vkit::RegCls& reg)
{
    const char* key = kRegKey;
    m_recMinTimeNext = readInt32(reg, key, "RecMinTimeNext", m_recMinTimeNext);
    m_recMaxTime = readInt32(reg, key, "RecMaxTime", m_recMaxTime);
    m_recMaxCnt = readInt32(reg, key, "RecMaxCnt", m_recMaxCnt);
    m_recTimeBefore = readInt32(reg, key, "RecTimeBefore", m_recTimeBefore);
    m_recTimeAfter = readInt32(reg, key, "RecTimeAfter", m_recTimeAfter);
    m_recBuffAnt = readInt32(reg, key, "RecBuffAnt", m_recBuffAnt);
    m_fileName = readText(reg, key, "FileName", m_fileName, kFileNameMax);
    m_fileSwitch = readInt32(reg, key, "FileSwitch", m_fileSwitch);
    m_fileMarks = readInt32(reg, key, "FileMarks", m_fileMarks);
    m_fileSeqStart = readInt32(reg, key, "FileSeqStart", m_fileSeqStart);
    m_trigger = readInt32(reg, key, "Trigger", m_trigger);
    m_trigChans = readInt32(reg, key, "TrigChans", m_trigChans);
    m_frecMin = readInt32(reg, key, "FrecMin", m_frecMin);
    m_frecMax = readInt32(reg, key, "FrecMax", m_frecMax);
    m_frecThres = readInt32(reg, key, "FrecThres", m_frecThres);
    m_fftWindow = readInt32(reg, key, "FftWindow", m_fftWindow);
    m_fftSize = readInt32(reg, key, "FftSize", m_fftSize);
    m_fftMinOverLap = readInt32(reg, key, "FftMinOverLap", m_fftMinOverLap);
    m_ampThresProc = readInt32(reg, key, "AmpThresProc", m_ampThresProc);
    m_ampThresDb = readInt32(reg, key, "AmpThresDb", m_ampThresDb);
    m_ampMinDuration = readInt32(reg, key, "AmpMinDuration", m_ampMinDuration);
    m_graphics = readFlag(reg, key, "Graphics", m_graphics);
    m_graphicsOverload = readInt32(reg, key, "GraphicsOverload", m_graphicsOverload);
}

bool VesAutoRecParms::save(vkit::RegCls& reg) const
{
    KeyWriter w(reg, kRegKey);
    w.integer("RecMinTimeNext", m_recMinTimeNext);
    w.integer("RecMaxTime", m_recMaxTime);
    w.integer("RecMaxCnt", m_recMaxCnt);
    w.integer("RecTimeBefore", m_recTimeBefore);
    w.integer("RecTimeAfter", m_recTimeAfter);
    w.text("FileName", m_fileName);
    w.integer("FileSwitch", m_fileSwitch);
    w.integer("FileMarks", m_fileMarks);
    w.integer("FileSeqStart", m_fileSeqStart);
    w.integer("Trigger", m_trigger);
    w.integer("TrigChans", m_trigChans);
    w.integer("FrecMin", m_frecMin);
    w.integer("FrecMax", m_frecMax);
    w.integer("FrecThres", m_frecThres);
    w.integer("FftWindow", m_fftWindow);
    w.integer("FftSize", m_fftSize);
    w.integer("FftMinOverLap", m_fftMinOverLap);
    w.integer("AmpThresProc", m_ampThresProc);
    w.integer("AmpThresDb", m_ampThresDb);
    w.integer("AmpMinDuration", m_ampMinDuration);
    w.flag("Graphics", m_graphics);
    return w.finish();
}
