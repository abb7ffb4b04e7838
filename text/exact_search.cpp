#include "text/exact_search.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#define ORVANE_X86_SIMD 1
#endif

namespace orvane {

namespace {

// A rough ranking, not a measured corpus: what matters is that blanks, common letters and the
// punctuation of markup and code rank above capitals, digits, rare letters and rarer symbols,
// and that bytes that never occur in UTF-8 rank lowest.
constexpr std::array<std::uint8_t, 256> makeCommonness()
{
    std::array<std::uint8_t, 256> rank {};
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
    // markup and code: about as common as the middle letters
    const char *markup = "<>\"=/.,_-;:()'{}*#&";
    for (int i = 0; markup[i]; ++i)
        rank[static_cast<unsigned char>(markup[i])] = static_cast<std::uint8_t>(215 - 3 * i);
    rank[' '] = 255;
    rank['\n'] = 200;
    rank['\r'] = 150;
    rank['\t'] = 170;
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

// Confirming a candidate costs a call's overhead plus the compared bytes; more than this many
// units of work per byte passed means the scan is not skipping anything.
constexpr std::size_t kWorkPerByte = 4;
constexpr std::size_t kWorkSlack = 256;
constexpr std::size_t kCallCost = 8;
// memchr gives way to the byte-pair scan once its candidates come closer than this on
// average (after a slack that keeps short searches on memchr).
constexpr std::size_t kDenseGap = 1024;
constexpr std::size_t kDenseSlack = 8192;

// How many leading bytes of a and b agree (m when all do); the exact count keeps the work
// budget honest.
std::size_t matchLength(const char *a, const char *b, std::size_t m)
{
    std::size_t i = 0;
    for (; i + 8 <= m; i += 8) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) {
            if constexpr (std::endian::native == std::endian::little)
                return i + static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
            break;
        }
    }
    while (i < m && a[i] == b[i])
        ++i;
    return i;
}

struct PairScan
{
    const char *needle;
    std::size_t size;
    std::size_t offset1;
    std::size_t offset2;
    unsigned char byte1;
    unsigned char byte2;
};

enum class ScanEnd { Found, Tail, GiveUp };

// Confirms the candidates of one vector step (bit i: the start base + i), lowest first.
// Returns true when one is a match (pos set to it); adds the compare work to work.
inline bool confirm(const PairScan &s, const char *h, std::uint32_t mask, std::size_t base,
                    std::size_t &match, std::size_t &work)
{
    while (mask != 0) {
        const std::size_t c = base + static_cast<std::size_t>(std::countr_zero(mask));
        const std::size_t same = matchLength(h + c, s.needle, s.size);
        if (same == s.size) {
            match = c;
            return true;
        }
        work += same + kCallCost;
        mask &= mask - 1;
    }
    return false;
}

#ifdef ORVANE_X86_SIMD
// Candidates are the starts whose bytes at both offsets are the needle's; each step tests
// 64 (AVX2) or 32 (SSE2) starts with unaligned loads. Leaves pos at the match, at the first
// start not tested (Tail: fewer starts left than one step holds), or where the work budget
// ran out (GiveUp).
// Bit i set: the start at + i has both bytes of the pair.
__attribute__((target("avx2"))) inline __m256i pairHits(const char *at, const PairScan &s,
                                                        __m256i first, __m256i second)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + s.offset1));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + s.offset2));
    return _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, second));
}

inline __m128i pairHits(const char *at, const PairScan &s, __m128i first, __m128i second)
{
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + s.offset1));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + s.offset2));
    return _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second));
}

__attribute__((target("avx2"))) ScanEnd scanPairsAvx2(const PairScan &s, const char *h,
                                                      std::size_t n, std::size_t &pos)
{
    const std::size_t from = pos;
    const std::size_t starts = n - s.size + 1;
    const __m256i first = _mm256_set1_epi8(static_cast<char>(s.byte1));
    const __m256i second = _mm256_set1_epi8(static_cast<char>(s.byte2));
    std::size_t work = 0;
    while (pos + 64 <= starts) {
        const __m256i low = pairHits(h + pos, s, first, second);
        const __m256i high = pairHits(h + pos + 32, s, first, second);
        const __m256i any = _mm256_or_si256(low, high);
        if (!_mm256_testz_si256(any, any)) {
            const auto lowMask = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
            const auto highMask = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
            std::size_t match = 0;
            if (confirm(s, h, lowMask, pos, match, work)
                || confirm(s, h, highMask, pos + 32, match, work)) {
                pos = match;
                return ScanEnd::Found;
            }
            if (work > kWorkPerByte * (pos + 64 - from) + kWorkSlack) {
                pos += 64;
                return ScanEnd::GiveUp;
            }
        }
        pos += 64;
    }
    return ScanEnd::Tail;
}

ScanEnd scanPairsSse2(const PairScan &s, const char *h, std::size_t n, std::size_t &pos)
{
    const std::size_t from = pos;
    const std::size_t starts = n - s.size + 1;
    const __m128i first = _mm_set1_epi8(static_cast<char>(s.byte1));
    const __m128i second = _mm_set1_epi8(static_cast<char>(s.byte2));
    std::size_t work = 0;
    while (pos + 32 <= starts) {
        const __m128i low = pairHits(h + pos, s, first, second);
        const __m128i high = pairHits(h + pos + 16, s, first, second);
        const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(low))
            | static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16;
        if (mask != 0) {
            std::size_t match = 0;
            if (confirm(s, h, mask, pos, match, work)) {
                pos = match;
                return ScanEnd::Found;
            }
            if (work > kWorkPerByte * (pos + 32 - from) + kWorkSlack) {
                pos += 32;
                return ScanEnd::GiveUp;
            }
        }
        pos += 32;
    }
    return ScanEnd::Tail;
}

