#include "cli/stop_signals.h"

#include <atomic>

namespace orvane::cli {

namespace {

std::atomic<RunState *> g_state { nullptr };
static_assert(std::atomic<RunState *>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free); // StopRun stores one: signal-safe

extern "C" void stopOnSignal(int)
{
    if (RunState *state = g_state.load())
        StopRun(*state);
}

} // namespace

void installStopSignals(RunState &state)
{
    g_state = &state;
    struct sigaction action
    {
    };
    action.sa_handler = stopOnSignal;
    action.sa_flags = SA_RESTART; // no SA_RESETHAND: a second signal must not kill a rewrite
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals)
        sigaction(signal, &action, nullptr);
    // A closed pipe (e.g. "| head") must not kill the program in the middle of a rewrite;
    // the sink stops writing instead and the run finishes its files.
    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

void releaseStopSignals()
{
    g_state = nullptr;
}

} // namespace orvane::cli
