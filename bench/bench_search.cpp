// Exact search over 100 MB of text with rare matches: glibc memmem, the standard
// Boyer-Moore-Horspool searcher, a first-byte memchr scan, std::string_view::find, and the
// three candidate scans of ExactSearcher (rarest byte with memchr, byte pair with SSE2 and
// with AVX2), each counting every non-overlapping occurrence. Corpora: generated web-like
// text, real files of this machine (/usr/share/doc HTML, /usr/include headers), and a 64 KiB
// slice of the latter (one file's worth, in cache). See SEARCH.md for figures.

#include "text/exact_search.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kBufferSize = 100u << 20;
constexpr std::size_t kSmallSize = 64u << 10;
constexpr std::size_t kMatchEvery = 1u << 20; // one planted needle per MiB (of each kind)

const char *const kNeedles[] = {
    "Orvane", // short, capital first byte
    "e-mail", // first byte is the commonest letter
    "<div class=\"copyright\">", // typical markup edit
    "\xe4\xb8\xad\xe6\x96\x87\xf0\x9f\x98\x80", // Chinese word and an emoji
    "the quick brown fox jumps over the lazy dog and then some more words to be long",
};

void plant(std::string &text)
{
    std::size_t needleIndex = 0;
    for (std::size_t at = kMatchEvery / 2; at + 256 < text.size();
         at += kMatchEvery / std::size(kNeedles)) {
        const std::string_view needle = kNeedles[needleIndex++ % std::size(kNeedles)];
        text.replace(at, needle.size(), needle);
    }
}

// Real text from this machine: the HTML pages under /usr/share and the C and C++ headers
// under /usr/include, concatenated (and repeated if short) to the buffer size.
const std::string &systemCorpus()
{
    static const std::string text = [] {
        std::string out;
        out.reserve(kBufferSize + (1u << 20));
        std::vector<std::filesystem::path> files;
        for (const char *root : { "/usr/share/doc", "/usr/share/help", "/usr/include" }) {
            std::error_code error;
            for (auto it = std::filesystem::recursive_directory_iterator(root, error);
                 !error && it != std::filesystem::recursive_directory_iterator();
                 it.increment(error)) {
                const auto extension = it->path().extension();
                if (it->is_regular_file(error)
                    && (extension == ".html" || extension == ".htm" || extension == ".h"
                        || extension == ".hpp" || extension == ".txt"))
                    files.push_back(it->path());
            }
        }
        std::sort(files.begin(), files.end());
        while (out.size() < kBufferSize && !files.empty()) {
            for (const auto &file : files) {
                std::ifstream in(file, std::ios::binary);
                out.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
                if (out.size() >= kBufferSize)
                    break;
            }
        }
        out.resize(kBufferSize, ' ');
        plant(out);
        return out;
    }();
    return text;
}

// Prose wrapped in markup, made of common words, so first bytes are as common as in pages.
const std::string &generatedCorpus()
{
    static const std::string text = [] {
        // clang-format off
        const char *const words[] = {
            "the", "of", "and", "to", "in", "is", "that", "for", "it", "as", "was", "with", "be",
            "by", "on", "not", "he", "this", "are", "or", "his", "from", "at", "which", "but",
            "have", "an", "had", "they", "you", "were", "their", "one", "all", "we", "can",
            "her", "has", "there", "been", "if", "more", "when", "will", "would", "who", "so",
            "no", "page", "site", "menu", "email", "index", "content", "News", "Home", "About",
            "2024", "10", "\xc3\xa9t\xc3\xa9", "\xe4\xb8\xad\xe5\x9b\xbd"};
        const char *const tags[] = {"<p>", "</p>\n", "<a href=\"/index.html\">", "</a>",
                                    "<div class=\"content\">\n", "</div>\n", "<br/>\n",
                                    "<span>", "</span>", "<li>", "</li>\n"};
        // clang-format on
        std::mt19937 random(2024);
        std::string out;
        out.reserve(kBufferSize + 256);
        while (out.size() < kBufferSize) {
            if (random() % 12 == 0)
                out += tags[random() % std::size(tags)];
            else {
                out += words[random() % std::size(words)];
                out += random() % 9 == 0 ? ", " : " ";
            }
        }
        out.resize(kBufferSize);
        plant(out);
        return out;
    }();
    return text;
}

