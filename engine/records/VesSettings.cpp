#include "records/VesSettings.h"

#include "records/RecordFieldIo.h"
#include "records/VesRecData.h"

using namespace vesrec;

namespace {

// The record's values under `key`, written as one update of the settings file.
template <class R>
bool saveRecord(vkit::RegCls& reg, std::string_view key, const R& r)
{
    KeyWriter w(reg, std::string(key));
    saveFields(R::fields(), r, w);
    return w.finish();
}

// ---------------------------------------------------------------------------
// The tables, in the order the values are written.

using Def = VesDefData;
constexpr Field<Def> kDefDataFields[] = {
    field<&Def::m_release>().infoOnly("Release"),
    field<&Def::m_version>().infoOnly("Version"),
    field<&Def::m_build>().infoOnly("Build"),
    field<&Def::m_copyright>().infoOnly("Copyright"),
    field<&Def::m_timeExp25>().settings("TimeExp25"),
    field<&Def::m_chans>().settings("Chans"),
    field<&Def::m_bits>().settings("Bits"),
    field<&Def::m_rate>().settings("Rate"),
    field<&Def::m_date>().infoOnly("Date"),
    field<&Def::m_time>().infoOnly("Time"),
    field<&Def::m_at>().settings("At").atMost(79),
    field<&Def::m_by>().settings("By").atMost(39),
    field<&Def::m_cBoardSamp>().settings("CBoardSamp"),
    field<&Def::m_niDaqSamp>().settings("NiDaqSamp"),
    field<&Def::m_inesSamp>().settings("InesSamp"),
    field<&Def::m_playDev>().settings("PlayDev"),
    field<&Def::m_recDev>().settings("RecDev"),
};

using Power = VesPowerParms;
constexpr Field<Power> kPowerFields[] = {
    field<&Power::m_leftChan>().settings("LeftChan"),
    field<&Power::m_rightChan>().settings("RightChan"),
    field<&Power::m_contUpd>().settings("ContUpd"),
    field<&Power::m_logScale>().settings("LogScale"),
    field<&Power::m_fftSize>().settings("FftSize"),
    field<&Power::m_fftWindow>().settings("FftWindow"),
    field<&Power::m_zeroDB>().settings("ZeroDB"),
    field<&Power::m_maxDB>().settings("MaxDB"),
    field<&Power::m_zeroV>().settings("ZeroV"),  // thousandths
    field<&Power::m_maxV>().settings("MaxV"),
};

using Rate = VesRateParms;
constexpr Field<Rate> kRateFields[] = {
    field<&Rate::m_leftChan>().settings("LeftChan"),
    field<&Rate::m_rightChan>().settings("RightChan"),
    field<&Rate::m_contUpd>().settings("ContUpd"),
    field<&Rate::m_autoCalc>().settings("AutoCalc"),
    field<&Rate::m_histStart>().settings("HistStart"),
    field<&Rate::m_histEnd>().settings("HistEnd"),
    field<&Rate::m_barAnt>().settings("BarAnt"),
    field<&Rate::m_delay>().settings("Delay"),
    field<&Rate::m_threshold>().settings("Threshold"),
};

using Puls = VesPulsParms;
constexpr Field<Puls> kPulsFields[] = {
    field<&Puls::m_leftChan>().settings("LeftChan"),
    field<&Puls::m_rightChan>().settings("RightChan"),
    field<&Puls::m_contUpd>().settings("ContUpd"),
    field<&Puls::m_autoCalc>().settings("AutoCalc"),
    field<&Puls::m_plotSize>().settings("PlotSize"),
    field<&Puls::m_fontSize>().settings("FontSize"),
    field<&Puls::m_minFrequency>().settings("MinFrequency"),
    field<&Puls::m_maxFrequency>().settings("MaxFrequency"),
    field<&Puls::m_freqThreshold>().settings("FreqThreshold"),
    field<&Puls::m_freqSeparation>().settings("FreqSeparation"),
    field<&Puls::m_ampSeparationMySec>().settings("AmpSeparationMySec").orMs("AmpSeparation"),
    field<&Puls::m_durTimeMySec>().settings("DurTimeMySec").orMs("DurTime"),
    field<&Puls::m_ampThres>().settings("AmpThres"),
    field<&Puls::m_ampMaxAmp>().settings("AmpMaxAmp"),
    field<&Puls::m_energy>().settings("Energy"),
    field<&Puls::m_freqStrong>().settings("FreqStrong"),
    field<&Puls::m_freqStrongMark>().settings("FreqStrongMark"),
    field<&Puls::m_freqMax>().settings("FreqMax"),
    field<&Puls::m_freqMin>().settings("FreqMin"),
    field<&Puls::m_freqMaxMark>().settings("FreqMaxMark"),
    field<&Puls::m_freqMinMark>().settings("FreqMinMark"),
    field<&Puls::m_pulsNum>().settings("PulsNum"),
    field<&Puls::m_relPulsCalc>().settings("RelPulsCalc"),
    field<&Puls::m_startTime>().settings("StartTime"),
    field<&Puls::m_startTimeMark>().settings("StartTimeMark"),
    field<&Puls::m_stopTime>().settings("StopTime"),
    field<&Puls::m_stopTimeMark>().settings("StopTimeMark"),
    field<&Puls::m_duration>().settings("Duration"),
    field<&Puls::m_startFreq>().settings("StartFreq"),
    field<&Puls::m_stopFreq>().settings("StopFreq"),
    field<&Puls::m_durationFreq>().settings("DurationFreq"),
    field<&Puls::m_method>().settings("Method"),
};

using Card = VesCardParms;
constexpr Field<Card> kCardFields[] = {
    field<&Card::m_numSamples>().settings("NumSamples"),
    field<&Card::m_sampFreq>().settings("SampFreq"),
    field<&Card::m_cutFreq>().settings("CutFreq"),
    field<&Card::m_timeExp>().settings("TimeExp"),
    field<&Card::m_storeTime>().settings("StoreTime"),
    field<&Card::m_gain>().settings("Gain").onlyIf([](const Card& c) { return c.hasGain(); }),
    field<&Card::m_circularBuffer>().settings("CircularBuffer"),
    field<&Card::m_playAfter>().settings("PlayAfter"),
    field<&Card::m_spectro>().settings("Spectro"),
    field<&Card::m_fixReplay>().settings("FixReplay"),
    field<&Card::m_replayFreq>().settings("ReplayFreq"),
    field<&Card::m_extStop>().settings("ExtStop"),
};

using AutoRec = VesAutoRecParms;
constexpr Field<AutoRec> kAutoRecFields[] = {
    field<&AutoRec::m_recMinTimeNext>().settings("RecMinTimeNext"),
    field<&AutoRec::m_recMaxTime>().settings("RecMaxTime"),
    field<&AutoRec::m_recMaxCnt>().settings("RecMaxCnt"),
    field<&AutoRec::m_recTimeBefore>().settings("RecTimeBefore"),
    field<&AutoRec::m_recTimeAfter>().settings("RecTimeAfter"),
    field<&AutoRec::m_recBuffAnt>().readOnly("RecBuffAnt"),
    field<&AutoRec::m_fileName>().settings("FileName").atMost(VesAutoRecParms::kFileNameMax),
    field<&AutoRec::m_fileSwitch>().settings("FileSwitch"),
    field<&AutoRec::m_fileMarks>().settings("FileMarks"),
    field<&AutoRec::m_fileSeqStart>().settings("FileSeqStart"),
    field<&AutoRec::m_trigger>().settings("Trigger"),
    field<&AutoRec::m_trigChans>().settings("TrigChans"),
    field<&AutoRec::m_frecMin>().settings("FrecMin"),
    field<&AutoRec::m_frecMax>().settings("FrecMax"),
    field<&AutoRec::m_frecThres>().settings("FrecThres"),
    field<&AutoRec::m_fftWindow>().settings("FftWindow"),
    field<&AutoRec::m_fftSize>().settings("FftSize"),
    field<&AutoRec::m_fftMinOverLap>().settings("FftMinOverLap"),
    field<&AutoRec::m_ampThresProc>().settings("AmpThresProc"),
    field<&AutoRec::m_ampThresDb>().settings("AmpThresDb"),
    field<&AutoRec::m_ampMinDuration>().settings("AmpMinDuration"),
    field<&AutoRec::m_graphics>().settings("Graphics"),
    field<&AutoRec::m_graphicsOverload>().readOnly("GraphicsOverload"),
};

}  // namespace

