// The compiled part of the vesperon Python package: recordings, their
// samples and spectrogram, the call detector, projects and their shards,
// straight from the engine. Tables travel as the CLI's CSV text and become
// pandas DataFrames in the pure-Python layer, so that their columns and
// values are the command's own. Every long computation runs without the GIL.
#include "core/AlignedAllocator.h"
#include "core/RegCls.h"
#include "display/FftWindow.h"
#include "display/RealFft.h"
#include "document/CVesSoundDoc.h"
#include "document/SampleCodec.h"
#include "filter/FilterDesign.h"
#include "filter/FilterDocument.h"
#include "kernels/Kernels.h"
#include "project/Project.h"
#include "power/PowerCalc.h"
#include "power/PowerScale.h"
#include "pulse/CallDetector.h"
#include "pulse/CallTable.h"
#include "records/GuanoRecord.h"
#include "records/VesSettings.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <mutex>

namespace py = pybind11;
namespace fs = std::filesystem;

namespace {

// The user's settings, read once, as vesperon-cli reads them: a recording
// opens (and is analysed) alike from Python and the command line.
const VesDefData& userDefaults()
{
    return VesDefData::saved();
}

// The messages of an opened document, kept to become the exception's text.
class MessageHost : public IDocHost {
public:
    void message(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text += (m_text.empty() ? "" : "; ") + text;
    }
    std::string text()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text;
    }

private:
    std::mutex m_mutex;
    std::string m_text;
};

struct Recording {
    std::string path;
    MessageHost host;
    std::unique_ptr<CVesSoundDoc> doc;
};
using RecordingPtr = std::shared_ptr<Recording>;

RecordingPtr openRecording(const std::string& path)
{
    auto rec = std::make_shared<Recording>();
    rec->path = path;
    bool ok = false;
    {
        py::gil_scoped_release release;
        rec->doc = std::make_unique<CVesSoundDoc>(rec->host, userDefaults());
        ok = rec->doc->open(path);
    }
    if (!ok) {
        const std::string text = rec->host.text();
        if (!fs::exists(path))
            throw py::value_error(path + ": no such file" + (text.empty() ? "" : " (" + text + ")"));
        throw py::value_error(text.empty() ? "Unable to open file " + path + "!" : text);
    }
    return rec;
}

// A recording given as an opened one or as a path.
RecordingPtr recordingOf(const py::object& recOrPath)
{
    if (py::isinstance<Recording>(recOrPath))
        return recOrPath.cast<RecordingPtr>();
    return openRecording(py::module_::import("os").attr("fspath")(recOrPath).cast<std::string>());
}

double effectiveRate(const CVesSoundDoc& doc)
{
    return doc.format().samplesPerSec * (doc.effectiveTimeExp25() / 1000.0);
}

py::dict guanoOf(const Recording& r)
{
    py::dict out;
    GuanoRecord g;
    std::string error;
    if (!r.doc->guano(g, error)) {
        if (!error.empty())
            throw py::value_error(r.path + ": " + error);
        return out;
    }
    for (const GuanoField& f : g.fields())
        if (!f.key.empty())
            out[py::str(f.key)] = f.value;
    return out;
}

py::list marksOf(const Recording& r)
{
    py::list out;
    for (const AnaMarkSave& m : r.doc->marks()) {
        py::dict d;
        d["number"] = m.m_markNr;
        d["frame"] = m.m_posX;
        d["channel"] = m.m_chan;
        d["first"] = m.m_first;
        d["last"] = m.m_last;
        d["label"] = m.m_label;
        d["description"] = m.m_desc;
        out.append(d);
    }
    return out;
}

// Keeps a recording and the reader whose mapped piece a zero-copy array shows.
struct MappedView {
    RecordingPtr rec;
    std::unique_ptr<SampleReader> reader;
};

