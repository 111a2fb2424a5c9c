#include "filter/CFilterRespDlg.h"

#include "filter/FilterDesign.h"
#include "render/FilterResponsePlot.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QPainter>
#include <QVBoxLayout>

CFilterResponsePlot::CFilterResponsePlot(const SosCascade& sections, double nyquistHz, QWidget* parent)
    : QWidget(parent), m_sections(sections), m_nyquistHz(nyquistHz)
{
    setAccessibleName("Frequency response plot");
    setMinimumSize(320, 200);
    compute();
}

void CFilterResponsePlot::compute()
{
    const int points = filterResponsePoints(width());
    if (static_cast<int>(m_magnitudes.size()) != points)
        m_magnitudes = normalisedMagnitudeResponse(m_sections, points);
}

void CFilterResponsePlot::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    compute();
}

void CFilterResponsePlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    drawFilterResponse(p, rect(), m_magnitudes, m_nyquistHz);
}

CFilterRespDlg::CFilterRespDlg(const SosCascade& sections, double nyquistHz, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Frequency Response");
    setAccessibleName("Frequency Response");
    auto* layout = new QVBoxLayout(this);
    m_plot = new CFilterResponsePlot(sections, nyquistHz, this);
    layout->addWidget(m_plot, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName("OK");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