template<typename Find> void run(benchmark::State &state, Find find)
{
    std::string_view text = state.range(1) == 0 ? generatedCorpus() : systemCorpus();
    if (state.range(1) == 2) // one file's worth, in cache
        text = text.substr(kMatchEvery / 2 - kSmallSize / 2, kSmallSize);
    const std::string_view needle = kNeedles[state.range(0)];
    std::size_t count = 0;
    for (auto _ : state) {
        count = 0;
        for (std::size_t p = find(text, 0); p != std::string_view::npos;
             p = find(text, p + needle.size()))
            ++count;
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["matches"] = static_cast<double>(count);
    const char *const corpusNames[] = { "generated ", "system ", "system 64K " };
    state.SetLabel(corpusNames[state.range(1)] + std::string(needle.substr(0, 24)));
}

void BM_memmem(benchmark::State &state)
{
    const std::string_view needle = kNeedles[state.range(0)];
    run(state, [&](std::string_view text, std::size_t from) -> std::size_t {
        const void *hit
            = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
        return hit ? static_cast<const char *>(hit) - text.data() : std::string_view::npos;
    });
}

void BM_horspool(benchmark::State &state)
{
    const std::string_view needle = kNeedles[state.range(0)];
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    run(state, [&](std::string_view text, std::size_t from) -> std::size_t {
        const auto hit = std::search(text.begin() + from, text.end(), searcher);
        return hit == text.end() ? std::string_view::npos : hit - text.begin();
    });
}

void BM_firstByteMemchr(benchmark::State &state)
{
    const std::string_view needle = kNeedles[state.range(0)];
    run(state, [&](std::string_view text, std::size_t from) -> std::size_t {
        const char *h = text.data();
        const std::size_t m = needle.size();
        while (from + m <= text.size()) {
            const void *hit = std::memchr(h + from, needle[0], text.size() - m + 1 - from);
            if (!hit)
                break;
            const std::size_t c = static_cast<const char *>(hit) - h;
            if (std::memcmp(h + c, needle.data(), m) == 0)
                return c;
            from = c + 1;
        }
        return std::string_view::npos;
    });
}

void BM_stringViewFind(benchmark::State &state)
{
    const std::string_view needle = kNeedles[state.range(0)];
    run(state, [&](std::string_view text, std::size_t from) { return text.find(needle, from); });
}

template<orvane::ExactSearcher::Scan scan> void BM_ExactSearcher(benchmark::State &state)
{
    const orvane::ExactSearcher searcher(kNeedles[state.range(0)], scan);
    run(state, [&](std::string_view text, std::size_t from) { return searcher.find(text, from); });
}

// The scans ExactSearcher can keep to; Best starts with memchr and turns to the pair scan.
void BM_rarestByteMemchr(benchmark::State &state)
{
    BM_ExactSearcher<orvane::ExactSearcher::Scan::RareByte>(state);
}
void BM_bytePairSse2(benchmark::State &state)
{
    BM_ExactSearcher<orvane::ExactSearcher::Scan::BytePair16>(state);
}
void BM_bytePairAvx2(benchmark::State &state)
{
    BM_ExactSearcher<orvane::ExactSearcher::Scan::BytePair32>(state);
}

void needles(benchmark::internal::Benchmark *b)
{
    for (std::int64_t corpus : { 0, 1, 2 }) {
        for (std::size_t i = 0; i < std::size(kNeedles); ++i)
            b->Args({ static_cast<std::int64_t>(i), corpus });
    }
    b->ArgNames({ "needle", "corpus" });
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_memmem)->Apply(needles);
BENCHMARK(BM_horspool)->Apply(needles);
BENCHMARK(BM_firstByteMemchr)->Apply(needles);
BENCHMARK(BM_stringViewFind)->Apply(needles);
BENCHMARK(BM_ExactSearcher<orvane::ExactSearcher::Scan::Best>)->Apply(needles);
BENCHMARK(BM_rarestByteMemchr)->Apply(needles);
BENCHMARK(BM_bytePairSse2)->Apply(needles);
BENCHMARK(BM_bytePairAvx2)->Apply(needles);

BENCHMARK_MAIN();
