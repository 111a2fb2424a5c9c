#include "display/CursorMarks.h"

#include "core/NumberText.h"
#include "display/PlotAxes.h"
#include "display/PlotLayout.h"
#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace {

CursorType g_cursorType = CursorType::Marking;

std::int64_t stepCount(const PlotLayout& L)
{
    // Samples of one pixel column, at least one.
    if (L.plotWidth <= 0)
        return 1;
    const std::int64_t px = std::max<std::int64_t>(1, L.plotWidth / std::max<std::int64_t>(1, L.device.twipsPerPixel));
    return std::max<std::int64_t>(1, L.samplesPerPlot / px);
}

}  // namespace

bool isMeasurementType(CursorType t)
{
    return t == CursorType::Measurement || t == CursorType::LargeMeasurement;
}

CursorType currentCursorType() { return g_cursorType; }
void setCurrentCursorType(CursorType t) { g_cursorType = t; }

void cursorTypeForDocument(int channels)
{
    if (channels < 2 && g_cursorType == CursorType::MarkingStereo)
        g_cursorType = CursorType::Marking;
}

std::int64_t stepSampleByPixel(const PlotLayout& L, std::int64_t sample, int dir, std::int64_t lengthFrames)
{
    const std::int64_t step = stepCount(L);
    const std::int64_t next = dir < 0 ? sample - step : sample + step;
    return std::clamp<std::int64_t>(next, 0, std::max<std::int64_t>(0, lengthFrames));
}

std::int64_t stepValueByPixel(const PlotLayout& L, std::int64_t value, bool frequency, int dir, std::size_t channelIndex)
{
    const int sign = dir > 0 ? 1 : -1;
    std::int64_t lo = frequency ? L.spectMin : std::max<std::int64_t>(L.ampMin, -10000);
    std::int64_t hi = frequency ? L.spectMax : std::min<std::int64_t>(L.ampMax, 10000);
    if (hi < lo)
        std::swap(lo, hi);
    std::int64_t next = value + sign;
    if (channelIndex < L.channels.size()) {
        const TwipsRect& pane = frequency ? L.channels[channelIndex].freqPane : L.channels[channelIndex].oscPane;
        if (!pane.empty() && pane.height() > 0) {
            const double perPixel = static_cast<double>(hi - lo) * static_cast<double>(L.device.twipsPerPixel) /
                                    static_cast<double>(pane.height());
            const auto delta = static_cast<std::int64_t>(perPixel);
            if (delta >= 1)
                next = value + sign * delta;
        }
    }
    return std::clamp(next, lo, hi);
}

AnaMarkSave markFromCursor(const CursorRecord& c)
{
    AnaMarkSave m;
    m.m_posX = std::max<std::int64_t>(0, c.position);
    m.m_anyY = !c.hasValue;
    m.m_posY = c.hasValue ? c.value : 0;
    m.m_chan = channelSelCode(c.channel);
    m.m_spect = c.inFrequencyPane;
    m.m_typ = c.type;
    m.m_show = true;
    m.m_showLabel = c.showLabel;
    m.m_label = c.label;
    return m;
}

CursorRecord cursorFromMark(const AnaMarkSave& m)
{
    CursorRecord c;
    c.position = m.m_posX;
    c.hasValue = !m.m_anyY;
    c.value = m.m_anyY ? -1 : m.m_posY;
    c.channel = (m.m_chan == 1 || m.m_chan == 2) ? channelSelFromCode(m.m_chan) : ChannelSel::Both;
    c.inFrequencyPane = m.m_spect;
    c.type = isMeasurementType(m.m_typ) || m.m_typ == CursorType::MarkingStereo ? m.m_typ : CursorType::Marking;
    c.label = m.m_label;
    c.showLabel = m.m_showLabel;
    return c;
}

int findMark(const CVesSoundDoc& doc, int markNr)
{
    const auto& marks = doc.marks();
    for (std::size_t i = 0; i < marks.size(); ++i)
        if (marks[i].m_markNr == markNr)
            return static_cast<int>(i);
    return -1;
}

AnaMarkSave* activeMark(CVesSoundDoc& doc)
{
    const int i = doc.activeMark();
    if (i < 0 || i >= static_cast<int>(doc.marks().size()))
        return nullptr;
    return &doc.marks()[static_cast<std::size_t>(i)];
}

