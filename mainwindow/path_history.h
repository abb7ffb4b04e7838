#pragma once

// The search-path history behind the path box, and the picker's root selector. Pure functions.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace orvane {

// The shell folder number a selector roots the picker at: 0 (the top) for 1 or less, the
// selector itself for 2 to 11, the selector + 4 from 12 on. Browse always asks for 0.
constexpr std::int32_t RootFolderId(std::int16_t selector)
{
    if (selector <= 1)
        return 0;
    if (selector <= 11)
        return selector;
    return std::int32_t(selector) + 4;
}

// Puts a picked path at the top of the history: it is inserted at 0 and an earlier, exactly
// equal item (case counts) is removed; all others keep their order. Returns the position, in
// the list after the insertion, of the item removed, or -1 when there was none, so a combo box
// can be changed the same way.
inline int UpdatePathHistory(QStringList &items, const QString &path)
{
    items.insert(0, path);
    for (int i = 1; i < items.size(); ++i) {
        if (items.at(i) == path) {
            items.removeAt(i);
            return i;
        }
    }
    return -1;
}

} // namespace orvane