py::array samplesOf(const RecordingPtr& rec, std::int64_t start, std::optional<std::int64_t> stop,
                    std::optional<int> channel)
{
    CVesSoundDoc& doc = *rec->doc;
    const std::int64_t length = doc.lengthFrames();
    const int channels = doc.format().channels;
    std::int64_t end = stop ? *stop : length;
    if (start < 0)
        start += length;
    if (end < 0)
        end += length;
    start = std::clamp<std::int64_t>(start, 0, length);
    end = std::clamp<std::int64_t>(end, start, length);
    if (channel && (*channel < 0 || *channel >= channels))
        throw py::index_error("channel " + std::to_string(*channel) + " of a recording with " +
                              std::to_string(channels) + " channel" + (channels == 1 ? "" : "s"));
    const std::int64_t count = end - start;
    const bool sixteen = doc.format().bitsPerSample == 16;
    // 16-bit samples in one mapped piece are shown where they lie: a channel
    // of several as a strided view of its frames.
    if (sixteen && count > 0) {
        auto view = std::make_unique<MappedView>();
        view->rec = rec;
        view->reader = std::make_unique<SampleReader>(doc, ChannelIndex::Left, SampleScale::Units16);
        if (const std::uint8_t* bytes = view->reader->frames16Bytes(start, count)) {
            const auto* data = reinterpret_cast<const std::int16_t*>(bytes);
            const auto frame = static_cast<py::ssize_t>(channels * sizeof(std::int16_t));
            py::capsule owner(view.release(), [](void* p) { delete static_cast<MappedView*>(p); });
            py::array_t<std::int16_t> a =
                channel || channels == 1
                    ? py::array_t<std::int16_t>({static_cast<py::ssize_t>(count)}, {frame}, data + (channel ? *channel : 0),
                                                owner)
                    : py::array_t<std::int16_t>({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(channels)},
                                                {frame, static_cast<py::ssize_t>(sizeof(std::int16_t))}, data, owner);
            py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
            return a;
        }
    }
    const int first = channel ? *channel : 0;
    const int n = channel ? 1 : channels;
    std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(count)};
    if (!channel && channels > 1)
        shape.push_back(channels);
    const auto fill = [&](auto* out) {
        py::gil_scoped_release release;
        std::vector<double> buf(static_cast<std::size_t>(std::min<std::int64_t>(count, 65536)));
        for (int c = 0; c < n; ++c) {
            SampleReader reader(doc, static_cast<ChannelIndex>(first + c), SampleScale::Units16);
            for (std::int64_t at = 0; at < count; at += static_cast<std::int64_t>(buf.size())) {
                const std::int64_t k = std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()), count - at);
                reader.read(start + at, k, buf.data());
                for (std::int64_t i = 0; i < k; ++i)
                    out[(at + i) * n + c] = static_cast<std::remove_pointer_t<decltype(out)>>(buf[static_cast<std::size_t>(i)]);
            }
        }
    };
    if (sixteen) {
        py::array_t<std::int16_t> a(shape);
        fill(a.mutable_data());
        return a;
    }
    py::array_t<float> a(shape);
    fill(a.mutable_data());
    return a;
}

int windowCode(const py::object& window)
{
    if (py::isinstance<py::int_>(window))
        return window.cast<int>();
    const std::string name = window.cast<std::string>();
    static const std::pair<const char*, FftWindow> kNames[] = {
        {"rectangular", FftWindow::Rectangular}, {"parzen", FftWindow::Parzen},   {"triangle", FftWindow::Parzen},
        {"hanning", FftWindow::Hanning},         {"hann", FftWindow::Hanning},    {"welch", FftWindow::Welch},
        {"hamming", FftWindow::Hamming},         {"blackman", FftWindow::Blackman}, {"cosine", FftWindow::Cosine}};
    for (const auto& [n, w] : kNames)
        if (name == n)
            return fftWindowCode(w);
    throw py::value_error("unknown window '" + name +
                          "' (rectangular, parzen, hanning, welch, hamming, blackman or cosine)");
}

