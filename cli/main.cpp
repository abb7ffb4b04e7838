// orvane-replace-cli: the batch run without a window. See --help.

#include "cli/cli_options.h"
#include "cli/cli_sink.h"
#include "cli/stop_signals.h"
#include "platform/qt_file_facts.h"
#include "run/batch_run.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

int usageError(const std::string &message)
{
    std::fprintf(stderr, "orvane-replace-cli: %s\nTry 'orvane-replace-cli --help'.\n",
                 message.c_str());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace orvane;

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const cli::ParsedFlags parsed = cli::parseArguments(arguments);
    if (!parsed.error.empty())
        return usageError(parsed.error);
    if (parsed.flags.help) {
        const std::string help = cli::helpText();
        std::fwrite(help.data(), 1, help.size(), stdout);
        return 0;
    }

    const cli::BuiltSettings built = cli::buildSettings(parsed.flags);
    if (built.validation != Validation::Ok) {
        std::fprintf(stderr, "%s\n", std::string(ValidationMessage(built.validation)).c_str());
        return 2;
    }
    if (!built.error.empty())
        return usageError(built.error);

    // The type texts and dates come from QtCore (MIME database, system locale).
    QCoreApplication application(argc, argv);
    const platform::QtFileFacts facts;

    RunState state;
    cli::CliSink sink(STDOUT_FILENO, stderr, built.cli.pathsOnly, built.cli.nullTerminated);
    // Begun before the signals are caught, so an interrupt from then on is never undone.
    BeginRun(state, sink);
    cli::installStopSignals(state);
    WalkRun(built.cli.settings, state, sink, facts);
    cli::releaseStopSignals();
    sink.finish();

    if (sink.failureCount() > 0)
        return 2;
    return state.ChangedCount.load() > 0 ? 0 : 1;
}
