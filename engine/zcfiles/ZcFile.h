// Zero-crossing files in the Anabat format (types 129 to 132): the dots of a
// frequency-divided signal, the interval between each transition of the
// divided signal and the one before, with the header texts, the division
// ratio and, in type 132, the start time, a GPS text and a GUANO block.
//
// They live in a folder of their own rather than among the sound file types
// (soundfiles/) because they hold no samples: a reader there fills a
// LoadedRecording with sample stores, which a ZC file cannot give.
//
// The layout (little-endian):
//   0x000  u16  pointer to the data-information table (0x011A)
//   0x003  u8   file type, 129 … 132
//   0x006  275  text header: TAPE 8, DATE 8, LOC 40, SPECIES 50, SPEC 16,
//               NOTE 73, NOTE1 80; blank- or NUL-padded (then one spare byte)
//   table  u16  data pointer, u16 RES1, u8 DIVRATIO, u8 VRES
//   0x120  type 132: year u16, month, day, hour, minute, second,
//               hundredths u8, microseconds u16; ID 6; GPS text 0x130–0x14F
//   0x150  type 132: a GUANO block up to the data pointer (may be absent)
//
// The data, types 130 to 132 (one record after another):
//   0x00–0x7F  7-bit two's complement difference to the interval before
//   0x80–0x9F  an interval of 13 bits: 5 here, 8 in the next byte
//   0xA0–0xBF  21 bits in 3 bytes; 0xC0–0xDF 29 bits in 4 bytes
//   0xE0–0xFF  a status run: types 131 and 132 give the status in the low
//              two bits and the number of dots it covers in the next byte;
//              type 130 gives the number in the low five bits (the dots are
//              off). The run covers the dots that follow it.
// Type 129 (as the open R reader of the format decodes it): bytes below
// 0x80 add an unsigned difference; 0xF9–0xFF mark the next (byte − 248) dots
// off; any other byte starts an interval of 11 bits (its low 3 and the next
// byte) shifted left by bits 3–6 of the first byte.
//
// Intervals are counted in ticks of 25 ms / RES1 (RES1 nominally 25000, so a
// tick of 1 µs): a dot's interval in µs is ticks × 25000 / RES1, as the
// open readers scale it. A dot's time is the sum of the intervals up to and
// including its own, from the start of the file. Its frequency follows the
// convention of the open readers (ZCANT, AnabatTools): a divide-by-DIVRATIO
// signal makes one transition per DIVRATIO zero crossings of the input, so
//     f = DIVRATIO / (2 × interval).
// Statuses: 0 out of range, 1 off, 2 normal (every dot not covered by a
// run), 3 main.
#pragma once

#include "records/GuanoRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zcfile {

enum class DotStatus : std::uint8_t { OutOfRange = 0, Off = 1, Normal = 2, Main = 3 };
const char* statusName(DotStatus s);

// A status run as it stands in the data: before dot `firstDot`, the raw
// status byte (0xE0…0xFF) and, for types 131 and 132, the count byte.
struct StatusRun {
    std::size_t firstDot = 0;
    std::uint8_t code = 0xE1;
    int count = 0;
    // The low two bits of the code in types 131 and 132; off in 129 and 130.
    DotStatus status = DotStatus::Off;
};

struct Timestamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, hundredths = 0, micros = 0;
    bool present() const { return year != 0; }
    bool valid() const;
    // "2024-06-02T22:53:40.123456"; empty when absent.
    std::string iso() const;
};

// The text fields of the header at their offsets from 0x006.
enum class TextField { Tape, Date, Loc, Species, Spec, Note, Note1 };

struct Dot {
    double timeUs = 0;        // end of its interval, from the start of the file
    double intervalUs = 0;
    double freqHz = 0;        // 0 for an interval of 0
    DotStatus status = DotStatus::Normal;
};

class ZcFile {
public:
    static constexpr std::size_t kTextOffset = 0x006;
    static constexpr std::size_t kTextBytes = 275;
    static constexpr std::size_t kTableOffset = 0x11A;
    static constexpr std::size_t kTimeOffset = 0x120;
    static constexpr std::size_t kIdOffset = 0x12A;
    static constexpr std::size_t kGpsOffset = 0x130;
    static constexpr std::size_t kGuanoOffset = 0x150;
    static constexpr std::uint32_t kMaxInterval = (1u << 29) - 1;

    ZcFile();

    int type = 132;
    std::uint16_t res1 = 25000;
    std::uint8_t divRatio = 8;
    std::uint8_t vres = 0x52;
    Timestamp time;                      // type 132
    std::vector<std::uint32_t> intervals;  // ticks, as stored
    std::vector<StatusRun> runs;         // in data order
    std::vector<std::uint8_t> guano;     // the raw block at 0x150 (type 132); empty when none
    std::vector<std::string> warnings;   // from reading: what was odd but kept

    // Text fields, trimmed of blanks and NULs; the setter pads with blanks.
    std::string text(TextField f) const;
    void setText(TextField f, const std::string& value);
    std::string id() const;
    void setId(const std::string& value);
    std::string gps() const;
    void setGps(const std::string& value);

    // The parsed GUANO block: false when there is none or it is bad (`error`
    // then says why; empty for none).
    bool guanoRecord(GuanoRecord& out, std::string& error) const;
    void setGuano(const GuanoRecord& g);

    double ticksToMicros(double ticks) const { return ticks * 25000.0 / res1; }
    double frequencyOf(std::uint32_t intervalTicks) const;
    // Every dot's status (runs applied to the default, normal).
    std::vector<DotStatus> statuses() const;
    std::vector<Dot> dots() const;
    // The end of the last interval, µs.
    double lengthUs() const;

    // The fields as they are stored (padded to their width).
    const char* rawText() const { return m_text.data(); }
    std::string rawId() const { return std::string(m_id.begin(), m_id.end()); }
    std::string rawGps() const { return std::string(m_gps.begin(), m_gps.end()); }

    // The bytes before the data pointer as read, kept so that a file read
    // and written again is the same byte for byte (reserved bytes and
    // unknown padding included); the fields above are written over them.
    std::vector<std::uint8_t> rawHeader;

private:
    std::array<char, kTextBytes> m_text{};
    std::array<char, 6> m_id{};
    std::array<char, 32> m_gps{};
    friend bool parse(const std::uint8_t*, std::size_t, ZcFile&, std::string&);
};

// Whether the first bytes look like a ZC file (table pointer 0x011A, type 129 … 132).
bool looksLikeZc(const std::uint8_t* head, std::size_t size);
// Whether a path names a ZC file by its content (or, when unreadable, by a
// ".zc" extension or one ending in '#', the detectors' naming).
bool isZcPath(const std::string& path);

// Reads a ZC file from memory. False with a message naming the fault (and its
// byte offset) on bad input; never reads past `size`.
bool parse(const std::uint8_t* data, std::size_t size, ZcFile& out, std::string& error);
bool readFile(const std::string& path, ZcFile& out, std::string& error);

// The bytes of a file of type 130 … 132 (129 is read only). The writer's
// rules: the first interval and every interval after a difference of 64 or
// more is absolute, in the fewest bytes that hold it; intervals of 2^29
// ticks or more are refused; text fields are blank-padded; the data pointer
// follows the GUANO block. False with a message when the file cannot be
// written so.
bool encode(const ZcFile& file, std::vector<std::uint8_t>& out, std::string& error);
// Writes atomically (a temporary file renamed over the target).
bool writeFile(const std::string& path, const ZcFile& file, std::string& error);

}  // namespace zcfile
