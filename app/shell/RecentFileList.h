// The recent-file list: the last seven recordings opened or saved, newest
// first, each with the type tag it was opened or saved with. Kept in the
// settings file under "Recent File List" as File1 ... File7.
//
// This file needs no Qt.
#pragma once

#include <string>
#include <vector>

namespace vkit {
class RegCls;
}

class RecentFileList {
public:
    static constexpr int kSize = 7;
    static constexpr const char* kRegKey = "Recent File List";

    // Puts `path` first; an entry of the same path (with or without its tag)
    // goes, and the oldest falls off the end.
    void add(const std::string& path);
    void remove(const std::string& path);
    const std::vector<std::string>& entries() const { return m_entries; }

    void load(const vkit::RegCls& reg);
    bool save(vkit::RegCls& reg) const;

    // The menu text of entry i: "&1 name [tag]" (file name without folder).
    static std::string menuText(int index, const std::string& path);

private:
    std::vector<std::string> m_entries;
};
