#pragma once

// Command-line parsing in two stages: the raw flags as typed, then the same RunSettings the
// window builds. Kept apart from main() so tests can drive both stages.

#include "run/batch_run.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane::cli {

inline constexpr std::string_view kDefaultMask = "*.htm,*.html,*.asp,*.txt";

// Stage one: what was typed, not yet interpreted.
struct RawFlags
{
    std::optional<std::string> path;
    std::optional<std::string> mask;
    std::optional<std::string> action;
    std::optional<std::string> find;
    std::optional<std::string> text;
    std::optional<std::string> end;
    std::optional<std::string> findFile;
    std::optional<std::string> textFile;
    std::optional<std::string> endFile;
    bool noSubfolders = false;
    bool pathsOnly = false;
    bool nullTerminated = false;
    bool help = false;
};

struct ParsedFlags
{
    RawFlags flags;
    std::string error; // empty when the arguments were understood
};

// Accepts "--name value" and "--name=value". A value is taken as it stands, even when it
// begins with dashes, so a find text such as "--x" needs no quoting tricks.
ParsedFlags parseArguments(const std::vector<std::string> &arguments);

struct CliSettings
{
    RunSettings settings;
    bool pathsOnly = false;
    bool nullTerminated = false; // records end with NUL; the summary goes to standard error
};

struct BuiltSettings
{
    CliSettings cli;
    std::string error;                 // a usage problem or an unreadable text file
    Validation validation = Validation::Ok; // checked before anything is read
};

// Stage two: the action's name, the default mask, the texts (from a file byte for byte
// where asked). Texts an action does not use stay empty, as in the window.
BuiltSettings buildSettings(const RawFlags &flags);

std::string helpText();

} // namespace orvane::cli
