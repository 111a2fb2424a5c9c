#include "document/MarkTables.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"

#include <cmath>
#include <cstdlib>

namespace {

// The upper edge of an imported frequency range, kept in the mark's description.
constexpr const char* kHighPrefix = "High Freq (Hz): ";

double seconds(const CVesSoundDoc& doc, std::int64_t frame)
{
    return static_cast<double>(doc.framesToRealMicros(frame)) / 1e6;
}

}  // namespace

AnnotationTable marksToTable(const CVesSoundDoc& doc)
{
    AnnotationTable table;
    for (const AnaMarkSave& m : doc.marks()) {
        Annotation a;
        const bool range = m.m_first >= 0 && m.m_last > m.m_first;
        a.beginSeconds = seconds(doc, range ? m.m_first : m.m_posX);
        a.endSeconds = seconds(doc, range ? m.m_last : m.m_posX);
        if (m.m_typ == CursorType::Measurement && !m.m_anyY && m.m_posY >= 0) {
            a.lowHz = a.highHz = static_cast<double>(m.m_posY);
            double high = 0;
            if (m.m_desc.rfind(kHighPrefix, 0) == 0 &&
                vkit::parseDouble(std::string_view(m.m_desc).substr(std::string_view(kHighPrefix).size()), high) &&
                high >= a.lowHz)
                a.highHz = high;
        }
        a.channel = m.m_chan == 2 ? 2 : 1;
        a.label = m.m_label;
        table.rows.push_back(std::move(a));
    }
    return table;
}

int addMarksFromTable(CVesSoundDoc& doc, const AnnotationTable& table, std::string& error)
{
    error.clear();
    const std::int64_t frames = doc.lengthFrames();
    std::vector<AnaMarkSave> marks;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const Annotation& a = table.rows[i];
        // The nearest frame, so that a table written from marks reads back onto them.
        const auto toFrame = [&](double s) {
            if (s * 1e6 > 9e18)
                return frames + 1;
            const std::int64_t us = std::llround(s * 1e6);
            std::int64_t f = doc.realMicrosToFrames(us);
            if (std::llabs(doc.framesToRealMicros(f + 1) - us) < std::llabs(doc.framesToRealMicros(f) - us))
                ++f;
            return f;
        };
        const std::int64_t begin = toFrame(a.beginSeconds);
        const std::int64_t end = toFrame(a.endSeconds);
        if (begin < 0 || end > frames || end < begin) {
            error = vkit::formatC("Row %zu (%.6f s to %.6f s) lies outside the recording of %.6f s; no mark was added.",
                                  i + 1, a.beginSeconds, a.endSeconds, seconds(doc, frames));
            return -1;
        }
        AnaMarkSave m;
        m.m_posX = begin;
        if (end > begin) {
            m.m_first = begin;
            m.m_last = end;
        }
        m.m_chan = doc.format().channels == 2 && a.channel == 2 ? 2 : 1;
        m.m_spect = true;
        if (a.lowHz >= 0 && a.highHz >= 0) {
            m.m_typ = CursorType::Measurement;
            m.m_posY = std::llround(a.lowHz);
            m.m_anyY = false;
            if (a.highHz > a.lowHz)
                m.m_desc = kHighPrefix + vkit::formatC("%.6f", a.highHz);
        } else {
            m.m_typ = CursorType::Marking;
            m.m_posY = -1;
            m.m_anyY = true;
        }
        m.m_show = true;
        m.m_showLabel = !a.label.empty();
        m.m_label = a.label;
        marks.push_back(std::move(m));
    }
    for (auto& m : marks)
        doc.addMark(std::move(m));
    if (!marks.empty())
        doc.setModified(true);
    return static_cast<int>(marks.size());
}
