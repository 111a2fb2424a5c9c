#include "pulse/PulsCharSettings.h"

#include "core/NumberText.h"
#include "display/FftWindow.h"
#include "display/PlotLayout.h"
#include "document/CVesSoundDoc.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

void takeSpectrogramSettings(VesPulsParms& parms, const SpectrogramSetup& spectrogram)
{
    parms.m_fftSize = spectrogram.fftSize;
    parms.m_fftOverlap = spectrogram.overlap;
    parms.m_fftWindow = spectrogram.window;
}

PulseFftChoice takeDefaultSpectrogramSettings(VesPulsParms& parms, const CVesSoundDoc& doc, const VesAnaParms& ana)
{
    PulseFftChoice choice;
    choice.automaticSize = ana.m_fftSize == 0;
    choice.automaticOverlap = ana.m_fftOverLap < 0;
    VesAnaParms p = ana;
    p.m_spectPlot = true;
    const PlotLayout layout = PrepareLayout(p, SoundInfo::of(doc), PlotDevice::fromScreen(1000, 600, 150000));
    takeSpectrogramSettings(parms, layout.spect);
    return choice;
}

std::string pulseFftWarning(bool automaticSize, bool automaticOverlap)
{
    if (automaticSize && automaticOverlap)
        return "Warning: Pulse characteristics analysis will use automatically calculated values from the "
               "spectrogram for FFT size and overlap. We recommend manually entered settings for FFT size and "
               "overlap in the Spectrogram settings dialog.";
    if (automaticSize)
        return "Warning: Pulse characteristics analysis will use automatically calculated values from the "
               "spectrogram for FFT size. We recommend manually entered settings for FFT size in the Spectrogram "
               "settings dialog.";
    if (automaticOverlap)
        return "Warning: Pulse characteristics analysis will use automatically calculated values from the "
               "spectrogram for FFT overlap. We recommend manually entered settings for FFT overlap in the "
               "Spectrogram settings dialog.";
    return {};
}

std::int32_t PulsLevelToAmpThres(std::int64_t level)
{
    if (level == 0)
        return -1000000;
    const double db = 1000.0 * std::log10(static_cast<double>(std::llabs(level)) / 10000.0);
    return static_cast<std::int32_t>(std::trunc(db));
}

std::int64_t PulsAmpThresToLevel(std::int32_t ampThres)
{
    return static_cast<std::int64_t>(std::trunc(std::pow(10.0, ampThres / 1000.0) * 10000.0));
}

std::string pulsFftSizeText(int fftSize)
{
    if (fftSize < 1)
        return "--";
    char buf[32];
    vkit::snprintfC(buf, sizeof buf, "%d samples", fftSize);
    return buf;
}

std::string pulsFftOverlapText(int overlap, int fftSize)
{
    char buf[32];
    vkit::snprintfC(buf, sizeof buf, "%1.0f%%", fftSize > 0 ? overlap * 100.0 / fftSize : 0.0);
    return buf;
}

std::string pulsFftWindowText(int window)
{
    return windowSettingsLabel(window);
}
