#include "run/batch_run.h"

#include "run/folder_walk.h"

namespace orvane {

Validation ValidateRun(std::string_view mask, std::string_view searchPath)
{
    // Only a truly empty text fails; a mask or path of blanks is the user's choice.
    if (mask.empty())
        return Validation::NoMask;
    if (searchPath.empty())
        return Validation::NoPath;
    return Validation::Ok;
}

std::string_view ValidationMessage(Validation validation)
{
    switch (validation) {
    case Validation::NoMask:
        return "Please specify any mask!";
    case Validation::NoPath:
        return "Please specify any path!";
    case Validation::Ok:
        break;
    }
    return {};
}

std::string_view SummaryWord(ActionKind action)
{
    switch (action) {
    case ActionKind::ReplaceWith:
        return "Replaced ";
    case ActionKind::JustFind:
        return "Found ";
    case ActionKind::InsertBefore:
    case ActionKind::InsertAfter:
    case ActionKind::InsertBetween:
    case ActionKind::Delete:
        break;
    }
    // Delete and Between have no word of their own and report as insertions.
    return "Inserted ";
}

std::string SummaryText(ActionKind action, std::int64_t changedCount, std::int64_t scannedCount)
{
    std::string text(SummaryWord(action));
    text += std::to_string(changedCount);
    text += " files in ";
    text += std::to_string(scannedCount);
    text += " files";
    return text;
}

std::string FormatSizeKB(std::int64_t lengthInBytes, std::string_view thousandsSeparator)
{
    // length / 1000 + 0.5, rounded with halves away from zero, is always the whole
    // thousands plus one: an empty file shows "1KB", never a bare "KB". Done in integers
    // so no length loses precision.
    const std::uint64_t length = lengthInBytes < 0 ? 0 : static_cast<std::uint64_t>(lengthInBytes);
    const std::string digits = std::to_string(length / 1000 + 1);

    std::string text;
    text.reserve(digits.size() + digits.size() / 3 * thousandsSeparator.size() + 2);
    const std::size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i >= lead && (i - lead) % 3 == 0)
            text += thousandsSeparator;
        text += digits[i];
    }
    text += "KB";
    return text;
}

void BeginRun(RunState &state, RunSink &sink)
{
    state.ScannedCount = 0;
    state.ChangedCount = 0;
    sink.clearRows();
    state.Running = true;
}

void WalkRun(const RunSettings &settings, RunState &state, RunSink &sink,
             const platform::FileFacts &facts)
{
    FolderWalk walk(settings, state, sink, facts);
    walk.run();
}

void ExecuteRun(const RunSettings &settings, RunState &state, RunSink &sink,
                const platform::FileFacts &facts)
{
    BeginRun(state, sink);
    WalkRun(settings, state, sink, facts);
}

void StopRun(RunState &state)
{
    state.Running = false;
}

void ClearResults(RunSink &sink)
{
    sink.clearRows();
    sink.setPanel1(std::string());
    sink.setPanel2(std::string());
}

} // namespace orvane
