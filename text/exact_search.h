#pragma once

// Exact byte search for one needle over many haystacks: the hot loop of every run.
// Build one ExactSearcher per run (per find text) and call find() on each file's text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

// memchr() for the needle's rarest byte proposes candidates and a compare confirms them; where
// that byte proves common in the text, the call turns to a SIMD scan for the needle's two
// rarest bytes at their distance (64 starts per step with AVX2, 32 with SSE2). On real text
// this runs at memory speed, well ahead of memmem() and Boyer-Moore-Horspool (figures in
// bench/SEARCH.md). When candidates come so thick that confirming them costs more than a few
// times the bytes passed (a text made of the needle's own bytes), the call goes on with
// Knuth-Morris-Pratt, so no input costs more than linear time.
class ExactSearcher
{
public:
    static constexpr std::size_t npos = std::string_view::npos;

    // How candidates are found. Best starts with the rarest-byte memchr scan and turns to the
    // byte-pair scan where the rarest byte proves common (x86-64 only); the others, which keep
    // to one scan, exist for tests and benchmarks. A width the processor lacks falls back to
    // the next narrower scan.
    enum class Scan { Best, RareByte, BytePair16, BytePair32 };

    explicit ExactSearcher(std::string_view needle, Scan scan = Scan::Best);

    // Offset of the first occurrence that begins at or after from, or npos.
    // An empty needle is never found.
    std::size_t find(std::string_view haystack, std::size_t from = 0) const;

    std::string_view needle() const { return m_needle; }
    std::size_t size() const { return m_needle.size(); }
    bool empty() const { return m_needle.empty(); }

private:
    std::size_t findRareByte(std::string_view haystack, std::size_t from, bool mayGoVector) const;
    std::size_t findBytePair(std::string_view haystack, std::size_t from) const;
    std::size_t findLinear(std::string_view haystack, std::size_t from) const;

    std::string m_needle;
    std::size_t m_rareOffset = 0; // where the rarest byte sits in the needle
    std::size_t m_rareOffset2 = 0; // a second, different offset checked before memcmp
    unsigned char m_rareByte = 0;
    unsigned char m_rareByte2 = 0;
    int m_vectorWidth = 0; // the byte-pair scan's registers: 32 (AVX2), 16 (SSE2), 0 (none)
    bool m_pairsFirst = false; // start with the pair scan rather than memchr
};

// How common a byte is in the texts people edit (prose, HTML, source, UTF-8): higher is
// more common. Used to pick the byte memchr() looks for.
std::uint8_t ByteCommonness(unsigned char byte);

} // namespace orvane
