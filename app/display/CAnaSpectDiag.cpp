#include "display/CAnaSpectDiag.h"

#include "display/CUserColorMapsDlg.h"
#include "display/DisplaySettings.h"
#include "display/FftWindow.h"
#include "display/SettingsFields.h"
#include "records/VesNameTables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int kOwnMap = -1;  // the record's own map, not in the list

const char* const kSchemeNames[] = {"Yellow & Red", "Black & White",     "Grey",          "Red",
                                    "Blue",         "Red, Green & Blue", "Yellow & Blue", "Yellow, Red & Blue"};

QWidget* pair(QWidget* a, QWidget* b)
{
    auto* w = new QWidget;
    auto* row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(a, 1);
    row->addWidget(b);
    return w;
}

}  // namespace

CAnaSpectDiag::CAnaSpectDiag(const VesAnaParms& parms, std::int64_t rate, bool defaults, IColorMapStore& maps,
                             QWidget* parent)
    : CAnaSettingsDlg(QStringLiteral("Spectrogram settings"), parms, rate, defaults,
                      {static_cast<int>(SettingsMsg::SpectClose), static_cast<int>(SettingsMsg::SpectApply),
                       static_cast<int>(SettingsMsg::SpectOk)},
                      parent),
      m_maps(maps)
{
    const std::int64_t half = std::max<std::int64_t>(rate / 2, 1);
    m_min = new CNumEdit(NumEditFormat{0, 0, half - 1, false, true}, this);
    m_min->setAccessibleName(QStringLiteral("Min frequency"));
    m_max = new CNumEdit(NumEditFormat{0, 1, half, false, true}, this);
    m_max->setAccessibleName(QStringLiteral("Max frequency"));
    form()->addRow(QStringLiteral("Min and max frequency "), pair(m_min, m_max));

    m_fftSize = combo({}, QStringLiteral("FFT size"));
    m_fftSize->addItem(QStringLiteral("Automatic"), 0);
    for (int n = 2048; n >= 16; n /= 2)
        m_fftSize->addItem(QStringLiteral("%1 samples").arg(n), n);
    form()->addRow(QStringLiteral("FFT size"), m_fftSize);
    m_window = combo({}, QStringLiteral("FFT window"));
    for (auto [name, code] : {std::pair{"Hanning", 2}, {"Parzen", 1}, {"Hamming", 4}, {"Cosine", 8}, {"Rectangular", 0}})
        m_window->addItem(QString::fromUtf8(name), code);
    form()->addRow(QStringLiteral("FFT window"), m_window);
    m_overlap = new CNumEdit(NumEditFormat{0, 0, 99, false, true}, this);
    m_overlap->setAccessibleName(QStringLiteral("FFT Overlap"));
    m_autoOverlap = checkBox(QStringLiteral("Automatic"));
    // The overlap's spin button: 0 .. 98 in steps of 1.
    auto* overlapRow = new QWidget;
    auto* overlapBox = new QHBoxLayout(overlapRow);
    overlapBox->setContentsMargins(0, 0, 0, 0);
    overlapBox->setSpacing(0);
    overlapBox->addWidget(m_overlap, 1);
    for (int dir : {1, -1}) {
        auto* b = new QToolButton(this);
        b->setArrowType(dir > 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setAutoRepeat(true);
        b->setFixedWidth(20);
        b->setAccessibleName(dir > 0 ? QStringLiteral("More overlap") : QStringLiteral("Less overlap"));
        connect(b, &QToolButton::clicked, this, [this, dir] {
            const NumEditRead r = m_overlap->read();
            const std::int64_t v = std::clamp<std::int64_t>((r.ok() ? r.value : 0) + dir, 0, 98);
            m_overlap->setValue(v);
            if (v > 0 && m_autoOverlap->isChecked()) {
                const QSignalBlocker block(m_autoOverlap);
                m_autoOverlap->setChecked(false);
            }
        });
        overlapBox->addWidget(b);
    }
    overlapBox->addSpacing(8);
    overlapBox->addWidget(m_autoOverlap);
    form()->addRow(QStringLiteral("FFT Overlap (%)"), overlapRow);
    connect(m_autoOverlap, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            const NumEditRead r = m_overlap->read();
            if (r.ok())
                m_lastOverlap = r.value;
            m_overlap->setEmpty();
        } else {
            m_overlap->setValue(m_lastOverlap);
        }
    });
    connect(m_overlap, &QLineEdit::textEdited, this, [this] {
        const NumEditRead r = m_overlap->read();
        if (r.ok() && r.value > 0 && m_autoOverlap->isChecked()) {
            const QSignalBlocker block(m_autoOverlap);
            m_autoOverlap->setChecked(false);
        }
    });
    m_freqRes = new QLabel(this);
    m_freqRes->setAccessibleName(QStringLiteral("Frequency resolution"));
    form()->addRow(QStringLiteral("Frequency resolution"), m_freqRes);
    m_timeBetween = new QLabel(this);
    m_timeBetween->setAccessibleName(QStringLiteral("Time between FFTs"));
    form()->addRow(QStringLiteral("Time between FFTs"), m_timeBetween);

    m_left = checkBox(QStringLiteral("Left Channel"));
    m_right = checkBox(QStringLiteral("Right Channel"));
    form()->addRow(QString(), pair(m_left, m_right));

    m_threshold = new QSlider(Qt::Horizontal, this);
    m_threshold->setRange(0, 32);
    m_threshold->setAccessibleName(QStringLiteral("Threshold"));
    m_thresholdValue = new QLabel(this);
    m_thresholdValue->setMinimumWidth(24);
    connect(m_threshold, &QSlider::valueChanged, m_thresholdValue, [this](int v) { m_thresholdValue->setNum(v); });
    form()->addRow(QStringLiteral("Threshold "), pair(m_threshold, m_thresholdValue));

    m_colors = combo({}, QStringLiteral("Amplitude color mapping"));
    auto* userColors = new QPushButton(QStringLiteral("User Colors"), this);
    userColors->setAccessibleName(QStringLiteral("User Colors"));
    connect(userColors, &QPushButton::clicked, this, &CAnaSpectDiag::editUserColors);
    form()->addRow(QStringLiteral("Amplitude color mapping"), pair(m_colors, userColors));

    m_contrast = new QSlider(Qt::Horizontal, this);
    m_contrast->setRange(0, 20);
    m_contrast->setAccessibleName(QStringLiteral("Amplitude contrast"));
    m_contrastValue = new QLabel(this);
    m_contrastValue->setMinimumWidth(24);
    connect(m_contrast, &QSlider::valueChanged, m_contrastValue, [this](int v) { m_contrastValue->setNum(v - 10); });
    form()->addRow(QStringLiteral("Amplitude contrast"), pair(m_contrast, m_contrastValue));

    m_scale = checkBox(QStringLiteral("Show amplitude color bar"));
    m_invColors = checkBox(QStringLiteral("Low level de-emphasis"));
    form()->addRow(QString(), pair(m_scale, m_invColors));
    m_fontSize = addFontSizeRow();
    m_allTicks = checkBox(QStringLiteral("Values at all ticks (frequency axis)"));
    form()->addRow(QString(), m_allTicks);
    m_freqGrid = addFrequencyGridRow();
    m_timeGrid = addTimeGridRow(QStringLiteral("%1 / value"));
    finishLayout();
}

