#include "power/CPowerSettingsDlg.h"

#include "core/NumberText.h"
#include "widgets/CNumEdit.h"
#include "power/PowerScale.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kWindowCodes[] = {0, 2, 1, 4, 8};  // Rectangular, Hanning, Parzen, Hamming, Cosine

QString numberText(double v)
{
    char buf[64];
    vkit::snprintfC(buf, sizeof buf, "%g", v);
    return QString::fromLatin1(buf);
}

bool readNumber(const QLineEdit* e, double& v)
{
    double d = 0;
    const std::string text = e->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toStdString();
    if (!vkit::parseDouble(text, d) || !std::isfinite(d))
        return false;
    v = d;
    return true;
}

}  // namespace

CPowerSettingsDlg::CPowerSettingsDlg(const VesPowerParms& parms, double rateHz, QWidget* parent)
    : QDialog(parent), m_parms(parms), m_rateHz(rateHz)
{
    setWindowTitle(QStringLiteral("Power spectrum settings"));
    setAccessibleName(QStringLiteral("Power spectrum settings"));
    auto* form = new QFormLayout;
    m_fftSize = new QComboBox(this);
    m_fftSize->setAccessibleName(QStringLiteral("FFT size"));
    m_fftSize->addItem(QStringLiteral("Automatic"), 0);
    for (int n = 16384; n >= 16; n /= 2)
        m_fftSize->addItem(QStringLiteral("%1 samples").arg(n), n);
    m_fftSize->setCurrentIndex(std::max(0, m_fftSize->findData(parms.m_fftSize > 0 ? parms.m_fftSize : 0)));
    form->addRow(QStringLiteral("FFT size"), m_fftSize);

    m_window = new QComboBox(this);
    m_window->setAccessibleName(QStringLiteral("FFT window"));
    for (const char* name : {"Rectangular", "Hanning", "Parzen", "Hamming", "Cosine"})
        m_window->addItem(QString::fromLatin1(name));
    int wi = 0;
    for (int i = 0; i < 5; ++i)
        if (kWindowCodes[i] == parms.m_fftWindow)
            wi = i;
    m_window->setCurrentIndex(wi);
    form->addRow(QStringLiteral("FFT window"), m_window);

    m_minLevel = new QLineEdit(this);
    m_minLevel->setAccessibleName(QStringLiteral("Min level"));
    m_maxLevel = new QLineEdit(this);
    m_maxLevel->setAccessibleName(QStringLiteral("Max level"));
    form->addRow(QStringLiteral("Min level"), m_minLevel);
    form->addRow(QStringLiteral("Max level"), m_maxLevel);

    // A stored maximum of 0 or less, or an inconsistent pair, shows as R/2 and 0.
    const PowerFrequencyRange r = powerFrequencyRange(parms, rateHz);
    m_minFreq = new QLineEdit(QString::number(static_cast<qlonglong>(std::llround(r.minHz))), this);
    m_minFreq->setAccessibleName(QStringLiteral("Min freq"));
    m_maxFreq = new QLineEdit(QString::number(static_cast<qlonglong>(std::llround(r.maxHz))), this);
    m_maxFreq->setAccessibleName(QStringLiteral("Max freq"));
    form->addRow(QStringLiteral("Min freq"), m_minFreq);
    form->addRow(QStringLiteral("Max freq"), m_maxFreq);

    m_contUpd = new QCheckBox(QStringLiteral("Continuous update"), this);
    m_contUpd->setAccessibleName(QStringLiteral("Continuous update"));
    m_contUpd->setChecked(parms.m_contUpd);
    m_logScale = new QCheckBox(QStringLiteral("Logarithmic scale"), this);
    m_logScale->setAccessibleName(QStringLiteral("Logarithmic scale"));
    m_logScale->setChecked(parms.m_logScale);
    form->addRow(m_contUpd);
    form->addRow(m_logScale);
    showLevels();
    connect(m_logScale, &QCheckBox::toggled, this, &CPowerSettingsDlg::logScaleToggled);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPowerSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* box = new QVBoxLayout(this);
    box->addLayout(form);
    box->addWidget(buttons);
}

void CPowerSettingsDlg::showLevels()
{
    if (m_parms.m_logScale) {
        m_minLevel->setText(numberText(m_parms.m_zeroDB));
        m_maxLevel->setText(numberText(m_parms.m_maxDB));
        m_otherMin = m_parms.m_zeroV;
        m_otherMax = m_parms.m_maxV;
    } else {
        m_minLevel->setText(numberText(m_parms.m_zeroV));
        m_maxLevel->setText(numberText(m_parms.m_maxV));
        m_otherMin = m_parms.m_zeroDB;
        m_otherMax = m_parms.m_maxDB;
    }
}

void CPowerSettingsDlg::logScaleToggled(bool on)
{
    // The edits swap between the dB pair and the V² pair.
    double shownMin = 0, shownMax = 0;
    readNumber(m_minLevel, shownMin);
    readNumber(m_maxLevel, shownMax);
    m_minLevel->setText(numberText(m_otherMin));
    m_maxLevel->setText(numberText(m_otherMax));
    m_otherMin = shownMin;
    m_otherMax = shownMax;
    (void)on;
}

void CPowerSettingsDlg::accept()
{
    double minLevel = 0, maxLevel = 0, minFreq = 0, maxFreq = 0;
    if (!readNumber(m_minLevel, minLevel) || !readNumber(m_maxLevel, maxLevel) || !readNumber(m_minFreq, minFreq) ||
        !readNumber(m_maxFreq, maxFreq) || minFreq < -1e9 || maxFreq > 1e9) {
        CNumEdit::showMessage(this, "Please enter a number.");
        return;
    }
    const bool log = m_logScale->isChecked();
    const std::string msg = validatePowerSettings(minLevel, maxLevel, log, std::llround(minFreq), std::llround(maxFreq), m_rateHz);
    if (!msg.empty()) {
        CNumEdit::showMessage(this, msg);
        return;
    }
    m_parms.m_fftSize = m_fftSize->currentData().toInt();
    m_parms.m_fftWindow = kWindowCodes[std::clamp(m_window->currentIndex(), 0, 4)];
    m_parms.m_logScale = log;
    m_parms.m_contUpd = m_contUpd->isChecked();
    if (log) {
        m_parms.m_zeroDB = static_cast<std::int32_t>(std::lround(minLevel));
        m_parms.m_maxDB = static_cast<std::int32_t>(std::lround(maxLevel));
        m_parms.m_zeroV = m_otherMin;
        m_parms.m_maxV = m_otherMax;
    } else {
        m_parms.m_zeroV = minLevel;
        m_parms.m_maxV = maxLevel;
        m_parms.m_zeroDB = static_cast<std::int32_t>(std::lround(m_otherMin));
        m_parms.m_maxDB = static_cast<std::int32_t>(std::lround(m_otherMax));
    }
    m_parms.m_minFrequency = static_cast<std::int32_t>(std::llround(minFreq));
    m_parms.m_maxFrequency = static_cast<std::int32_t>(std::llround(maxFreq));
    QDialog::accept();
}
