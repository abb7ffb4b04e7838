#pragma once

// The pure text engine: exact search, the mask test and the six per-file rewrites.
// Everything works on byte strings (UTF-8 as read from disk); positions are 1-based and
// 0 means "not found". Nothing here touches a file or keeps state between calls.

#include "text/exact_search.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

enum class ActionKind { ReplaceWith, InsertBefore, InsertAfter, InsertBetween, Delete, JustFind };

// Receives the rewritten text piece by piece. begin() is called once, only when the text
// matched, before the first append(), so a caller can defer opening its output until then.
class RewriteOutput
{
public:
    virtual ~RewriteOutput() = default;
    virtual void begin() { }
    virtual void append(std::string_view bytes) = 0;
};

// Collects the output into a string.
class StringOutput final : public RewriteOutput
{
public:
    explicit StringOutput(std::string &target)
        : m_target(target)
    {
    }
    void append(std::string_view bytes) override { m_target.append(bytes); }

private:
    std::string &m_target;
};

// An empty sought or find text, which no caller passes, is never found: FirstPosition and
// LastPosition return 0, ReplaceAll returns the text unchanged, ApplyAction and
// RewriteBetween report no match. Nothing loops on it.
std::int64_t FirstPosition(std::string_view text, std::string_view sought);
std::int64_t LastPosition(std::string_view text, std::string_view sought);
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement);
bool MaskMatches(std::string_view fileName, std::string_view mask);

// True when ApplyAction would report a match, without producing any output.
bool ActionMatches(ActionKind action, std::string_view text, std::string_view find,
                   std::string_view endText);

// Streams the new text into out and returns true when the text matched; when it did not,
// out is never called. JustFind streams the text unchanged.
bool ApplyAction(ActionKind action, std::string_view text, std::string_view find,
                 std::string_view insertText, std::string_view endText, RewriteOutput &out);
bool RewriteBetween(std::string_view text, std::string_view find, std::string_view insertText,
                    std::string_view endText, RewriteOutput &out);

struct ActionResult
{
    bool matched = false;
    std::string newText;
};

ActionResult ApplyAction(ActionKind action, std::string_view text, std::string_view find,
                         std::string_view insertText, std::string_view endText);
ActionResult RewriteBetween(std::string_view text, std::string_view find,
                            std::string_view insertText, std::string_view endText);

// One action with its texts, prepared once per run: the searchers for the find text and the
// end text are built here and reused for every file. The free functions above build one per
// call.
class ActionRewriter
{
public:
    ActionRewriter(ActionKind action, std::string_view find, std::string_view insertText,
                   std::string_view endText);

    bool matches(std::string_view text) const;
    bool apply(std::string_view text, RewriteOutput &out) const;
    ActionResult apply(std::string_view text) const;

    ActionKind action() const { return m_action; }

private:
    bool replaceEach(std::string_view text, RewriteOutput &out) const;
    bool rewriteBetween(std::string_view text, RewriteOutput &out) const;

    ActionKind m_action;
    ExactSearcher m_find;
    ExactSearcher m_end;
    std::string m_insert;
};

} // namespace orvane