void CAnaSpectDiag::fillColorList(const VesAnaParms& p)
{
    const QSignalBlocker block(m_colors);
    m_colors->clear();
    for (int i = 0; i < 8; ++i)
        m_colors->addItem(QString::fromUtf8(kSchemeNames[i]), i);
    const std::vector<VesColorMap>& maps = m_maps.userColorMaps();
    for (std::size_t i = 0; i < maps.size(); ++i)
        m_colors->addItem(QString::fromStdString(maps[i].m_name), 100 + static_cast<int>(i));
    int current = -1;
    if (p.m_colorScheme == vesnames::kUserColorScheme) {
        current = m_colors->findText(QString::fromStdString(p.m_colorMap.m_name), Qt::MatchExactly);
        if (current < 8) {
            // A map the list does not hold (from a recording, or unnamed).
            const QString name = p.m_colorMap.m_name.empty() ? QStringLiteral("User defined")
                                                              : QString::fromStdString(p.m_colorMap.m_name);
            m_colors->addItem(name, kOwnMap);
            current = m_colors->count() - 1;
        }
    } else {
        current = m_colors->findData(p.m_colorScheme);
    }
    m_colors->setCurrentIndex(std::max(current, 0));
}

void CAnaSpectDiag::load(const VesAnaParms& p)
{
    const std::int64_t half = m_rate / 2;
    plotSize()->load(p.m_plotSize);
    if (p.m_spectMin < 0)
        m_min->setEmpty();
    else
        m_min->setValue(p.m_spectMin);
    m_max->setValue(p.m_spectMax < 0 ? half : p.m_spectMax);
    selectData(m_fftSize, p.m_fftSize, QStringLiteral("%1 samples").arg(p.m_fftSize));
    // The list names these windows; every other code shows as rectangular.
    const FftWindow window = fftWindowOf(p.m_fftWindow);
    const bool named = window == FftWindow::Parzen || window == FftWindow::Hanning || window == FftWindow::Hamming ||
                       window == FftWindow::Cosine;
    selectData(m_window, named ? p.m_fftWindow : fftWindowCode(FftWindow::Rectangular), QString());
    {
        const QSignalBlocker block(m_autoOverlap);
        m_autoOverlap->setChecked(p.m_fftOverLap < 0);
    }
    if (p.m_fftOverLap < 0)
        m_overlap->setEmpty();
    else
        m_overlap->setValue(p.m_fftOverLap);
    if (p.m_fftOverLap >= 0)
        m_lastOverlap = p.m_fftOverLap;
    m_left->setChecked(p.m_leftChan);
    m_right->setChecked(p.m_rightChan);
    m_threshold->setValue(p.m_fftThresHold);
    m_thresholdValue->setNum(m_threshold->value());
    fillColorList(p);
    m_contrast->setValue(10 - p.m_contrast);
    m_contrastValue->setNum(m_contrast->value() - 10);
    m_scale->setChecked(p.m_scale);
    m_invColors->setChecked(p.m_invColors);
    m_fontSize->setValue(p.m_fontSize);
    m_allTicks->setChecked(p.m_freqAllTicksLabels);
    selectData(m_freqGrid, p.m_spectGridY, QStringLiteral("%1 / tick mark").arg(p.m_spectGridY));
    selectData(m_timeGrid, p.m_spectGridX, QStringLiteral("%1 / value").arg(p.m_spectGridX));
}