py::tuple spectrogramOf(const py::object& recOrPath, double startSec, std::optional<double> durationSec, int fft,
                        double overlap, const py::object& window, int channel)
{
    RecordingPtr rec = recordingOf(recOrPath);
    CVesSoundDoc& doc = *rec->doc;
    int order = 0;
    while ((1 << order) < fft)
        ++order;
    if (fft < 4 || (1 << order) != fft || fft > 65536)
        throw py::value_error("fft must be a power of two from 4 to 65536, not " + std::to_string(fft));
    if (!(overlap >= 0 && overlap < 1))
        throw py::value_error("overlap must lie in 0 <= overlap < 1");
    if (channel < 0 || channel >= doc.format().channels)
        throw py::index_error("channel " + std::to_string(channel) + " of a recording with " +
                              std::to_string(doc.format().channels) + " channels");
    const int code = windowCode(window);
    const double rate = effectiveRate(doc);  // real time: the plot's axes
    const std::int64_t length = doc.lengthFrames();
    const std::int64_t first = std::clamp<std::int64_t>(std::llround(startSec * rate), 0, length);
    const std::int64_t last =
        durationSec ? std::clamp<std::int64_t>(first + std::llround(*durationSec * rate), first, length) : length;
    const std::int64_t hop = std::max<std::int64_t>(1, std::llround(fft * (1.0 - overlap)));
    const std::int64_t frames = last - first >= fft ? (last - first - fft) / hop + 1 : 0;
    const int bins = fft / 2;
    py::array_t<float> power({static_cast<py::ssize_t>(bins), static_cast<py::ssize_t>(frames)});
    py::array_t<double> freqs(bins), times(static_cast<py::ssize_t>(frames));
    float* p = power.mutable_data();
    double* f = freqs.mutable_data();
    double* t = times.mutable_data();
    {
        py::gil_scoped_release release;
        // As the plot's column engine takes a frame: the window table (gain
        // times shape), the same transform, the power |2 X_k / N|^2.
        std::vector<double> table(static_cast<std::size_t>(fft));
        buildWindowTable(table.data(), fft, fftWindowOf(code));
        const std::vector<double> pcmWindow = RealFftPcm16Window(table.data(), order);
        const bool vector = activeVectorKernels() != VectorKernels::Portable && !pcmWindow.empty();
        vkit::AlignedVector<double> frame(static_cast<std::size_t>(fft)), acc(static_cast<std::size_t>(bins));
        SampleReader reader(doc, static_cast<ChannelIndex>(channel), SampleScale::Units16);
        const double factor = std::ldexp(1.0, -2 * order);
        for (int k = 0; k < bins; ++k)
            f[k] = k * rate / fft;
        for (std::int64_t j = 0; j < frames; ++j) {
            const std::int64_t at = first + j * hop;
            std::fill(acc.begin(), acc.end(), 0.0);
            const std::uint8_t* pcm = vector ? reader.mono16Bytes(at, fft) : nullptr;
            if (pcm == nullptr || !RealFftPcm16AddPower(pcm, pcmWindow.data(), order, frame.data(), acc.data())) {
                reader.readWindowed(at, fft, table.data(), frame.data());
                RealFftAddPower(frame.data(), order, acc.data());
            }
            // The transform leaves the constant bin alone: it is never drawn.
            p[j] = -INFINITY;
            for (int k = 1; k < bins; ++k)
                p[static_cast<std::int64_t>(k) * frames + j] = static_cast<float>(10.0 * std::log10(factor * acc[static_cast<std::size_t>(k)]));
            t[j] = (static_cast<double>(at) + fft / 2.0) / rate;
        }
    }
    return py::make_tuple(power, freqs, times);
}

