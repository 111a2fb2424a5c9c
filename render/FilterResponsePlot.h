// Draws a filter's magnitude response: 0 Hz to the Nyquist frequency along,
// −50 dB to a little above 0 dB up (levels below −50 dB lie on the bottom
// line), with the frequency and level axes. Screen, pictures and paper use it
// alike.
#pragma once

#include <QPainter>
#include <QRect>

#include <vector>

// `magnitudes`: |H| at evenly spaced frequencies from 0 to nyquistHz, the
// peak at 1. `area`: the rectangle of the whole plot, axes and labels inside.
void drawFilterResponse(QPainter& painter, const QRect& area, const std::vector<double>& magnitudes, double nyquistHz);

// How many response points a plot `width` pixels wide needs: one a pixel, at
// least 1024, so that a narrow band-pass shows its passband.
int filterResponsePoints(int width);
