#pragma once

// The batch run: settings, state, the folder walk and the Execute / Stop / Clear logic.
// Front ends (window, command line, tests) drive it through RunSink; nothing here knows Qt.

#include "text/text_rewrite.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

namespace platform {
class FileFacts;
}

struct RunSettings
{
    std::string Mask;
    std::string SearchPath;
    bool IncludeSubfolders = true;
    ActionKind Action = ActionKind::ReplaceWith;
    std::string FindText;
    std::string InsertText; // empty for Delete and JustFind
    std::string EndText;    // empty for every action but InsertBetween
};

struct RunState
{
    std::atomic<bool> Running{false};
    std::atomic<std::int64_t> ChangedCount{0};
    std::atomic<std::int64_t> ScannedCount{0};
};

struct ResultRow
{
    std::string FileName;
    std::string FolderPath;
    std::string SizeText;
    std::string TypeText;
    std::string DateText;
};

struct RunFailure
{
    std::string path;   // the file or folder concerned
    std::string reason; // why, in words (strerror text or our own)
};

// Where a run reports. Called on the thread that runs the walk.
class RunSink
{
public:
    virtual ~RunSink() = default;
    virtual void clearRows() = 0;
    virtual void addRow(const ResultRow &row) = 0;
    virtual void setPanel1(const std::string &text) = 0;
    virtual void setPanel2(const std::string &text) = 0;
    virtual void failure(const RunFailure &failure) = 0;
    // False when the sink shows only names and folders: the walk then leaves SizeText,
    // TypeText and DateText empty and saves looking them up for every listed file.
    virtual bool wantsRowDetails() const { return true; }
};

enum class Validation { Ok, NoMask, NoPath };

// Checks the mask first, then the path; only an empty text fails (blanks pass).
Validation ValidateRun(std::string_view mask, std::string_view searchPath);
// "Please specify any mask!" / "Please specify any path!"; empty for Ok.
std::string_view ValidationMessage(Validation validation);
inline constexpr std::string_view kValidationTitle = "Message!";

// Resets the counters, removes all rows and sets Running. A front end that walks on another
// thread calls it on its own thread before starting that one, so a StopRun made at any time
// after it is never undone.
void BeginRun(RunState &state, RunSink &sink);
// Walks SearchPath for a run begun with BeginRun; Running is left as it is, so a Stop that
// came before finds no file read or written. Returns when the walk has returned (ended by
// itself or by StopRun). Call it on one thread at a time; the sink is called only from that
// thread. StopRun may come from any thread. A file or folder that cannot be handled goes to
// sink.failure() and the walk goes on.
void WalkRun(const RunSettings &settings, RunState &state, RunSink &sink,
             const platform::FileFacts &facts);
// BeginRun then WalkRun, on the calling thread.
void ExecuteRun(const RunSettings &settings, RunState &state, RunSink &sink,
                const platform::FileFacts &facts);
// Safe from any thread and from a signal handler (one atomic store).
void StopRun(RunState &state);
// Removes all rows and empties panels 1 and 2.
void ClearResults(RunSink &sink);

// "Replaced ", "Inserted " (also Delete and Between) or "Found ".
std::string_view SummaryWord(ActionKind action);
std::string SummaryText(ActionKind action, std::int64_t changedCount, std::int64_t scannedCount);
std::string FormatSizeKB(std::int64_t lengthInBytes, std::string_view thousandsSeparator);

} // namespace orvane