py::tuple powerSpectrumOf(const py::object& recOrPath, double startSec, std::optional<double> durationSec, int fft,
                          const py::object& window, int channel, bool log)
{
    RecordingPtr rec = recordingOf(recOrPath);
    CVesSoundDoc& doc = *rec->doc;
    if (fft < 16 || fft > 16384 || (fft & (fft - 1)) != 0)
        throw py::value_error("fft must be a power of two from 16 to 16384, not " + std::to_string(fft));
    if (channel < 0 || channel >= doc.format().channels)
        throw py::index_error("channel " + std::to_string(channel) + " of a recording with " +
                              std::to_string(doc.format().channels) + " channels");
    const double rate = effectiveRate(doc);
    const std::int64_t length = doc.lengthFrames();
    PowerRequest request;
    request.start = std::clamp<std::int64_t>(std::llround(startSec * rate), 0, length);
    request.end = durationSec ? std::clamp<std::int64_t>(request.start + std::llround(*durationSec * rate),
                                                         request.start, length)
                              : length;
    request.channel = static_cast<ChannelIndex>(channel);
    request.fftSize = fft;
    request.window = windowCode(window);
    PowerResult r;
    {
        py::gil_scoped_release release;
        r = computePowerSpectrum(doc, request);
    }
    // The bins the window shows and exports: 0 .. N/2 - 1.
    const std::size_t bins = std::min(r.power.size(), static_cast<std::size_t>(fft / 2));
    py::array_t<double> level(static_cast<py::ssize_t>(bins)), freqs(static_cast<py::ssize_t>(bins));
    for (std::size_t k = 0; k < bins; ++k) {
        level.mutable_data()[k] = powerLevel(r.power[k], log);
        freqs.mutable_data()[k] = r.binFrequency(static_cast<int>(k));
    }
    return py::make_tuple(level, freqs);
}

py::array filterOf(const py::object& recOrPath, const std::string& type, const std::string& design,
                   const std::vector<double>& edges, int order, double ripple, double attenuation, std::int64_t start,
                   std::optional<std::int64_t> stop)
{
    FilterRecord record;
    static const std::pair<const char*, FilterBand> kBands[] = {{"lowpass", FilterBand::LowPass},
                                                                {"highpass", FilterBand::HighPass},
                                                                {"bandpass", FilterBand::BandPass},
                                                                {"bandstop", FilterBand::BandStop}};
    static const std::pair<const char*, FilterType> kTypes[] = {{"butterworth", FilterType::Butterworth},
                                                                {"chebyshev", FilterType::Chebyshev1},
                                                                {"inverse-chebyshev", FilterType::InverseChebyshev},
                                                                {"elliptic", FilterType::Elliptic}};
    record.band = FilterBand::None;
    for (const auto& [n, b] : kBands)
        if (type == n)
            record.band = b;
    record.type = FilterType::None;
    for (const auto& [n, t] : kTypes)
        if (design == n)
            record.type = t;
    if (record.band == FilterBand::None)
        throw py::value_error("type: lowpass, highpass, bandpass or bandstop, not '" + type + "'");
    if (record.type == FilterType::None)
        throw py::value_error("design: butterworth, chebyshev, inverse-chebyshev or elliptic, not '" + design + "'");
    const bool twoEdges = record.band == FilterBand::BandPass || record.band == FilterBand::BandStop;
    if (edges.size() != (twoEdges ? 2u : 1u))
        throw py::value_error(twoEdges ? "a band filter needs edges=(LOW, HIGH) in Hz"
                                       : "give the cut-off frequency in Hz: edges=(HZ,)");
    for (double e : edges)
        if (!(e > 0 && e < 2e9))
            throw py::value_error("edges are frequencies in Hz above 0");
    if (order < 1 || order > FilterRecord::kMaxOrder || (twoEdges && order % 2))
        throw py::value_error("order: 1 to 49, even for band filters");
    if (!(ripple > 0 && ripple < 30) || !(attenuation >= 1 && attenuation <= 300))
        throw py::value_error("ripple: above 0 and below 30 dB; attenuation: 1 to 300 dB");
    record.order = order;
    record.rippleTenthDb = std::max(1, static_cast<int>(std::lround(ripple * 10)));
    record.stopbandDb = -static_cast<int>(std::lround(attenuation));
    const auto hz = [](double v) { return static_cast<std::int32_t>(std::lround(v)); };
    switch (record.band) {
    case FilterBand::LowPass: record.lowPassHz = hz(edges[0]); break;
    case FilterBand::HighPass: record.highPassHz = hz(edges[0]); break;
    case FilterBand::BandPass: record.bandPassLowHz = hz(edges[0]); record.bandPassHighHz = hz(edges[1]); break;
    case FilterBand::BandStop: record.bandStopLowHz = hz(edges[0]); record.bandStopHighHz = hz(edges[1]); break;
    case FilterBand::None: break;
    }
    record.typeName = filterTypeName(record.type);
    // A document of its own: the caller's recording keeps its samples.
    const std::string path = py::isinstance<Recording>(recOrPath)
                                 ? recOrPath.cast<RecordingPtr>()->path
                                 : py::module_::import("os").attr("fspath")(recOrPath).cast<std::string>();
    RecordingPtr rec = openRecording(path);
    CVesSoundDoc& doc = *rec->doc;
    const double nyquistHz = filterNyquistHz(doc.format().samplesPerSec, doc.timeExpansion());
    const FilterDesignResult designed = designFilter(record, nyquistHz);
    if (!designed.ok)
        throw py::value_error(path + ": " + designed.message);
    const std::int64_t length = doc.lengthFrames();
    std::int64_t first = start < 0 ? start + length : start;
    std::int64_t end = stop ? (*stop < 0 ? *stop + length : *stop) : length;
    first = std::clamp<std::int64_t>(first, 0, length);
    end = std::clamp<std::int64_t>(end, first, length);
    bool ok = true;
    if (end > first) {
        py::gil_scoped_release release;
        ok = filterDocument(doc, first, end, ChannelSel::Both, designed.sections);
    }
    if (!ok)
        throw py::value_error(rec->host.text().empty() ? path + ": the filter failed" : rec->host.text());
    return samplesOf(rec, first, end, std::nullopt);
}

