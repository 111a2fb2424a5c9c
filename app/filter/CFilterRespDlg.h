// "Frequency Response": the magnitude response of a designed filter.
#pragma once

#include "filter/SosCascade.h"

#include <QDialog>
#include <QWidget>

#include <vector>

class CFilterResponsePlot : public QWidget {
    Q_OBJECT
public:
    CFilterResponsePlot(const SosCascade& sections, double nyquistHz, QWidget* parent = nullptr);
    // The magnitudes drawn, peak at 1, from 0 Hz to the Nyquist frequency.
    const std::vector<double>& magnitudes() const { return m_magnitudes; }
    QSize sizeHint() const override { return {560, 340}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void compute();
    SosCascade m_sections;
    double m_nyquistHz;
    std::vector<double> m_magnitudes;
};

class CFilterRespDlg : public QDialog {
    Q_OBJECT
public:
    CFilterRespDlg(const SosCascade& sections, double nyquistHz, QWidget* parent = nullptr);
    CFilterResponsePlot* plot() const { return m_plot; }

private:
    CFilterResponsePlot* m_plot;
};
