#pragma once

// What the run needs to know about a file beyond its bytes, supplied by the desktop
// (MIME database, locale). Kept free of Qt so the run engine stays headless.

#include <cstdint>
#include <string>

namespace orvane::platform {

class FileFacts
{
public:
    virtual ~FileFacts() = default;
    // Human-readable type, e.g. "HTML document", for a file's full path (UTF-8 bytes).
    virtual std::string typeDescription(const std::string &path) const = 0;
    // The system locale's short date for a modification time in seconds since the epoch.
    virtual std::string shortDate(std::int64_t secondsSinceEpoch) const = 0;
    // The system locale's thousands separator, as UTF-8.
    virtual std::string thousandsSeparator() const = 0;
};

} // namespace orvane::platform