void setActiveMarkNr(CVesSoundDoc& doc, int markNr)
{
    const int index = findMark(doc, markNr);
    for (std::size_t i = 0; i < doc.marks().size(); ++i)
        doc.marks()[i].m_select = static_cast<int>(i) == index;
    doc.setActiveMark(index);
}

int addCursorMark(CVesSoundDoc& doc, const CursorRecord& cursor, const std::string& label, const std::string& comment)
{
    AnaMarkSave m = markFromCursor(cursor);
    m.m_desc = limitChars(comment, kMarkDescChars);
    const std::size_t index = doc.addMark(m);
    AnaMarkSave& added = doc.marks()[index];
    added.m_label = label.empty() ? vkit::formatC("Mark %d", added.m_markNr) : limitChars(label, kMarkLabelChars);
    const int nr = added.m_markNr;
    setActiveMarkNr(doc, nr);
    doc.setModified(true);
    return nr;
}

bool removeMark(CVesSoundDoc& doc, int markNr)
{
    setActiveMarkNr(doc, -1);
    const int index = findMark(doc, markNr);
    if (index < 0)
        return false;
    doc.marks().erase(doc.marks().begin() + index);
    doc.setModified(true);
    return true;
}

std::string limitChars(const std::string& text, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;  // a continuation byte
        if (chars == maxChars)
            return text.substr(0, i);
        ++chars;
    }
    return text;
}

namespace {

bool sameMark(const AnaMarkSave& a, const AnaMarkSave& b)
{
    return a.m_posX == b.m_posX && a.m_posY == b.m_posY && a.m_anyY == b.m_anyY && a.m_chan == b.m_chan &&
           a.m_spect == b.m_spect && a.m_typ == b.m_typ && a.m_show == b.m_show && a.m_showLabel == b.m_showLabel &&
           a.m_select == b.m_select && a.m_label == b.m_label && a.m_desc == b.m_desc;
}

}  // namespace

MarkSyncResult syncMarkDisplays(std::vector<AnaMarkSave>& view, const std::vector<AnaMarkSave>& doc)
{
    std::vector<const AnaMarkSave*> ordered;
    ordered.reserve(doc.size());
    for (const AnaMarkSave& m : doc)
        ordered.push_back(&m);
    // By mark number, equal numbers in their order. (A plain sort with the
    // position as tie-break: std::stable_sort's temporary buffer trips
    // clang's AddressSanitizer on libstdc++ 12.)
    std::sort(ordered.begin(), ordered.end(), [](const AnaMarkSave* a, const AnaMarkSave* b) {
        return a->m_markNr != b->m_markNr ? a->m_markNr < b->m_markNr : a < b;
    });
    std::vector<std::size_t> byNumber(view.size());
    std::iota(byNumber.begin(), byNumber.end(), std::size_t{0});
    std::sort(byNumber.begin(), byNumber.end(), [&view](std::size_t a, std::size_t b) {
        return view[a].m_markNr != view[b].m_markNr ? view[a].m_markNr < view[b].m_markNr : a < b;
    });
    std::vector<AnaMarkSave> sortedView;
    sortedView.reserve(view.size());
    for (std::size_t k : byNumber)
        sortedView.push_back(std::move(view[k]));
    view = std::move(sortedView);

    MarkSyncResult r;
    std::vector<AnaMarkSave> out;
    out.reserve(ordered.size());
    std::size_t i = 0, j = 0;
    while (i < view.size() || j < ordered.size()) {
        if (j == ordered.size() || (i < view.size() && view[i].m_markNr < ordered[j]->m_markNr)) {
            ++r.removed;  // only in the view
            ++i;
        } else if (i == view.size() || ordered[j]->m_markNr < view[i].m_markNr) {
            ++r.added;
            out.push_back(*ordered[j++]);
        } else {
            if (!sameMark(view[i], *ordered[j]))
                ++r.changed;
            out.push_back(*ordered[j]);
            ++i, ++j;
        }
    }
    view.swap(out);
    return r;
}

std::int64_t scrollStartForMark(std::int64_t markSample, std::int64_t samplesPerPlot, std::int64_t lengthFrames)
{
    return std::clamp<std::int64_t>(markSample - samplesPerPlot / 2, 0, std::max<std::int64_t>(0, lengthFrames));
}

