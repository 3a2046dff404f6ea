#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace flintly {

// The note list's order. The raw values are what the settings store keeps.
enum class SortMode { modifiedDesc, modifiedAsc, nameAZ, nameZA, createdDesc, createdAsc, sizeDesc, sizeAsc };

namespace sortmode {

// In declaration order, which is also the order of the sort menu.
const QList<SortMode>& all();
QString rawValue(SortMode mode);
std::optional<SortMode> fromRawValue(const QString& raw);
QString chipLabel(SortMode mode);
QString menuLabel(SortMode mode);
// "arrow.down" or "arrow.up".
QString arrowSymbol(SortMode mode);

enum class Key { modified, name, created, size };
Key key(SortMode mode);
bool descending(SortMode mode);

}  // namespace sortmode
}  // namespace flintly
