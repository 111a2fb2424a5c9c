#include "soundio/CVirtStartDlg.h"

#include "filter/CVesFilterDlg.h"
#include "filter/FilterDesign.h"
#include "soundio/VirtualDetector.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

CVirtStartDlg::CVirtStartDlg(int speedFactor, bool useSpeedFactor, std::uint32_t rateHz, double nyquistHz, QWidget* parent)
    : QDialog(parent), m_rateHz(rateHz), m_nyquistHz(nyquistHz)
{
    setWindowTitle(QStringLiteral("Virtual Bat Detector"));
    setAccessibleName(QStringLiteral("Virtual Bat Detector"));

    m_speed = new QSpinBox(this);
    m_speed->setRange(detector::kMinSpeedFactor, detector::kMaxSpeedFactor);
    m_speed->setValue(speedFactor);
    m_speed->setAccessibleName(QStringLiteral("Speed factor"));
    m_useSpeed = new QCheckBox(QStringLiteral("  Use the speed factor to calculate playback sampling rate."), this);
    m_useSpeed->setChecked(useSpeedFactor);
    m_useSpeed->setAccessibleName(QStringLiteral("Use the speed factor to calculate playback sampling rate"));
    m_playRate = new QLineEdit(this);
    m_playRate->setReadOnly(true);
    m_playRate->setAccessibleName(QStringLiteral("Play speed"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Speed factor"), m_speed);
    form->addRow(m_useSpeed);
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(m_playRate);
    rateRow->addWidget(new QLabel(QStringLiteral("Hz (samples per sec.)"), this));
    form->addRow(QStringLiteral("Play speed:"), rateRow);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QDialogButtonBox::Ok);
    m_ok->setAccessibleName(QStringLiteral("OK"));
    m_select = buttons->addButton(QStringLiteral("Select Filter"), QDialogButtonBox::ActionRole);
    m_select->setAccessibleName(QStringLiteral("Select Filter"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_select, &QPushButton::clicked, this, &CVirtStartDlg::selectFilter);
    connect(m_speed, &QSpinBox::valueChanged, this, &CVirtStartDlg::updateFields);
    connect(m_useSpeed, &QCheckBox::toggled, this, &CVirtStartDlg::updateFields);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_defined = designCurrent();
    updateFields();
}

int CVirtStartDlg::speedFactor() const { return m_speed->value(); }
bool CVirtStartDlg::useSpeedFactor() const { return m_useSpeed->isChecked(); }

std::uint32_t CVirtStartDlg::playRateHz() const
{
    return detector::playbackRateHz(m_rateHz, speedFactor(), useSpeedFactor());
}

void CVirtStartDlg::updateFields()
{
    m_playRate->setText(QString::number(playRateHz()));
    m_ok->setEnabled(m_defined);
}

bool CVirtStartDlg::designCurrent()
{
    FilterRecord r = CVesFilterDlg::programRecord();
    FilterDesignResult d = designFilter(r, m_nyquistHz);
    if (!d.ok)
        return false;
    m_record = r;
    m_sections = d.sections;
    return true;
}

void CVirtStartDlg::selectFilter()
{
    CVesFilterDlg dlg(CVesFilterDlg::programRecord(), m_nyquistHz, this);
    if (dlg.exec() == QDialog::Accepted) {
        CVesFilterDlg::programRecord() = dlg.record();
        m_record = dlg.record();
        m_sections = dlg.sections();
        m_defined = true;
        m_chosen = true;
    }
    updateFields();
}
