#include "display/ColorMapEditing.h"

#include "display/ColorPalettes.h"
#include "display/DisplaySettings.h"
#include "records/RecordBytes.h"

#include <chrono>
#include <limits>

std::string colorMapDbText(std::int32_t thousandths)
{
    // Two decimals of a value in thousandths: rounded half away from zero.
    const std::int64_t v = thousandths;
    const std::int64_t hundredths = (v >= 0 ? v + 5 : v - 5) / 10;
    return formatNumEdit(hundredths, NumEditFormat{2, 0, 0, true, false});
}

std::string checkColorMapRow(VesColorMapRad& band)
{
    if (band.m_dbFrom == 0 && band.m_dbTo == 0)
        return {};
    normalizeColorMapBand(band);
    if (band.m_dbTo >= band.m_dbFrom)
        return "From (" + colorMapDbText(band.m_dbFrom) + ") must be greater then To (" + colorMapDbText(band.m_dbTo) +
               ").";
    return {};
}

std::string colorMapStoredName(std::string_view typed)
{
    std::size_t b = 0, e = typed.size();
    while (b < e && (typed[b] == ' ' || typed[b] == '\t'))
        ++b;
    while (e > b && (typed[e - 1] == ' ' || typed[e - 1] == '\t'))
        --e;
    std::string name(typed.substr(b, e - b));
    // At most 30 characters: count the lead bytes.
    int chars = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 && ++chars > kColorMapNameChars) {
            name.resize(i);
            break;
        }
    }
    return vesrec::cutText(name, VesColorMap::kNameSize - 1);
}

std::int64_t colorMapTimeNow()
{
    // 1601-01-01 to 1970-01-01: 11644473600 s.
    const auto since1970 = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return (since1970.count() + 11644473600LL * 1000000LL) * 10;
}

void storeColorMapRows(VesColorMap& map, const std::array<VesColorMapRad, VesColorMap::kBands>& rows,
                       std::string_view name, std::int64_t modTime)
{
    map.m_name = colorMapStoredName(name);
    map.m_modTime = modTime;
    int last = 0;
    for (std::size_t i = 0; i < VesColorMap::kBands; ++i) {
        VesColorMapRad band = rows[i];
        if (band.m_dbFrom != band.m_dbTo) {
            normalizeColorMapBand(band);
            last = static_cast<int>(i) + 1;
        }
        band.m_firstPenIx = std::numeric_limits<std::int32_t>::min();
        map.m_bands[i] = band;
    }
    map.m_colorMapRader = last;
}

void upgradeColorMaps(std::vector<VesColorMap>& maps)
{
    for (VesColorMap& m : maps)
        UpgradeColorMap(m);
}
