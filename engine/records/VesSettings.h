// The settings records kept under "Settings\..." and their load from and save
// to their key through vkit::RegCls. Loading keeps the record's value for
// every missing value; saving writes the values in the order of the record's
// field table (VesSettings.cpp), as one update of the settings file. Integers are stored as decimal
// text and flags as 0 or 1 (true only for 1); numbers stored as 32- or 64-bit
// values by another tool read like their decimal text.
#pragma once

#include "core/RegCls.h"
#include "records/AutoRecCodes.h"
#include "records/RecordFields.h"

#include <cstdint>
#include <span>
#include <string>

// Default data ("Settings\DefData"): the defaults of the recording record and
// of a new document's sound format, the sampling defaults of the three
// acquisition cards and the chosen sound devices. Release, Version, Build,
// Copyright, Date and Time are written for information and not read back; At
// is read back as at most 79 bytes, By as at most 39.
struct VesDefData {
    static constexpr const char* kRegKey = "Settings\\DefData";

    std::int32_t m_release = 4;
    std::int32_t m_version = 0;
    std::int32_t m_build = 0;
    std::string m_copyright;  // the recording record's default copyright text
    std::int32_t m_timeExp25 = 1000;
    std::int32_t m_chans = 1;
    std::int32_t m_bits = 16;
    std::int32_t m_rate = 44100;
    std::string m_date;
    std::string m_time;
    std::string m_at;
    std::string m_by;
    std::int32_t m_cBoardSamp = 200000;
    std::int32_t m_niDaqSamp = 200000;
    std::int32_t m_inesSamp = 200000;
    std::string m_playDev;  // name of the chosen output device
    std::string m_recDev;   // name of the chosen input device
    // The recording record's two integers of the fixed layout (not stored).
    std::int32_t m_spare1 = -1;
    std::int32_t m_spare2 = -1;

    VesDefData();
    static std::span<const vesrec::Field<VesDefData>> fields();
    void load(const vkit::RegCls& reg);
    bool save(vkit::RegCls& reg) const;
    bool operator==(const VesDefData&) const = default;
    // The user's saved settings, read once per process: the tools without a
    // window (the CLI, the Python package) open recordings as the program does.
    static const VesDefData& saved();
};

// Power spectrum settings ("Settings\Power"). ZeroV and MaxV are stored as
// round(value x 1000) and read back divided by 1000. The frequency range is
// not stored.
struct VesPowerParms {
    static constexpr const char* kRegKey = "Settings\\Power";

    bool m_leftChan = true;
    bool m_rightChan = true;
    bool m_contUpd = true;
    bool m_logScale = true;
    std::int32_t m_fftSize = 0;    // samples; 0 = automatic
    std::int32_t m_fftWindow = 2;  // 1 Parzen, 2 Hanning, 4 Hamming, 8 Cosine, other rectangular
    std::int32_t m_zeroDB = -90;   // bottom of the dB axis
    std::int32_t m_maxDB = 0;      // top of the dB axis
    double m_zeroV = 0.0;          // bottom of the linear axis (V^2)
    double m_maxV = 1.0;           // top of the linear axis (V^2)
    std::int32_t m_maxFrequency = 0;  // Hz; 0 or less: half the rate
    std::int32_t m_minFrequency = 0;  // Hz

    static std::span<const vesrec::Field<VesPowerParms>> fields();
    void load(const vkit::RegCls& reg);
    bool save(vkit::RegCls& reg) const;
    bool operator==(const VesPowerParms&) const = default;
};

// Pulse interval / pulse length settings ("Settings\Rate").
struct VesRateParms {
    static constexpr const char* kRegKey = "Settings\\Rate";

    bool m_leftChan = true;
    bool m_rightChan = true;
    bool m_contUpd = false;
    bool m_autoCalc = true;
    bool m_intervalMode = true;     // not stored
    std::int32_t m_histStart = 0;   // ms
    std::int32_t m_histEnd = 1000;  // ms
    std::int32_t m_barAnt = 25;
    std::int32_t m_delay = 10;      // ms
    std::int32_t m_threshold = -1;  // 1/32768 of full scale; 0 or less: from the data
    std::int32_t m_spare1 = -1;     // carried along unchanged, not stored
    std::int32_t m_spare2 = 9;

    static std::span<const vesrec::Field<VesRateParms>> fields();
    void load(const vkit::RegCls& reg);
    bool save(vkit::RegCls& reg) const;
    bool operator==(const VesRateParms&) const = default;
};

// Pulse characteristics settings ("Settings\Puls"). When AmpSeparationMySec or
// DurTimeMySec is missing, AmpSeparation or DurTime (ms) x 1000 is taken.
// The FFT size, window and overlap come from the view and are not stored.
struct VesPulsParms {
    static constexpr const char* kRegKey = "Settings\\Puls";

