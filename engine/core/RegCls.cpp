#include "core/RegCls.h"

#include "core/AtomicFile.h"
#include "core/LoggCls.h"
#include "core/TextTrim.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkit {

namespace {

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

using vkit::trimBlanks;

// Keys are written without leading/trailing backslashes.
std::string normaliseKey(std::string_view key)
{
    while (!key.empty() && key.front() == '\\')
        key.remove_prefix(1);
    while (!key.empty() && key.back() == '\\')
        key.remove_suffix(1);
    return std::string(key);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseHexNumber(std::string_view s, std::uint64_t& out, size_t maxDigits)
{
    s = trimBlanks(s);
    if (s.empty() || s.size() > maxDigits)
        return false;
    std::uint64_t v = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<unsigned>(d);
    }
    out = v;
    return true;
}

std::string unescape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c != '\\' || i + 1 >= s.size()) {
            out += c;
            continue;
        }
        const char n = s[++i];
        switch (n) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x':
            if (i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
                out += static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
                i += 2;
            } else {
                out += 'x';
            }
            break;
        default: out += n; break;
        }
    }
    return out;
}

std::string escape(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    for (unsigned char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string quoted(std::string_view s)
{
    std::string out(1, '"');
    out += escape(s);
    out += '"';
    return out;
}

bool parseValue(std::string_view raw, RegCls::Value& v)
{
    raw = trimBlanks(raw);
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
        v.kind = RegCls::Kind::Text;
        v.text = unescape(raw.substr(1, raw.size() - 2));
        return true;
    }
    if (raw.substr(0, 6) == "dword:") {
        v.kind = RegCls::Kind::Dword;
        return parseHexNumber(raw.substr(6), v.number, 8);
    }
    if (raw.substr(0, 6) == "qword:") {
        v.kind = RegCls::Kind::Qword;
        return parseHexNumber(raw.substr(6), v.number, 16);
    }
    if (raw.substr(0, 4) == "hex:") {
        v.kind = RegCls::Kind::Binary;
        std::string_view rest = raw.substr(4);
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            std::string_view item = trimBlanks(rest.substr(0, comma));
            std::uint64_t b = 0;
            if (!item.empty()) {
                if (!parseHexNumber(item, b, 2))
                    return false;
                v.bytes.push_back(static_cast<std::uint8_t>(b));
            }
            if (comma == std::string_view::npos)
                break;
            rest.remove_prefix(comma + 1);
        }
        return true;
    }
    v.kind = RegCls::Kind::Text;
    v.text = std::string(raw);
    return true;
}

std::string formatValue(const RegCls::Value& v)
{
    char buf[40];
    switch (v.kind) {
    case RegCls::Kind::Text:
        return quoted(v.text);
    case RegCls::Kind::Dword:
        std::snprintf(buf, sizeof buf, "dword:%08llx", static_cast<unsigned long long>(v.number & 0xffffffffu));
        return buf;
    case RegCls::Kind::Qword:
        std::snprintf(buf, sizeof buf, "qword:%016llx", static_cast<unsigned long long>(v.number));
        return buf;
    case RegCls::Kind::Binary: {
        std::string out = "hex:";
        for (size_t i = 0; i < v.bytes.size(); ++i) {
            std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", v.bytes[i]);
            out += buf;
        }
        return out;
    }
    }
    return {};
}

// Decimal text of a value as the program's readers see it.
std::string valueAsText(const RegCls::Value& v)
{
    switch (v.kind) {
    case RegCls::Kind::Text:
        return v.text;
    case RegCls::Kind::Dword:
        return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(v.number)));
    case RegCls::Kind::Qword:
        return std::to_string(static_cast<std::int64_t>(v.number));
    case RegCls::Kind::Binary:
        return std::string(v.bytes.begin(), v.bytes.end());
    }
    return {};
}

RegCls::Section* findSection(std::vector<RegCls::Section>& sections, std::string_view key)
{
    for (auto& s : sections)
        if (equalNoCase(s.key, key))
            return &s;
    return nullptr;
}

void applyEdit(std::vector<RegCls::Section>& sections, const std::string& key, const std::string& name,
               const std::optional<RegCls::Value>& value)
{
    RegCls::Section* sec = findSection(sections, key);
    if (!sec) {
        if (!value)
            return;
        sections.push_back({key, {}});
        sec = &sections.back();
    }
    auto it = std::find_if(sec->values.begin(), sec->values.end(),
                           [&](const RegCls::Value& v) { return equalNoCase(v.name, name); });
    if (!value) {
        if (it != sec->values.end())
            sec->values.erase(it);
        return;
    }
    if (it != sec->values.end())
        *it = *value;
    else
        sec->values.push_back(*value);
}

std::string envOr(const char* name, const std::string& fallback)
{
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

}  // namespace

