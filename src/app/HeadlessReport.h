#pragma once

#include "CommandLine.h"

/// A report written from the command line without a window: the stored settings are read (and
/// never written), the path is scanned by the window's own scan command (or the saved scan
/// opened by its own open command) in a window that never reaches the screen, and the report goes
/// through the export command's writers. Progress is shown on standard error when it is a terminal;
/// the outcome is the exit status, with a one-line reason on standard error when it failed.
namespace HeadlessReport {

/// Chooses the offscreen platform when none is set and there is no display to show on, and keeps
/// Qt's own notes off standard error; must run before the application object is made.
void prepare();

/// Runs the report the request names (Mode::Report) inside an existing QApplication. Returns
/// the exit status: 0 when the report was written, 1 otherwise.
int run(const CommandLine::Request &request);

} // namespace HeadlessReport
