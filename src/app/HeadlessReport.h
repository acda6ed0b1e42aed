#pragma once

#include "CommandLine.h"

/// A report written from the command line without a window: the stored settings are read (and
/// never written), the path is scanned (or the saved scan opened) by a scan session of its own,
/// and the report goes through the session's writers. Progress is shown on standard error when
/// it is a terminal; the outcome is the exit status, with the reason on standard error when the
/// report was not written (1), or the folders that could not be read when it was written
/// incomplete (2).
namespace HeadlessReport {

/// Runs the report the request names (Mode::Report) and returns the exit status. It makes the
/// application object the format needs: none of Qt's display for CSV, text and workbooks,
/// the GUI part for HTML (the chart's picture), widgets for PDF (the grid prints through its
/// view); the offscreen platform is chosen when there is no display.
int run(int &argc, char **argv, const CommandLine::Request &request);

/// At most this many unreadable folders are named on standard error; the rest are counted.
inline constexpr int NamedUnreadable = 20;

} // namespace HeadlessReport