std::vector<RegCls::Section> RegCls::parse(std::string_view text)
{
    std::vector<Section> sections;
    Section* current = nullptr;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = trimBlanks(text.substr(0, nl));
        text = (nl == std::string_view::npos) ? std::string_view() : text.substr(nl + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const size_t close = line.rfind(']');
            if (close == std::string_view::npos || close == 0) {
                current = nullptr;  // a broken header: ignore its values
                continue;
            }
            const std::string key = normaliseKey(line.substr(1, close - 1));
            current = findSection(sections, key);
            if (!current) {
                sections.push_back({key, {}});
                current = &sections.back();
            }
            continue;
        }
        if (!current)
            continue;
        Value v;
        size_t eq;
        if (line.front() == '"') {
            // A quoted name may hold '=' and escapes.
            size_t close = 1;
            while (close < line.size() && line[close] != '"')
                close += (line[close] == '\\') ? 2 : 1;
            if (close >= line.size())
                continue;
            v.name = unescape(line.substr(1, close - 1));
            eq = line.find('=', close);
        } else {
            eq = line.find('=');
            if (eq != std::string_view::npos)
                v.name = std::string(trimBlanks(line.substr(0, eq)));
        }
        if (eq == std::string_view::npos || v.name.empty() || !parseValue(line.substr(eq + 1), v))
            continue;
        applyEdit(sections, current->key, v.name, v);
        current = findSection(sections, current->key);  // the vector may have moved
    }
    return sections;
}

std::string RegCls::format(const std::vector<Section>& sections)
{
    std::string out = "; Vesperon settings. Written by the program; edit while it is not running.\n";
    for (const auto& s : sections) {
        if (s.values.empty())
            continue;
        out += "\n[";
        out += s.key;
        out += "]\n";
        for (const auto& v : s.values) {
            const bool plainName = std::all_of(v.name.begin(), v.name.end(), [](char c) {
                return c != '=' && c != '"' && c != '\n' && c != '\r' && c != '[' && c != ';' && c != '#';
            }) && v.name == std::string(trimBlanks(v.name));
            out += plainName ? v.name : quoted(v.name);
            out += '=';
            out += formatValue(v);
            out += '\n';
        }
    }
    return out;
}

std::string RegCls::defaultUserFile()
{
    const std::string home = envOr("HOME", "/tmp");
    return envOr("XDG_CONFIG_HOME", home + "/.config") + "/vesperon/vesperon.conf";
}

std::string RegCls::defaultMachineFile()
{
    std::string dirs = envOr("XDG_CONFIG_DIRS", "/etc/xdg");
    std::string first = dirs.substr(0, dirs.find(':'));
    for (size_t start = 0; start <= dirs.size();) {
        const size_t colon = dirs.find(':', start);
        const std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!dir.empty() && ::access((dir + "/vesperon/vesperon.conf").c_str(), R_OK) == 0)
            return dir + "/vesperon/vesperon.conf";
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return (first.empty() ? std::string("/etc/xdg") : first) + "/vesperon/vesperon.conf";
}

RegCls::RegCls() : RegCls(defaultUserFile(), defaultMachineFile()) {}

RegCls::RegCls(std::string userFile, std::string machineFile, std::string root)
    : m_root(std::move(root)), m_userFile(std::move(userFile)), m_machineFile(std::move(machineFile))
{
    m_user.path = m_userFile;
    m_machine.path = m_machineFile;
}

RegCls::~RegCls()
{
    if (m_updateDepth > 0) {
        m_updateDepth = 1;
        endUpdate();
    }
}

void RegCls::refreshLocked(FileCache& cache) const
{
    if (cache.path.empty()) {
        cache.loaded = true;
        return;
    }
    struct stat st {};
    if (::stat(cache.path.c_str(), &st) != 0) {
        if (cache.loaded && cache.size < 0)
            return;
        cache.sections.clear();
        cache.size = -1;
        cache.mtimeNs = -1;
        cache.inode = 0;
    } else {
        const std::int64_t mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (cache.loaded && cache.size == st.st_size && cache.mtimeNs == mtimeNs && cache.inode == st.st_ino)
            return;
        std::string text;
        if (!readWholeFile(cache.path, text, 16 * 1024 * 1024))
            text.clear();
        cache.sections = parse(text);
        cache.size = st.st_size;
        cache.mtimeNs = mtimeNs;
        cache.inode = st.st_ino;
    }
    cache.loaded = true;
    if (&cache == &m_user)
        for (const auto& e : m_pending)
            applyEdit(cache.sections, e.key, e.name, e.value);
}

const RegCls::Value* RegCls::findLocked(std::string_view key, std::string_view name) const
{
    const std::string k = normaliseKey(key);
    for (FileCache* cache : {&m_user, &m_machine}) {
        refreshLocked(*cache);
        if (Section* sec = findSection(cache->sections, k))
            for (const auto& v : sec->values)
                if (equalNoCase(v.name, name))
                    return &v;
    }
    return nullptr;
}

