#include "browser/SortMode.h"

namespace flintly::sortmode {

namespace {
struct Row {
    SortMode mode;
    const char16_t* raw;
    const char16_t* chip;
    const char16_t* menu;
    bool down;
    Key key;
};

constexpr Row kRows[] = {
    {SortMode::modifiedDesc, u"modifiedDesc", u"Latest ↓", u"Latest", true, Key::modified},
    {SortMode::modifiedAsc, u"modifiedAsc", u"Oldest ↑", u"Oldest", false, Key::modified},
    {SortMode::nameAZ, u"nameAZ", u"A-Z", u"A-Z", true, Key::name},
    {SortMode::nameZA, u"nameZA", u"Z-A", u"Z-A", false, Key::name},
    {SortMode::createdDesc, u"createdDesc", u"Created ↓", u"Created ↓", true, Key::created},
    {SortMode::createdAsc, u"createdAsc", u"Created ↑", u"Created ↑", false, Key::created},
    {SortMode::sizeDesc, u"sizeDesc", u"Size ↓", u"Size ↓", true, Key::size},
    {SortMode::sizeAsc, u"sizeAsc", u"Size ↑", u"Size ↑", false, Key::size},
};

const Row& row(SortMode mode) { return kRows[static_cast<int>(mode)]; }
}  // namespace

const QList<SortMode>& all()
{
    static const QList<SortMode> modes = [] {
        QList<SortMode> out;
        for (const Row& r : kRows)
            out.append(r.mode);
        return out;
    }();
    return modes;
}

QString rawValue(SortMode mode) { return QString::fromUtf16(row(mode).raw); }

std::optional<SortMode> fromRawValue(const QString& raw)
{
    for (const Row& r : kRows)
        if (raw == QStringView(r.raw))
            return r.mode;
    return std::nullopt;
}

QString chipLabel(SortMode mode) { return QString::fromUtf16(row(mode).chip); }
QString menuLabel(SortMode mode) { return QString::fromUtf16(row(mode).menu); }
QString arrowSymbol(SortMode mode)
{
    return row(mode).down ? QStringLiteral("arrow.down") : QStringLiteral("arrow.up");
}
Key key(SortMode mode) { return row(mode).key; }

// "A-Z" is an ascending name order although its arrow points down: the arrow is the
// symbol shown, the direction is the comparison.
bool descending(SortMode mode)
{
    switch (mode) {
    case SortMode::modifiedDesc:
    case SortMode::nameZA:
    case SortMode::createdDesc:
    case SortMode::sizeDesc: return true;
    default: return false;
    }
}

}  // namespace flintly::sortmode
