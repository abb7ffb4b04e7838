#include "platform/qt_file_facts.h"

#include <QDateTime>
#include <QLocale>
#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

#include <mutex>
#include <string_view>
#include <unordered_map>

namespace orvane::platform {

struct QtFileFacts::Private
{
    QMimeDatabase mimeDatabase;
    QLocale locale = QLocale::system();
    std::string separator;

    std::mutex mutex;
    // MIME type name -> comment: the comment is looked up in the type's XML once.
    std::unordered_map<std::string, std::string> comments;
    // Last date asked for (by local calendar day), as a run lists many files of a day.
    qint64 lastDay = -1;
    std::string lastDate;
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
    // The name alone decides, as for a listing in a file manager: no file is opened, so
    // a file that vanished, a FIFO or an unreadable file still gets a type.
    const QMimeType type = d->mimeDatabase.mimeTypeForFile(
        QString::fromUtf8(name.data(), qsizetype(name.size())), QMimeDatabase::MatchExtension);
    const std::string typeName = type.name().toStdString();
    std::lock_guard lock(d->mutex);
    auto found = d->comments.find(typeName);
    if (found == d->comments.end())
        found = d->comments.emplace(typeName, type.comment().toStdString()).first;
    return found->second;
}

std::string QtFileFacts::shortDate(std::int64_t secondsSinceEpoch) const
{
    const QDate date = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).date();
    std::lock_guard lock(d->mutex);
    if (date.toJulianDay() != d->lastDay) {
        d->lastDay = date.toJulianDay();
        d->lastDate = d->locale.toString(date, QLocale::ShortFormat).toStdString();
    }
    return d->lastDate;
}

std::string QtFileFacts::thousandsSeparator() const
{
    return d->separator;
}

} // namespace orvane::platform
