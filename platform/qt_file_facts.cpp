#include "platform/qt_file_facts.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QMimeDatabase>
#include <QMimeType>
#include <QStandardPaths>
#include <QString>

#include <fnmatch.h>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane::platform {

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

bool isWild(char c)
{
    return c == '*' || c == '?' || c == '[';
}

} // namespace

// Asking the MIME database costs tens of microseconds a name (glob matching under its
// lock), and the type is asked for every listed file. The type of a name is decided by its
// glob patterns; nearly all are "*.ext", which only look at the name from its first dot on
// (the "key"). So names with the same key share one answer, except names that a pattern
// looking at the rest of the name could match ("Makefile.*", "README*", "CMakeLists.txt"):
// those are asked every time. Without the pattern list nothing is cached.
struct QtFileFacts::Private
{
    QMimeDatabase mimeDatabase;
    QLocale locale = QLocale::system();
    std::string separator;

    std::mutex mutex;
    bool patternsLoaded = false;
    bool cacheable = false;
    std::vector<std::string> namePrefixes; // literal heads of name-dependent patterns
    std::vector<std::string> wildPatterns; // name-dependent patterns without a literal head
    std::unordered_map<std::string, std::string> byKey;
    std::unordered_map<std::string, std::string> comments; // MIME type name -> comment

    // The local calendar day last asked for, as the range of seconds it covers.
    std::int64_t dayStart = 1;
    std::int64_t dayEnd = 0;
    std::string dayText;

    void loadPatterns()
    {
        patternsLoaded = true;
        const QStringList files = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                            QStringLiteral("mime/globs2"));
        for (const QString &fileName : files) {
            QFile file(fileName);
            if (!file.open(QIODevice::ReadOnly))
                return; // cacheable stays false
            while (!file.atEnd()) {
                // weight:type:pattern[:flags]
                const std::string line = file.readLine().trimmed().toStdString();
                if (line.empty() || line[0] == '#')
                    continue;
                const auto first = line.find(':');
                const auto second = first == std::string::npos ? first : line.find(':', first + 1);
                if (second == std::string::npos)
                    continue;
                std::string glob = line.substr(second + 1);
                if (const auto flags = glob.find(':'); flags != std::string::npos)
                    glob.resize(flags);
                addPattern(lower(glob));
            }
            cacheable = true;
        }
    }

    void addPattern(const std::string &glob)
    {
        if (glob.empty())
            return;
        if (glob[0] == '*') {
            const std::string_view rest = std::string_view(glob).substr(1);
            // "*.anything": a match of the rest starts at a dot, so within the key.
            // "*~", "*,v": a rest without a dot matches the name's end, also the key's end.
            if (!rest.empty() && (rest[0] == '.' || rest.find('.') == std::string_view::npos))
                return;
            wildPatterns.push_back(glob);
            return;
        }
        std::size_t head = 0;
        while (head < glob.size() && !isWild(glob[head]))
            ++head;
        if (head == 0)
            wildPatterns.push_back(glob);
        else
            namePrefixes.push_back(glob.substr(0, head));
    }

    bool nameDependent(std::string_view name) const
    {
        const std::string lowered = lower(name);
        for (const auto &prefix : namePrefixes) {
            if (lowered.compare(0, prefix.size(), prefix) == 0)
                return true;
        }
        for (const auto &pattern : wildPatterns) {
            if (::fnmatch(pattern.c_str(), lowered.c_str(), 0) == 0)
                return true;
        }
        return false;
    }

    std::string lookUp(std::string_view name)
    {
        const QMimeType type = mimeDatabase.mimeTypeForFile(
            QString::fromUtf8(name.data(), qsizetype(name.size())), QMimeDatabase::MatchExtension);
        const std::string typeName = type.name().toStdString();
        auto found = comments.find(typeName);
        if (found == comments.end())
            found = comments.emplace(typeName, type.comment().toStdString()).first;
        return found->second;
    }
};

QtFileFacts::QtFileFacts()
    : d(std::make_unique<Private>())
{
    d->separator = d->locale.groupSeparator().toStdString();
}

QtFileFacts::~QtFileFacts() = default;

std::string QtFileFacts::typeDescription(const std::string &path) const
{
    std::string_view name = path;
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    // The name alone decides, as for a listing in a file manager: no file is opened, so a
    // file that vanished, a FIFO or an unreadable file still gets a type.
    std::lock_guard lock(d->mutex);
    if (!d->patternsLoaded)
        d->loadPatterns();
    const auto dot = name.find('.');
    const std::string_view key = dot == std::string_view::npos ? name : name.substr(dot);
    if (!d->cacheable || d->nameDependent(name))
        return d->lookUp(name);
    auto found = d->byKey.find(std::string(key));
    if (found == d->byKey.end())
        found = d->byKey.emplace(std::string(key), d->lookUp(name)).first;
    return found->second;
}

std::string QtFileFacts::shortDate(std::int64_t secondsSinceEpoch) const
{
    std::lock_guard lock(d->mutex);
    if (secondsSinceEpoch < d->dayStart || secondsSinceEpoch >= d->dayEnd) {
        const QDate date = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).date();
        // The day's bounds in local time (a day with a clock change is not 24 hours long).
        d->dayStart = date.startOfDay().toSecsSinceEpoch();
        d->dayEnd = date.addDays(1).startOfDay().toSecsSinceEpoch();
        d->dayText = d->locale.toString(date, QLocale::ShortFormat).toStdString();
    }
    return d->dayText;
}

std::string QtFileFacts::thousandsSeparator() const
{
    return d->separator;
}

} // namespace orvane::platform