bool CAnaSpectDiag::store(VesAnaParms& p, bool messages)
{
    auto field = [messages](CNumEdit* e, std::int64_t& out, std::int64_t emptyValue) {
        return settingsfields::read(e, out, emptyValue, messages);
    };
    std::int64_t plot = 0, lo = 0, hi = 0, overlap = -1;
    if (!field(plotSize()->edit(), plot, 0) || !field(m_min, lo, -1) || !field(m_max, hi, -1))
        return false;
    if (!m_autoOverlap->isChecked() && !field(m_overlap, overlap, -1))
        return false;
    p.m_plotSize = plot;
    p.m_spectMin = lo;
    p.m_spectMax = hi >= 0 && hi == m_rate / 2 ? -1 : hi;
    p.m_fftSize = m_fftSize->currentData().toInt();
    p.m_fftWindow = m_window->currentData().toInt();
    p.m_fftOverLap = m_autoOverlap->isChecked() ? -1 : static_cast<std::int32_t>(overlap);
    p.m_leftChan = m_left->isChecked();
    p.m_rightChan = m_right->isChecked();
    p.m_fftThresHold = m_threshold->value();
    const int colors = m_colors->currentData().toInt();
    const std::vector<VesColorMap>& maps = m_maps.userColorMaps();
    if (colors >= 100 && static_cast<std::size_t>(colors - 100) < maps.size()) {
        p.m_colorScheme = 100;
        p.m_colorMap = maps[static_cast<std::size_t>(colors - 100)];
    } else if (colors == kOwnMap) {
        p.m_colorScheme = 100;
        p.m_colorMap = m_parms.m_colorMap;
    } else {
        p.m_colorScheme = colors;
        p.m_colorMap = VesColorMap{};
    }
    p.m_contrast = 10 - m_contrast->value();
    p.m_scale = m_scale->isChecked();
    p.m_invColors = m_invColors->isChecked();
    p.m_fontSize = m_fontSize->value();
    p.m_freqAllTicksLabels = m_allTicks->isChecked();
    p.m_spectGridY = m_freqGrid->currentData().toInt();
    p.m_spectGridX = m_timeGrid->currentData().toInt();
    return true;
}

std::string CAnaSpectDiag::check(const VesAnaParms& p) const
{
    return checkSpectSettings(p, m_rate);
}

void CAnaSpectDiag::refreshDerived()
{
    const int n = m_fftSize->currentData().toInt();
    const int overlap = m_autoOverlap->isChecked() ? -1 : static_cast<int>(m_overlap->read().ok() ? m_overlap->read().value : -1);
    m_timeBetween->setText(QString::fromStdString(timeBetweenFftsText(n, overlap, m_rate)));
    m_freqRes->setText(QString::fromStdString(frequencyResolutionText(n, m_window->currentData().toInt(), m_rate)));
}

void CAnaSpectDiag::editUserColors()
{
    VesAnaParms current = m_parms;
    store(current, false);
    CUserColorMapsDlg dlg(m_maps, this);
    dlg.exec();
    fillColorList(current);
}