// ---------------------------------------------------------------------------

VesDefData::VesDefData() : m_copyright(VesRecData::kDefaultCopyright) {}

std::span<const Field<VesDefData>> VesDefData::fields() { return kDefDataFields; }
std::span<const Field<VesPowerParms>> VesPowerParms::fields() { return kPowerFields; }
std::span<const Field<VesRateParms>> VesRateParms::fields() { return kRateFields; }
std::span<const Field<VesPulsParms>> VesPulsParms::fields() { return kPulsFields; }
std::span<const Field<VesCardParms>> VesCardParms::fields() { return kCardFields; }
std::span<const Field<VesAutoRecParms>> VesAutoRecParms::fields() { return kAutoRecFields; }

void VesDefData::load(const vkit::RegCls& reg) { loadFields(fields(), *this, reg, kRegKey); }
bool VesDefData::save(vkit::RegCls& reg) const { return saveRecord(reg, kRegKey, *this); }
void VesPowerParms::load(const vkit::RegCls& reg) { loadFields(fields(), *this, reg, kRegKey); }
bool VesPowerParms::save(vkit::RegCls& reg) const { return saveRecord(reg, kRegKey, *this); }
void VesRateParms::load(const vkit::RegCls& reg) { loadFields(fields(), *this, reg, kRegKey); }
bool VesRateParms::save(vkit::RegCls& reg) const { return saveRecord(reg, kRegKey, *this); }
void VesPulsParms::load(const vkit::RegCls& reg) { loadFields(fields(), *this, reg, kRegKey); }
bool VesPulsParms::save(vkit::RegCls& reg) const { return saveRecord(reg, kRegKey, *this); }
void VesCardParms::load(const vkit::RegCls& reg) { loadFields(fields(), *this, reg, regKey()); }
bool VesCardParms::save(vkit::RegCls& reg) const { return saveRecord(reg, regKey(), *this); }
void VesAutoRecParms::load(const vkit::RegCls& reg) { loadFields(fields(), *this, reg, kRegKey); }
bool VesAutoRecParms::save(vkit::RegCls& reg) const { return saveRecord(reg, kRegKey, *this); }

const char* VesCardParms::regKey(Card card)
{
    switch (card) {
    case Card::CB: return "Settings\\CB";
    case Card::NI: return "Settings\\NI";
    case Card::INES: return "Settings\\INES";
    }
    return "Settings\\NI";
}

const VesDefData& VesDefData::saved()
{
    static const VesDefData defaults = [] {
        VesDefData d;
        vkit::RegCls reg;
        d.load(reg);
        return d;
    }();
    return defaults;
}