    bool m_leftChan = false;
    bool m_rightChan = false;
    bool m_contUpd = true;
    bool m_autoCalc = false;
    std::int32_t m_plotSize = 0;
    std::int32_t m_fontSize = 0;
    std::int32_t m_minFrequency = 0;         // Hz; below 1: no limit
    std::int32_t m_maxFrequency = 0;         // Hz; below 1: no limit
    // Defaults that find whole calls in typical recordings: a gap of 1 ms
    // ends a pulse (the dips at a call's zero crossings do not), pulses up
    // to 0.3 ms long are clicks, the contour's bands may skip 2 kHz below
    // the spectrogram threshold of −40 dB (the level of quiet calls in a
    // 16-bit detector recording), and the oscillogram threshold is 10^−1.6
    // of full scale.
    std::int32_t m_freqThreshold = -4000;    // 1/100 dB
    std::int32_t m_freqSeparation = 2000;    // Hz
    std::int32_t m_ampSeparationMySec = 1000;  // µs
    std::int32_t m_durTimeMySec = 300;       // µs
    std::int32_t m_ampThres = -1600;         // 1/100 dB
    bool m_ampMaxAmp = false;
    bool m_energy = false;
    bool m_freqStrong = false;
    bool m_freqStrongMark = false;
    bool m_freqMax = false;
    bool m_freqMin = false;
    bool m_freqMaxMark = false;
    bool m_freqMinMark = false;
    bool m_pulsNum = false;
    bool m_relPulsCalc = false;
    bool m_startTime = false;
    bool m_startTimeMark = false;
    bool m_stopTime = false;
    bool m_stopTimeMark = false;
    bool m_duration = false;
    bool m_startFreq = false;
    bool m_stopFreq = false;
    bool m_durationFreq = false;
    std::int32_t m_method = 0;
    std::int32_t m_fftSize = 0;     // frames, from the view; not stored
    std::int32_t m_fftWindow = 2;   // from the view; not stored
    std::int32_t m_fftOverlap = 0;  // frames, from the view; not stored

    static std::span<const vesrec::Field<VesPulsParms>> fields();
    void load(const vkit::RegCls& reg);
    bool save(vkit::RegCls& reg) const;
    bool operator==(const VesPulsParms&) const = default;
};

// Acquisition card settings, one key per card: "Settings\CB", "Settings\NI",
// "Settings\INES". Only NI and INES store a Gain.
struct VesCardParms {
    enum class Card { CB, NI, INES };

    Card m_card = Card::NI;
    std::int32_t m_numSamples = 65536;
    std::int32_t m_sampFreq = 200000;  // Hz
    std::int32_t m_cutFreq = 0;        // Hz
    std::int32_t m_timeExp = 10;
    std::int32_t m_storeTime = 0;
    std::int32_t m_gain = 1;
    bool m_circularBuffer = false;
    bool m_playAfter = false;
    bool m_spectro = false;
    bool m_fixReplay = false;
    std::int32_t m_replayFreq = 44100;  // Hz
    bool m_extStop = false;

    explicit VesCardParms(Card card = Card::NI) : m_card(card) {}
    static const char* regKey(Card card);
    const char* regKey() const { return regKey(m_card); }
    bool hasGain() const { return m_card != Card::CB; }

    static std::span<const vesrec::Field<VesCardParms>> fields();
    void load(const vkit::RegCls& reg);
    bool save(vkit::RegCls& reg) const;
    bool operator==(const VesCardParms&) const = default;
};

// Automatic recording settings ("Settings\AutoRec"). RecBuffAnt (input buffer
// count) and GraphicsOverload (display backlog limit) are read but never
// written.
struct VesAutoRecParms {
    static constexpr const char* kRegKey = "Settings\\AutoRec";
    static constexpr std::size_t kFileNameMax = 259;  // bytes, in a 260-byte field

    std::int32_t m_recMinTimeNext = 0;  // ms
    std::int32_t m_recMaxTime = 0;      // ms; 0 = no limit
    std::int32_t m_recMaxCnt = 0;       // 0 = no limit
    std::int32_t m_recTimeBefore = 0;   // ms
    std::int32_t m_recTimeAfter = 0;    // ms
    std::int32_t m_recBuffAnt = 64;     // input buffers
    std::string m_fileName;
    autorec::FileNaming m_fileSwitch = autorec::FileNaming::SingleFile;
    std::int32_t m_fileSeqStart = 1;
    autorec::MarkType m_fileMarks = autorec::MarkType::RelativeTime;
    autorec::TriggerChannels m_trigChans = autorec::TriggerChannels::Both;
    autorec::TriggerType m_trigger = autorec::TriggerType::Level;
    std::int32_t m_frecMin = 0;         // Hz
    std::int32_t m_frecMax = -1;        // Hz
    std::int32_t m_frecThres = 0;       // 1/100 dB
    std::int32_t m_fftWindow = 2;
    std::int32_t m_fftSize = 256;
    std::int32_t m_fftMinOverLap = 0;   // percent
    std::int32_t m_ampThresProc = 0;    // 1/100 %
    std::int32_t m_ampThresDb = 0;      // 1/100 dB
    std::int32_t m_ampMinDuration = 0;  // ms
    bool m_graphics = true;
    std::int32_t m_graphicsOverload = 25;  // pending display updates

    static std::span<const vesrec::Field<VesAutoRecParms>> fields();
    void load(const vkit::RegCls& reg);
    bool save(vkit::RegCls& reg) const;
    bool operator==(const VesAutoRecParms&) const = default;
};
