#pragma once

// Exact byte search for one needle over many haystacks: the hot loop of every run.
// Build one ExactSearcher per run (per find text) and call find() on each file's text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// memchr() for the needle's rarest byte proposes candidates; a second rare byte and memcmp()
// confirm them. memchr runs at memory speed, so on real text (rare matches) this beats
// memmem() and Boyer-Moore-Horspool (figures in bench/SEARCH.md). When candidates come so
// thick that confirming them costs more than a few times the bytes passed (a text made of the
// needle's own bytes), the call goes on with Knuth-Morris-Pratt, so no input costs more than
// linear time.
class ExactSearcher
{
public:
    static constexpr std::size_t npos = std::string_view::npos;

    explicit ExactSearcher(std::string_view needle);

    // Offset of the first occurrence that begins at or after from, or npos.
    // An empty needle is never found.
    std::size_t find(std::string_view haystack, std::size_t from = 0) const;

    std::string_view needle() const { return m_needle; }
    std::size_t size() const { return m_needle.size(); }
    bool empty() const { return m_needle.empty(); }

private:
    std::size_t findLinear(std::string_view haystack, std::size_t from) const;

    std::string m_needle;
    std::size_t m_rareOffset = 0;  // where the rarest byte sits in the needle
    std::size_t m_rareOffset2 = 0; // a second, different offset checked before memcmp
    unsigned char m_rareByte = 0;
    unsigned char m_rareByte2 = 0;
    std::vector<std::size_t> m_border; // KMP failure function, for the linear fallback
};

// How common a byte is in the texts people edit (prose, HTML, source, UTF-8): higher is
// more common. Used to pick the byte memchr() looks for.
std::uint8_t ByteCommonness(unsigned char byte);

} // namespace orvane