std::int64_t RegCls::readInt(std::string_view key, std::string_view name, std::int64_t def) const
{
    std::lock_guard lock(m_mutex);
    const Value* v = findLocked(key, name);
    if (!v)
        return def;
    if (v->kind == Kind::Dword)
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v->number));
    if (v->kind == Kind::Qword)
        return static_cast<std::int64_t>(v->number);
    std::string_view t = trimBlanks(v->kind == Kind::Text ? std::string_view(v->text) : std::string_view());
    if (!t.empty() && t.front() == '+')
        t.remove_prefix(1);
    std::int64_t out = 0;
    const auto res = std::from_chars(t.data(), t.data() + t.size(), out);
    if (res.ec != std::errc() || t.empty() || res.ptr != t.data() + t.size())
        return def;
    return out;
}

std::string RegCls::readText(std::string_view key, std::string_view name, std::string_view def) const
{
    std::lock_guard lock(m_mutex);
    const Value* v = findLocked(key, name);
    return v ? valueAsText(*v) : std::string(def);
}

std::size_t RegCls::readText(std::string_view key, std::string_view name, char* buffer, std::size_t maxLen,
                             const char* def) const
{
    if (!buffer || maxLen == 0)
        return 0;
    const std::string text = readText(key, name, def ? std::string_view(def) : std::string_view());
    const std::size_t n = std::min(text.size(), maxLen - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
    return n;
}

std::optional<std::vector<std::uint8_t>> RegCls::readBinary(std::string_view key, std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    const Value* v = findLocked(key, name);
    if (!v)
        return std::nullopt;
    if (v->kind == Kind::Binary)
        return v->bytes;
    const std::string t = valueAsText(*v);
    return std::vector<std::uint8_t>(t.begin(), t.end());
}

bool RegCls::hasValue(std::string_view key, std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    return findLocked(key, name) != nullptr;
}

std::vector<std::string> RegCls::valueNames(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    const std::string k = normaliseKey(key);
    std::vector<std::string> names;
    for (FileCache* cache : {&m_user, &m_machine}) {
        refreshLocked(*cache);
        if (Section* sec = findSection(cache->sections, k))
            for (const auto& v : sec->values)
                if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return equalNoCase(n, v.name); }))
                    names.push_back(v.name);
    }
    return names;
}

bool RegCls::writeInt(std::string_view key, std::string_view name, std::int64_t value)
{
    return writeText(key, name, std::to_string(value));
}

bool RegCls::writeText(std::string_view key, std::string_view name, std::string_view text)
{
    Value v;
    v.name = std::string(name);
    v.kind = Kind::Text;
    v.text = std::string(text);
    return modify(key, name, &v);
}

bool RegCls::writeBinary(std::string_view key, std::string_view name, const void* data, std::size_t size)
{
    Value v;
    v.name = std::string(name);
    v.kind = Kind::Binary;
    const auto* p = static_cast<const std::uint8_t*>(data);
    v.bytes.assign(p, p + size);
    return modify(key, name, &v);
}

bool RegCls::deleteValue(std::string_view key, std::string_view name)
{
    return modify(key, name, nullptr);
}

bool RegCls::modify(std::string_view key, std::string_view name, const Value* value)
{
    std::lock_guard lock(m_mutex);
    Edit e{normaliseKey(key), std::string(name), value ? std::optional<Value>(*value) : std::nullopt};
    refreshLocked(m_user);
    applyEdit(m_user.sections, e.key, e.name, e.value);
    m_pending.push_back(std::move(e));
    if (m_updateDepth > 0)
        return true;
    return flushLocked();
}

void RegCls::beginUpdate()
{
    std::lock_guard lock(m_mutex);
    ++m_updateDepth;
}

bool RegCls::endUpdate()
{
    std::lock_guard lock(m_mutex);
    if (m_updateDepth > 0 && --m_updateDepth > 0)
        return true;
    return m_pending.empty() ? true : flushLocked();
}

std::string RegCls::lastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

bool RegCls::flushLocked()
{
    if (m_userFile.empty()) {
        m_pending.clear();
        return true;
    }
    const std::string dir = m_userFile.substr(0, m_userFile.rfind('/'));
    if (!makeDirectories(dir)) {
        m_lastError = "cannot create " + dir + ": " + systemErrorText(errno);
        Logg().error("RegCls: " + m_lastError);
        return false;
    }
    // Another program may have written the file since it was read: merge our
    // edits into its current content under the lock.
    const std::string lockPath = m_userFile + ".lock";
    const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd >= 0)
        ::flock(lockFd, LOCK_EX);
    std::string current;
    std::vector<Section> sections;
    if (readWholeFile(m_userFile, current, 16 * 1024 * 1024))
        sections = parse(current);
    for (const auto& e : m_pending)
        applyEdit(sections, e.key, e.name, e.value);
    std::string error;
    const bool ok = writeFileAtomically(m_userFile, format(sections), &error);
    if (lockFd >= 0) {
        ::flock(lockFd, LOCK_UN);
        ::close(lockFd);
    }
    if (!ok) {
        m_lastError = error;
        Logg().error("RegCls: " + error);
        return false;  // the edits stay pending and visible; a later write retries
    }
    m_lastError.clear();
    m_pending.clear();
    m_user.loaded = false;
    refreshLocked(m_user);
    return true;
}

}  // namespace vkit