int bestVectorWidth()
{
    static const int width = __builtin_cpu_supports("avx2") ? 32 : 16;
    return width;
}
#endif

} // namespace

std::uint8_t ByteCommonness(unsigned char byte)
{
    return kCommonness[byte];
}

ExactSearcher::ExactSearcher(std::string_view needle, Scan scan)
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
    // The second byte prefers a value other than the first: the same value at another offset
    // filters little in a run of that byte.
    bool haveSecond = false;
    for (std::size_t i = 0; i < m; ++i) {
        if (i == m_rareOffset)
            continue;
        const bool differs = byteAt(i) != m_rareByte;
        const bool chosenDiffers = haveSecond && byteAt(m_rareOffset2) != m_rareByte;
        const bool better = !haveSecond || (differs && !chosenDiffers)
            || (differs == chosenDiffers
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
#ifdef ORVANE_X86_SIMD
        m_pairsFirst = scan == Scan::BytePair16 || scan == Scan::BytePair32;
        if (scan == Scan::BytePair16)
            m_vectorWidth = 16;
        else if (scan != Scan::RareByte)
            m_vectorWidth = bestVectorWidth();
#else
        (void)scan;
#endif
    }
}

std::size_t ExactSearcher::find(std::string_view haystack, std::size_t from) const
{
    const std::size_t m = m_needle.size();
    const std::size_t n = haystack.size();
    if (m == 0 || from > n || n - from < m)
        return npos;
    if (m == 1) {
        const void *hit = std::memchr(haystack.data() + from, m_rareByte, n - from);
        return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - haystack.data())
                   : npos;
    }
    if (m_pairsFirst)
        return findBytePair(haystack, from);
    return findRareByte(haystack, from, m_vectorWidth != 0);
}

std::size_t ExactSearcher::findBytePair(std::string_view haystack, std::size_t from) const
{
#ifdef ORVANE_X86_SIMD
    const PairScan scan { m_needle.data(), m_needle.size(), m_rareOffset,
                          m_rareOffset2,   m_rareByte,      m_rareByte2 };
    std::size_t pos = from;
    const ScanEnd end = m_vectorWidth == 32
        ? scanPairsAvx2(scan, haystack.data(), haystack.size(), pos)
        : scanPairsSse2(scan, haystack.data(), haystack.size(), pos);
    switch (end) {
    case ScanEnd::Found:
        return pos;
    case ScanEnd::GiveUp:
        return findLinear(haystack, pos);
    case ScanEnd::Tail:
        break;
    }
    // Fewer starts are left than one step holds.
    return findRareByte(haystack, pos, false);
#else
    return findRareByte(haystack, from, false);
#endif
}

std::size_t ExactSearcher::findRareByte(std::string_view haystack, std::size_t from,
                                        bool mayGoVector) const
{
    const std::size_t m = m_needle.size();
    const std::size_t n = haystack.size();
    if (from > n || n - from < m)
        return npos;
    const char *h = haystack.data();
    const std::size_t lastStart = n - m;
    std::size_t pos = from;
    std::size_t work = 0;
    std::size_t candidates = 0;
    while (pos <= lastStart) {
        const void *hit = std::memchr(h + pos + m_rareOffset, m_rareByte, lastStart - pos + 1);
        if (!hit)
            return npos;
        const std::size_t candidate
            = static_cast<std::size_t>(static_cast<const char *>(hit) - h) - m_rareOffset;
        work += kCallCost;
        if (static_cast<unsigned char>(h[candidate + m_rareOffset2]) == m_rareByte2) {
            const std::size_t same = matchLength(h + candidate, m_needle.data(), m);
            if (same == m)
                return candidate;
            work += same;
        }
        pos = candidate + 1;
        // memchr pays a call per candidate: when the rarest byte is common here, the pair
        // scan, which tests two bytes per start in bulk, goes faster.
        if (mayGoVector && ++candidates * kDenseGap > pos - from + kDenseSlack)
            return findBytePair(haystack, pos);
        if (work > kWorkPerByte * (pos - from) + kWorkSlack)
            return findLinear(haystack, pos);
    }
    return npos;
}

// Knuth-Morris-Pratt from from: every byte of the haystack is looked at a bounded number of
// times, whatever the needle and the text. The table is built here, not with the searcher: few
// searches ever come here, and by then the search has done more work than building it costs.
std::size_t ExactSearcher::findLinear(std::string_view haystack, std::size_t from) const
{
    const std::size_t m = m_needle.size();
    std::vector<std::size_t> border(m + 1, 0);
    for (std::size_t i = 1, k = 0; i < m; ++i) {
        while (k > 0 && m_needle[i] != m_needle[k])
            k = border[k];
        if (m_needle[i] == m_needle[k])
            ++k;
        border[i + 1] = k;
    }
    std::size_t k = 0;
    for (std::size_t i = from; i < haystack.size(); ++i) {
        while (k > 0 && haystack[i] != m_needle[k])
            k = border[k];
        if (haystack[i] == m_needle[k])
            ++k;
        if (k == m)
            return i + 1 - m;
    }
    return npos;
}

} // namespace orvane
