#include "text/exact_search.h"

#include <array>
#include <cstring>

namespace orvane {

namespace {

// A rough ranking, not a measured corpus: what matters is that letters, blanks and the
// punctuation of markup rank above capitals, digits and rarer symbols, and that bytes that
// never occur in UTF-8 rank lowest.
constexpr std::array<std::uint8_t, 256> makeCommonness()
{
    std::array<std::uint8_t, 256> rank{};
    for (int b = 0; b < 256; ++b)
        rank[b] = 20; // control bytes
    for (int b = 0x21; b < 0x7f; ++b)
        rank[b] = 90; // other punctuation
    const char *lower = "etaoinsrhldcumfpgwybvkxjqz";
    for (int i = 0; lower[i]; ++i)
        rank[static_cast<unsigned char>(lower[i])] = static_cast<std::uint8_t>(250 - 3 * i);
    const char *upper = "ETAOINSRHLDCUMFPGWYBVKXJQZ";
    for (int i = 0; upper[i]; ++i)
        rank[static_cast<unsigned char>(upper[i])] = static_cast<std::uint8_t>(140 - 2 * i);
    for (int b = '0'; b <= '9'; ++b)
        rank[b] = 125;
    rank['0'] = rank['1'] = 135;
    const char *markup = "<>/=\".,;:()-_'";
    for (int i = 0; markup[i]; ++i)
        rank[static_cast<unsigned char>(markup[i])] = static_cast<std::uint8_t>(185 - 2 * i);
    rank[' '] = 255;
    rank['\n'] = 180;
    rank['\r'] = 150;
    rank['\t'] = 150;
    rank[0x7f] = 5;
    for (int b = 0x80; b < 0xc0; ++b)
        rank[b] = 120; // continuation bytes: every non-ASCII character has some
    for (int b = 0xc2; b < 0xe0; ++b)
        rank[b] = 95;
    for (int b = 0xe0; b < 0xf0; ++b)
        rank[b] = 100; // CJK and most other scripts
    for (int b = 0xf0; b < 0xf5; ++b)
        rank[b] = 60;
    rank[0xc0] = rank[0xc1] = 1;
    for (int b = 0xf5; b < 0x100; ++b)
        rank[b] = 1; // never in UTF-8
    return rank;
}

constexpr std::array<std::uint8_t, 256> kCommonness = makeCommonness();

// Confirming a candidate costs memchr's call overhead plus the compared bytes; more than
// this many units of work per byte passed means memchr is not skipping anything.
constexpr std::size_t kWorkPerByte = 4;
constexpr std::size_t kWorkSlack = 256;
constexpr std::size_t kCallCost = 8;

} // namespace

std::uint8_t ByteCommonness(unsigned char byte)
{
    return kCommonness[byte];
}

ExactSearcher::ExactSearcher(std::string_view needle)
    : m_needle(needle)
{
    const std::size_t m = m_needle.size();
    if (m == 0)
        return;
    auto byteAt = [this](std::size_t i) { return static_cast<unsigned char>(m_needle[i]); };

    for (std::size_t i = 1; i < m; ++i) {
        if (kCommonness[byteAt(i)] < kCommonness[byteAt(m_rareOffset)])
            m_rareOffset = i;
    }
    m_rareByte = byteAt(m_rareOffset);
    // The second check prefers a different byte value: the same value at another offset
    // filters little in a run of that byte.
    bool haveSecond = false;
    for (std::size_t i = 0; i < m; ++i) {
        if (i == m_rareOffset)
            continue;
        const bool better = !haveSecond
            || (byteAt(i) != m_rareByte && byteAt(m_rareOffset2) == m_rareByte)
            || ((byteAt(i) != m_rareByte) == (byteAt(m_rareOffset2) != m_rareByte)
                && kCommonness[byteAt(i)] < kCommonness[byteAt(m_rareOffset2)]);
        if (better) {
            m_rareOffset2 = i;
            haveSecond = true;
        }
    }
    if (!haveSecond)
        m_rareOffset2 = m_rareOffset;
    m_rareByte2 = byteAt(m_rareOffset2);

    if (m > 1) {
        m_border.assign(m + 1, 0);
        std::size_t k = 0;
        for (std::size_t i = 1; i < m; ++i) {
            while (k > 0 && m_needle[i] != m_needle[k])
                k = m_border[k];
            if (m_needle[i] == m_needle[k])
                ++k;
            m_border[i + 1] = k;
        }
    }
}

std::size_t ExactSearcher::find(std::string_view haystack, std::size_t from) const
{
    const std::size_t m = m_needle.size();
    const std::size_t n = haystack.size();
    if (m == 0 || from > n || n - from < m)
        return npos;
    const char *h = haystack.data();
    if (m == 1) {
        const void *hit = std::memchr(h + from, m_rareByte, n - from);
        return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - h) : npos;
    }

    const std::size_t lastStart = n - m;
    std::size_t pos = from;
    std::size_t work = 0;
    while (pos <= lastStart) {
        const void *hit = std::memchr(h + pos + m_rareOffset, m_rareByte, lastStart - pos + 1);
        if (!hit)
            return npos;
        const std::size_t candidate = static_cast<std::size_t>(static_cast<const char *>(hit) - h)
            - m_rareOffset;
        work += kCallCost;
        if (static_cast<unsigned char>(h[candidate + m_rareOffset2]) == m_rareByte2) {
            if (std::memcmp(h + candidate, m_needle.data(), m) == 0)
                return candidate;
            work += m;
        }
        pos = candidate + 1;
        if (work > kWorkPerByte * (pos - from) + kWorkSlack)
            return findLinear(haystack, pos);
    }
    return npos;
}

// Knuth-Morris-Pratt from from: every byte of the haystack is looked at a bounded number of
// times, whatever the needle and the text.
std::size_t ExactSearcher::findLinear(std::string_view haystack, std::size_t from) const
{
    const std::size_t m = m_needle.size();
    std::size_t k = 0;
    for (std::size_t i = from; i < haystack.size(); ++i) {
        while (k > 0 && haystack[i] != m_needle[k])
            k = m_border[k];
        if (haystack[i] == m_needle[k])
            ++k;
        if (k == m)
            return i + 1 - m;
    }
    return npos;
}

} // namespace orvane