CallDetectorSettings settingsOf(const py::dict& o, bool projectOnly)
{
    CallDetectorSettings s;
    for (const auto& [k, v] : o) {
        const std::string key = py::str(k);
        if (v.is_none())
            continue;
        if (key == "band") {
            std::string text;
            if (py::isinstance<py::str>(v)) {
                text = v.cast<std::string>();
            } else {
                const auto pair = v.cast<std::pair<double, double>>();
                text = py::str("{},{}").format(pair.first, pair.second).cast<std::string>();
            }
            if (!parseCallBand(text, s.bandLowHz, s.bandHighHz))
                throw py::value_error("band: LO,HI in kHz with LO below HI, such as (15, 120), not " + text);
        } else if (key == "snr") {
            s.snrDb = v.cast<double>();
        } else if (key == "channel") {
            const std::string c = v.cast<std::string>();
            if (c != "mix" && c != "left" && c != "right")
                throw py::value_error("channel: mix, left or right, not " + c);
            s.channel = c == "left" ? CallChannel::Left : c == "right" ? CallChannel::Right : CallChannel::Mix;
        } else if (!projectOnly && key == "edge_snr") {
            s.edgeSnrDb = v.cast<double>();
        } else if (!projectOnly && key == "edge_drop") {
            s.edgeDropDb = v.cast<double>();
        } else if (!projectOnly && key == "min_duration") {
            s.minDurationMs = v.cast<double>();
        } else if (!projectOnly && key == "min_interval") {
            s.minIntervalMs = v.cast<double>();
        } else if (!projectOnly && key == "echo_window") {
            s.echoWindowMs = v.cast<double>();
        } else if (!projectOnly && key == "max_roughness") {
            s.maxRoughnessBins = v.cast<double>();
        } else if (!(!projectOnly && key == "time_expansion")) {
            throw py::type_error("unknown option '" + key + "'" +
                                 (projectOnly ? " (a project's calls take band, snr and channel)" : ""));
        }
    }
    return s;
}

