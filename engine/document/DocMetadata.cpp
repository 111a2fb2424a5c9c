// The document's GUANO metadata: reading and replacing it, and bringing the
// fields that describe the saved stretch up to date on every save.
#include "document/CVesSoundDoc.h"

#include "core/LoggCls.h"
#include "records/GuanoRecord.h"
#include "soundfiles/VesFileType.h"


namespace {

std::string baseName(const std::string& path)
{
    const std::string plain = VesFilePath(path).plain();
    const size_t slash = plain.find_last_of('/');
    return slash == std::string::npos ? plain : plain.substr(slash + 1);
}

}  // namespace

bool CVesSoundDoc::guano(GuanoRecord& out, std::string& error) const
{
    error.clear();
    for (const auto& c : m_foreignChunks)
        if (c.id == "guan")
            return GuanoRecord::parse(c.bytes, out, error);
    out = GuanoRecord();
    return false;
}

void CVesSoundDoc::setGuano(const GuanoRecord& record)
{
    std::vector<std::uint8_t> bytes = record.toBytes();
    m_modified = true;
    for (auto& c : m_foreignChunks)
        if (c.id == "guan") {
            c.bytes = std::move(bytes);
            return;
        }
    m_foreignChunks.push_back({"guan", std::move(bytes)});
}

void CVesSoundDoc::prepareSaveChunks(const std::string& path, std::int64_t startByte, std::int64_t endByte)
{
    m_saveChunks = m_foreignChunks;
    const std::int64_t frames = bytesToFrames(endByte - startByte);
    for (auto& c : m_saveChunks) {
        if (c.id != "guan")
            continue;
        GuanoRecord g;
        std::string error;
        if (!GuanoRecord::parse(c.bytes, g, error)) {
            // A chunk we cannot read goes out as it came in.
            vkit::LoggCls::instance().warning(error);
            continue;
        }
        // Chunks without the version line are not GUANO as we know it: kept as they are.
        if (!g.find(GuanoRecord::kVersionKey))
            continue;
        GuanoRecord::SaveContext ctx;
        ctx.lengthSeconds = static_cast<double>(framesToFileMicros(frames)) / 1e6;
        ctx.lengthChanged = frames != m_metadataFrames;
        ctx.samplerate = m_format.samplesPerSec;
        ctx.timeExpansion = effectiveTimeExp25() / 1000.0;
        ctx.startRealSeconds = static_cast<double>(bytesToRealMicros(startByte)) / 1e6;
        // A stretch saved under a new name remembers the file it came from.
        if ((ctx.lengthChanged || startByte > 0) && baseName(path) != baseName(m_path))
            ctx.originalFilename = baseName(m_path);
        const std::vector<std::uint8_t> before = g.toBytes();
        g.applySave(ctx);
        // Nothing to update: the chunk goes out byte for byte as it came.
        if (std::vector<std::uint8_t> after = g.toBytes(); after != before)
            c.bytes = std::move(after);
    }
}
