#include "TestSupport.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace vestest {

TempDir::TempDir()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/vestest-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = buf.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

ByteWriter& ByteWriter::tag(std::string_view fourcc)
{
    for (size_t i = 0; i < 4; ++i)
        m_data.push_back(static_cast<std::uint8_t>(i < fourcc.size() ? fourcc[i] : ' '));
    return *this;
}

ByteWriter& ByteWriter::u8(std::uint8_t v)
{
    m_data.push_back(v);
    return *this;
}

ByteWriter& ByteWriter::u16(std::uint16_t v)
{
    m_data.push_back(static_cast<std::uint8_t>(v));
    m_data.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
}

ByteWriter& ByteWriter::u32(std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
}

ByteWriter& ByteWriter::bytes(const Bytes& b)
{
    m_data.insert(m_data.end(), b.begin(), b.end());
    return *this;
}

ByteWriter& ByteWriter::fill(std::size_t n, std::uint8_t v)
{
    m_data.insert(m_data.end(), n, v);
    return *this;
}

ByteWriter& ByteWriter::chunk(std::string_view id, const Bytes& payload, bool pad)
{
    tag(id).u32(static_cast<std::uint32_t>(payload.size())).bytes(payload);
    if (pad && (payload.size() & 1))
        u8(0);
    return *this;
}

Bytes pcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    const std::uint16_t block = static_cast<std::uint16_t>(channels * bits / 8);
    return ByteWriter().u16(1).u16(channels).u32(rate).u32(rate * block).u16(block).u16(bits).data();
}

Bytes riffWave(const Bytes& subChunks)
{
    return ByteWriter().tag("RIFF").u32(static_cast<std::uint32_t>(subChunks.size() + 4)).tag("WAVE").bytes(subChunks).data();
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string sharedDataDir()
{
    const char* env = std::getenv("VES_SHARED_DATA");
    std::string dir = env && *env ? env : VES_SHARED_DIR "/data";
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir : std::string();
}

std::vector<std::string> sharedCrashInputs()
{
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(VES_SHARED_DIR "/crashes", ec)) {
        if (entry.is_regular_file(ec) && entry.path().extension() != ".md")
            out.push_back(entry.path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> sharedRecordings()
{
    std::vector<std::string> out;
    const std::string dir = sharedDataDir();
    if (dir.empty())
        return out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::string ext = it->path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (it->is_regular_file() && ext == ".wav")
            out.push_back(it->path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

DecimalCommaLocale::DecimalCommaLocale()
{
    const char* now = std::setlocale(LC_ALL, nullptr);
    m_previous = now ? now : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        m_active = true;
        return;
    }
    // Compile it where this process can find it.
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string d = std::string(tmp && *tmp ? tmp : "/tmp") + "/vesperon-test-locales";
        fs::create_directories(d);
        const std::string cmd = "localedef -i de_DE -f UTF-8 '" + d + "/de_DE.UTF-8' >/dev/null 2>&1";
        return std::system(cmd.c_str()) == 0 ? d : std::string();
    }();
    if (dir.empty())
        return;
    ::setenv("LOCPATH", dir.c_str(), 1);
    m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

DecimalCommaLocale::~DecimalCommaLocale()
{
    std::setlocale(LC_ALL, m_previous.c_str());
}

}  // namespace vestest