// The calls of one recording as the calls command's CSV text (header and rows).
std::string callsCsv(const py::object& recOrPath, const py::dict& options)
{
    const CallDetectorSettings settings = settingsOf(options, false);
    std::optional<std::int32_t> timeExp;
    if (options.contains("time_expansion") && !options["time_expansion"].is_none()) {
        const double te = options["time_expansion"].cast<double>();
        if (!(te >= 0.001 && te <= 100))
            throw py::value_error("time_expansion must lie in 0.001 .. 100");
        timeExp = static_cast<std::int32_t>(std::lround(te * 1000));
    }
    // An option given for this analysis opens the file afresh: a recording
    // the caller holds keeps its own time expansion.
    RecordingPtr rec = timeExp && py::isinstance<Recording>(recOrPath)
                           ? openRecording(recOrPath.cast<RecordingPtr>()->path)
                           : recordingOf(recOrPath);
    if (timeExp)
        rec->doc->recData().m_timeExp25 = *timeExp;
    std::string text = callCsvHeader();
    py::gil_scoped_release release;
    CallCollector collector;
    detectCalls(*rec->doc, 0, -1, settings, collector);
    for (const CallMeasures& c : collector.calls)
        text += callCsvRow(rec->path, c);
    return text;
}

// ---- projects ----

std::string projectRecordingsCsv(const std::string& path)
{
    py::gil_scoped_release release;
    auto project = Project::open(path);
    std::string out = "path,start_time,start_source,night,site,detector,rate_hz,channels,time_expansion,length_s,"
                      "size,mtime,hash,calls,missing,error\n";
    const auto field = [](const std::string& text) {
        if (text.find_first_of(",\"\r\n") == std::string::npos)
            return text;
        std::string q = "\"";
        for (char c : text)
            q += c == '"' ? std::string("\"\"") : std::string(1, c);
        return q + "\"";
    };
    project->forEachRecording({}, [&](const RecordingRow& r) {
        char te[32], len[32];
        std::snprintf(te, sizeof te, "%g", r.timeExpansion);
        std::snprintf(len, sizeof len, "%.3f", r.lengthSec);
        out += field(r.path) + "," + r.startTime + "," + r.startSource + "," + r.night + "," + field(r.site) + "," +
               field(r.detector) + "," + std::to_string(r.rate) + "," + std::to_string(r.channels) + "," + te + "," +
               len + "," + std::to_string(r.size) + "," + std::to_string(r.mtime) + "," + r.hash + "," +
               (r.calls < 0 ? "" : std::to_string(r.calls)) + "," + (r.missing ? "1" : "0") + "," +
               field(r.error.value_or("")) + "\n";
    });
    return out;
}

std::string projectCallsCsv(const std::string& path)
{
    py::gil_scoped_release release;
    auto project = Project::open(path);
    const fs::path root = project->root();
    std::string out = callCsvHeader();
    project->forEachRecordingCalls([&](const RecordingRow& r, const std::vector<CallMeasures>& list) {
        const std::string file = (root / r.path).generic_string();
        for (const CallMeasures& c : list)
            out += callCsvRow(file, c);
    });
    return out;
}

py::list projectSummary(const std::string& path, const std::vector<std::string>& by, double passGapMs)
{
    std::vector<SummaryKey> keys;
    for (const std::string& k : by) {
        if (k == "night")
            keys.push_back(SummaryKey::Night);
        else if (k == "site")
            keys.push_back(SummaryKey::Site);
        else if (k == "species")
            keys.push_back(SummaryKey::Species);
        else
            throw py::value_error("summary by night, site or species, not '" + k + "'");
    }
    std::vector<SummaryRow> rows;
    {
        py::gil_scoped_release release;
        auto project = Project::open(path);
        project->summary(keys, passGapMs, [&](const SummaryRow& r) { rows.push_back(r); });
    }
    py::list out;
    for (const SummaryRow& r : rows)
        out.append(py::make_tuple(r.keys, r.files, r.withCalls, r.calls, r.passes));
    return out;
}