std::string frequencyDifferenceText(std::int64_t diffHz)
{
    const std::int64_t mag = std::llabs(diffHz);
    const double khz = static_cast<double>(diffHz) / 1000.0;
    if (mag < 1000)
        return vkit::formatC("%d Hz", static_cast<int>(diffHz));
    if (mag <= 9999)
        return vkit::formatC("%5.3f kHz", khz);
    if (mag <= 99999)
        return vkit::formatC("%5.2f kHz", khz);
    if (mag <= 999999)
        return vkit::formatC("%5.1f kHz", khz);
    return vkit::formatC("%5.0f kHz", khz);
}

std::vector<std::vector<std::string>> markDistanceTable(const std::vector<AnaMarkSave>& marks, const MicrosOfFrames& micros)
{
    const std::size_t n = marks.size();
    std::vector<std::vector<std::string>> t(n + 1, std::vector<std::string>(n + 1));
    for (std::size_t k = 0; k < n; ++k) {
        t[0][k + 1] = marks[k].m_label;
        t[k + 1][0] = marks[k].m_label;
    }
    for (std::size_t r = 0; r < n; ++r)
        for (std::size_t c = 0; c < n; ++c) {
            const AnaMarkSave& row = marks[r];
            const AnaMarkSave& col = marks[c];
            std::string& cell = t[r + 1][c + 1];
            if (r > c) {
                const std::int64_t us = micros(row.m_posX - col.m_posX);
                cell = vkit::formatC("%lld ms", static_cast<long long>(us / 1000));
            } else if (r < c && row.m_spect && col.m_spect && !row.m_anyY && !col.m_anyY) {
                cell = frequencyDifferenceText(row.m_posY - col.m_posY);
            } else {
                cell = "-";
            }
        }
    return t;
}

std::string tableText(const std::vector<std::vector<std::string>>& table)
{
    std::string out;
    for (const auto& row : table) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c)
                out += '\t';
            out += row[c];
        }
        out += "\r\n";
    }
    return out;
}

std::string timeReadout(const PlotLayout& L, std::int64_t sample, bool fine)
{
    const int type = fine ? L.fineTimeLabelType : L.timeLabelType;
    return formatTimeValue(L.sampleToTimeNs(sample), type) + " " + timeUnitText(type);
}

std::string timeDifferenceReadout(const PlotLayout& L, std::int64_t samples)
{
    const int type = L.fineTimeLabelType;
    const std::int64_t ns = samples < 0 ? -L.sampleToTimeNs(-samples) : L.sampleToTimeNs(samples);
    return formatTimeValue(ns, type) + " " + timeUnitText(type);
}

std::string cursorReadout(const PlotLayout& L, const CursorRecord& c)
{
    if (!c.isSet())
        return {};
    std::string t = timeReadout(L, c.position);
    if (isMeasurementType(c.type) && c.hasValue)
        t += " " + (c.inFrequencyPane ? L.freqScale.readout(static_cast<double>(c.value))
                                      : L.ampScale.readout(static_cast<double>(c.value)));
    return t;
}

std::string selectionReadout(const PlotLayout& L, std::int64_t a, std::int64_t b)
{
    const std::int64_t first = std::min(a, b), last = std::max(a, b);
    return timeReadout(L, first, true) + " - " + timeReadout(L, last, true) + " Distance: " +
           timeDifferenceReadout(L, last - first);
}

std::string mouseReadout(const PlotLayout& L, std::int64_t sample, bool frequencyPane, double value,
                         const CursorRecord* reference)
{
    const bool withRef = reference && reference->isSet() && isMeasurementType(reference->type) &&
                         reference->hasValue && reference->inFrequencyPane == frequencyPane;
    std::string t = timeReadout(L, sample);
    if (frequencyPane) {
        t += ", " + L.freqScale.readout(value);
        if (withRef)
            t += ", Distance: " + timeDifferenceReadout(L, sample - reference->position) + ", " +
                 L.freqScale.readout(value - static_cast<double>(reference->value));
    } else {
        t += " " + L.ampScale.readout(value);
        if (withRef)
            t += ", Distance: " + timeDifferenceReadout(L, sample - reference->position) + " " +
                 L.ampScale.readout(value - static_cast<double>(reference->value));
    }
    return t;
}
