#include "text/text_rewrite.h"

namespace orvane {

namespace {

constexpr std::size_t npos = ExactSearcher::npos;

std::int64_t toPosition(std::size_t offset)
{
    return offset == npos ? 0 : static_cast<std::int64_t>(offset) + 1;
}

} // namespace

std::int64_t FirstPosition(std::string_view text, std::string_view sought)
{
    if (sought.size() == 1)
        return toPosition(text.find(sought.front()));
    return toPosition(ExactSearcher(sought).find(text));
}

std::int64_t LastPosition(std::string_view text, std::string_view sought)
{
    const std::size_t m = sought.size();
    if (m == 0)
        return 0;
    // Occurrences of one byte never overlap, so the last one the left-to-right scan meets is
    // simply the last one.
    if (m == 1) {
        const std::size_t last = text.rfind(sought.front());
        return last == npos ? 0 : static_cast<std::int64_t>(last) + 1;
    }
    // Longer texts can overlap ('aa' in 'aaa'): the scan resumes after each occurrence it
    // takes, so the answer is the last of the non-overlapping ones, not the last one.
    const ExactSearcher searcher(sought);
    std::size_t last = npos;
    for (std::size_t p = searcher.find(text); p != npos; p = searcher.find(text, p + m))
        last = p;
    return last == npos ? 1 - static_cast<std::int64_t>(m) : static_cast<std::int64_t>(last) + 1;
}

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement)
{
    ActionResult result
        = ActionRewriter(ActionKind::ReplaceWith, find, replacement, {}).apply(text);
    return std::move(result.newText);
}

bool MaskMatches(std::string_view fileName, std::string_view mask)
{
    if (mask == "*.*")
        return true;
    // The extension runs from the last '.' to the end; a name without one is its own
    // extension. It passes when it occurs in the mask followed by ',' or by the mask's end,
    // which is the extension plus ',' searched in the mask plus ','.
    const std::size_t dot = fileName.rfind('.');
    const std::string_view extension = dot == npos ? fileName : fileName.substr(dot);
    for (std::size_t i = mask.find(extension); i != npos; i = mask.find(extension, i + 1)) {
        const std::size_t after = i + extension.size();
        if (after == mask.size() || mask[after] == ',')
            return true;
    }
    return false;
}

bool ActionMatches(ActionKind action, std::string_view text, std::string_view find,
                   std::string_view endText)
{
    return ActionRewriter(action, find, {}, endText).matches(text);
}

bool ApplyAction(ActionKind action, std::string_view text, std::string_view find,
                 std::string_view insertText, std::string_view endText, RewriteOutput &out)
{
    return ActionRewriter(action, find, insertText, endText).apply(text, out);
}

bool RewriteBetween(std::string_view text, std::string_view find, std::string_view insertText,
                    std::string_view endText, RewriteOutput &out)
{
    return ActionRewriter(ActionKind::InsertBetween, find, insertText, endText).apply(text, out);
}

ActionResult ApplyAction(ActionKind action, std::string_view text, std::string_view find,
                         std::string_view insertText, std::string_view endText)
{
    return ActionRewriter(action, find, insertText, endText).apply(text);
}

ActionResult RewriteBetween(std::string_view text, std::string_view find,
                            std::string_view insertText, std::string_view endText)
{
    return ActionRewriter(ActionKind::InsertBetween, find, insertText, endText).apply(text);
}

ActionRewriter::ActionRewriter(ActionKind action, std::string_view find,
                               std::string_view insertText, std::string_view endText)
    : m_action(action)
    , m_find(find)
    , m_end(action == ActionKind::InsertBetween ? endText : std::string_view())
    , m_insert(insertText)
{
}

bool ActionRewriter::matches(std::string_view text) const
{
    const std::size_t s = m_find.find(text);
    if (s == npos)
        return false;
    if (m_action != ActionKind::InsertBetween)
        return true;
    // The first end text must begin strictly after the first start text begins.
    const std::size_t e = m_end.find(text);
    return e != npos && e > s;
}

bool ActionRewriter::apply(std::string_view text, RewriteOutput &out) const
{
    switch (m_action) {
    case ActionKind::InsertBetween:
        return rewriteBetween(text, out);
    case ActionKind::JustFind:
        if (m_find.find(text) == npos)
            return false;
        out.begin();
        out.append(text);
        return true;
    case ActionKind::ReplaceWith:
    case ActionKind::InsertBefore:
    case ActionKind::InsertAfter:
    case ActionKind::Delete:
        break;
    }
    return replaceEach(text, out);
}

ActionResult ActionRewriter::apply(std::string_view text) const
{
    ActionResult result;
    result.newText.reserve(text.size());
    StringOutput out(result.newText);
    result.matched = apply(text, out);
    if (!result.matched)
        result.newText.assign(text);
    return result;
}

// Every occurrence, left to right and without overlap; the search resumes right after the
// occurrence, so neither the inserted text nor text it joins together is searched again.
bool ActionRewriter::replaceEach(std::string_view text, RewriteOutput &out) const
{
    std::size_t p = m_find.find(text);
    if (p == npos)
        return false;
    out.begin();
    const std::size_t m = m_find.size();
    std::size_t written = 0; // text before this offset has gone to out
    while (p != npos) {
        switch (m_action) {
        case ActionKind::InsertBefore:
            // The occurrence itself goes out with the next stretch of unchanged text.
            out.append(text.substr(written, p - written));
            out.append(m_insert);
            written = p;
            break;
        case ActionKind::InsertAfter:
            out.append(text.substr(written, p + m - written));
            out.append(m_insert);
            written = p + m;
            break;
        default: // ReplaceWith, Delete (whose insert text is empty or ignored)
            out.append(text.substr(written, p - written));
            if (m_action == ActionKind::ReplaceWith)
                out.append(m_insert);
            written = p + m;
            break;
        }
        p = m_find.find(text, p + m);
    }
    out.append(text.substr(written));
    return true;
}

// Each step pairs the first start text of the rest with the first end text of the rest,
// keeps both markers, puts the insert text between them and continues after the end text;
// it stops at the first rest where the end text does not begin after the start text.
// Both searches start at the rest and stop at their first hit, and the rest moves past the
// end text, so each step searches only what it consumes (plus the start text's length where
// the markers overlap, which it also writes out): linear, however many start texts lack an
// end text. A missing or early end text ends the loop after one search.
bool ActionRewriter::rewriteBetween(std::string_view text, RewriteOutput &out) const
{
    if (m_end.empty())
        return false;
    const std::size_t m = m_find.size();
    const std::size_t endSize = m_end.size();
    std::size_t rest = 0;
    bool matched = false;
    for (;;) {
        const std::size_t s = m_find.find(text, rest);
        if (s == npos)
            break;
        const std::size_t e = m_end.find(text, rest);
        if (e == npos || e <= s)
            break;
        if (!matched) {
            out.begin();
            matched = true;
        }
        // The bytes of the occurrences are the markers themselves; when the end text begins
        // inside the start text, the shared bytes go out twice, once with each marker.
        out.append(text.substr(rest, s + m - rest));
        out.append(m_insert);
        out.append(text.substr(e, endSize));
        rest = e + endSize;
    }
    if (matched)
        out.append(text.substr(rest));
    return matched;
}

} // namespace orvane