// The shard of the project calls command, on this process's threads.
py::dict projectCallsShard(const std::string& path, int index, int count, const py::dict& options)
{
    ShardSpec shard;
    if (!parseShardSpec(std::to_string(index) + "/" + std::to_string(count), shard))
        throw py::value_error("shard I/N with 0 <= I < N <= 100000, not " + std::to_string(index) + "/" +
                              std::to_string(count));
    const CallDetectorSettings settings = settingsOf(options, true);
    py::dict out;
    std::int64_t done = 0, calls = 0, unreadable = 0, missing = 0;
    bool already = false;
    const std::string file = shardFilePath(path, shard);
    {
        py::gil_scoped_release release;
        auto project = Project::open(path);
        const fs::path root = project->root();
        if (root.empty() || !fs::is_directory(root))
            throw ProjectError(ProjectError::Kind::Missing,
                               "the project's root " + (root.empty() ? std::string("(none yet)") : root.string()) +
                                   " is not a folder");
        const std::string key = callSettingsKey(settings);
        std::error_code ec;
        if (fs::exists(file, ec)) {
            try {
                const ShardInfo info = readShardInfo(file);
                already = info.settingsKey == key && info.version == VES_VERSION;
            } catch (const ProjectError&) {
            }
        }
        if (!already) {
            ShardWriter writer(file, shard, key, VES_VERSION);
            std::int64_t lastId = 0;
            for (;;) {
                const std::vector<RecordingRow> page = pendingForShard(*project, key, shard, lastId, 64);
                if (page.empty())
                    break;
                lastId = page.back().id;
                for (const RecordingRow& row : page) {
                    const RecordingCallsResult r =
                        analyseRecordingCalls((root / row.path).string(), settings, userDefaults());
                    writer.add(row, static_cast<int>(settings.channel), r);
                    ++done;
                    calls += static_cast<std::int64_t>(r.calls.size());
                    unreadable += r.error ? 1 : 0;
                    missing += r.missing ? 1 : 0;
                }
            }
            writer.commit();
        }
    }
    out["shard"] = std::to_string(index) + "/" + std::to_string(count);
    out["file"] = file;
    out["done_already"] = already;
    out["recordings"] = done;
    out["calls"] = calls;
    out["unreadable"] = unreadable;
    out["missing"] = missing;
    return out;
}

py::dict projectMerge(const std::string& path)
{
    MergeReport r;
    {
        py::gil_scoped_release release;
        auto project = Project::open(path);
        r = mergeCallShards(*project, path);
    }
    py::dict out;
    out["shards"] = r.shards;
    out["recordings"] = r.recordings;
    out["calls"] = r.calls;
    out["unreadable"] = r.unreadable;
    out["missing"] = r.missing;
    out["skipped"] = r.skipped;
    out["pending"] = r.pending;
    return out;
}

}  // namespace

