#include "pulse/CAnaRateSet.h"

#include "widgets/CNumEdit.h"
#include "pulse/RateHistogram.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QLineEdit* field(QWidget* parent, const QString& name, const QString& text)
{
    auto* e = new QLineEdit(text, parent);
    e->setAccessibleName(name);
    return e;
}

// The integer of `e` within [lo, hi]; false after the message.
bool readInt(QWidget* parent, QLineEdit* e, long long lo, long long hi, long long& v)
{
    bool ok = false;
    v = e->text().trimmed().toLongLong(&ok);
    if (!ok || v < lo || v > hi) {
        CNumEdit::showMessage(parent, "Please enter an integer between " + std::to_string(lo) + " and " +
                                          std::to_string(hi) + ".");
        e->setFocus();
        e->selectAll();
        return false;
    }
    return true;
}

}  // namespace

CAnaRateSet::CAnaRateSet(const VesRateParms& parms, bool thresholdAutomatic, QWidget* parent)
    : QDialog(parent), m_parms(parms), m_thresholdAutomatic(thresholdAutomatic || parms.m_threshold <= 0)
{
    setWindowTitle(QStringLiteral("Pulse Interval / Pulse Length Analysis Settings"));
    setAccessibleName(windowTitle());
    auto* form = new QFormLayout;
    m_delay = field(this, QStringLiteral("Detection delay time"), QString::number(parms.m_delay));
    form->addRow(QStringLiteral("Detection delay time"), m_delay);
    m_auto = new QCheckBox(QStringLiteral("Automatic calculation of settings below"), this);
    m_auto->setAccessibleName(m_auto->text());
    m_auto->setChecked(parms.m_autoCalc);
    form->addRow(m_auto);
    m_start = field(this, QStringLiteral("Histogram start time"), QString::number(parms.m_histStart));
    m_end = field(this, QStringLiteral("Histogram end time"), QString::number(parms.m_histEnd));
    form->addRow(QStringLiteral("Histogram start time"), m_start);
    form->addRow(QStringLiteral("Histogram end time"), m_end);
    m_threshold = field(this, QStringLiteral("Detection threshold %"),
                        m_thresholdAutomatic ? QString() : QString::number(rateThresholdToPercent(parms.m_threshold)));
    m_threshold->setPlaceholderText(QStringLiteral("automatic"));
    form->addRow(QStringLiteral("Detection threshold %"), m_threshold);
    m_bars = field(this, QStringLiteral("Number of histogram bars"), QString::number(parms.m_barAnt));
    form->addRow(QStringLiteral("Number of histogram bars"), m_bars);
    m_contUpd = new QCheckBox(QStringLiteral("Continuous update"), this);
    m_contUpd->setAccessibleName(m_contUpd->text());
    m_contUpd->setChecked(parms.m_contUpd);
    form->addRow(m_contUpd);
    form->addRow(new QLabel(QStringLiteral("Times above are expressed in milliseconds"), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAnaRateSet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* box = new QVBoxLayout(this);
    box->addLayout(form);
    box->addWidget(buttons);
}

void CAnaRateSet::accept()
{
    long long delay = 0, start = 0, end = 0, percent = 0, bars = 0;
    if (!readInt(this, m_delay, -2147483648LL, 2147483647LL, delay) || !readInt(this, m_start, 0, 999999, start) ||
        !readInt(this, m_end, 1, 999999, end))
        return;
    const bool automaticThreshold = m_threshold->text().trimmed().isEmpty();
    if (!automaticThreshold && !readInt(this, m_threshold, 1, 100, percent))
        return;
    if (!readInt(this, m_bars, 2, 1024, bars))
        return;
    if (const auto msg = validateRateSettings(static_cast<std::int32_t>(start), static_cast<std::int32_t>(end),
                                              static_cast<std::int32_t>(bars))) {
        CNumEdit::showMessage(this, *msg);
        return;
    }
    m_parms.m_delay = static_cast<std::int32_t>(delay);
    m_parms.m_autoCalc = m_auto->isChecked();
    m_parms.m_histStart = static_cast<std::int32_t>(start);
    m_parms.m_histEnd = static_cast<std::int32_t>(end);
    m_parms.m_barAnt = static_cast<std::int32_t>(bars);
    m_parms.m_contUpd = m_contUpd->isChecked();
    m_thresholdAutomatic = automaticThreshold;
    m_parms.m_threshold = automaticThreshold ? -1 : RatePercentToThreshold(static_cast<int>(percent));
    QDialog::accept();
}
