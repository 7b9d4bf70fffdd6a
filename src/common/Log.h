#pragma once

#include "common/PluginApi.h"

#include <QString>

#include <functional>

/// The program's diagnostic log: one line per event, written to the system log (syslog, which reaches
/// the journal). Lines start with the emoji that classifies them; there are no levels and no log file.
/// Safe to call from any thread. Nothing secret is ever passed here.
namespace Log {

/// Writes one diagnostic line.
NETLATCH_PLUGIN_API void write(const QString &line);

/// Text that came from outside the program (a D-Bus caller's action name or argument), made safe for
/// one line: control characters and backslashes escaped, cut to `maxLength` characters with "…".
NETLATCH_PLUGIN_API QString quoted(const QString &outside, qsizetype maxLength = 120);

/// Gives a line to the stderr copy only (when it is on), not to the system log: for a line the
/// system log already holds from before (see LogOnChange).
void echo(const QString &line);

/// Copies every line to stderr as well (the command line's --verbose).
void setStderrCopy(bool enabled);

/// Replaces the system log with a sink (tests capture lines with it); an empty sink restores syslog.
using Sink = std::function<void(const QString &line)>;
void setSink(Sink sink);

} // namespace Log
