// What screen readers and other assistive tools see of an analysis plot: the
// plot with one child per pane it shows (each oscillogram, spectrogram or
// zero-crossing pane of each channel, and the colour bars), named by the
// pane's title, with the pane's place on the screen.
#pragma once

// Installs the accessibility factory of CAnaPlot (once; later calls do nothing).
void installPlotAccessibility();
