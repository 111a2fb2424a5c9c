#include "shell/RecentFileList.h"

#include "core/RegCls.h"
#include "soundfiles/VesFileType.h"

#include <algorithm>

void RecentFileList::add(const std::string& path)
{
    if (path.empty())
        return;
    remove(path);
    m_entries.insert(m_entries.begin(), path);
    if (static_cast<int>(m_entries.size()) > kSize)
        m_entries.resize(kSize);
}

void RecentFileList::remove(const std::string& path)
{
    const std::string plain = VesFilePath(path).plain();
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&](const std::string& e) { return VesFilePath(e).plain() == plain; }),
                    m_entries.end());
}

void RecentFileList::load(const vkit::RegCls& reg)
{
    m_entries.clear();
    for (int i = 1; i <= kSize; ++i) {
        const std::string p = reg.readText(kRegKey, "File" + std::to_string(i), "");
        if (!p.empty() && std::none_of(m_entries.begin(), m_entries.end(), [&](const std::string& e) { return e == p; }))
            m_entries.push_back(p);
    }
}

bool RecentFileList::save(vkit::RegCls& reg) const
{
    reg.beginUpdate();
    for (int i = 1; i <= kSize; ++i) {
        const std::string name = "File" + std::to_string(i);
        if (i <= static_cast<int>(m_entries.size()))
            reg.writeText(kRegKey, name, m_entries[static_cast<size_t>(i - 1)]);
        else
            reg.deleteValue(kRegKey, name);
    }
    return reg.endUpdate();
}

std::string RecentFileList::menuText(int index, const std::string& path)
{
    const VesFilePath vp(path);
    std::string name = vp.plain();
    const size_t slash = name.find_last_of('/');
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    std::string escaped;
    for (char c : name) {
        if (c == '&')
            escaped += '&';
        escaped += c;
    }
    if (vp.hasTag())
        escaped += " " + vp.tag();
    return "&" + std::to_string(index + 1) + " " + escaped;
}
