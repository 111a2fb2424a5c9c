// Settings access. Values live in a plain-text settings file per user,
// $XDG_CONFIG_HOME/vesperon/vesperon.conf (default ~/.config/vesperon/), with a
// machine-wide fallback in $XDG_CONFIG_DIRS (default /etc/xdg)/vesperon/vesperon.conf.
// Reads look in the user file first and fall back to the machine file when the
// value is missing; writes go to the user file, which is rewritten atomically
// (temporary file, fsync, rename) under an advisory lock so that two running
// programs do not lose each other's values.
//
// File format (one key per section, keys and value names compared without
// regard to case, as the values' original store did):
//
//   [Settings\DefaultData]
//   PlotSizemySec="1000000"          text (C escapes \\ \" \n \r \t \xHH)
//   Count=dword:0000000a             32-bit number (reads sign-extended)
//   Big=qword:00000000ffffffff       64-bit number
//   UserColor=hex:00,01,ff           bytes
//
// Integers are written as decimal text; numbers stored by another tool as
// dword/qword read exactly like their decimal text. An unquoted value
// (Name=text) is taken as text, so the file can be edited by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vkit {

class RegCls {
public:
    static constexpr const char* kDefaultRoot = "Software\\Vallomer\\Vesperon4\\";

    // The program's settings: files found through the XDG variables.
    RegCls();
    // Explicit files (tests, tools). machineFile may be empty.
    RegCls(std::string userFile, std::string machineFile, std::string root = kDefaultRoot);
    ~RegCls();
    RegCls(const RegCls&) = delete;
    RegCls& operator=(const RegCls&) = delete;

    const std::string& root() const { return m_root; }
    const std::string& userFile() const { return m_userFile; }
    const std::string& machineFile() const { return m_machineFile; }

    std::int64_t readInt(std::string_view key, std::string_view name, std::int64_t def) const;
    std::string readText(std::string_view key, std::string_view name, std::string_view def) const;
    // Copies at most maxLen-1 characters and a terminator; returns the length copied.
    std::size_t readText(std::string_view key, std::string_view name, char* buffer, std::size_t maxLen,
                         const char* def) const;
    std::optional<std::vector<std::uint8_t>> readBinary(std::string_view key, std::string_view name) const;
    bool hasValue(std::string_view key, std::string_view name) const;
    // Names of the values under a key (user file first, then machine-only ones).
    std::vector<std::string> valueNames(std::string_view key) const;

    bool writeInt(std::string_view key, std::string_view name, std::int64_t value);
    bool writeText(std::string_view key, std::string_view name, std::string_view text);
    bool writeBinary(std::string_view key, std::string_view name, const void* data, std::size_t size);
    bool deleteValue(std::string_view key, std::string_view name);

    // Groups many writes into one rewrite of the file (nesting allowed);
    // the file is written when the outermost group ends.
    void beginUpdate();
    bool endUpdate();

    // The text of the last failure to write the file, empty when none.
    std::string lastError() const;

    // Default file locations from the environment.
    static std::string defaultUserFile();
    static std::string defaultMachineFile();

    enum class Kind { Text, Dword, Qword, Binary };
    struct Value {
        std::string name;
        Kind kind = Kind::Text;
        std::string text;              // Text
        std::uint64_t number = 0;      // Dword, Qword
        std::vector<std::uint8_t> bytes;  // Binary
    };
    struct Section {
        std::string key;
        std::vector<Value> values;
    };
    // Parser and writer of the file format above (exposed for tests and fuzzing).
    static std::vector<Section> parse(std::string_view text);
    static std::string format(const std::vector<Section>& sections);

private:
    struct FileCache {
        std::string path;
        std::vector<Section> sections;
        std::int64_t mtimeNs = -1;
        std::int64_t size = -1;
        std::uint64_t inode = 0;
        bool loaded = false;
    };

    const Value* findLocked(std::string_view key, std::string_view name) const;
    void refreshLocked(FileCache& cache) const;
    bool modify(std::string_view key, std::string_view name, const Value* value);
    bool flushLocked();

    std::string m_root;
    std::string m_userFile;
    std::string m_machineFile;
    mutable std::recursive_mutex m_mutex;
    mutable FileCache m_user;
    mutable FileCache m_machine;
    // Pending edits while an update group is open, applied to the file's
    // current content at the end.
    struct Edit {
        std::string key, name;
        std::optional<Value> value;
    };
    std::vector<Edit> m_pending;
    int m_updateDepth = 0;
    std::string m_lastError;
};

}  // namespace vkit
