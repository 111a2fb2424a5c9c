// Drawing a 1600 x 900 combined view (oscillogram and spectrogram with its
// colour bar) into an image: all of a 10-minute 384 kHz 16-bit recording with
// automatic overlap, and its first second with 50 % overlap. The yardstick is
// the column engine alone on the same layout, run in the same process; the
// counter x_engine is the drawing time divided by the engine-only time.
// The picture files of the 10-minute view (PNG, JPEG, SVG, PDF, encoded in
// memory as Export Graphics does) are timed against one paint of the same
// layout into an image: the counter x_paint.
#ifdef VES_HAVE_RENDER

#include "display/ColumnEngine.h"
#include "document/CVesSoundDoc.h"
#include "BenchSupport.h"
#include "render/HeadlessGui.h"
#include "render/PlotExport.h"
#include "render/PlotPainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 384000;
constexpr std::int64_t kSeconds = 600;

struct Recording {
    vesbench::QuietHost host;
    CVesSoundDoc doc{host};
    Recording() { vesbench::appendSweepCalls(doc, kRate, kSeconds); }
};

Recording& recording()
{
    static Recording r;
    return r;
}

class NullSink : public IColumnSink {
public:
    long runs = 0;
    void column(const PlotColumn& c) override { runs += c.runCount; }
};

double engineOnlySeconds(const PlotLayout& layout, CVesSoundDoc& doc, int passes)
{
    ColumnEngine engine(layout);
    NullSink sink;
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < passes; ++k)
        engine.compute(doc, 0, 0, layout.columns, sink);
    benchmark::DoNotOptimize(sink.runs);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / passes;
}

void drawCombined(benchmark::State& state, std::int64_t plotMicros, int overlap)
{
    Recording& r = recording();
    VesAnaParms parms;
    parms.m_ampPlot = true;
    parms.m_spectPlot = true;
    parms.m_scale = true;
    parms.m_fftSize = 0;
    parms.m_fftOverLap = overlap;
    parms.m_plotSize = plotMicros;
    parms.m_plotStart = 0;
    const PlotLayout layout = PrepareLayout(parms, SoundInfo::of(r.doc), PlotDevice::fromScreen(1600, 900, 150000));
    QImage image(1600, 900, QImage::Format_RGB32);
    PlotPainter painter(layout, r.doc);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QPainter p(&image);
        painter.paint(p);
        p.end();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double perPass = seconds / static_cast<double>(state.iterations());
    const double engine = engineOnlySeconds(layout, r.doc, 2);
    state.counters["columns"] = layout.columns;
    state.counters["fft_size"] = layout.spect.fftSize;
    state.counters["ffts"] = static_cast<double>(painter.framesComputed());
    state.counters["engine_only_ms"] = engine * 1e3;
    state.counters["x_engine"] = perPass / engine;
}

void BM_DrawCombined10Minutes(benchmark::State& state)
{
    drawCombined(state, kSeconds * 1000000, -1);
}

void BM_DrawCombinedFirstSecond(benchmark::State& state)
{
    drawCombined(state, 1000000, 50);
}

PlotLayout tenMinuteLayout(CVesSoundDoc& doc)
{
    VesAnaParms parms;
    parms.m_ampPlot = true;
    parms.m_spectPlot = true;
    parms.m_scale = true;
    parms.m_fftSize = 0;
    parms.m_fftOverLap = -1;
    parms.m_plotSize = kSeconds * 1000000;
    parms.m_plotStart = 0;
    return PrepareLayout(parms, SoundInfo::of(doc), PlotDevice::fromScreen(1600, 900, 150000));
}

void exportPicture(benchmark::State& state, const char* extension)
{
    Recording& r = recording();
    const PlotLayout layout = tenMinuteLayout(r.doc);
    PlotPicture picture(layout, r.doc);
    double seconds = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QByteArray out;
        std::string error;
        if (!encodePicture(picture, QByteArray(extension), PictureOptions{}, out, error))
            state.SkipWithError(error.c_str());
        bytes = static_cast<std::size_t>(out.size());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    // The yardstick: one paint of the same layout into an image.
    QImage image(1600, 900, QImage::Format_RGB32);
    PlotPainter painter(layout, r.doc);
    const auto start = std::chrono::steady_clock::now();
    {
        QPainter p(&image);
        painter.paint(p);
    }
    const double paint = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double perPass = seconds / static_cast<double>(state.iterations());
    state.counters["paint_ms"] = paint * 1e3;
    state.counters["x_paint"] = perPass / paint;
    state.counters["file_kB"] = static_cast<double>(bytes) / 1024.0;
}

void BM_ExportPng10Minutes(benchmark::State& state)
{
    exportPicture(state, "png");
}

void BM_ExportJpeg10Minutes(benchmark::State& state)
{
    exportPicture(state, "jpg");
}

void BM_ExportSvg10Minutes(benchmark::State& state)
{
    exportPicture(state, "svg");
}

void BM_ExportPdf10Minutes(benchmark::State& state)
{
    exportPicture(state, "pdf");
}

double copyFileSeconds(const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    const int in = ::open(path.c_str(), O_RDONLY);
    const std::string copy = path + ".copy";
    const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n <= 0)
            break;
    }
    ::close(in);
    ::close(out);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::unlink(copy.c_str());
    return s;
}

void BM_OpenAndFirstPaint4GiB(benchmark::State& state)
{
    const std::string path = vesbench::bigWaveFile(4LL << 30);
    vesbench::QuietHost host;
    QImage image(1600, 900, QImage::Format_RGB32);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        CVesSoundDoc doc(host);
        if (!doc.open(path)) {
            state.SkipWithError("open failed");
            return;
        }
        doc.startBackgroundCopy();  // as the program does
        VesAnaParms parms;
        parms.m_ampPlot = true;
        parms.m_spectPlot = true;
        parms.m_plotStart = 0;
        const PlotLayout layout = PrepareLayout(parms, SoundInfo::of(doc), PlotDevice::fromScreen(1600, 900, 150000));
        PlotPainter painter(layout, doc);
        {
            QPainter p(&image);
            painter.paint(p);
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(s);
        seconds += s;
        state.counters["frames"] = static_cast<double>(doc.lengthFrames());
    }
    const double copy = copyFileSeconds(path);
    state.counters["copy_ms"] = copy * 1e3;
    state.counters["x_copy"] = seconds / static_cast<double>(state.iterations()) / copy;
}

BENCHMARK(BM_DrawCombined10Minutes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawCombinedFirstSecond)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPng10Minutes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportJpeg10Minutes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportSvg10Minutes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPdf10Minutes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndFirstPaint4GiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

}  // namespace

int main(int argc, char** argv)
{
    const auto app = makeHeadlessGuiApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#else

#include <cstdio>

int main()
{
    std::puts("bench_render needs the drawing library: configure with VES_BUILD_APP=ON");
    return 0;
}

#endif