PYBIND11_MODULE(_vesperon, m)
{
    m.doc() = "The compiled core of the vesperon package (use the functions of vesperon itself).";
    m.attr("__version__") = VES_VERSION;
    static py::exception<ProjectError> projectError(m, "ProjectError", PyExc_RuntimeError);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const ProjectError& e) {
            projectError(e.what());
        }
    });

    py::class_<Recording, RecordingPtr>(m, "Recording", "An opened recording (see vesperon.open).")
        .def_property_readonly("path", [](const Recording& r) { return r.path; }, "The path it was opened from.")
        .def_property_readonly("rate", [](const Recording& r) { return r.doc->format().samplesPerSec; },
                               "Frames per second as stored (before time expansion).")
        .def_property_readonly("channels", [](const Recording& r) { return r.doc->format().channels; },
                               "Number of channels.")
        .def_property_readonly("bits", [](const Recording& r) { return r.doc->format().bitsPerSample; },
                               "Bits per sample as stored.")
        .def_property_readonly("frames", [](const Recording& r) { return r.doc->lengthFrames(); },
                               "Length in frames.")
        .def_property_readonly("time_expansion",
                               [](const Recording& r) { return r.doc->effectiveTimeExp25() / 1000.0; },
                               "Time expansion factor (1 for real-time recordings).")
        .def_property_readonly("duration", [](const Recording& r) { return r.doc->lengthFrames() / effectiveRate(*r.doc); },
                               "Length in seconds of real time.")
        .def_property_readonly("guano", &guanoOf, "GUANO metadata as a dict of key to text ({} when none).")
        .def_property_readonly("marks", &marksOf,
                               "The marks: dicts with number, frame, channel, first, last, label, description.")
        .def("samples", &samplesOf, py::arg("start") = 0, py::arg("stop") = py::none(), py::arg("channel") = py::none(),
             "Frames [start, stop) (negative: from the end) as a numpy array, shaped (frames,) for one\n"
             "channel and (frames, channels) otherwise. 16-bit data come as int16: a read-only view of the\n"
             "mapped file, without a copy, where the frames lie in one mapped piece (up to 48 MiB; one\n"
             "channel of several as a strided view); other widths\n"
             "as float32 in 16-bit units (full scale 32768).")
        .def("__repr__", [](const Recording& r) {
            return "<vesperon.Recording " + r.path + ": " + std::to_string(r.doc->format().samplesPerSec) + " Hz, " +
                   std::to_string(r.doc->format().channels) + " ch, " + std::to_string(r.doc->lengthFrames()) +
                   " frames>";
        });

    m.def("open", &openRecording, py::arg("path"), "Opens a recording of any type the program reads.");
    m.def("spectrogram", &spectrogramOf, py::arg("rec_or_path"), py::arg("start") = 0.0,
          py::arg("duration") = py::none(), py::arg("fft") = 512, py::arg("overlap") = 0.5,
          py::arg("window") = py::str("hanning"), py::arg("channel") = 0,
          "(power_db, freqs_hz, times_s): levels as the plot computes them.");
    m.def("power_spectrum", &powerSpectrumOf, py::arg("rec_or_path"), py::arg("start") = 0.0,
          py::arg("duration") = py::none(), py::arg("fft") = 1024, py::arg("window") = py::str("hanning"),
          py::arg("channel") = 0, py::arg("log") = true,
          "(level, freqs_hz): the averaged power spectrum of the power spectrum window.");
    m.def("filter", &filterOf, py::arg("rec_or_path"), py::arg("type"), py::arg("design"), py::arg("edges"),
          py::arg("order"), py::arg("ripple"), py::arg("attenuation"), py::arg("start"), py::arg("stop"),
          "Frames [start, stop) after the IIR filter of the filter command.");
    m.def("calls_csv", &callsCsv, py::arg("rec_or_path"), py::arg("options"),
          "The calls of a recording as the calls command's CSV text.");
    m.def("project_recordings_csv", &projectRecordingsCsv, py::arg("path"), "The recordings of a project as CSV text.");
    m.def("project_calls_csv", &projectCallsCsv, py::arg("path"), "The calls of a project as CSV text.");
    m.def("project_summary", &projectSummary, py::arg("path"), py::arg("by"), py::arg("pass_gap_ms"),
          "Summary rows: (keys, files, recordings_with_calls, calls, passes).");
    m.def("project_calls_shard", &projectCallsShard, py::arg("path"), py::arg("index"), py::arg("count"),
          py::arg("options"), "Analyses shard index/count of a project into its shard file.");
    m.def(
        "project_check",
        [](const std::string& path) {
            py::gil_scoped_release release;
            Project::open(path);
        },
        py::arg("path"), "Raises ProjectError when the file is not a project this version reads.");
    m.def("project_merge", &projectMerge, py::arg("path"), "Merges a project's shard files into it.");
}
