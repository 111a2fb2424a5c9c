#include "shell/CSaveVcsParmsDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QSpinBox* spin(QWidget* parent, int low, int high, int value)
{
    auto* s = new QSpinBox(parent);
    s->setRange(low, high);
    s->setValue(std::clamp(value, low, high));
    return s;
}
}  // namespace

CSaveVcsParmsDlg::CSaveVcsParmsDlg(QWidget* parent, int silentLevelDb, int beforeMs, int afterMs) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Save Compressed Parameters"));
    m_level = spin(this, -99, 99, silentLevelDb);
    m_before = spin(this, 0, 9999, beforeMs);
    m_after = spin(this, 0, 9999, afterMs);
    auto* top = new QFormLayout;
    top->addRow(QStringLiteral("Silent level (dB)"), m_level);
    auto* times = new QGroupBox(QStringLiteral("Silent time (ms)"), this);
    auto* tf = new QFormLayout(times);
    tf->addRow(QStringLiteral("Before pulse"), m_before);
    tf->addRow(QStringLiteral("After pulse"), m_after);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* box = new QVBoxLayout(this);
    box->addLayout(top);
    box->addWidget(times);
    box->addWidget(buttons);
}

int CSaveVcsParmsDlg::silentLevelDb() const
{
    return m_level->value();
}

int CSaveVcsParmsDlg::beforeMs() const
{
    return m_before->value();
}

int CSaveVcsParmsDlg::afterMs() const
{
    return m_after->value();
}
