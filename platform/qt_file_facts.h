#pragma once

// FileFacts from the desktop: the shared MIME database's comment as the type text, the
// system locale's short date and thousands separator. Safe to call from the run's worker
// thread; results are cached, as they are asked for every listed file.

#include "platform/file_facts.h"

#include <memory>

namespace orvane::platform {

class QtFileFacts final : public FileFacts
{
public:
    QtFileFacts();
    ~QtFileFacts() override;

    // Decided by the file name (as the desktop's file managers show it for lists), so no file
    // is opened; "Plain text document"-style comment in the system language.
    std::string typeDescription(const std::string &path) const override;
    // Date only, QLocale::system()'s ShortFormat, in local time.
    std::string shortDate(std::int64_t secondsSinceEpoch) const override;
    std::string thousandsSeparator() const override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace orvane::platform
