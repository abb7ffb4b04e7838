#include "cli/cli_options.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orvane::cli {

namespace {

struct ValueFlag
{
    std::string_view name;
    std::optional<std::string> RawFlags::*field;
};

constexpr ValueFlag kValueFlags[] = {
    {"--path", &RawFlags::path},         {"--mask", &RawFlags::mask},
    {"--action", &RawFlags::action},     {"--find", &RawFlags::find},
    {"--text", &RawFlags::text},         {"--end", &RawFlags::end},
    {"--find-file", &RawFlags::findFile}, {"--text-file", &RawFlags::textFile},
    {"--end-file", &RawFlags::endFile},
};

struct SwitchFlag
{
    std::string_view name;
    bool RawFlags::*field;
};

constexpr SwitchFlag kSwitchFlags[] = {
    {"--no-subfolders", &RawFlags::noSubfolders},
    {"--paths", &RawFlags::pathsOnly},
    {"--null", &RawFlags::nullTerminated},
    {"-0", &RawFlags::nullTerminated},
    {"--help", &RawFlags::help},
    {"-h", &RawFlags::help},
};

struct ActionName
{
    std::string_view name;
    ActionKind action;
};

constexpr ActionName kActionNames[] = {
    {"replace", ActionKind::ReplaceWith}, {"before", ActionKind::InsertBefore},
    {"after", ActionKind::InsertAfter},   {"between", ActionKind::InsertBetween},
    {"delete", ActionKind::Delete},       {"find", ActionKind::JustFind},
};

// Reads a whole file byte for byte: no line end added or removed, NULs kept.
bool readWholeFile(const std::string &path, std::string &bytes, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}

// A text given inline or through a file; both at once is ambiguous.
bool takeText(const std::optional<std::string> &inlineText,
              const std::optional<std::string> &file, std::string_view inlineName,
              std::string_view fileName, std::string &text, std::string &error)
{
    if (inlineText && file) {
        error = std::string(inlineName) + " and " + std::string(fileName)
                + " cannot be given together";
        return false;
    }
    if (file)
        return readWholeFile(*file, text, error);
    text = inlineText.value_or(std::string());
    return true;
}

} // namespace

ParsedFlags parseArguments(const std::vector<std::string> &arguments)
{
    ParsedFlags parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        std::string_view name = argument;
        std::optional<std::string> attached;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != name.npos) {
            attached = std::string(name.substr(equals + 1));
            name = name.substr(0, equals);
        }

        bool known = false;
        for (const ValueFlag &flag : kValueFlags) {
            if (name != flag.name)
                continue;
            known = true;
            if (attached) {
                parsed.flags.*flag.field = std::move(*attached);
            } else if (i + 1 < arguments.size()) {
                parsed.flags.*flag.field = arguments[++i];
            } else {
                parsed.error = std::string(flag.name) + " needs a value";
                return parsed;
            }
            break;
        }
        if (known)
            continue;

        for (const SwitchFlag &flag : kSwitchFlags) {
            if (name != flag.name)
                continue;
            known = true;
            if (attached) {
                parsed.error = std::string(flag.name) + " takes no value";
                return parsed;
            }
            parsed.flags.*flag.field = true;
            break;
        }
        if (!known) {
            parsed.error = name.starts_with("-") ? "unknown option " + argument
                                                 : "unexpected argument " + argument;
            return parsed;
        }
    }
    return parsed;
}

BuiltSettings buildSettings(const RawFlags &flags)
{
    BuiltSettings built;
    RunSettings &settings = built.cli.settings;
    built.cli.pathsOnly = flags.pathsOnly;
    built.cli.nullTerminated = flags.nullTerminated;

    settings.Action = ActionKind::ReplaceWith;
    if (flags.action) {
        bool found = false;
        for (const ActionName &entry : kActionNames) {
            if (*flags.action == entry.name) {
                settings.Action = entry.action;
                found = true;
            }
        }
        if (!found) {
            built.error = "unknown action " + *flags.action
                          + " (use replace, before, after, between, delete or find)";
            return built;
        }
    }

    settings.Mask = flags.mask ? *flags.mask : std::string(kDefaultMask);
    settings.SearchPath = flags.path.value_or(std::string());
    settings.IncludeSubfolders = !flags.noSubfolders;

    // As in the window: the mask and the path are checked before anything else is taken.
    built.validation = ValidateRun(settings.Mask, settings.SearchPath);
    if (built.validation != Validation::Ok)
        return built;

    if (!takeText(flags.find, flags.findFile, "--find", "--find-file", settings.FindText,
                  built.error))
        return built;

    const ActionKind action = settings.Action;
    const bool takesInsert = action == ActionKind::ReplaceWith || action == ActionKind::InsertBefore
                             || action == ActionKind::InsertAfter
                             || action == ActionKind::InsertBetween;
    if (takesInsert
        && !takeText(flags.text, flags.textFile, "--text", "--text-file", settings.InsertText,
                     built.error))
        return built;
    if (action == ActionKind::InsertBetween
        && !takeText(flags.end, flags.endFile, "--end", "--end-file", settings.EndText,
                     built.error))
        return built;
    return built;
}

std::string helpText()
{
    return R"(Usage: orvane-replace-cli --path FOLDER [options]

Applies one action to every file under FOLDER whose name passes the mask, and
lists each file the action matched. Matched files are rewritten safely: the new
text is written to a temporary file, synced, and only then put in place.

Options:
  --path FOLDER       the folder to search (required)
  --mask MASK         the file extensions to visit, comma-separated
                      (default "*.htm,*.html,*.asp,*.txt"); an entry matches
                      the part of a name from its last dot, case counts;
                      "*.*" alone visits every file
  --no-subfolders     visit only the files directly in FOLDER
  --action ACTION     what to do with every occurrence of the find text:
                        replace  replace it with the --text (default)
                        before   insert the --text before it
                        after    insert the --text after it
                        between  replace what lies between it and the next
                                 --end marker with the --text
                        delete   remove it
                        find     change nothing, only list the files
  --find TEXT         the text to find, matched exactly (case counts);
                      when empty, no file is visited
  --text TEXT         the replacement or inserted text
  --end TEXT          the end marker for --action between
  --find-file FILE    take the find text from FILE, byte for byte
  --text-file FILE    take the replacement or inserted text from FILE
  --end-file FILE     take the end marker from FILE
                      (the -file forms keep line ends, so texts may span lines)
  --paths             print each listed file's full path only
  -0, --null          end each listed file's record with a NUL byte instead of
                      a line feed, so names holding line feeds or tabs stay
                      unambiguous (with --paths, as "xargs -0" reads them);
                      the summary line then goes to standard error
  -h, --help          show this help

Output:
  One line per matched file: name, folder, size, type and date, separated by
  tabs (or the full path alone with --paths), then the summary line, such as
  "Replaced 3 files in 10 files". Problems with single files are printed on
  standard error as "path: reason"; the run goes on with the next file.
  Ctrl+C, a closed terminal (SIGHUP) or SIGTERM stop the run after the file
  under way, and the summary still prints; no file is left half written and no
  temporary file is left behind. A second signal does not end the program
  sooner: it still stops after that file.

Exit status:
  0  at least one file matched
  1  no file matched
  2  the arguments were wrong, or a file or folder could not be handled

Example:
  orvane-replace-cli --path ~/site --mask "*.html" --find 2023 --text 2024
)";
}

} // namespace orvane::cli
