// Spectrogram settings: FFT size, window and overlap, frequency range,
// channels, threshold, contrast, colour mapping (built-in schemes and the
// user maps), colour bar, de-emphasis, font, grids; the frequency resolution
// and the time between FFTs shown for the chosen FFT at the recording's rate.
#pragma once

#include "display/CAnaSettingsDlg.h"
#include "display/ColorMapStore.h"
#include "records/VesColorMap.h"

#include <vector>

class QLabel;
class QSlider;
class QSpinBox;

class CAnaSpectDiag : public CAnaSettingsDlg {
    Q_OBJECT
public:
    CAnaSpectDiag(const VesAnaParms& parms, std::int64_t effectiveRateHz, bool defaults, IColorMapStore& maps,
                  QWidget* parent = nullptr);

    bool store(VesAnaParms& parms, bool messages) override;
    std::string check(const VesAnaParms& parms) const override;

    // The controls, for the view's tests and the user guide.
    CNumEdit* minFreq() const { return m_min; }
    CNumEdit* maxFreq() const { return m_max; }
    QComboBox* fftSize() const { return m_fftSize; }
    QComboBox* fftWindow() const { return m_window; }
    CNumEdit* overlap() const { return m_overlap; }
    QCheckBox* autoOverlap() const { return m_autoOverlap; }
    QComboBox* colorMapping() const { return m_colors; }
    QSlider* threshold() const { return m_threshold; }
    QSlider* contrast() const { return m_contrast; }
    QLabel* frequencyResolution() const { return m_freqRes; }
    QLabel* timeBetweenFfts() const { return m_timeBetween; }
    QCheckBox* deEmphasis() const { return m_invColors; }
    // "User Colors": the list of user maps, then the mapping list again.
    void editUserColors();

protected:
    void load(const VesAnaParms& parms) override;
    void refreshDerived() override;

private:
    void fillColorList(const VesAnaParms& parms);
    IColorMapStore& m_maps;
    CNumEdit* m_min;
    CNumEdit* m_max;
    QComboBox* m_fftSize;
    QComboBox* m_window;
    CNumEdit* m_overlap;
    QCheckBox* m_autoOverlap;
    QLabel* m_freqRes;
    QLabel* m_timeBetween;
    QCheckBox* m_left;
    QCheckBox* m_right;
    QSlider* m_threshold;
    QLabel* m_thresholdValue;
    QComboBox* m_colors;
    QSlider* m_contrast;
    QLabel* m_contrastValue;
    QCheckBox* m_scale;
    QCheckBox* m_invColors;
    QSpinBox* m_fontSize;
    QCheckBox* m_allTicks;
    QComboBox* m_freqGrid;
    QComboBox* m_timeGrid;
    std::int64_t m_lastOverlap = 50;
};
