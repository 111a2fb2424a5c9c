#include "display/CVesAnaOscDiag.h"

#include "display/SettingsFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>

namespace {

QComboBox* gridCombo(const QString& name)
{
    auto* c = new QComboBox;
    c->setAccessibleName(name);
    c->addItem(QStringLiteral("None"), 0);
    for (int i = 1; i <= 5; ++i)
        c->addItem(QString::number(i), i);
    return c;
}

}  // namespace

CVesAnaOscDiag::CVesAnaOscDiag(const VesAnaParms& parms, std::int64_t rate, bool defaults, QWidget* parent)
    : CAnaSettingsDlg(QStringLiteral("Oscillogram settings"), parms, rate, defaults,
                      {static_cast<int>(SettingsMsg::OscClose), static_cast<int>(SettingsMsg::OscApply),
                       static_cast<int>(SettingsMsg::OscOk)},
                      parent)
{
    m_min = new CNumEdit(NumEditFormat{2, -10000, 9999, true, false}, this);
    m_min->setAccessibleName(QStringLiteral("Min amplitude"));
    m_max = new CNumEdit(NumEditFormat{2, -9999, 10000, true, false}, this);
    m_max->setAccessibleName(QStringLiteral("Max amplitude"));
    m_min->setEnabled(!defaults);
    m_max->setEnabled(!defaults);
    form()->addRow(QStringLiteral("Min and max amplitude (%)"), settingsfields::row(m_min, m_max));
    m_left = checkBox(QStringLiteral("Left Channel"));
    m_right = checkBox(QStringLiteral("Right Channel"));
    form()->addRow(QString(), settingsfields::row(m_left, m_right));
    m_cont = checkBox(QStringLiteral("Line between samples"));
    form()->addRow(QString(), m_cont);
    m_ampGrid = gridCombo(QStringLiteral("Amplitude grid"));
    form()->addRow(QStringLiteral("Amplitude grid"), m_ampGrid);
    m_timeGrid = gridCombo(QStringLiteral("Time grid"));
    form()->addRow(QStringLiteral("Time grid"), m_timeGrid);
    finishLayout();
}

void CVesAnaOscDiag::load(const VesAnaParms& p)
{
    plotSize()->load(p.m_plotSize);
    if (!m_defaults) {
        m_min->setValue(p.m_ampMin);
        m_max->setValue(p.m_ampMax);
    }
    m_left->setChecked(p.m_leftChan);
    m_right->setChecked(p.m_rightChan);
    m_cont->setChecked(p.m_ampCont);
    selectData(m_ampGrid, p.m_oscGridY, QString::number(p.m_oscGridY));
    selectData(m_timeGrid, p.m_oscGridX, QString::number(p.m_oscGridX));
}

bool CVesAnaOscDiag::store(VesAnaParms& p, bool messages)
{
    std::int64_t plot = 0, lo = p.m_ampMin, hi = p.m_ampMax;
    if (!settingsfields::read(plotSize()->edit(), plot, 0, messages))
        return false;
    if (!m_defaults &&
        (!settingsfields::read(m_min, lo, 0, messages) || !settingsfields::read(m_max, hi, 0, messages)))
        return false;
    p.m_plotSize = plot;
    p.m_ampMin = lo;
    p.m_ampMax = hi;
    p.m_leftChan = m_left->isChecked();
    p.m_rightChan = m_right->isChecked();
    p.m_ampCont = m_cont->isChecked();
    p.m_oscGridY = m_ampGrid->currentData().toInt();
    p.m_oscGridX = m_timeGrid->currentData().toInt();
    return true;
}

std::string CVesAnaOscDiag::check(const VesAnaParms& p) const
{
    return checkOscSettings(p, !m_defaults);
}
