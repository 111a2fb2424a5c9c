#include "soundfiles/LoadedRecording.h"

#include "core/ByteOrder.h"
#include "core/VkitXML.h"
#include "soundfiles/RiffFile.h"
#include "soundfiles/VesFileType.h"

#include <algorithm>

// ---- segment table header ----

SegmentTableHeader::SegmentTableHeader()
{
    writeLe32(&bytes[0], kSize);
    writeLe32(&bytes[4], 4);
    writeLe32(&bytes[12], kTypeVesperonWave);
    setParameters(-40, 10, 10);
    writeLe32(&bytes[32], 0x80000000u);
    writeLe32(&bytes[36], 0x80000000u);
}

int SegmentTableHeader::fileType() const
{
    return static_cast<std::int32_t>(readLe32(&bytes[12]));
}

void SegmentTableHeader::setFileType(int type)
{
    writeLe32(&bytes[12], static_cast<std::uint32_t>(type));
}

int SegmentTableHeader::silentLevelDb() const
{
    return static_cast<std::int32_t>(readLe32(&bytes[16]));
}

int SegmentTableHeader::silentBeforeMs() const
{
    return static_cast<std::int32_t>(readLe32(&bytes[20]));
}

int SegmentTableHeader::silentAfterMs() const
{
    return static_cast<std::int32_t>(readLe32(&bytes[24]));
}

void SegmentTableHeader::setParameters(int silentLevelDb, int beforeMs, int afterMs)
{
    writeLe32(&bytes[16], static_cast<std::uint32_t>(std::clamp(silentLevelDb, -99, 99)));
    writeLe32(&bytes[20], static_cast<std::uint32_t>(std::clamp(beforeMs, 0, 9999)));
    writeLe32(&bytes[24], static_cast<std::uint32_t>(std::clamp(afterMs, 0, 9999)));
}

// ---- loaded recording ----

LoadedRecording::LoadedRecording() = default;
LoadedRecording::~LoadedRecording() = default;
LoadedRecording::LoadedRecording(LoadedRecording&&) noexcept = default;
LoadedRecording& LoadedRecording::operator=(LoadedRecording&&) noexcept = default;
