#pragma once

// The signals that end a command-line run: each asks the run to stop after the file under
// way, so no rewrite is cut short, no temporary file is left behind and the summary prints.

#include "run/batch_run.h"

#include <csignal>

namespace orvane::cli {

// Ctrl+C, kill, and a closed terminal.
inline constexpr int kStopSignals[] = { SIGINT, SIGTERM, SIGHUP };

// Points every stop signal at `state` and ignores SIGPIPE. The handlers stay installed: a
// second signal asks again rather than killing the program in the middle of a rewrite.
void installStopSignals(RunState &state);

// Signals that come after the run has ended do nothing.
void releaseStopSignals();

} // namespace orvane::cli
