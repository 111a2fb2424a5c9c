// A QGuiApplication for drawing without a display (command-line tool, tests,
// benchmarks): fonts and image writers need one.
#pragma once

#include <memory>

class QGuiApplication;

// Creates the application object unless one exists already, choosing Qt's
// offscreen platform when QT_QPA_PLATFORM names none, and keeps Qt's notes
// below critical messages off standard error. The result owns the
// object it created (nullptr when one existed); keep it alive while drawing.
std::unique_ptr<QGuiApplication> makeHeadlessGuiApplication();
